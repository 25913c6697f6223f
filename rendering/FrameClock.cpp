#include "rendering/FrameClock.h"

#include <chrono>

namespace Rendering
{

namespace
{
// Taken when the library is loaded, which is process start for every program using it.
const std::chrono::steady_clock::time_point c_ProcessStart = std::chrono::steady_clock::now();
} // namespace

double FrameClock::now()
{
    using Ms = std::chrono::duration<double, std::milli>;
    return std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - c_ProcessStart).count();
}

bool FrameClock::countFrame(double nowMs, unsigned int& frames)
{
    const bool reported = report(nowMs, frames);
    ++m_Frames;
    return reported;
}

bool FrameClock::report(double nowMs, unsigned int& frames)
{
    if (nowMs - m_LastReportMs < c_ReportPeriodMs)
        return false;
    m_LastReportMs = nowMs;
    frames = m_Frames;
    m_Frames = 0;
    return true;
}

} // namespace Rendering
