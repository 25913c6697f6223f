#include "TranspositionTable.h"

#include <algorithm>

namespace Draughts
{

TranspositionTable::TranspositionTable(std::size_t megabytes)
{
    std::size_t entries = 1024;
    while (entries * 2 * sizeof(Entry) <= megabytes * 1024 * 1024)
        entries *= 2;
    m_Entries.resize(entries);
    m_Mask = entries - 1;
}

void TranspositionTable::clear()
{
    std::fill(m_Entries.begin(), m_Entries.end(), Entry());
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
