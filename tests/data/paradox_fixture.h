// Test-side builder of Paradox table files, written from the format rules independently
// of the production writer, and a checker of the invariants a written table must keep.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace etb::test {

inline void put16(QByteArray& b, int off, unsigned v) {
    b[off] = char(v & 0xFF);
    b[off + 1] = char((v >> 8) & 0xFF);
}
inline void put32(QByteArray& b, int off, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[off + i] = char((v >> (8 * i)) & 0xFF);
}
inline unsigned get16(const QByteArray& b, int off) {
    return unsigned(static_cast<unsigned char>(b[off])) |
           unsigned(static_cast<unsigned char>(b[off + 1])) << 8;
}
inline std::uint32_t get32(const QByteArray& b, int off) {
    return get16(b, off) | std::uint32_t(get16(b, off + 2)) << 16;
}

// Field values in the record encodings.
inline QByteArray alpha(const QByteArray& text, int size) {
    QByteArray out = text.left(size);
    out.append(QByteArray(size - out.size(), '\0'));
    return out;
}
inline QByteArray number(double v) {
    std::uint64_t raw;
    std::memcpy(&raw, &v, 8);
    if (v >= 0)
        raw |= std::uint64_t(1) << 63;
    else
        raw = ~raw;
    QByteArray out(8, '\0');
    for (int i = 0; i < 8; ++i)
        out[i] = char((raw >> (8 * (7 - i))) & 0xFF);
    return out;
}
inline QByteArray integer(std::int64_t v, int width) {
    std::uint64_t raw = std::uint64_t(v) ^ (std::uint64_t(1) << (width * 8 - 1));
    QByteArray out(width, '\0');
    for (int i = 0; i < width; ++i)
        out[i] = char((raw >> (8 * (width - 1 - i))) & 0xFF);
    return out;
}
inline QByteArray fromHex(const char* hex) {
    return QByteArray::fromHex(QByteArray(hex));
}

struct FieldSpec {
    std::uint8_t type;
    std::uint8_t size;
    QByteArray name;
    int stored() const {
        if (type == 0x17)
            return 17;
        return size;
    }
};

struct TableSpec {
    int version = 0x0C;
    int fileType = 2;
    int blockCode = 2;
    int codePage = 1252;
    std::uint8_t sortOrder = 0x4C;
    QByteArray sortName = "DBWINUS0";
    QByteArray tableName = "T.DB";
    std::vector<FieldSpec> fields;

    int recordSize() const {
        int sum = 0;
        for (const FieldSpec& f : fields)
            sum += f.stored();
        return sum;
    }
    int blockSize() const { return blockCode * 1024; }
    int capacity() const { return (blockSize() - 6) / recordSize(); }
};

struct ChainState {
    std::uint32_t numRecords = 0;
    unsigned usedBlocks = 0, fileBlocks = 0, firstBlock = 0, lastBlock = 0, freeBlock = 0;
};

// The header per the format rules: 3.0 unpadded, 3.5 and later padded to 0x800.
inline QByteArray buildHeader(const TableSpec& shape, const ChainState& state) {
    const int n = int(shape.fields.size());
    const bool dataHeader = shape.version >= 5;
    const int base = dataHeader ? 0x78 : 0x58;
    const int nameLength = shape.version == 0x0C ? 261 : 79;
    QByteArray header(0x10000, '\0');
    int pos = base;
    for (const FieldSpec& f : shape.fields) {
        header[pos++] = char(f.type);
        header[pos++] = char(f.size);
    }
    put32(header, pos, 0x12345678);  // pointer garbage
    pos += 4 + 4 * n;
    std::memcpy(header.data() + pos, shape.tableName.constData(), size_t(shape.tableName.size()));
    pos += nameLength;
    for (const FieldSpec& f : shape.fields) {
        std::memcpy(header.data() + pos, f.name.constData(), size_t(f.name.size()));
        pos += int(f.name.size()) + 1;
    }
    int realHeaderSize = 0;
    if (shape.version >= 5) {
        const int numbersAt = pos;
        for (int i = 0; i < n; ++i)
            put16(header, pos + 2 * i, unsigned(i + 1));
        pos += 2 * n;
        const int sortAt = pos;
        std::memcpy(header.data() + pos, shape.sortName.constData(), size_t(shape.sortName.size()));
        pos += int(shape.sortName.size()) + 1;
        realHeaderSize = pos;
        put16(header, 0x58, 0x0100 | unsigned(shape.version));
        put16(header, 0x5A, 0x0100 | unsigned(shape.version));
        put32(header, 0x60, 1700000000);
        put16(header, 0x64, unsigned(n + 1));
        put16(header, 0x66, unsigned(numbersAt - 0x58));
        put16(header, 0x6A, unsigned(shape.codePage));
        header[0x6C] = 1;
        header[0x6D] = 1;
        put16(header, 0x6E, unsigned(sortAt - 0x58));
        put32(header, 0x25, 0xFF00FF00u);
        header[0x56] = 0x20;
    } else if (shape.version == 4) {
        realHeaderSize = pos;
    }
    const int headerSize = shape.version == 3 ? pos : (pos + 0x7FF) / 0x800 * 0x800;
    header.resize(headerSize);
    put16(header, 0x00, unsigned(shape.recordSize()));
    put16(header, 0x02, unsigned(headerSize));
    header[0x04] = char(shape.fileType);
    header[0x05] = char(shape.blockCode);
    put32(header, 0x06, state.numRecords);
    put16(header, 0x0A, state.usedBlocks);
    put16(header, 0x0C, state.fileBlocks);
    put16(header, 0x0E, state.firstBlock);
    put16(header, 0x10, state.lastBlock);
    put16(header, 0x12, 7);  // unknown counter, kept by writers
    put16(header, 0x21, unsigned(n));
    put16(header, 0x23, shape.fileType == 0 ? 1 : 0);
    header[0x29] = char(shape.sortOrder);
    header[0x2D] = 5;
    header[0x39] = char(shape.version);
    put16(header, 0x3A, state.fileBlocks);
    header[0x3E] = 0x1F;
    header[0x3F] = 0x0F;
    put16(header, 0x4D, state.freeBlock);
    put16(header, 0x51, unsigned(realHeaderSize));
    return header;
}

