// Decoded Alpha texts of one table, keyed on their stored bytes, so that a text repeated
// over many rows (a chapter code, a movement type) is decoded and allocated once and then
// handed out as a shared QString (and the same text in UTF-8, for SQLite).
#pragma once

#include "data/paradox_codepage.h"

#include <QByteArray>
#include <QString>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>

namespace etb::data {

class ParadoxTextCache {
public:
    // A cached text, decoded and in UTF-8; a blank one has a null text and empty bytes.
    struct Entry {
        QString text;
        QByteArray utf8;
    };

    // Texts kept at most; later new texts are not cached (the caller decodes them itself).
    static constexpr int kMaxEntries = 4096;

    explicit ParadoxTextCache(const ParadoxCodePage& codePage) : m_codePage(&codePage) {}
    ParadoxTextCache(const ParadoxTextCache&) = delete;
    ParadoxTextCache& operator=(const ParadoxTextCache&) = delete;

    // The text of an Alpha value of width bytes (up to its first NUL; a first NUL is blank
    // and gives a null QString), or nullptr when the text is not cached and cannot be: it is
    // longer than the 8 bytes a key holds, or the cache is full. The caller checked that the
    // width bytes are readable, and when wordReadable, that 8 bytes are. A returned text
    // stays valid and unchanged as long as the cache.
    const QString* find(const unsigned char* bytes, int width, bool wordReadable = false) {
        const Entry* entry = findEntry(bytes, width, wordReadable);
        return entry ? &entry->text : nullptr;
    }

    // As find(), with the text's UTF-8 bytes beside it; they too stay put as long as the cache.
    const Entry* findEntry(const unsigned char* bytes, int width, bool wordReadable = false) {
        // The key is the value's first 8 bytes (fewer for a narrower field), bytes after a
        // NUL included: equal keys mean equal bytes, so equal texts.
        std::uint64_t key = 0;
        if (wordReadable) {
            std::memcpy(&key, bytes, 8);
            if constexpr (std::endian::native == std::endian::big)
                key = __builtin_bswap64(key);  // first byte lowest, as below
        } else {
            for (int i = 0; i < width && i < 8; ++i)
                key |= std::uint64_t(bytes[i]) << (8 * i);
        }
        if (width < 8)
            key &= (std::uint64_t(1) << (8 * width)) - 1;
        if ((key & 0xFF) == 0)
            return &blank();
        if (width > 8 && bytes[8] != 0 && !hasNul(key))
            return nullptr;  // the text goes on past the key
        if (m_slots) {
            for (std::size_t at = slotOf(key);; at = (at + 1) & kMask) {
                const Slot& slot = m_slots[at];
                if (slot.key == key)
                    return &slot.entry;
                if (slot.key == 0)
                    break;
            }
        }
        return insert(key, bytes, width < 8 ? width : 8);
    }

    int size() const { return m_size; }

private:
    // A text sits in its slot, next to its key: a lookup reads one cache line. The slots
    // are made once, at their full number, so that a text never moves.
    struct alignas(64) Slot {
        std::uint64_t key = 0;  // the stored bytes, first byte lowest; 0 = empty slot
        Entry entry;
    };
    static constexpr int kSlotBits = 13;  // twice kMaxEntries: at most half full
    static constexpr std::size_t kMask = (std::size_t(1) << kSlotBits) - 1;

    static const Entry& blank();
    static bool hasNul(std::uint64_t word) {
        return ((word - 0x0101010101010101ull) & ~word & 0x8080808080808080ull) != 0;
    }
    static std::size_t slotOf(std::uint64_t key) {
        return std::size_t((key * 0x9E3779B97F4A7C15ull) >> (64 - kSlotBits));
    }
    // key holds the keyBytes first bytes of the value at bytes, whose text ends within them.
    const Entry* insert(std::uint64_t key, const unsigned char* bytes, int keyBytes);

    const ParadoxCodePage* m_codePage;
    std::unique_ptr<Slot[]> m_slots;  // open addressing; made by the first insert
    int m_size = 0;
};

}  // namespace etb::data
