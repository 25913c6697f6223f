#include "TranspositionTable.h"

#include <sys/mman.h>

#include <algorithm>
#include <new>

namespace Draughts
{
namespace
{
std::uint64_t pack(const TranspositionTable::Entry& entry)
{
    return static_cast<std::uint64_t>(static_cast<std::uint16_t>(entry.score)) |
           static_cast<std::uint64_t>(static_cast<std::uint8_t>(entry.depth)) << 16 |
           static_cast<std::uint64_t>(entry.bound) << 24 | static_cast<std::uint64_t>(entry.move) << 32 |
           static_cast<std::uint64_t>(entry.age) << 40;
}
TranspositionTable::Entry unpack(std::uint64_t data)
{
    TranspositionTable::Entry entry;
    entry.score = static_cast<std::int16_t>(data & 0xFFFF);
    entry.depth = static_cast<std::int8_t>((data >> 16) & 0xFF);
    entry.bound = static_cast<TranspositionTable::Bound>((data >> 24) & 0xFF);
    entry.move = static_cast<std::uint8_t>((data >> 32) & 0xFF);
    entry.age = static_cast<std::uint8_t>((data >> 40) & 0xFF);
    return entry;
}
} // namespace

TranspositionTable::TranspositionTable(std::size_t megabytes)
{
    std::size_t entries = 1024;
    while (entries * 2 * sizeof(Slot) <= megabytes * 1024 * 1024)
        entries *= 2;
    // Every probe lands on a random entry: on 2 MiB pages, where the system has them, the
    // table takes a few hundred address translations instead of thousands.
    const std::size_t bytes = entries * sizeof(Slot);
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    madvise(memory, bytes, MADV_HUGEPAGE);
#endif
    Slot* slots = static_cast<Slot*>(memory);
    for (std::size_t i = 0; i < entries; ++i)
        new (&slots[i]) Slot();
    m_Slots = std::unique_ptr<Slot[], Release>(slots, Release{bytes});
    m_Mask = entries - 1;
}

void TranspositionTable::Release::operator()(Slot* slots) const
{
    munmap(slots, bytes);
}

void TranspositionTable::clear()
{
    for (std::size_t i = 0; i <= m_Mask; ++i) {
        m_Slots[i].check.store(0, std::memory_order_relaxed);
        m_Slots[i].data.store(0, std::memory_order_relaxed);
    }
}

bool TranspositionTable::probe(std::uint64_t key, Entry& entry) const
{
    const Slot& slot = m_Slots[key & m_Mask];
    const std::uint64_t data = slot.data.load(std::memory_order_relaxed);
    const std::uint64_t check = slot.check.load(std::memory_order_relaxed);
    if ((check ^ data) != key)
        return false;
    entry = unpack(data);
    return entry.bound != Bound::None;
}

void TranspositionTable::store(std::uint64_t key, int score, int depth, Bound bound, int move)
{
    Slot& slot = m_Slots[key & m_Mask];
    const std::uint64_t oldData = slot.data.load(std::memory_order_relaxed);
    const std::uint64_t oldKey = slot.check.load(std::memory_order_relaxed) ^ oldData;
    const Entry old = unpack(oldData);
    if (old.bound != Bound::None && oldKey != key && old.age == m_Age && old.depth > depth)
        return;
    Entry entry;
    // A result without a move keeps the move known from before.
    entry.move = static_cast<std::uint8_t>(move == 255 && oldKey == key ? old.move : move);
    entry.score = static_cast<std::int16_t>(score);
    entry.depth = static_cast<std::int8_t>(std::clamp(depth, -100, 100));
    entry.bound = bound;
    entry.age = m_Age;
    const std::uint64_t data = pack(entry);
    slot.data.store(data, std::memory_order_relaxed);
    slot.check.store(key ^ data, std::memory_order_relaxed);
}

} // namespace Draughts
