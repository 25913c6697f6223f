#include "KeyInput.h"

#include "Controller.h"
#include "rendering/Render.h"

namespace Draughts
{

KeyInput::KeyInput(Controller& controller, const std::string& saveDirectory)
    : m_Controller(controller), m_SaveDirectory(saveDirectory)
{
    Rendering::Render::instance().getCallBacksKeyboard().push_back(this);
}

KeyInput::~KeyInput()
{
    if (Rendering::Render* render = Rendering::Render::existing())
        render->removeCallBackKeyboard(this);
}

void KeyInput::update()
{
    press(m_Key);
}

void KeyInput::press(unsigned char key)
{
    switch (key) {
    case 'n':
    case 'N':
        m_Controller.newGame();
        break;
    case 'u':
    case 'U':
        m_Controller.undo();
        break;
    case 's':
    case 'S':
        m_Controller.save(m_SaveDirectory);
        break;
    case 'h':
    case 'H':
        m_Controller.hint();
        break;
    default:
        break;
    }
}

} // namespace Draughts
