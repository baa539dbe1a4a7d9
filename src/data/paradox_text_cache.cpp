// Filling the text cache; the lookup itself is inline in the header.
#include "data/paradox_text_cache.h"

namespace etb::data {

const ParadoxTextCache::Entry& ParadoxTextCache::blank() {
    static const Entry none;
    return none;
}

const ParadoxTextCache::Entry* ParadoxTextCache::insert(std::uint64_t key,
                                                        const unsigned char* bytes, int keyBytes) {
    if (m_size >= kMaxEntries)
        return nullptr;
    if (!m_slots)
        m_slots = std::make_unique<Slot[]>(kMask + 1);
    std::size_t at = slotOf(key);
    while (m_slots[at].key != 0)
        at = (at + 1) & kMask;
    Slot& slot = m_slots[at];
    slot.key = key;
    slot.entry.text = m_codePage->decode(reinterpret_cast<const char*>(bytes), keyBytes);
    slot.entry.utf8 = slot.entry.text.toUtf8();
    ++m_size;
    return &slot.entry;
}

}  // namespace etb::data
