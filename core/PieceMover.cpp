#include "core/PieceMover.h"

#include <algorithm>
#include <cmath>

#include "core/Object.h"
#include "core/Square.h"
#include "rendering/Render.h"

namespace Core
{

namespace
{
constexpr double c_DefaultHopHeight = 0.4;

// The movers alive, told about every drawable destroyed. Never freed: drawables may be
// destroyed during process exit, after any static of this file.
std::vector<PieceMover*>& movers()
{
    static auto* list = new std::vector<PieceMover*>;
    return *list;
}

// Slow at both ends of a leg, fastest in its middle.
double ease(double u)
{
    return u * u * (3.0 - 2.0 * u);
}

const Vec3<double> c_Zero(0.0, 0.0, 0.0);
} // namespace

PieceMover::PieceMover() : m_HopHeight(c_DefaultHopHeight), m_Registered(false), m_Alive(std::make_shared<bool>(true))
{
    movers().push_back(this);
}

PieceMover::~PieceMover()
{
    *m_Alive = false;
    std::vector<PieceMover*>& list = movers();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    for (Move& move : m_Moves)
        drop(move);
    m_Moves.clear();
    unregisterFromRender();
}

void PieceMover::play(Object* piece, const std::vector<Square*>& path, const std::vector<Object*>& captured,
                      double durationMs, bool hop, std::function<void()> onDone)
{
    Move move{piece, {}, {}, durationMs, hop, std::move(onDone), false, 0.0, {}, {}};
    for (Square* square : path)
        if (square)
            move.path.push_back(square);
    for (Object* object : captured)
        if (object && object != piece && std::find(move.captured.begin(), move.captured.end(), object) ==
                                               move.captured.end())
            move.captured.push_back(object);
    m_Moves.push_back(std::move(move));
    registerWithRender();
}

void PieceMover::finish()
{
    while (!m_Moves.empty())
        if (!completeFront())
            return;
    unregisterFromRender();
}

void PieceMover::cancel()
{
    if (m_Moves.empty())
        return;
    if (!m_Moves.front().started) {
        for (Move& move : m_Moves)
            drop(move);
        m_Moves.clear();
    } else {
        while (m_Moves.size() > 1)
            m_Moves.pop_back();
        if (!completeFront())
            return;
    }
    if (m_Moves.empty())
        unregisterFromRender();
}

bool PieceMover::animate(double nowMs)
{
    // A move that follows another starts when that one ends, even when the frame comes
    // later; the first one starts at this frame.
    double startMs = nowMs;
    while (!m_Moves.empty()) {
        Move& move = m_Moves.front();
        if (!move.started)
            start(move, startMs);
        const double endMs = move.startMs + (move.legEndMs.empty() ? 0.0 : move.legEndMs.back());
        if (nowMs < endMs) {
            place(move, nowMs);
            return true;
        }
        startMs = std::min(endMs, nowMs);
        if (!completeFront())
            return false;
    }
    unregisterFromRender();
    return false;
}

void PieceMover::start(Move& move, double startMs)
{
    move.started = true;
    move.startMs = startMs;
    const Square* from = move.piece ? move.piece->getParentSquare() : nullptr;
    if (!from || move.path.empty() || !(move.durationMs > 0.0))
        return; // nothing to glide: the move ends where it starts
    move.points.push_back(from->getObjectPosition(*move.piece));
    for (const Square* square : move.path)
        move.points.push_back(square->getObjectPosition(*move.piece));
    double total = 0.0;
    std::vector<double> lengths;
    for (size_t i = 1; i < move.points.size(); ++i) {
        lengths.push_back((move.points[i] - move.points[i - 1]).length());
        total += lengths.back();
    }
    // Legs share the time by their lengths; legs of no length (all in place) equally.
    double elapsed = 0.0;
    for (const double length : lengths) {
        elapsed += total > 0.0 ? length / total : 1.0 / static_cast<double>(lengths.size());
        move.legEndMs.push_back(move.durationMs * elapsed);
    }
    move.legEndMs.back() = move.durationMs;
}

void PieceMover::place(const Move& move, double nowMs) const
{
    const Square* square = move.piece ? move.piece->getParentSquare() : nullptr;
    if (!square || move.legEndMs.empty())
        return;
    const double t = std::max(0.0, nowMs - move.startMs);
    size_t leg = 0;
    while (leg + 1 < move.legEndMs.size() && t >= move.legEndMs[leg])
        ++leg;
    const double legStart = leg == 0 ? 0.0 : move.legEndMs[leg - 1];
    const double legTime = move.legEndMs[leg] - legStart;
    const double u = legTime > 0.0 ? std::min(1.0, (t - legStart) / legTime) : 1.0;
    const double s = ease(u);
    const Vec3<double>& a = move.points[leg];
    const Vec3<double>& b = move.points[leg + 1];
    Vec3<double> at = a + (b - a) * s;
    if (move.hop)
        at.y() += m_HopHeight * 4.0 * s * (1.0 - s);
    // Relative to where the piece stands now, even if the game moved it meanwhile.
    move.piece->setDisplacement(at - square->getObjectPosition(*move.piece));
}

bool PieceMover::completeFront()
{
    Move move = std::move(m_Moves.front());
    m_Moves.pop_front();
    if (move.piece) {
        move.piece->setDisplacement(c_Zero);
        if (!move.path.empty())
            move.path.back()->pushObject(move.piece);
    }
    // Each deletion reaches forget(), which drops the later moves of the piece deleted but
    // never touches this one, already out of the queue.
    for (Object* captured : move.captured)
        delete captured;
    if (!move.onDone)
        return true;
    const std::shared_ptr<bool> alive = m_Alive;
    move.onDone();
    return *alive;
}

void PieceMover::drop(Move& move)
{
    if (move.started && move.piece)
        move.piece->setDisplacement(c_Zero);
}

void PieceMover::registerWithRender()
{
    if (m_Registered)
        return;
    m_Registered = true;
    Rendering::Render::instance().addAnimation(this);
}

void PieceMover::unregisterFromRender()
{
    if (!m_Registered)
        return;
    m_Registered = false;
    if (Rendering::Render* render = Rendering::Render::existing())
        render->removeAnimation(this);
}

void PieceMover::forget(const Drawable* drawable)
{
    for (PieceMover* mover : movers()) {
        std::deque<Move>& moves = mover->m_Moves;
        for (auto it = moves.begin(); it != moves.end();) {
            const bool ownPiece = it->piece && it->piece == drawable;
            if (ownPiece)
                it->piece = nullptr; // being destroyed: not to be touched any more
            if (ownPiece || std::find(it->path.begin(), it->path.end(), drawable) != it->path.end()) {
                drop(*it);
                it = moves.erase(it);
                continue;
            }
            it->captured.erase(std::remove(it->captured.begin(), it->captured.end(), drawable), it->captured.end());
            ++it;
        }
        if (moves.empty())
            mover->unregisterFromRender();
    }
}

} // namespace Core
