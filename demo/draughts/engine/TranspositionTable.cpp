#include "TranspositionTable.h"

#include <sys/mman.h>

#include <algorithm>
#include <memory>
#include <new>

namespace Draughts
{

TranspositionTable::TranspositionTable(std::size_t megabytes)
{
    std::size_t entries = 1024;
    while (entries * 2 * sizeof(Entry) <= megabytes * 1024 * 1024)
        entries *= 2;
    // Every probe lands on a random entry: on 2 MiB pages, where the system has them, the
    // table takes a few hundred address translations instead of thousands.
    const std::size_t bytes = entries * sizeof(Entry);
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    madvise(memory, bytes, MADV_HUGEPAGE);
#endif
    m_Entries = std::unique_ptr<Entry[], Release>(static_cast<Entry*>(memory), Release{bytes});
    std::uninitialized_fill_n(m_Entries.get(), entries, Entry());
    m_Mask = entries - 1;
}

void TranspositionTable::Release::operator()(Entry* entries) const
{
    munmap(entries, bytes);
}

void TranspositionTable::clear()
{
    std::fill_n(m_Entries.get(), m_Mask + 1, Entry());
}

const TranspositionTable::Entry* TranspositionTable::probe(std::uint64_t key) const
{
    const Entry& entry = m_Entries[key & m_Mask];
    return entry.bound != Bound::None && entry.key == key ? &entry : nullptr;
}

void TranspositionTable::store(std::uint64_t key, int score, int depth, Bound bound, int move)
{
    Entry& entry = m_Entries[key & m_Mask];
    if (entry.bound != Bound::None && entry.key != key && entry.age == m_Age && entry.depth > depth)
        return;
    // A result without a move keeps the move known from before.
    if (move == 255 && entry.key == key)
        move = entry.move;
    entry.key = key;
    entry.score = static_cast<std::int16_t>(score);
    entry.depth = static_cast<std::int8_t>(std::clamp(depth, -100, 100));
    entry.bound = bound;
    entry.move = static_cast<std::uint8_t>(move);
    entry.age = m_Age;
}

} // namespace Draughts
