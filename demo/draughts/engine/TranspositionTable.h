#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace Draughts
{

// What the search learnt about positions, by hash: a score with its depth and kind of bound,
// and the index of the best move in the position's move list. Fixed size, allocated once;
// newer and deeper results replace older ones.
//
// Searches on several threads may probe and store at once: each slot is two 64-bit words
// written and read whole (the entry, and the key mixed with it), so that a slot torn by two
// writers reads as empty instead of as a wrong entry.
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
        std::int16_t score = 0;
        std::int8_t depth = 0;
        Bound bound = Bound::None;
        std::uint8_t move = 0;
        std::uint8_t age = 0;
    };

    // A table of about the given size (rounded down to a power of two entries, at least 1024).
    explicit TranspositionTable(std::size_t megabytes);
    // Forgets everything. Not while a search uses the table.
    void clear();
    // Marks later entries as newer than the earlier ones, which they replace first. Not while a
    // search uses the table.
    void startSearch() { m_Age = static_cast<std::uint8_t>(m_Age + 1); }
    // The entry for a position, false when there is none.
    bool probe(std::uint64_t key, Entry& entry) const;
    // Starts loading a position's entry into the cache, for a probe soon after.
    void prefetch(std::uint64_t key) const { __builtin_prefetch(&m_Slots[key & m_Mask]); }
    // Records a result; the move index is 255 when there is none.
    void store(std::uint64_t key, int score, int depth, Bound bound, int move);

private:
    struct Slot
    {
        std::atomic<std::uint64_t> check{0};
        std::atomic<std::uint64_t> data{0};
    };
    struct Release
    {
        std::size_t bytes;
        void operator()(Slot* slots) const;
    };
    std::unique_ptr<Slot[], Release> m_Slots;
    std::size_t m_Mask = 0;
    std::uint8_t m_Age = 0;
};

} // namespace Draughts
