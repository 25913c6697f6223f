#pragma once

#include "rendering/Render.h"

namespace Rendering
{

// Something outside the engine's own events that may change the scene at any moment: a
// computer player on another thread, a child process, a network peer. Registered with
// Render::addPoller, it is asked every few milliseconds from the main loop (without drawing)
// whether it changed anything; a frame is asked for only when one says so. So a program
// drawing on demand draws nothing while such a source is quiet.
class Poller
{
public:
    Poller() {}
    // Takes in what arrived since the last call, on the main thread, at `nowMs`
    // (milliseconds of FrameClock::now()). Returns true when the scene changed and a frame
    // is needed.
    virtual bool poll(double nowMs) = 0;

protected:
    // Pollers are never deleted through this base. Unregisters itself: no poll reaches a
    // destroyed poller.
    ~Poller()
    {
        if (Render* render = Render::existing())
            render->removePoller(this);
    }
};

} // namespace Rendering
