#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace Draughts
{

// What the search learnt about positions, by hash: a score with its depth and kind of bound,
// and the index of the best move in the position's move list. Fixed size, allocated once;
// newer and deeper results replace older ones.
class TranspositionTable
{
public:
    enum class Bound : std::uint8_t
    {
        None,
        Exact,
        Lower,
        Upper
    };
    struct Entry
    {
        std::uint64_t key = 0;
        std::int16_t score = 0;
        std::int8_t depth = 0;
        Bound bound = Bound::None;
        std::uint8_t move = 0;
        std::uint8_t age = 0;
    };

    // A table of about the given size (rounded down to a power of two entries, at least 1024).
    explicit TranspositionTable(std::size_t megabytes);
    // Forgets everything.
    void clear();
    // Marks later entries as newer than the earlier ones, which they replace first.
    void startSearch() { ++m_Age; }
    // The entry for a position, or null.
    const Entry* probe(std::uint64_t key) const;
    // Records a result; the move index is 255 when there is none.
    void store(std::uint64_t key, int score, int depth, Bound bound, int move);

private:
    struct Release
    {
        std::size_t bytes;
        void operator()(Entry* entries) const;
    };
    std::unique_ptr<Entry[], Release> m_Entries;
    std::size_t m_Mask = 0;
    std::uint8_t m_Age = 0;
};

} // namespace Draughts
