// A Paradox table file (.db) opened for reading or for writing.
//
// The byte layout is documented in paradox_format.h next to the decoding helpers.
// Reading walks the block chain once at open and decodes values on demand, so a large
// table opens without building a value for every row. Writing is limited to non-keyed,
// unencrypted, writable tables; every change is atomic and durable (see the comment on
// the write functions). All failures throw DataError with a French message naming the file.
#pragma once

#include "data/paradox_format.h"
#include "data/paradox_text_cache.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace etb::data {

enum class ParadoxType : unsigned char {
    Alpha = 0x01,
    Date = 0x02,
    Short = 0x03,
    Long = 0x04,
    Currency = 0x05,
    Number = 0x06,
    Logical = 0x09,
    Memo = 0x0C,
    Blob = 0x0D,
    FormattedMemo = 0x0E,
    Ole = 0x0F,
    Graphic = 0x10,
    Time = 0x14,
    Timestamp = 0x15,
    AutoIncrement = 0x16,
    Bcd = 0x17,
    Bytes = 0x18,
};

struct ParadoxField {
    QString name;
    ParadoxType type = ParadoxType::Alpha;
    int size = 0;  // the descriptor's size byte (for BCD: the number of decimals)
};

// Values travel as QVariant: an invalid QVariant is blank (NULL). Alpha -> QString,
// Number/Currency/BCD -> double, Short/Long/AutoIncrement -> int, Logical -> bool,
// Date -> QDate, Time -> QTime, Timestamp -> QDateTime, Bytes -> QByteArray,
// blobs -> blank.
using ParadoxRow = std::vector<QVariant>;

// For an update: one entry per field; std::nullopt keeps the stored bytes as they are.
// For an insert: std::nullopt writes a blank.
using ParadoxRowChange = std::vector<std::optional<QVariant>>;

class ParadoxTable {
public:
    enum class Access { Read, Write };

    // Opens an existing table. Write access takes an exclusive lock that other processes
    // see ("locked" error for them); the same process may still open the file for reading.
    // A keyed or write-protected table, or a file or directory the system will not let us
    // write, opens with Write access too, but every change then fails with
    // DataError::Kind::ReadOnly. An encrypted table cannot be read (Corrupt). A change
    // that a crash interrupted after it was decided is completed first.
    static std::unique_ptr<ParadoxTable> open(const QString& filePath, Access access);

    // As above, decoding and encoding text with the given code page instead of the one the
    // table names (for tables whose text was stored in another page than the one marked).
    // codePage 0 keeps the table's own.
    static std::unique_ptr<ParadoxTable> open(const QString& filePath, Access access, int codePage);

    // Creates a new empty non-keyed level-7 table with 2 KB blocks, code page 1252 and a
    // matching language driver. Refuses to replace an existing file.
    static void create(const QString& filePath, std::span<const ParadoxField> fields);

    // The movement table: Chp A3, Art A3, Type A8, Montant N.
    static void createMovementTable(const QString& filePath);

    ~ParadoxTable();
    ParadoxTable(const ParadoxTable&) = delete;
    ParadoxTable& operator=(const ParadoxTable&) = delete;

    const QString& filePath() const;
    int fileVersion() const;  // byte 0x39: 3 ... 12
    int codePage() const;
    bool isKeyed() const;
    bool canWrite() const;           // opened for writing and the table allows changes
    QString readOnlyReason() const;  // why canWrite() is false (French), empty otherwise

    // Problems found at open that did not stop reading, in French: the header's record
    // count differing from the rows found in the block chain (the chain is trusted), ...
    const QStringList& warnings() const;

    const std::vector<ParadoxField>& fields() const;
    int fieldIndex(const QString& name) const;  // case-blind; -1 when missing

    // Reading keeps a position hint and a cache of decoded texts: one thread at a time.
    // To read many rows in order, ParadoxRowCursor is much faster.
    qint64 rowCount() const;
    QVariant value(qint64 row, int field) const;
    ParadoxRow row(qint64 row) const;

    // Encodes a value for the field without writing it; throws DataError (Convert) when
    // the text does not fit the field's width or code page, or the value has the wrong type.
    void checkValue(int field, const QVariant& value) const;

