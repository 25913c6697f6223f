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
    Session& session = m_Controller.session();
    if (session.isChoosingGame()) {
        using Step = GameList::Step;
        switch (key) {
        case GLUT_KEY_UP:
            return session.stepGames(Step::Up);
        case GLUT_KEY_DOWN:
            return session.stepGames(Step::Down);
        case GLUT_KEY_PAGE_UP:
            return session.stepGames(Step::PageUp);
        case GLUT_KEY_PAGE_DOWN:
            return session.stepGames(Step::PageDown);
        case GLUT_KEY_HOME:
            return session.stepGames(Step::Home);
        case GLUT_KEY_END:
            return session.stepGames(Step::End);
        default:
            return;
        }
    }
    if (key != GLUT_KEY_LEFT && key != GLUT_KEY_RIGHT)
        return;
    m_Controller.finishMoves();
    if (key == GLUT_KEY_LEFT)
        m_Controller.session().stepBack();
    else
        m_Controller.session().stepForward();
}

void KeyInput::update()
{
    press(m_Key);
}

void KeyInput::press(unsigned char key)
{
    Session& session = m_Controller.session();
    // Anything done first completes the move gliding.
    m_Controller.finishMoves();
    if (key == 'g' || key == 'G') {
        session.toggleGames();
        return;
    }
    // While the list of games is shown, only its keys act (Escape is the engine's).
    if (session.isChoosingGame()) {
        if (key == '\r' || key == '\n')
            session.openChosenGame();
        return;
    }
    Color waiting = Color::White;
    switch (key) {
    case 'n':
    case 'N':
        session.newGame();
        break;
    case 'u':
    case 'U':
        session.undo();
        break;
    case 's':
    case 'S':
        session.save(m_SaveDirectory);
        break;
    case 'h':
    case 'H':
        session.hint();
        break;
    case 'c':
    case 'C':
    case 'm':
    case 'M':
        if (session.stalled(waiting))
            session.handOver(waiting, key == 'c' || key == 'C');
        break;
    default:
        break;
    }
}

} // namespace Draughts
