#pragma once

namespace Rendering
{

// The frames' time: milliseconds of a monotonic clock since the process started, and the
// number of frames drawn per second, reported once a second for the window title.
class FrameClock
{
public:
    // Milliseconds since the process started (taken when the library was loaded), on a
    // clock that only moves forward, whatever the system time does.
    static double now();

    // Counts a frame drawn at `nowMs`. Once a second has passed since the last report (the
    // first report is due at 2000 ms) it returns true with the frames counted since then in
    // `frames`; the frame that reports counts toward the next second.
    bool countFrame(double nowMs, unsigned int& frames);
    // The same report without a frame: true, with the frames counted since the last report,
    // when one is due at `nowMs`.
    bool report(double nowMs, unsigned int& frames);
    // When the next report is due, in milliseconds since the process started.
    double nextReportMs() const { return m_LastReportMs + c_ReportPeriodMs; }

private:
    static constexpr double c_ReportPeriodMs = 1000.0;

    double m_LastReportMs = 1000.0;
    unsigned int m_Frames = 0;
};

} // namespace Rendering
