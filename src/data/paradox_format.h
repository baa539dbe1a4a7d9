// The Paradox table file (.db) as this program reads and writes it, and the small
// byte-order helpers every access goes through.
//
// Byte order: every number in the file header and in block headers is little-endian.
// Every numeric field value inside a record is big-endian with the sign bit flipped
// (integers) or, for doubles, sign bit set when >= 0 and all bytes inverted when < 0,
// so that a plain byte compare sorts values. All-zero bytes mean blank (NULL) for every
// field type; an Alpha value is blank when its first byte is 0.
//
// File = header (headerSize bytes) + data blocks of blockSize bytes. Block n (counted
// from 1) starts at headerSize + (n - 1) * blockSize. Blocks form a doubly linked chain
// in row order; emptied blocks sit on a singly linked free list.
//
// Fixed header (all versions):
//   off  size  meaning
//   0x00 u16   recordSize: sum of the field sizes (a BCD field counts 17)
//   0x02 u16   headerSize: offset of block 1 (0x800 multiples from 3.5 on; 3.0 unpadded)
//   0x04 u8    fileType: 0 keyed .db, 2 non-keyed .db (others are index files)
//   0x05 u8    block size code: blockSize = code * 1024 (1-4, 8, 16, 32)
//   0x06 u32   numRecords: live records
//   0x0A u16   usedBlocks: blocks in the chain (0 when empty)
//   0x0C u16   fileBlocks: blocks in the file, used + free
//   0x0E u16   firstBlock: first block of the chain, 0 when empty
//   0x10 u16   lastBlock: last block of the chain, 0 when empty
//   0x14 u8    modifiedFlags1: non-zero = the table needs a rebuild
//   0x21 u16   numFields
//   0x23 u16   primaryKeyFields: 0 for a non-keyed table
//   0x25 u32   encryption1: 3.x: 0 = clear; 4+: 0xFF00FF00 (the real key is at 0x5C)
//   0x29 u8    sort order (language driver id)
//   0x2A u8    modifiedFlags2: non-zero = rebuild needed
//   0x2D u8    changeCount1, bumped on each write session
//   0x38 u8    writeProtected: 1 = write-protected
//   0x39 u8    fileVersionID: 3 (3.0), 4 (3.5), 5-9 (4.x), 10-11 (5.x), 12 (7.x)
//   0x3A u16   maxBlocks: kept equal to fileBlocks
//   0x49 u32   autoInc: last Autoincrement value handed out
//   0x4D u16   firstFreeBlock: head of the free list, 0 if none
//   0x51 u16   realHeaderSize: bytes of the header in use (0 in 3.0 files)
//   Other bytes (memory-pointer garbage, unknown counters) are kept as they are.
// Data header (only .db with fileVersionID >= 5):
//   0x58 u16   version word 0x0105 ... 0x010C, twice (0x58, 0x5A)
//   0x5C u32   encryption2: 0 = clear
//   0x60 u32   update time, seconds since 1970
//   0x64 u16   hiFieldID, normally numFields + 1
//   0x66 u16   offset of the field-number array, minus 0x58
//   0x6A u16   code page of the text; 0 = unknown
//   0x6E u16   offset of the sort-order name, minus 0x58
// Variable part at base = 0x78 (or 0x58 without the data header), no gaps:
//   2n field descriptors (type u8, size u8); 4-byte pointer; 4n pointers; table name
//   (261 bytes for version 12, else 79); n NUL-terminated field names; [crypt info];
//   field numbers u16 1..n (4+); sort-order name, NUL-terminated (4+).
// Block header (6 bytes): u16 next (0 = last), u16 prev (0 = first), i16 addDataSize =
// (recordCount - 1) * recordSize, so -recordSize means empty. Records follow packed.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <stdexcept>

