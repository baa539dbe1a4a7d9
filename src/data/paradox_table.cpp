// Opening, validating and walking a Paradox table, and the row changes of a non-keyed
// table. Byte layout: paradox_format.h; values: paradox_codec.h; disk, lock and journal:
// file_journal.h.
#include "data/paradox_table.h"

#include "data/data_error.h"
#include "data/file_journal.h"
#include "data/paradox_codec.h"
#include "data/paradox_codepage.h"
#include "data/paradox_format.h"
#include "data/paradox_text_cache.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <map>

namespace etb::data {

using namespace px;

namespace {

constexpr int kDosDefaultCodePage = 850;  // 3.x tables store no code page
constexpr int kFallbackCodePage = 1252;   // code page 0 or one we do not know
constexpr int kNewTableCodePage = 1252;
constexpr unsigned kNewTableSortOrder = 0x4C;
constexpr const char* kNewTableSortName = "DBWINUS0";

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

[[noreturn]] void throwCorrupt(const QString& path, const QString& reason,
                               const QString& detail = {}) {
    throw DataError(DataError::Kind::Corrupt,
                    QStringLiteral("Le fichier « %1 » n'est pas une table Paradox valide : %2.")
                        .arg(shown(path), reason),
                    detail);
}

bool validBlockCode(unsigned code) {
    return code == 1 || code == 2 || code == 3 || code == 4 || code == 8 || code == 16 ||
           code == 32;
}

bool knownType(unsigned code) {
    return (code >= 0x01 && code <= 0x06) || code == 0x09 || (code >= 0x0C && code <= 0x10) ||
           (code >= 0x14 && code <= 0x18);
}

}  // namespace

// Copies of what a change touched, to put the image back when the change fails.
struct ParadoxChangeUndo {
    qint64 imageSize = 0;
    QByteArray header;
    std::map<unsigned, QByteArray> blocks;
};

struct ParadoxTable::Impl {
    struct Block {
        unsigned number = 0;
        qint64 firstRow = 0;
        int count = 0;
    };

    QString path;
    Access access = Access::Read;
    std::unique_ptr<JournaledFile> file;  // kept only while open for writing
    QByteArray image;                     // the file's bytes (a cut-short last block padded)
    int recordSize = 0;
    int headerSize = 0;
    int blockSize = 0;
    int fileType = 0;
    int version = 0;
    int storedCodePage = 0;
    const ParadoxCodePage* codePage = nullptr;
    std::vector<ParadoxField> fields;
    std::vector<std::size_t> offsets;
    std::vector<Block> chain;
    qint64 rows = 0;
    mutable std::size_t hint = 0;
    mutable std::unique_ptr<ParadoxTextCache> texts;  // made on the first text read
    std::uint64_t generation = 0;  // bumped whenever the chain or the image may change
    QStringList warnings;
    QString readOnlyReason;
    int autoIncField = -1;

    std::optional<ParadoxChangeUndo> undo;

    Bytes bytes() const {
        // Not constData(): for an empty array it points at a one-byte static, which makes
        // GCC warn about reads that checkRange() already guards.
        const char* data = const_cast<QByteArray&>(image).data_ptr().data();  // does not detach
        if (!data)
            return {};
        return {reinterpret_cast<const unsigned char*>(data), std::size_t(image.size())};
    }
    MutableBytes mutableBytes() {
        return {reinterpret_cast<unsigned char*>(image.data()), std::size_t(image.size())};
    }
    std::size_t blockOffset(unsigned number) const {
        return std::size_t(headerSize) + std::size_t(number - 1) * std::size_t(blockSize);
    }
    int capacity() const { return (blockSize - int(kBlockHeaderSize)) / recordSize; }
    std::size_t recordOffset(unsigned block, int slot) const {
        return blockOffset(block) + kBlockHeaderSize + std::size_t(slot) * std::size_t(recordSize);
    }

    void parse();
    void parseHeader();
    void walkChain();
    void checkFreeList();
    std::pair<std::size_t, int> locate(qint64 row) const;
    void checkRow(qint64 row, bool allowEnd) const;
    void checkField(int field) const;
    ParadoxTextCache& textCache() const {
        if (!texts)
            texts = std::make_unique<ParadoxTextCache>(*codePage);
        return *texts;
    }
    // The value of a field of the record at recordStart, texts through the text cache.
    QVariant decodeField(std::size_t field, std::size_t recordStart) const;
    QByteArray buildRecord(const ParadoxRowChange& change, const QByteArray* base) const;
    // A record for a new row; a blank Autoincrement field gets ++autoInc.
    QByteArray newRecord(const ParadoxRowChange& values, std::uint32_t& autoInc) const;

