#pragma once

namespace Rendering
{

// An element drawn over the scene every frame (Render::pushBackHUD).
class HUD
{
public:
    HUD() {}
    virtual void draw() = 0;

protected:
    // Elements are never deleted through this base.
    ~HUD() {}
};

} // namespace Rendering
