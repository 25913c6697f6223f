#include "ComputerPoller.h"

#include "Controller.h"

namespace Draughts
{

ComputerPoller::ComputerPoller(Controller& controller) : m_Controller(controller)
{
    Rendering::Render::instance().addAnimation(this);
}

// The base unregisters.
ComputerPoller::~ComputerPoller() = default;

bool ComputerPoller::animate(double /*nowMs*/)
{
    return m_Controller.poll();
}

} // namespace Draughts