    // Each change is one atomic, durable step: when the call returns the change is on disk;
    // when it throws, the file holds exactly what it held before. A crash at any instant
    // leaves either the old or the new state, which the next open restores.
    void updateRow(qint64 row, const ParadoxRowChange& change);
    void insertRow(qint64 beforeRow,
                   const ParadoxRowChange& values);  // beforeRow == rowCount() appends
    void appendRow(const ParadoxRowChange& values);
    // Appends many rows as one change (an import): all of them or none.
    void appendRows(std::span<const ParadoxRowChange> rows);
    void deleteRow(qint64 row);

private:
    friend class ParadoxRowCursor;
    struct Impl;
    explicit ParadoxTable(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

// Walks the rows of a table in chain order (row 0, 1, ...) and hands out their values
// typed, without a QVariant each: the fast way through a whole table.
//
//     for (ParadoxRowCursor c(table); !c.atEnd(); c.next())
//         total += c.number(3).value_or(0.0);
//
// Every value reads exactly as ParadoxTable::value() reads it. The cursor must not outlive
// its table. After a change to the table it carries on from the same row number. Reading
// at the end, or a field index out of range, throws DataError as value() does.
class ParadoxRowCursor {
public:
    explicit ParadoxRowCursor(const ParadoxTable& table, qint64 row = 0);

    qint64 row() const { return m_row; }
    bool atEnd() const { return m_row >= *m_tableRows; }
    void next() {
        ++m_row;
        if (++m_slot < m_blockRows && m_generation == *m_tableGeneration) {
            m_record += m_recordSize;
            return;
        }
        place();
    }
    void seek(qint64 row);

    // An Alpha field's text; a blank one gives a null QString. The reference stays valid
    // until the cursor moves (texts repeated over many rows are shared from the table's
    // cache and live as long as the table). Throws DataError (State) for other field types.
    const QString& text(int field) {
        const Column* column = readyColumn(field);
        if (column && column->type == ParadoxType::Alpha) {
            if (const QString* cached =
                    m_texts->find(m_record + column->offset, column->width, column->wordReadable))
                return *cached;
        }
        return decodeText(field);
    }

    // An Alpha field's text in UTF-8: data is nullptr when blank. When lasting, the bytes
    // come from the table's cache and stay put as long as the table; otherwise they stay
    // valid until the cursor moves. Throws as text() does.
    struct Utf8Text {
        const char* data = nullptr;
        int size = 0;
        bool lasting = false;
    };
    Utf8Text textUtf8(int field) {
        const Column* column = readyColumn(field);
        if (column && column->type == ParadoxType::Alpha) {
            if (const ParadoxTextCache::Entry* cached = m_texts->findEntry(
                    m_record + column->offset, column->width, column->wordReadable)) {
                if (cached->text.isNull())
                    return {nullptr, 0, true};
                return {cached->utf8.constData(), int(cached->utf8.size()), true};
            }
        }
        return decodeTextUtf8(field);
    }

    // A Number, Currency, BCD, Short, Long or Autoincrement field's value; std::nullopt
    // when blank. Throws DataError (State) for other field types.
    std::optional<double> number(int field) {
        const Column* column = readyColumn(field);
        if (column &&
            (column->type == ParadoxType::Number || column->type == ParadoxType::Currency))
            return px::get_px_double(px::Bytes(m_record + column->offset, 8), 0);
        return decodeNumber(field);
    }

    // Any field, as ParadoxTable::value().
    QVariant value(int field);

private:
    struct Column {
        std::size_t offset = 0;  // in the record
        int width = 0;
        ParadoxType type = ParadoxType::Alpha;
        bool wordReadable = false;  // 8 bytes from offset lie inside the record
    };

    // The field's layout when the cursor stands on a row and the table has not changed
    // since it moved there; nullptr otherwise (the slow path then checks and throws).
    const Column* readyColumn(int field) const {
        if (m_record && m_generation == *m_tableGeneration &&
            unsigned(field) < unsigned(m_columns.size()))
            return &m_columns[std::size_t(field)];
        return nullptr;
    }
    void place();
    const unsigned char* fieldBytes(int field);
    const QString& decodeText(int field);
    Utf8Text decodeTextUtf8(int field);
    std::optional<double> decodeNumber(int field);
    [[noreturn]] void throwNotThatType(int field, const QString& wanted) const;

    const ParadoxTable::Impl* m_table;
    const qint64* m_tableRows;
    const std::uint64_t* m_tableGeneration;  // changes whenever the table's bytes may move
    ParadoxTextCache* m_texts;
    std::vector<Column> m_columns;
    std::uint64_t m_generation = 0;
    int m_recordSize = 0;
    qint64 m_row = 0;
    std::size_t m_block = 0;  // index in the chain
    int m_slot = 0;
    int m_blockRows = 0;
    const unsigned char* m_record = nullptr;  // the current row's bytes; nullptr at the end
    std::vector<QString> m_decoded;           // per field: a text the cache does not hold
    std::vector<QByteArray> m_decodedUtf8;    // the same in UTF-8, for textUtf8()
};

}  // namespace etb::data
