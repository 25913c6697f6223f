#include "Controller.h"

#include "rendering/Render.h"

namespace Draughts
{

Controller::Controller(BoardView& view, Session& session)
    : CallBackPicking(&view.getBoard()), m_View(view), m_Session(session)
{
    m_Session.setOnMove([this](const Position&, const Move& played) { moved(played); });
    m_Session.setOnChange([this]() { refresh(); });
    Rendering::Render::instance().addCallBackPicking(this);
    Rendering::Render::instance().addPoller(this);
    refresh();
}

Controller::~Controller()
{
    m_Session.setOnMove(nullptr);
    m_Session.setOnChange(nullptr);
    if (Rendering::Render* render = Rendering::Render::existing())
        render->removeCallBackPicking(this);
}

void Controller::shutdown()
{
    m_Session.shutdown();
    m_Mover.cancel();
}

void Controller::update()
{
    click(m_View.numberOf(m_PickedSquare));
}

void Controller::click(int number)
{
    m_Mover.finish();
    m_Session.click(number);
}

bool Controller::poll(double /*nowMs*/)
{
    if (m_Mover.isBusy())
        return false;
    return m_Session.poll();
}

void Controller::moved(const Move& played)
{
    m_Mover.finish();
    // The piece and what it takes, as the board shows them before the move.
    Core::Object* piece = m_View.pieceOn(played.from());
    if (m_LegMs <= 0.0 || !piece)
        return;
    std::vector<Core::Square*> path;
    std::vector<Core::Object*> taken;
    for (int landing : played.landings())
        path.push_back(m_View.square(landing));
    for (int square : played.captured())
        taken.push_back(m_View.pieceOn(square));
    m_Mover.play(piece, path, taken, m_LegMs * static_cast<double>(path.size()), played.isCapture(), [this]() {
        m_View.show(m_Session.game().position());
        Rendering::Render::instance().requestRedraw();
    });
}

void Controller::refresh()
{
    if (!m_Mover.isBusy())
        m_View.show(m_Session.game().position());
    m_View.face(m_Session.facing());
    m_View.clearMarks();
    const int selected = m_Session.selected();
    if (selected != 0) {
        m_View.markSelected(selected);
        if (m_Session.destination() != 0)
            m_View.markSelected(m_Session.destination());
    } else if (!m_Session.shownHint().isEmpty()) {
        m_View.markSelected(m_Session.shownHint().from());
    }
    for (int square : m_Session.marked())
        m_View.markDestination(square);
    m_View.setTexts(m_Session.statusText(), m_Session.helpText());
    Rendering::Render::instance().requestRedraw();
}

} // namespace Draughts
