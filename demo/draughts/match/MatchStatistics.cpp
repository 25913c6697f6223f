#include "MatchStatistics.h"

#include <algorithm>
#include <cmath>

namespace Draughts
{
namespace
{
constexpr double c_MaxElo = 1000;
// Two-sided 95 % quantile of the normal distribution.
constexpr double c_Quantile = 1.959964;
} // namespace

void MatchStatistics::add(double points)
{
    if (points > 0.75)
        ++m_Wins;
    else if (points < 0.25)
        ++m_Losses;
    else
        ++m_Draws;
}

double MatchStatistics::score() const
{
    return games() == 0 ? 0.5 : (m_Wins + 0.5 * m_Draws) / games();
}

double MatchStatistics::expectedScore(double elo)
{
    return 1 / (1 + std::pow(10.0, -elo / 400));
}

double MatchStatistics::eloOf(double score)
{
    if (score <= 0)
        return -c_MaxElo;
    if (score >= 1)
        return c_MaxElo;
    return std::clamp(-400 * std::log10(1 / score - 1), -c_MaxElo, c_MaxElo);
}

double MatchStatistics::elo() const
{
    return eloOf(score());
}

double MatchStatistics::variance() const
{
    if (games() == 0)
        return 0;
    const double s = score();
    return (m_Wins * (1 - s) * (1 - s) + m_Draws * (0.5 - s) * (0.5 - s) + m_Losses * s * s) / games();
}

double MatchStatistics::margin() const
{
    if (games() < 2)
        return c_MaxElo;
    const double deviation = std::sqrt(variance() / games());
    const double high = eloOf(score() + c_Quantile * deviation);
    const double low = eloOf(score() - c_Quantile * deviation);
    return (high - low) / 2;
}

double MatchStatistics::likelihoodRatio(double elo0, double elo1) const
{
    const double v = variance();
    if (games() == 0 || v <= 0)
        return 0;
    const double s0 = expectedScore(elo0);
    const double s1 = expectedScore(elo1);
    return games() * (s1 - s0) * (2 * score() - s0 - s1) / (2 * v);
}

MatchStatistics::Verdict MatchStatistics::sprt(double elo0, double elo1, double alpha, double beta) const
{
    const double ratio = likelihoodRatio(elo0, elo1);
    if (ratio >= std::log((1 - beta) / alpha))
        return Verdict::Better;
    if (ratio <= std::log(beta / (1 - alpha)))
        return Verdict::NotBetter;
    return Verdict::Open;
}

} // namespace Draughts
