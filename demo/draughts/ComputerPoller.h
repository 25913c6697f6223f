#pragma once

#include "rendering/Animation.h"

namespace Draughts
{

class Controller;

// Collects the computer's move on the main thread: registered with the render as an
// animation while it lives, it polls the controller at the start of every frame. While
// the computer searches it says it is moving, so that frames keep coming (also when the
// render draws on demand) until the move is played; otherwise frames come on events.
class ComputerPoller final : public Rendering::Animation
{
public:
    explicit ComputerPoller(Controller& controller);
    ~ComputerPoller();
    ComputerPoller(const ComputerPoller&) = delete;
    ComputerPoller& operator=(const ComputerPoller&) = delete;

    bool animate(double nowMs) override;

private:
    Controller& m_Controller;
};

} // namespace Draughts
