#include "rendering/Picker.h"

#include <GL/glu.h>

#include <climits>
#include <cstring>

#include "core/Board.h"
#include "core/CallBackPicking.h"
#include "core/Object.h"
#include "core/Square.h"
#include "rendering/Camera.h"
#include "rendering/Render.h"

namespace Rendering
{

namespace
{
constexpr unsigned int c_BufferSize = sizeof(pickingBuf) / sizeof(pickingBuf[0]);
constexpr double c_RegionPixels = 2.0;

// FNV-1a over 64-bit words: what the pick depends on in the scene, folded into one value.
class Signature
{
public:
    void add(std::uint64_t value)
    {
        for (int i = 0; i < 8; ++i, value >>= 8)
            m_Value = (m_Value ^ (value & 0xFFu)) * 0x100000001B3ull;
    }
    void add(const void* pointer) { add(static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(pointer))); }
    void add(double value)
    {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        add(bits);
    }
    std::uint64_t value() const { return m_Value; }

private:
    std::uint64_t m_Value = 0xCBF29CE484222325ull;
};

// The board as the pick pass draws it: its squares in order with their corners, and the
// pieces on each with what places and shapes them (a moving piece's displacement, a stack); the highlight the pick moves, and the
// callbacks it tells.
std::uint64_t sceneSignature(const Core::Board* board, const std::vector<Core::CallBackPicking*>& callbacks)
{
    Signature s;
    s.add(board);
    for (const Core::CallBackPicking* callback : callbacks)
        s.add(callback);
    if (!board)
        return s.value();
    s.add(static_cast<std::uint64_t>(board->getSize().x()) << 32 | board->getSize().y());
    s.add(static_cast<std::uint64_t>(board->isAutoHighlightEnabled()));
    s.add(board->getHighlightedSquare());
    for (const Core::Square* square : board->getSquares()) {
        s.add(square);
        for (const Vec2<unsigned int>& corner : square->getCoords().m_Points)
            s.add(static_cast<std::uint64_t>(corner.x()) << 32 | corner.y());
        for (const Core::Object* piece : square->getObjects()) {
            s.add(piece);
            s.add(piece->getMesh());
            s.add(piece->getScale());
            s.add(piece->deltaTranslateY());
            s.add(piece->getDisplacement().x());
            s.add(piece->getDisplacement().y());
            s.add(piece->getDisplacement().z());
            s.add(static_cast<std::uint64_t>(piece->getStack()));
            s.add(static_cast<std::uint64_t>(piece->getAlignment().m_Vertical) << 32 |
                  static_cast<std::uint64_t>(piece->getAlignment().m_Horizontal) << 1 | piece->getDrawBound());
        }
    }
    return s.value();
}
} // namespace

bool Picker::State::operator==(const State& other) const
{
    return x == other.x && y == other.y && std::memcmp(viewport, other.viewport, sizeof viewport) == 0 &&
           std::memcmp(polygonModes, other.polygonModes, sizeof polygonModes) == 0 &&
           std::memcmp(modelView, other.modelView, sizeof modelView) == 0 &&
           std::memcmp(projection, other.projection, sizeof projection) == 0 && scene == other.scene;
}

void Picker::begin(int x, int y, const Camera& camera)
{
    glSelectBuffer(static_cast<GLsizei>(c_BufferSize), pickingBuf);
    glRenderMode(GL_SELECT);

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    gluPickMatrix(x, viewport[3] - y, c_RegionPixels, c_RegionPixels, viewport);
    glMultMatrixd(camera.getProjectionMatrix().getPtr());

    glMatrixMode(GL_MODELVIEW);
    glInitNames();
}

int Picker::end()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glFlush();
    return glRenderMode(GL_RENDER);
}

bool Picker::nearestName(int hits, unsigned int& name)
{
    if (hits < 1)
        return false;
    // Records are (name count, min depth, max depth, names...). Nearest wins; ties keep
    // the earlier record. A record running past the buffer ends the walk.
    const unsigned int* chosen = nullptr;
    unsigned int best = UINT_MAX;
    unsigned int offset = 0;
    for (int i = 0; i < hits; ++i) {
        if (offset + 3 > c_BufferSize)
            break;
        const unsigned int nameCount = pickingBuf[offset];
        if (nameCount > c_BufferSize - offset - 3)
            break;
        if (nameCount > 0 && pickingBuf[offset + 1] < best) {
            best = pickingBuf[offset + 1];
            chosen = &pickingBuf[offset];
        }
        offset += 3 + nameCount;
    }
    if (!chosen)
        return false;
    name = chosen[3];
    return true;
}

Picker::State Picker::current(int x, int y, const Camera& camera, const Core::Board* board,
                              const std::vector<Core::CallBackPicking*>& callbacks)
{
    State state;
    state.x = x;
    state.y = y;
    glGetIntegerv(GL_VIEWPORT, state.viewport);
    glGetIntegerv(GL_POLYGON_MODE, state.polygonModes);
    glGetDoublev(GL_MODELVIEW_MATRIX, state.modelView);
    std::memcpy(state.projection, camera.getProjectionMatrix().getPtr(), sizeof state.projection);
    state.scene = sceneSignature(board, callbacks);
    return state;
}

bool Picker::isStale(int x, int y, const Camera& camera, const Core::Board* board,
                     const std::vector<Core::CallBackPicking*>& callbacks) const
{
    return !m_Fresh || !(current(x, y, camera, board, callbacks) == m_Last);
}

void Picker::markFresh(int x, int y, const Camera& camera, const Core::Board* board,
                       const std::vector<Core::CallBackPicking*>& callbacks)
{
    m_Last = current(x, y, camera, board, callbacks);
    m_Fresh = true;
}

} // namespace Rendering