namespace etb::data::px {

// Header offsets.
inline constexpr std::size_t kRecordSize = 0x00;
inline constexpr std::size_t kHeaderSize = 0x02;
inline constexpr std::size_t kFileType = 0x04;
inline constexpr std::size_t kBlockCode = 0x05;
inline constexpr std::size_t kNumRecords = 0x06;
inline constexpr std::size_t kUsedBlocks = 0x0A;
inline constexpr std::size_t kFileBlocks = 0x0C;
inline constexpr std::size_t kFirstBlock = 0x0E;
inline constexpr std::size_t kLastBlock = 0x10;
inline constexpr std::size_t kModifiedFlags1 = 0x14;
inline constexpr std::size_t kNumFields = 0x21;
inline constexpr std::size_t kPrimaryKeyFields = 0x23;
inline constexpr std::size_t kEncryption1 = 0x25;
inline constexpr std::size_t kSortOrder = 0x29;
inline constexpr std::size_t kModifiedFlags2 = 0x2A;
inline constexpr std::size_t kChangeCount1 = 0x2D;
inline constexpr std::size_t kChangeCount2 = 0x2E;
inline constexpr std::size_t kTableNamePtrPtr = 0x30;
inline constexpr std::size_t kFieldInfoPtr = 0x34;
inline constexpr std::size_t kWriteProtected = 0x38;
inline constexpr std::size_t kFileVersion = 0x39;
inline constexpr std::size_t kMaxBlocks = 0x3A;
inline constexpr std::size_t kUnknown3E = 0x3E;
inline constexpr std::size_t kAutoInc = 0x49;
inline constexpr std::size_t kFirstFreeBlock = 0x4D;
inline constexpr std::size_t kRealHeaderSize = 0x51;
inline constexpr std::size_t kUnknown56 = 0x56;
inline constexpr std::size_t kFixedHeaderEnd = 0x58;
inline constexpr std::size_t kDataHeaderVersion = 0x58;
inline constexpr std::size_t kEncryption2 = 0x5C;
inline constexpr std::size_t kUpdateTime = 0x60;
inline constexpr std::size_t kHiFieldId = 0x64;
inline constexpr std::size_t kFieldNumbersOffset = 0x66;
inline constexpr std::size_t kCodePage = 0x6A;
inline constexpr std::size_t kUnknown6C = 0x6C;
inline constexpr std::size_t kSortNameOffset = 0x6E;
inline constexpr std::size_t kChangeCount4 = 0x70;
inline constexpr std::size_t kDataHeaderEnd = 0x78;

inline constexpr std::size_t kBlockHeaderSize = 6;
inline constexpr std::uint32_t kEncryptionMarkerV4 = 0xFF00FF00u;
inline constexpr int kVersion7 = 0x0C;
inline constexpr std::size_t kMaxBlockNumber = 65535;

inline constexpr std::size_t tableNameLength(int fileVersion) {
    return fileVersion == kVersion7 ? 261 : 79;
}
inline constexpr bool hasDataHeader(int fileVersion) {
    return fileVersion >= 5;
}

// Thrown by the helpers below when an access would pass the end of the bytes; the table
// code turns it into the user's error naming the file.
class RangeError : public std::runtime_error {
public:
    RangeError(std::size_t offset, std::size_t size)
        : std::runtime_error("offset out of range"), m_offset(offset), m_size(size) {}
    std::size_t offset() const { return m_offset; }
    std::size_t size() const { return m_size; }

private:
    std::size_t m_offset;
    std::size_t m_size;
};

using Bytes = std::span<const unsigned char>;
using MutableBytes = std::span<unsigned char>;

inline void checkRange(std::size_t total, std::size_t offset, std::size_t size) {
    if (offset > total || size > total - offset)
        throw RangeError(offset, size);
}

inline unsigned get_u8(Bytes b, std::size_t off) {
    checkRange(b.size(), off, 1);
    return b[off];
}
inline unsigned get_u16_le(Bytes b, std::size_t off) {
    checkRange(b.size(), off, 2);
    const Bytes two = b.subspan(off, 2);
    return unsigned(two[0]) | unsigned(two[1]) << 8;
}
inline int get_i16_le(Bytes b, std::size_t off) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(get_u16_le(b, off)));
}
inline std::uint32_t get_u32_le(Bytes b, std::size_t off) {
    checkRange(b.size(), off, 4);
    return std::uint32_t(b[off]) | std::uint32_t(b[off + 1]) << 8 |
           std::uint32_t(b[off + 2]) << 16 | std::uint32_t(b[off + 3]) << 24;
}

