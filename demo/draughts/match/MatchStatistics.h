#pragma once

namespace Draughts
{

// The score of a match between two players, from the first one's side: wins, draws and
// losses, the Elo difference they suggest with its 95 % margin, and a sequential
// probability ratio test between two Elo hypotheses (logistic Elo, the normal
// approximation of the score's distribution), so a match can stop once its result is clear.
class MatchStatistics
{
public:
    enum class Verdict
    {
        // Not enough games yet.
        Open,
        // The difference is at least elo1 (hypothesis H1 accepted).
        Better,
        // The difference is at most elo0 (H0 accepted).
        NotBetter
    };

    void add(double points);
    int games() const { return m_Wins + m_Draws + m_Losses; }
    int wins() const { return m_Wins; }
    int draws() const { return m_Draws; }
    int losses() const { return m_Losses; }
    // Points per game, 0..1 (0.5 before any game).
    double score() const;
    // The Elo difference the score gives (clamped to +-1000 for a whole score of 0 or 1).
    double elo() const;
    // Half the width of the 95 % confidence interval of elo(), in Elo.
    double margin() const;

    // Log-likelihood ratio of H1 (elo1) against H0 (elo0) after the games so far.
    double likelihoodRatio(double elo0, double elo1) const;
    // The test with error rates alpha (accepting H1 wrongly) and beta (accepting H0 wrongly).
    Verdict sprt(double elo0, double elo1, double alpha = 0.05, double beta = 0.05) const;

    // The expected score of a player this many Elo stronger.
    static double expectedScore(double elo);
    // The Elo difference of an expected score in (0, 1).
    static double eloOf(double score);

private:
    // Per-game variance of the points.
    double variance() const;

    int m_Wins = 0;
    int m_Draws = 0;
    int m_Losses = 0;
};

} // namespace Draughts
