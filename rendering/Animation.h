#pragma once

#include "rendering/Render.h"

namespace Rendering
{

// Something that changes the scene over time (a piece gliding along its path, a fading
// message), registered with Render::addAnimation. At the start of every frame it is told
// the frame's time and moves the scene there; while it says it still moves, frames keep
// coming, also when the render draws on demand.
class Animation
{
public:
    Animation() {}
    // Moves the scene to `nowMs` (milliseconds since the process started, the clock of
    // FrameClock::now()). Returns true while there is more to come, false once still.
    virtual bool animate(double nowMs) = 0;

protected:
    // Animations are never deleted through this base. Unregisters itself: no frame reaches
    // a destroyed animation.
    ~Animation()
    {
        if (Render* render = Render::existing())
            render->removeAnimation(this);
    }
};

} // namespace Rendering