inline void put_u8(MutableBytes b, std::size_t off, unsigned v) {
    checkRange(b.size(), off, 1);
    b[off] = static_cast<unsigned char>(v);
}
inline void put_u16_le(MutableBytes b, std::size_t off, unsigned v) {
    checkRange(b.size(), off, 2);
    b[off] = static_cast<unsigned char>(v);
    b[off + 1] = static_cast<unsigned char>(v >> 8);
}
inline void put_i16_le(MutableBytes b, std::size_t off, int v) {
    put_u16_le(b, off, static_cast<std::uint16_t>(static_cast<std::int16_t>(v)));
}
inline void put_u32_le(MutableBytes b, std::size_t off, std::uint32_t v) {
    checkRange(b.size(), off, 4);
    for (int i = 0; i < 4; ++i)
        b[off + i] = static_cast<unsigned char>(v >> (8 * i));
}

// Integer field encoding (Short 2, Long/Date/Time/Autoincrement 4 bytes): big-endian
// two's complement with the top bit inverted; all zero = blank.
inline std::optional<std::int64_t> get_px_int(Bytes b, std::size_t off, std::size_t width) {
    checkRange(b.size(), off, width);
    std::uint64_t raw = 0;
    bool blank = true;
    for (std::size_t i = 0; i < width; ++i) {
        raw = raw << 8 | b[off + i];
        blank = blank && b[off + i] == 0;
    }
    if (blank)
        return std::nullopt;
    const unsigned bits = unsigned(width * 8);
    raw ^= std::uint64_t(1) << (bits - 1);
    // Sign-extend from the field's width.
    const std::uint64_t signBit = std::uint64_t(1) << (bits - 1);
    const std::int64_t value =
        static_cast<std::int64_t>((raw ^ signBit)) - static_cast<std::int64_t>(signBit);
    return value;
}
// The caller keeps value within the width and above its most negative value.
inline void put_px_int(MutableBytes b, std::size_t off, std::size_t width,
                       std::optional<std::int64_t> value) {
    checkRange(b.size(), off, width);
    if (!value) {
        std::memset(b.data() + off, 0, width);
        return;
    }
    std::uint64_t raw = static_cast<std::uint64_t>(*value);
    raw ^= std::uint64_t(1) << (width * 8 - 1);
    for (std::size_t i = 0; i < width; ++i)
        b[off + i] = static_cast<unsigned char>(raw >> (8 * (width - 1 - i)));
}

// Double field encoding (Number, Currency, Timestamp), 8 bytes.
inline std::optional<double> get_px_double(Bytes b, std::size_t off) {
    checkRange(b.size(), off, 8);
    std::uint64_t raw = 0;
    for (std::size_t i = 0; i < 8; ++i)
        raw = raw << 8 | b[off + i];
    if (raw == 0)
        return std::nullopt;
    if (raw & (std::uint64_t(1) << 63))
        raw &= ~(std::uint64_t(1) << 63);
    else
        raw = ~raw;
    return std::bit_cast<double>(raw);
}
// The caller refuses NaN and infinities; -0.0 is stored as +0.0.
inline void put_px_double(MutableBytes b, std::size_t off, std::optional<double> value) {
    checkRange(b.size(), off, 8);
    if (!value) {
        std::memset(b.data() + off, 0, 8);
        return;
    }
    const double v = *value == 0.0 ? 0.0 : *value;
    std::uint64_t raw = std::bit_cast<std::uint64_t>(v);
    if (std::signbit(v))
        raw = ~raw;
    else
        raw |= std::uint64_t(1) << 63;
    for (std::size_t i = 0; i < 8; ++i)
        b[off + i] = static_cast<unsigned char>(raw >> (8 * (7 - i)));
}

}  // namespace etb::data::px