    // Writing.
    void requireWritable() const;
    void beginChange();
    void touchBlock(unsigned number);
    void commitChange();
    void abandonChange();
    unsigned nextOf(unsigned block) const { return get_u16_le(bytes(), blockOffset(block)); }
    unsigned prevOf(unsigned block) const { return get_u16_le(bytes(), blockOffset(block) + 2); }
    int countOf(unsigned block) const {
        const int add = get_i16_le(bytes(), blockOffset(block) + 4);
        return add < 0 ? 0 : add / recordSize + 1;
    }
    void setNext(unsigned block, unsigned next) {
        touchBlock(block);
        put_u16_le(mutableBytes(), blockOffset(block), next);
    }
    void setPrev(unsigned block, unsigned prev) {
        touchBlock(block);
        put_u16_le(mutableBytes(), blockOffset(block) + 2, prev);
    }
    void setCount(unsigned block, int count) {
        touchBlock(block);
        put_i16_le(mutableBytes(), blockOffset(block) + 4, (count - 1) * recordSize);
    }
    unsigned allocateBlock();
    void freeBlock(unsigned block);
    void linkAfter(unsigned block, unsigned added);
    void unlink(unsigned block);
    void insertInto(unsigned block, int slot, const QByteArray& record);
    void moveRecords(unsigned from, int fromSlot, unsigned to, int toSlot, int count);
};

// ---- opening ----

void ParadoxTable::Impl::parse() {
    try {
        parseHeader();
        walkChain();
    } catch (const RangeError& error) {
        throwCorrupt(path, QStringLiteral("une structure dépasse la fin du fichier"),
                     QStringLiteral("offset %1, size %2").arg(error.offset()).arg(error.size()));
    }
}

void ParadoxTable::Impl::parseHeader() {
    if (image.size() < qint64(kFixedHeaderEnd))
        throwCorrupt(path, QStringLiteral("le fichier est trop court"),
                     QStringLiteral("%1 bytes").arg(image.size()));
    const Bytes b = bytes();
    recordSize = int(get_u16_le(b, kRecordSize));
    headerSize = int(get_u16_le(b, kHeaderSize));
    fileType = int(get_u8(b, kFileType));
    const unsigned blockCode = get_u8(b, kBlockCode);
    version = int(get_u8(b, kFileVersion));
    if (fileType != 0 && fileType != 2)
        throwCorrupt(path, QStringLiteral("ce n'est pas le fichier de données d'une table"),
                     QStringLiteral("file type %1").arg(fileType));
    if (version < 3 || version > 12)
        throwCorrupt(path, QStringLiteral("version de format inconnue"),
                     QStringLiteral("version byte %1").arg(version));
    if (!validBlockCode(blockCode))
        throwCorrupt(path, QStringLiteral("taille de bloc impossible"),
                     QStringLiteral("block code %1").arg(blockCode));
    blockSize = int(blockCode) * 1024;
    const int numFields = int(get_u16_le(b, kNumFields));
    if (numFields < 1 || numFields > 255)
        throwCorrupt(path, QStringLiteral("nombre de champs impossible"),
                     QStringLiteral("%1 fields").arg(numFields));
    const std::size_t base = hasDataHeader(version) ? kDataHeaderEnd : kFixedHeaderEnd;
    if (headerSize > image.size())
        throwCorrupt(
            path, QStringLiteral("l'en-tête dépasse la fin du fichier"),
            QStringLiteral("header size %1, file size %2").arg(headerSize).arg(image.size()));
    if (std::size_t(headerSize) < base + 2 * std::size_t(numFields))
        throwCorrupt(path, QStringLiteral("l'en-tête est trop court"),
                     QStringLiteral("header size %1").arg(headerSize));
    const Bytes header = b.first(std::size_t(headerSize));

    const std::uint32_t encryption1 = get_u32_le(header, kEncryption1);
    const bool encrypted = hasDataHeader(version)
                               ? (get_u32_le(header, kEncryption2) != 0 ||
                                  (encryption1 != 0 && encryption1 != kEncryptionMarkerV4))
                               : encryption1 != 0;
    if (encrypted)
        throwCorrupt(path, QStringLiteral("la table est chiffrée par un mot de passe"),
                     QStringLiteral("encrypted"));

    if (version >= 4) {
        const unsigned realHeaderSize = get_u16_le(header, kRealHeaderSize);
        if (realHeaderSize > unsigned(headerSize))
            throwCorrupt(path, QStringLiteral("l'en-tête est incohérent"),
                         QStringLiteral("real header size %1 > header size %2")
                             .arg(realHeaderSize)
                             .arg(headerSize));
    }

    storedCodePage =
        hasDataHeader(version) ? int(get_u16_le(header, kCodePage)) : kDosDefaultCodePage;
    if (!codePage)
        codePage = ParadoxCodePage::find(storedCodePage);
    if (!codePage)
        codePage = ParadoxCodePage::find(kFallbackCodePage);

    fields.resize(std::size_t(numFields));
    offsets.resize(std::size_t(numFields));
    std::size_t sum = 0;
    for (int i = 0; i < numFields; ++i) {
        const unsigned type = get_u8(header, base + 2 * std::size_t(i));
        const int sizeByte = int(get_u8(header, base + 2 * std::size_t(i) + 1));
        if (!knownType(type))
            throwCorrupt(path, QStringLiteral("type de champ inconnu"),
                         QStringLiteral("field %1: type 0x%2")
                             .arg(i + 1)
                             .arg(type, 2, 16, QLatin1Char('0')));
        ParadoxField& field = fields[std::size_t(i)];
        field.type = static_cast<ParadoxType>(type);
        field.size = sizeByte;
        const int width = storedSize(field.type, sizeByte);
        if (width < 0)
            throwCorrupt(path, QStringLiteral("taille de champ impossible"),
                         QStringLiteral("field %1: type 0x%2 size %3")
                             .arg(i + 1)
                             .arg(type, 2, 16)
                             .arg(sizeByte));
        offsets[std::size_t(i)] = sum;
        sum += std::size_t(width);
        if (field.type == ParadoxType::AutoIncrement && autoIncField < 0)
            autoIncField = i;
    }
    if (recordSize <= 0 || sum != std::size_t(recordSize))
        throwCorrupt(path,
                     QStringLiteral("la taille des enregistrements ne correspond pas aux champs"),
                     QStringLiteral("record size %1, fields %2").arg(recordSize).arg(sum));
    if (recordSize > blockSize - int(kBlockHeaderSize))
        throwCorrupt(
            path, QStringLiteral("un enregistrement ne tient pas dans un bloc"),
            QStringLiteral("record size %1, block size %2").arg(recordSize).arg(blockSize));

    std::size_t pos = base + 6 * std::size_t(numFields) + 4 + tableNameLength(version);
    for (ParadoxField& field : fields) {
        const std::size_t start = pos;
        while (get_u8(header, pos) != 0)
            ++pos;
        field.name = codePage->decode(reinterpret_cast<const char*>(header.data() + start),
                                      qsizetype(pos - start));
        ++pos;
    }
}

void ParadoxTable::Impl::walkChain() {
    const qint64 fileSize = image.size();
    const unsigned fileBlocks = get_u16_le(bytes(), kFileBlocks);
    unsigned block = get_u16_le(bytes(), kFirstBlock);
    const qint64 dataBytes = fileSize - headerSize;
    const qint64 physical = (dataBytes + blockSize - 1) / blockSize;
    // Some files end before the nominal end of their last block: the rest reads as zeros.
    if (dataBytes % blockSize != 0)
        image.append(QByteArray(blockSize - dataBytes % blockSize, '\0'));
    const unsigned available = unsigned(std::min<qint64>(physical, fileBlocks));

    ++generation;
    chain.clear();
    rows = 0;
    std::vector<bool> visited(std::size_t(available) + 1, false);
    const int cap = capacity();
    while (block != 0) {
        if (block > available)
            throwCorrupt(
                path,
                QStringLiteral("la chaîne des blocs désigne un bloc au-delà de la fin du fichier"),
                QStringLiteral("block %1, %2 blocks in file, header says %3")
                    .arg(block)
                    .arg(physical)
                    .arg(fileBlocks));
        if (visited[block])
            throwCorrupt(path, QStringLiteral("la chaîne des blocs forme une boucle"),
                         QStringLiteral("block %1 reached twice").arg(block));
        visited[block] = true;
        const int add = get_i16_le(bytes(), blockOffset(block) + 4);
        int count = 0;
        if (add < 0) {
            if (add != -recordSize)
                throwCorrupt(
                    path, QStringLiteral("un bloc annonce un nombre d'enregistrements impossible"),
                    QStringLiteral("block %1: addDataSize %2").arg(block).arg(add));
        } else {
            if (add % recordSize != 0 || add / recordSize + 1 > cap)
                throwCorrupt(
                    path,
                    QStringLiteral(
                        "un bloc annonce plus d'enregistrements qu'il ne peut en contenir"),
                    QStringLiteral("block %1: addDataSize %2, capacity %3")
                        .arg(block)
                        .arg(add)
                        .arg(cap));
            count = add / recordSize + 1;
        }
        chain.push_back({block, rows, count});
        rows += count;
        block = get_u16_le(bytes(), blockOffset(block));
    }
    hint = 0;
}

void ParadoxTable::Impl::checkFreeList() {
    const Bytes b = bytes();
    const unsigned fileBlocks = get_u16_le(b, kFileBlocks);
    const qint64 physical = (image.size() - headerSize) / blockSize;
    if (fileBlocks > physical) {
        readOnlyReason = QStringLiteral("des blocs manquent à la fin du fichier");
        return;
    }
    std::vector<bool> used(std::size_t(fileBlocks) + 1, false);
    for (const Block& block : chain)
        used[block.number] = true;
    unsigned block = get_u16_le(b, kFirstFreeBlock);
    while (block != 0) {
        if (block > fileBlocks || used[block]) {
            readOnlyReason = QStringLiteral("la liste des blocs libres est endommagée");
            return;
        }
        used[block] = true;
        block = get_u16_le(b, blockOffset(block));
    }
}

std::pair<std::size_t, int> ParadoxTable::Impl::locate(qint64 row) const {
    if (hint < chain.size()) {
        const Block& guess = chain[hint];
        if (row >= guess.firstRow && row < guess.firstRow + guess.count)
            return {hint, int(row - guess.firstRow)};
        if (hint + 1 < chain.size()) {
            const Block& next = chain[hint + 1];
            if (row >= next.firstRow && row < next.firstRow + next.count) {
                hint = hint + 1;
                return {hint, int(row - next.firstRow)};
            }
        }
    }
    auto it =
        std::upper_bound(chain.begin(), chain.end(), row,
                         [](qint64 value, const Block& block) { return value < block.firstRow; });
    hint = std::size_t(it - chain.begin()) - 1;
    return {hint, int(row - chain[hint].firstRow)};
}

void ParadoxTable::Impl::checkRow(qint64 row, bool allowEnd) const {
    if (row < 0 || row > rows || (row == rows && !allowEnd)) {
        throw DataError(DataError::Kind::State,
                        QStringLiteral("La ligne %1 n'existe pas dans la table « %2 ».")
                            .arg(row + 1)
                            .arg(shown(path)),
                        QStringLiteral("row %1 of %2").arg(row).arg(rows));
    }
}

void ParadoxTable::Impl::checkField(int field) const {
    if (field < 0 || std::size_t(field) >= fields.size()) {
        throw DataError(DataError::Kind::NotFound,
                        QStringLiteral("Le champ numéro %1 n'existe pas dans la table « %2 ».")
                            .arg(field + 1)
                            .arg(shown(path)),
                        QStringLiteral("field index %1").arg(field));
    }
}

QVariant ParadoxTable::Impl::decodeField(std::size_t field, std::size_t recordStart) const {
    const ParadoxField& f = fields[field];
    const std::size_t at = recordStart + offsets[field];
    const Bytes b = bytes();
    if (f.type == ParadoxType::Alpha) {
        checkRange(b.size(), at, std::size_t(f.size));
        if (const QString* text = textCache().find(b.data() + at, f.size))
            return text->isNull() ? QVariant() : QVariant(*text);
    }
    return decodeValue(f, b, at, *codePage);
}

QByteArray ParadoxTable::Impl::buildRecord(const ParadoxRowChange& change,
                                           const QByteArray* base) const {
    if (change.size() > fields.size()) {
        throw DataError(
            DataError::Kind::State,
            QStringLiteral("Trop de valeurs pour la table « %1 ».").arg(shown(path)),
            QStringLiteral("%1 values for %2 fields").arg(change.size()).arg(fields.size()));
    }
    QByteArray record = base ? *base : QByteArray(recordSize, '\0');
    MutableBytes out{reinterpret_cast<unsigned char*>(record.data()), std::size_t(record.size())};
    for (std::size_t i = 0; i < change.size(); ++i) {
        if (change[i])
            encodeValue(fields[i], *change[i], out, offsets[i], *codePage, path);
    }
    return record;
}

QByteArray ParadoxTable::Impl::newRecord(const ParadoxRowChange& values,
                                         std::uint32_t& autoInc) const {
    QByteArray record = buildRecord(values, nullptr);
    if (autoIncField >= 0) {
        const std::size_t field = std::size_t(autoIncField);
        if (field >= values.size() || !values[field] || !values[field]->isValid()) {
            ++autoInc;
            put_px_int(
                {reinterpret_cast<unsigned char*>(record.data()), std::size_t(record.size())},
                offsets[field], 4, qint64(autoInc));
        } else if (const qint64 given = values[field]->toLongLong(); given > qint64(autoInc)) {
            autoInc = std::uint32_t(given);  // later rows must not reuse a value given here
        }
    }
    return record;
}

// ---- writing ----

void ParadoxTable::Impl::requireWritable() const {
    if (!readOnlyReason.isEmpty()) {
        throw DataError(DataError::Kind::ReadOnly,
                        QStringLiteral("La table « %1 » ne peut pas être modifiée : %2.")
                            .arg(shown(path), readOnlyReason),
                        QStringLiteral("read-only table"));
    }
}

void ParadoxTable::Impl::beginChange() {
    ++generation;
    undo.emplace();
    undo->imageSize = image.size();
    undo->header = image.left(headerSize);
}

void ParadoxTable::Impl::touchBlock(unsigned number) {
    if (undo && !undo->blocks.count(number)) {
        const qint64 offset = qint64(blockOffset(number));
        undo->blocks[number] = offset < image.size() ? image.mid(offset, blockSize) : QByteArray();
    }
}

void ParadoxTable::Impl::commitChange() {
    MutableBytes b = mutableBytes();
    put_u32_le(b, kNumRecords, std::uint32_t(rows));
    put_u16_le(b, kUsedBlocks, unsigned(chain.size()));
    put_u16_le(b, kFirstBlock, chain.empty() ? 0 : chain.front().number);
    put_u16_le(b, kLastBlock, chain.empty() ? 0 : chain.back().number);
    put_u16_le(b, kMaxBlocks, get_u16_le(b, kFileBlocks));
    if (hasDataHeader(version))
        put_u32_le(b, kUpdateTime, std::uint32_t(QDateTime::currentSecsSinceEpoch()));

    std::vector<JournaledFile::Range> ranges;
    const qint64 headerBytes = std::min<qint64>(headerSize, qint64(kDataHeaderEnd));
    ranges.push_back({0, image.left(headerBytes)});
    for (const auto& [number, original] : undo->blocks) {
        const qint64 offset = qint64(blockOffset(number));
        if (offset < image.size())
            ranges.push_back({offset, image.mid(offset, blockSize)});
    }
    file->commit(ranges, image.size());
    undo.reset();
}

void ParadoxTable::Impl::abandonChange() {
    if (!undo)
        return;
    image.resize(std::max<qint64>(undo->imageSize, image.size()));
    for (const auto& [number, original] : undo->blocks) {
        if (!original.isEmpty())
            std::memcpy(image.data() + blockOffset(number), original.constData(),
                        std::size_t(original.size()));
    }
    image.resize(undo->imageSize);
    std::memcpy(image.data(), undo->header.constData(), std::size_t(undo->header.size()));
    undo.reset();
    walkChain();
}

unsigned ParadoxTable::Impl::allocateBlock() {
    MutableBytes b = mutableBytes();
    unsigned block = get_u16_le(b, kFirstFreeBlock);
    if (block != 0) {
        put_u16_le(b, kFirstFreeBlock, nextOf(block));
    } else {
        const unsigned fileBlocks = get_u16_le(b, kFileBlocks);
        if (fileBlocks >= kMaxBlockNumber) {
            throw DataError(
                DataError::Kind::Io,
                QStringLiteral(
                    "Impossible d'écrire dans « %1 » : la table a atteint sa taille maximale.")
                    .arg(shown(path)),
                QStringLiteral("65535 blocks"));
        }
        block = fileBlocks + 1;
        const qint64 end = qint64(blockOffset(block)) + blockSize;
        touchBlock(block);
        if (image.size() < end)
            image.append(QByteArray(end - image.size(), '\0'));
        b = mutableBytes();
        put_u16_le(b, kFileBlocks, block);
    }
    touchBlock(block);
    std::memset(image.data() + blockOffset(block), 0, std::size_t(blockSize));
    setCount(block, 0);
    return block;
}

void ParadoxTable::Impl::freeBlock(unsigned block) {
    touchBlock(block);
    MutableBytes b = mutableBytes();
    std::memset(image.data() + blockOffset(block) + kBlockHeaderSize, 0,
                std::size_t(blockSize) - kBlockHeaderSize);
    put_u16_le(b, blockOffset(block), get_u16_le(b, kFirstFreeBlock));
    setCount(block, 0);
    put_u16_le(b, kFirstFreeBlock, block);
}

void ParadoxTable::Impl::linkAfter(unsigned block, unsigned added) {
    const unsigned next = block == 0 ? 0 : nextOf(block);
    setPrev(added, block);
    setNext(added, next);
    if (block != 0)
        setNext(block, added);
    if (next != 0)
        setPrev(next, added);
}

void ParadoxTable::Impl::unlink(unsigned block) {
    const unsigned next = nextOf(block);
    const unsigned prev = prevOf(block);
    if (prev != 0)
        setNext(prev, next);
    if (next != 0)
        setPrev(next, prev);
}

void ParadoxTable::Impl::moveRecords(unsigned from, int fromSlot, unsigned to, int toSlot,
                                     int count) {
    if (count <= 0)
        return;
    touchBlock(from);
    touchBlock(to);
    std::memmove(image.data() + recordOffset(to, toSlot),
                 image.constData() + recordOffset(from, fromSlot),
                 std::size_t(count) * std::size_t(recordSize));
}

void ParadoxTable::Impl::insertInto(unsigned block, int slot, const QByteArray& record) {
    const int count = countOf(block);
    moveRecords(block, slot, block, slot + 1, count - slot);
    std::memcpy(image.data() + recordOffset(block, slot), record.constData(),
                std::size_t(recordSize));
    setCount(block, count + 1);
}

// ---- ParadoxTable ----

ParadoxTable::ParadoxTable(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
ParadoxTable::~ParadoxTable() = default;

std::unique_ptr<ParadoxTable> ParadoxTable::open(const QString& filePath, Access access) {
    return open(filePath, access, 0);
}

std::unique_ptr<ParadoxTable> ParadoxTable::open(const QString& filePath, Access access,
                                                 int codePage) {
    auto impl = std::make_unique<Impl>();
    impl->path = filePath;
    impl->access = access;
    if (codePage != 0) {
        impl->codePage = ParadoxCodePage::find(codePage);
        if (!impl->codePage) {
            throw DataError(
                DataError::Kind::Convert,
                QStringLiteral("La page de code %1 demandée pour « %2 » n'est pas connue.")
                    .arg(codePage)
                    .arg(shown(filePath)),
                QStringLiteral("unknown code page"));
        }
    }
    auto file = JournaledFile::open(
        filePath, access == Access::Write ? JournaledFile::Mode::Write : JournaledFile::Mode::Read);
    // A table cannot be larger than its header plus 65535 blocks of 32 KB.
    if (QFileInfo(filePath).size() > 0x10000 + qint64(kMaxBlockNumber) * 32 * 1024)
        throwCorrupt(filePath, QStringLiteral("le fichier est trop grand"));
    impl->image = file->readAll();
    impl->parse();

    const Bytes b = impl->bytes();
    const unsigned numRecords = get_u32_le(b, kNumRecords);
    if (qint64(numRecords) != impl->rows) {
        impl->warnings << QStringLiteral(
                              "La table « %1 » annonce %2 enregistrements mais en contient %3.")
                              .arg(shown(filePath))
                              .arg(numRecords)
                              .arg(impl->rows);
    }
    // The legacy engine's lock files are left alone; they only hint that it may be using
    // the directory (they also survive its crashes, so they do not stop us).
    const QDir directory = QFileInfo(filePath).absoluteDir();
    for (const QString& entry : directory.entryList(
             {QStringLiteral("PARADOX.LCK"), QStringLiteral("PDOXUSRS.LCK")}, QDir::Files)) {
        impl->warnings
            << QStringLiteral(
                   "Le fichier %1 est présent à côté de « %2 » : un autre programme utilise "
                   "peut-être cette table.")
                   .arg(entry, shown(filePath));
    }
    if (access == Access::Read) {
        impl->readOnlyReason = QStringLiteral("elle est ouverte en lecture seule");
    } else if (!file->writable()) {
        impl->readOnlyReason = file->readOnlyReason();
    } else if (impl->fileType == 0) {
        impl->readOnlyReason = QStringLiteral("elle a une clé primaire");
    } else if (get_u8(b, kWriteProtected) != 0) {
        impl->readOnlyReason = QStringLiteral("elle est protégée en écriture");
    } else if (codePage == 0 && !ParadoxCodePage::find(impl->storedCodePage)) {
        // Text read through the fallback page may be wrong; writing it back would spoil it.
        impl->readOnlyReason = QStringLiteral("sa page de code (%1) n'est pas prise en charge")
                                   .arg(impl->storedCodePage);
    } else if (get_u8(b, kModifiedFlags1) != 0 || get_u8(b, kModifiedFlags2) != 0) {
        impl->readOnlyReason = QStringLiteral("elle doit être reconstruite");
    } else {
        impl->checkFreeList();
    }
    if (access == Access::Write)
        impl->file = std::move(file);
    return std::unique_ptr<ParadoxTable>(new ParadoxTable(std::move(impl)));
}

const QString& ParadoxTable::filePath() const {
    return m_impl->path;
}
int ParadoxTable::fileVersion() const {
    return m_impl->version;
}
int ParadoxTable::codePage() const {
    return m_impl->codePage->number();
}
bool ParadoxTable::isKeyed() const {
    return m_impl->fileType == 0;
}
bool ParadoxTable::canWrite() const {
    return m_impl->readOnlyReason.isEmpty();
}
QString ParadoxTable::readOnlyReason() const {
    return m_impl->readOnlyReason;
}
const QStringList& ParadoxTable::warnings() const {
    return m_impl->warnings;
}
const std::vector<ParadoxField>& ParadoxTable::fields() const {
    return m_impl->fields;
}

int ParadoxTable::fieldIndex(const QString& name) const {
    for (std::size_t i = 0; i < m_impl->fields.size(); ++i) {
        if (m_impl->fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

qint64 ParadoxTable::rowCount() const {
    return m_impl->rows;
}

QVariant ParadoxTable::value(qint64 row, int field) const {
    const Impl& d = *m_impl;
    d.checkRow(row, false);
    d.checkField(field);
    const auto [index, slot] = d.locate(row);
    return d.decodeField(std::size_t(field), d.recordOffset(d.chain[index].number, slot));
}

ParadoxRow ParadoxTable::row(qint64 row) const {
    const Impl& d = *m_impl;
    d.checkRow(row, false);
    const auto [index, slot] = d.locate(row);
    const std::size_t start = d.recordOffset(d.chain[index].number, slot);
    ParadoxRow values;
    values.reserve(d.fields.size());
    for (std::size_t i = 0; i < d.fields.size(); ++i)
        values.push_back(d.decodeField(i, start));
    return values;
}

void ParadoxTable::checkValue(int field, const QVariant& value) const {
    const Impl& d = *m_impl;
    d.checkField(field);
    QByteArray scratch(d.recordSize, '\0');
    encodeValue(d.fields[std::size_t(field)], value,
                {reinterpret_cast<unsigned char*>(scratch.data()), std::size_t(scratch.size())},
                d.offsets[std::size_t(field)], *d.codePage, d.path);
}

void ParadoxTable::updateRow(qint64 row, const ParadoxRowChange& change) {
    Impl& d = *m_impl;
    d.requireWritable();
    d.checkRow(row, false);
    const auto [index, slot] = d.locate(row);
    const unsigned block = d.chain[index].number;
    const std::size_t offset = d.recordOffset(block, slot);
    const QByteArray old = d.image.mid(qint64(offset), d.recordSize);
    const QByteArray record = d.buildRecord(change, &old);
    if (record == old)
        return;
    d.beginChange();
    try {
        d.touchBlock(block);
        std::memcpy(d.image.data() + offset, record.constData(), std::size_t(d.recordSize));
        d.commitChange();
    } catch (...) {
        d.abandonChange();
        throw;
    }
}

void ParadoxTable::appendRow(const ParadoxRowChange& values) {
    insertRow(rowCount(), values);
}

void ParadoxTable::insertRow(qint64 beforeRow, const ParadoxRowChange& values) {
    Impl& d = *m_impl;
    d.requireWritable();
    d.checkRow(beforeRow, true);
    if (beforeRow == d.rows) {
        appendRows({&values, 1});
        return;
    }
    std::uint32_t autoInc = get_u32_le(d.bytes(), kAutoInc);
    const QByteArray record = d.newRecord(values, autoInc);
    d.beginChange();
    try {
        put_u32_le(d.mutableBytes(), kAutoInc, autoInc);
        const auto [index, slot] = d.locate(beforeRow);
        const unsigned block = d.chain[index].number;
        const int count = d.chain[index].count;
        if (count < d.capacity()) {
            d.insertInto(block, slot, record);
        } else {
            // Split: the upper half moves to a new block linked right after this one.
            const unsigned added = d.allocateBlock();
            d.linkAfter(block, added);
            const int keep = count / 2;
            d.moveRecords(block, keep, added, 0, count - keep);
            std::memset(d.image.data() + d.recordOffset(block, keep), 0,
                        std::size_t(count - keep) * std::size_t(d.recordSize));
            d.setCount(block, keep);
            d.setCount(added, count - keep);
            if (slot <= keep)
                d.insertInto(block, slot, record);
            else
                d.insertInto(added, slot - keep, record);
        }
        d.walkChain();
        d.commitChange();
    } catch (...) {
        d.abandonChange();
        throw;
    }
}

void ParadoxTable::appendRows(std::span<const ParadoxRowChange> rows) {
    Impl& d = *m_impl;
    d.requireWritable();
    if (rows.empty())
        return;
    std::uint32_t autoInc = get_u32_le(d.bytes(), kAutoInc);
    std::vector<QByteArray> records;
    records.reserve(rows.size());
    for (const ParadoxRowChange& values : rows)
        records.push_back(d.newRecord(values, autoInc));
    d.beginChange();
    try {
        put_u32_le(d.mutableBytes(), kAutoInc, autoInc);
        const int cap = d.capacity();
        unsigned last = d.chain.empty() ? 0 : d.chain.back().number;
        for (const QByteArray& record : records) {
            if (last == 0) {
                last = d.allocateBlock();
                d.linkAfter(0, last);
                put_u16_le(d.mutableBytes(), kFirstBlock, last);
            } else if (d.countOf(last) >= cap) {
                const unsigned added = d.allocateBlock();
                d.linkAfter(last, added);
                last = added;
            }
            d.insertInto(last, d.countOf(last), record);
        }
        d.walkChain();
        d.commitChange();
    } catch (...) {
        d.abandonChange();
        throw;
    }
}

void ParadoxTable::deleteRow(qint64 row) {
    Impl& d = *m_impl;
    d.requireWritable();
    d.checkRow(row, false);
    const auto [index, slot] = d.locate(row);
    const unsigned block = d.chain[index].number;
    d.beginChange();
    try {
        const int count = d.countOf(block);
        d.moveRecords(block, slot + 1, block, slot, count - slot - 1);
        d.touchBlock(block);
        std::memset(d.image.data() + d.recordOffset(block, count - 1), 0,
                    std::size_t(d.recordSize));
        d.setCount(block, count - 1);
        if (d.rows == 1) {
            // The last row is gone: an empty table is its header alone.
            d.image.resize(d.headerSize);
            const MutableBytes b = d.mutableBytes();
            put_u16_le(b, kFileBlocks, 0);
            put_u16_le(b, kFirstFreeBlock, 0);
            put_u16_le(b, kFirstBlock, 0);
        } else if (count == 1) {
            unsigned freed = block;
            if (block == 1) {
                // Block 1 is never freed: it takes over a neighbour's records instead.
                const unsigned neighbour = d.nextOf(1) != 0 ? d.nextOf(1) : d.prevOf(1);
                const int moved = d.countOf(neighbour);
                d.moveRecords(neighbour, 0, 1, 0, moved);
                d.setCount(1, moved);
                freed = neighbour;
            }
            const bool wasFirst = d.prevOf(freed) == 0;
            const unsigned next = d.nextOf(freed);
            d.unlink(freed);
            if (wasFirst)
                put_u16_le(d.mutableBytes(), kFirstBlock, next);
            d.freeBlock(freed);
        }
        d.walkChain();
        d.commitChange();
    } catch (...) {
        d.abandonChange();
        throw;
    }
}

// ---- ParadoxRowCursor ----

ParadoxRowCursor::ParadoxRowCursor(const ParadoxTable& table, qint64 row)
    : m_table(table.m_impl.get()),
      m_tableRows(&m_table->rows),
      m_tableGeneration(&m_table->generation),
      m_texts(&m_table->textCache()),
      m_recordSize(m_table->recordSize),
      m_decoded(m_table->fields.size()),
      m_decodedUtf8(m_table->fields.size()) {
    const ParadoxTable::Impl& d = *m_table;
    for (std::size_t i = 0; i < d.fields.size(); ++i) {
        const ParadoxField& field = d.fields[i];
        m_columns.push_back({d.offsets[i], storedSize(field.type, field.size), field.type,
                             d.offsets[i] + 8 <= std::size_t(d.recordSize)});
    }
    seek(row);
}

void ParadoxRowCursor::seek(qint64 row) {
    m_row = row;
    m_generation = *m_tableGeneration - 1;  // makes place() look the row up
    place();
}

void ParadoxRowCursor::place() {
    const ParadoxTable::Impl& d = *m_table;
    if (m_generation == d.generation && m_record && m_slot >= m_blockRows) {
        // The next row is the first of the next block that holds any.
        ++m_block;
        while (m_block < d.chain.size() && d.chain[m_block].count == 0)
            ++m_block;
        m_slot = 0;
    } else if (m_row >= 0 && m_row < d.rows) {
        m_generation = d.generation;
        const auto [index, slot] = d.locate(m_row);
        m_block = index;
        m_slot = slot;
    } else {
        m_generation = d.generation;
        m_block = d.chain.size();
    }
    if (m_block >= d.chain.size() || m_row < 0) {
        m_blockRows = 0;
        m_record = nullptr;
        return;
    }
    m_blockRows = d.chain[m_block].count;
    m_record = d.bytes().data() + d.recordOffset(d.chain[m_block].number, m_slot);
}

const unsigned char* ParadoxRowCursor::fieldBytes(int field) {
    if (m_generation != *m_tableGeneration)
        place();
    const ParadoxTable::Impl& d = *m_table;
    if (!m_record)
        d.checkRow(m_row, false);
    d.checkField(field);
    return m_record + d.offsets[std::size_t(field)];
}

const QString& ParadoxRowCursor::decodeText(int field) {
    const unsigned char* bytes = fieldBytes(field);
    const ParadoxField& f = m_table->fields[std::size_t(field)];
    if (f.type != ParadoxType::Alpha)
        throwNotThatType(field, QStringLiteral("texte"));
    if (const QString* cached = m_texts->find(bytes, f.size))
        return *cached;
    QString& decoded = m_decoded[std::size_t(field)];
    decoded = m_table->codePage->decode(reinterpret_cast<const char*>(bytes), f.size);
    return decoded;
}

ParadoxRowCursor::Utf8Text ParadoxRowCursor::decodeTextUtf8(int field) {
    const QString& text = decodeText(field);
    if (text.isNull())
        return {};
    if (const ParadoxTextCache::Entry* cached =
            m_texts->findEntry(fieldBytes(field), m_table->fields[std::size_t(field)].size))
        return {cached->utf8.constData(), int(cached->utf8.size()), true};  // now cached
    QByteArray& utf8 = m_decodedUtf8[std::size_t(field)];
    utf8 = text.toUtf8();
    return {utf8.constData(), int(utf8.size()), false};
}

std::optional<double> ParadoxRowCursor::decodeNumber(int field) {
    const unsigned char* bytes = fieldBytes(field);
    const ParadoxField& f = m_table->fields[std::size_t(field)];
    const Bytes stored{bytes, std::size_t(storedSize(f.type, f.size))};
    switch (f.type) {
        case ParadoxType::Number:
        case ParadoxType::Currency:
            return get_px_double(stored, 0);
        case ParadoxType::Short:
        case ParadoxType::Long:
        case ParadoxType::AutoIncrement:
            if (const auto integer = get_px_int(stored, 0, stored.size()))
                return double(*integer);
            return std::nullopt;
        case ParadoxType::Bcd: {
            const QVariant value = decodeValue(f, stored, 0, *m_table->codePage);
            return value.isValid() ? std::optional<double>(value.toDouble()) : std::nullopt;
        }
        default:
            throwNotThatType(field, QStringLiteral("nombre"));
    }
}

QVariant ParadoxRowCursor::value(int field) {
    fieldBytes(field);
    return m_table->decodeField(std::size_t(field),
                                std::size_t(m_record - m_table->bytes().data()));
}

void ParadoxRowCursor::throwNotThatType(int field, const QString& wanted) const {
    const ParadoxField& f = m_table->fields[std::size_t(field)];
    throw DataError(DataError::Kind::State,
                    QStringLiteral("Le champ « %1 » de la table « %2 » ne se lit pas comme un %3.")
                        .arg(f.name, shown(m_table->path), wanted),
                    QStringLiteral("field type %1").arg(typeName(f.type)));
}

// ---- creating ----

void ParadoxTable::create(const QString& filePath, std::span<const ParadoxField> fields) {
    const ParadoxCodePage& codePage = *ParadoxCodePage::find(kNewTableCodePage);
    auto invalid = [&](const QString& reason) {
        throw DataError(DataError::Kind::State,
                        QStringLiteral("Impossible de créer la table « %1 » : %2.")
                            .arg(shown(filePath), reason),
                        QStringLiteral("bad field list"));
    };
    const std::size_t n = fields.size();
    if (n == 0 || n > 255)
        invalid(QStringLiteral("le nombre de champs doit être compris entre 1 et 255"));
    std::size_t recordSize = 0;
    QByteArray names;
    std::vector<std::size_t> nameOffsets;
    for (const ParadoxField& field : fields) {
        const int width = storedSize(field.type, field.size);
        if (width < 0 || isBlob(field.type))
            invalid(QStringLiteral("le champ « %1 » a un type ou une taille impossible")
                        .arg(field.name));
        recordSize += std::size_t(width);
        QByteArray encoded;
        if (field.name.isEmpty() || field.name.size() > 25 ||
            codePage.encode(field.name, encoded) >= 0)
            invalid(QStringLiteral("le nom de champ « %1 » ne convient pas").arg(field.name));
        nameOffsets.push_back(std::size_t(names.size()));
        names.append(encoded).append('\0');
    }
    int blockCode = 2;
    while (recordSize > std::size_t(blockCode) * 1024 - kBlockHeaderSize && blockCode < 32)
        blockCode *= 2;
    if (recordSize > std::size_t(blockCode) * 1024 - kBlockHeaderSize)
        invalid(QStringLiteral("les enregistrements sont trop longs"));

    const std::size_t base = kDataHeaderEnd;
    const std::size_t tableNameAt = base + 2 * n + 4 + 4 * n;
    const std::size_t namesAt = tableNameAt + tableNameLength(kVersion7);
    const std::size_t numbersAt = namesAt + std::size_t(names.size());
    const std::size_t sortNameAt = numbersAt + 2 * n;
    const std::size_t realHeaderSize = sortNameAt + std::strlen(kNewTableSortName) + 1;
    const std::size_t headerSize = (realHeaderSize + 0x7FF) / 0x800 * 0x800;
    if (headerSize > 0xF800)
        invalid(QStringLiteral("l'en-tête serait trop long"));

    QByteArray image(qsizetype(headerSize), '\0');
    MutableBytes b{reinterpret_cast<unsigned char*>(image.data()), std::size_t(image.size())};
    put_u16_le(b, kRecordSize, unsigned(recordSize));
    put_u16_le(b, kHeaderSize, unsigned(headerSize));
    put_u8(b, kFileType, 2);
    put_u8(b, kBlockCode, unsigned(blockCode));
    put_u16_le(b, kNumFields, unsigned(n));
    put_u32_le(b, kEncryption1, kEncryptionMarkerV4);
    put_u8(b, kSortOrder, kNewTableSortOrder);
    put_u8(b, kChangeCount1, 2);
    put_u8(b, kChangeCount2, 1);
    put_u32_le(b, kTableNamePtrPtr, std::uint32_t(base + 2 * n));
    put_u32_le(b, kFieldInfoPtr, std::uint32_t(base));
    put_u8(b, kFileVersion, kVersion7);
    put_u8(b, kUnknown3E, 0x1F);
    put_u8(b, kUnknown3E + 1, 0x0F);
    put_u16_le(b, kRealHeaderSize, unsigned(realHeaderSize));
    put_u8(b, kUnknown56, 0x20);
    put_u16_le(b, kDataHeaderVersion, 0x0100 | kVersion7);
    put_u16_le(b, kDataHeaderVersion + 2, 0x0100 | kVersion7);
    put_u32_le(b, kUpdateTime, std::uint32_t(QDateTime::currentSecsSinceEpoch()));
    put_u16_le(b, kHiFieldId, unsigned(n + 1));
    put_u16_le(b, kFieldNumbersOffset, unsigned(numbersAt - kFixedHeaderEnd));
    put_u16_le(b, kCodePage, kNewTableCodePage);
    put_u8(b, kUnknown6C, 1);
    put_u8(b, kUnknown6C + 1, 1);
    put_u16_le(b, kSortNameOffset, unsigned(sortNameAt - kFixedHeaderEnd));
    put_u16_le(b, kChangeCount4, 1);
    for (std::size_t i = 0; i < n; ++i) {
        put_u8(b, base + 2 * i, unsigned(fields[i].type));
        put_u8(b, base + 2 * i + 1, unsigned(fields[i].size));
        put_u32_le(b, base + 2 * n + 4 + 4 * i, std::uint32_t(namesAt + nameOffsets[i]));
        put_u16_le(b, numbersAt + 2 * i, unsigned(i + 1));
    }
    // The pointer slots hold file offsets; the engine would hold memory addresses there.
    put_u32_le(b, base + 2 * n, std::uint32_t(tableNameAt));
    QByteArray tableName;
    codePage.encode(QFileInfo(filePath).fileName(), tableName);
    tableName = tableName.left(qsizetype(tableNameLength(kVersion7)) - 1);
    std::memcpy(image.data() + tableNameAt, tableName.constData(), std::size_t(tableName.size()));
    std::memcpy(image.data() + namesAt, names.constData(), std::size_t(names.size()));
    std::memcpy(image.data() + sortNameAt, kNewTableSortName, std::strlen(kNewTableSortName));
    JournaledFile::createAtomically(filePath, image);
}

void ParadoxTable::createMovementTable(const QString& filePath) {
    const ParadoxField fields[] = {
        {QStringLiteral("Chp"), ParadoxType::Alpha, 3},
        {QStringLiteral("Art"), ParadoxType::Alpha, 3},
        {QStringLiteral("Type"), ParadoxType::Alpha, 8},
        {QStringLiteral("Montant"), ParadoxType::Number, 8},
    };
    create(filePath, fields);
}

}  // namespace etb::data
