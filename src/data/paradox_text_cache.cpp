// Growth of the text cache; the lookup itself is inline in the header.
#include "data/paradox_text_cache.h"

#include <bit>

namespace etb::data {

namespace {
constexpr std::size_t kFirstSlots = 64;
}

const QString& ParadoxTextCache::blank() {
    static const QString none;
    return none;
}

const QString* ParadoxTextCache::insert(std::uint64_t key, const unsigned char* bytes,
                                        int keyBytes) {
    if (size() >= kMaxEntries)
        return nullptr;
    if (!m_slots || std::size_t(size() + 1) * 2 > m_mask + 1)
        grow();
    m_texts.push_back(m_codePage->decode(reinterpret_cast<const char*>(bytes), keyBytes));
    const QString* text = &m_texts.back();
    std::size_t at = slotOf(key);
    while (m_slots[at].key != 0)
        at = (at + 1) & m_mask;
    m_slots[at] = {key, text};
    return text;
}

void ParadoxTextCache::grow() {
    const std::size_t count = m_slots ? (m_mask + 1) * 2 : kFirstSlots;
    std::unique_ptr<Slot[]> old = std::move(m_slots);
    const std::size_t oldCount = old ? m_mask + 1 : 0;
    m_slots = std::make_unique<Slot[]>(count);
    m_mask = count - 1;
    m_shift = 64 - std::countr_zero(count);
    for (std::size_t i = 0; i < oldCount; ++i) {
        if (old[i].key == 0)
            continue;
        std::size_t at = slotOf(old[i].key);
        while (m_slots[at].key != 0)
            at = (at + 1) & m_mask;
        m_slots[at] = old[i];
    }
}

}  // namespace etb::data
