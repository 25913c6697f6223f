#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "PatternFeatures.h"

namespace Draughts
{

// The learnt evaluation: the hand-set evaluation corrected by a weight for every configuration
// of every board region and for each whole-board term (PatternFeatures), once for the middle
// game and once for the ending, blended by the phase; in hundredths of a man from the side to
// move, plus a hand-set bonus for the squares each side's kings can fly to. The weights come
// from a file written by the trainer (draughts_train) and never change once loaded, so one
// object may serve any number of searches on any threads.
class PatternEvaluation
{
public:
    // Hundredths of a man for each empty square a side's kings can reach in one flight.
    static constexpr int c_KingReach = 6;

    // Where installed() looks, relative to the running program's folder.
    static const char* const c_InstalledPath;

    // All weights zero.
    PatternEvaluation();

    // The score of a position, from the side to move.
    int evaluate(const Position& position) const;
    // The learnt correction alone, from White's side, before lone-king endings are scaled.
    int whiteScore(const PatternFeatures& features) const;

    // A region configuration's weight (phase 0 middle game, 1 ending) and a term's.
    std::int16_t& region(int region, int configuration, int phase)
    {
        return m_Regions[(static_cast<std::size_t>(region) * PatternFeatures::c_Configurations + configuration) * 2 +
                         phase];
    }
    std::int16_t& term(int term, int phase) { return m_Terms[term * 2 + phase]; }
    // The king-reach bonus (c_KingReach unless set); set it before sharing the object.
    void setKingReach(int weight) { m_KingReach = weight; }

    // Reads a weights file. False with a one-line reason when it is not a regular file, has
    // not exactly the size and layout of this build's weights, or fails its checksum.
    bool load(const std::string& path, std::string& error);
    // Writes the weights (to a new file beside the path, then renamed over it). False with a
    // one-line reason on failure, the old file kept.
    bool save(const std::string& path, std::string& error) const;

    // The weights installed with the program, loaded on the first call (from any thread) and
    // shared; null when they cannot be loaded, `why` then telling why (every call).
    static std::shared_ptr<const PatternEvaluation> installed(std::string* why = nullptr);

private:
    std::vector<std::int16_t> m_Regions;
    std::vector<std::int16_t> m_Terms;
    int m_KingReach = c_KingReach;
};

} // namespace Draughts
