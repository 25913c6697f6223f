#include "KeyInput.h"

#include <GL/freeglut.h>

#include "Controller.h"
#include "rendering/Render.h"

namespace Draughts
{

KeyInput::KeyInput(Controller& controller, const std::string& saveDirectory)
    : m_Controller(controller), m_SaveDirectory(saveDirectory)
{
    Rendering::Render::instance().getCallBacksKeyboard().push_back(this);
    Rendering::Render::instance().claimKey('s');
}

KeyInput::~KeyInput()
{
    if (Rendering::Render* render = Rendering::Render::existing()) {
        render->removeCallBackKeyboard(this);
        render->claimKey('s', false);
    }
}

void KeyInput::specialKey(int key, int /*x*/, int /*y*/)
{
    if (key == GLUT_KEY_LEFT)
        m_Controller.stepBack();
    else if (key == GLUT_KEY_RIGHT)
        m_Controller.stepForward();
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