inline QByteArray buildBlock(const TableSpec& shape, unsigned next, unsigned prev,
                             const std::vector<QByteArray>& records, char fill = '\0') {
    QByteArray block(shape.blockSize(), fill);
    put16(block, 0, next);
    put16(block, 2, prev);
    const int add = (int(records.size()) - 1) * shape.recordSize();
    put16(block, 4, unsigned(std::uint16_t(std::int16_t(add))));
    int pos = 6;
    for (const QByteArray& r : records) {
        EXPECT_EQ(r.size(), shape.recordSize());
        std::memcpy(block.data() + pos, r.constData(), size_t(r.size()));
        pos += int(r.size());
    }
    return block;
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// Walks the chain and the free list of a non-keyed table file and checks that the header
// is in step with them: counts, first/last block, maxBlocks, file size, prev pointers.
inline void expectConsistent(const QByteArray& file) {
    ASSERT_GE(file.size(), 0x58);
    const int recordSize = int(get16(file, 0));
    const int headerSize = int(get16(file, 2));
    const int blockSize = static_cast<unsigned char>(file[5]) * 1024;
    const unsigned fileBlocks = get16(file, 0x0C);
    EXPECT_EQ(file.size(), headerSize + qint64(fileBlocks) * blockSize);
    EXPECT_EQ(get16(file, 0x3A), fileBlocks);
    std::set<unsigned> seen;
    unsigned block = get16(file, 0x0E), prev = 0, last = 0;
    std::uint32_t rows = 0;
    unsigned used = 0;
    while (block != 0) {
        ASSERT_LE(block, fileBlocks);
        ASSERT_TRUE(seen.insert(block).second) << "loop at block " << block;
        const int at = headerSize + int(block - 1) * blockSize;
        EXPECT_EQ(get16(file, at + 2), prev) << "prev of block " << block;
        const int add = std::int16_t(get16(file, at + 4));
        ASSERT_TRUE(add == -recordSize || (add >= 0 && add % recordSize == 0)) << "block " << block;
        rows += add < 0 ? 0 : unsigned(add / recordSize + 1);
        ++used;
        prev = last = block;
        block = get16(file, at);
    }
    EXPECT_EQ(get32(file, 0x06), rows);
    EXPECT_EQ(get16(file, 0x0A), used);
    EXPECT_EQ(get16(file, 0x10), last);
    unsigned freeBlock = get16(file, 0x4D);
    while (freeBlock != 0) {
        ASSERT_LE(freeBlock, fileBlocks);
        ASSERT_TRUE(seen.insert(freeBlock).second) << "free block " << freeBlock << " also in use";
        freeBlock = get16(file, headerSize + int(freeBlock - 1) * blockSize);
    }
    EXPECT_EQ(seen.size(), fileBlocks) << "every block is in the chain or on the free list";
}

// The two-record movement table written out byte by byte (fields Chp A3, Art A3, Type A8,
// Montant N; rows 601/100/DÉPENSE/1234.56 and 706/200/RECETTE/-50.25), with the 'ascii'
// driver and code page 850, or with DBWINUS0 and code page 1252. Bytes 0x60-0x63 (update
// time) are zero.
inline QByteArray movementExample(bool windowsDriver) {
    QByteArray file(0x1000, '\0');
    auto at = [&](int off, const char* hex) {
        const QByteArray bytes = fromHex(hex);
        std::memcpy(file.data() + off, bytes.constData(), size_t(bytes.size()));
    };
    at(0x00, "1600 0008 02 02 02000000 0100 0100 0100 0100");
    at(0x21, "0400 0000 00FF00FF");
    at(0x29, windowsDriver ? "4C" : "00");
    at(0x2D, "02 01");
    at(0x30, "80000000 78000000");
    at(0x39, "0C 0100");
    at(0x3E, "1F0F");
    at(0x51, windowsDriver ? "BF01" : "BC01");
    at(0x56, "20");
    at(0x58, "0C010C01 00000000");
    at(0x64, "0500 5601 0000");
    at(0x6A, windowsDriver ? "E404" : "5203");
    at(0x6C, "0101 5E01 0100");
    at(0x78, "01030103 01080608");
    at(0x80, "94000000 99010000 9D010000 A1010000 A6010000");
    at(0x94, "4558454D504C452E4442");  // EXEMPLE.DB
    at(0x199, "43687000 41727400 5479706500 4D6F6E74616E7400");
    at(0x1AE, "0100020003000400");
    at(0x1B6, windowsDriver ? "444257494E55533000" : "6173636969 00");
    at(0x800, "0000 0000 1600");
    at(0x806, windowsDriver ? "363031 313030 44C950454E534500 C0934A3D70A3D70A"
                            : "363031 313030 44905045 4E534500 C0934A3D70A3D70A");
    at(0x81C, "373036 323030 5245434554544500 3FB6DFFFFFFFFFFF");
    return file;
}

}  // namespace etb::test
