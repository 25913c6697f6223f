#pragma once

#include "rendering/Render.h"

namespace Rendering
{

// An element drawn over the scene every frame (Render::pushBackHUD).
class HUD
{
public:
    HUD() {}
    virtual void draw() = 0;

protected:
    // Elements are never deleted through this base. Unregisters itself: no frame reaches
    // a destroyed element.
    ~HUD()
    {
        if (Render* render = Render::existing())
            render->removeHUD(this);
    }
};

} // namespace Rendering
