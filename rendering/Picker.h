#pragma once

#include <cstdint>
#include <vector>

namespace Core
{
class Board;
class CallBackPicking;
} // namespace Core

namespace Rendering
{

class Camera;

// Selection-mode picking: draws in GL_SELECT through a 2 x 2 pixel region at a window
// position, under the camera's own projection, and reads the nearest hit from the
// selection buffer (Rendering::pickingBuf, which only the picker fills). It also knows
// whether a pick is stale: whether the pointer, the view or the board changed since the
// last pick.
class Picker
{
public:
    // Selection mode aimed at window position (x, y), y downward, in the current viewport:
    // the pick region times the camera's projection (as last built), the projection matrix
    // pushed, the model-view matrix current, the name stack empty.
    void begin(int x, int y, const Camera& camera);
    // Back to render mode with the projection restored: the number of hit records, negative
    // when the selection buffer overflowed.
    int end();
    // The first name of the nearest of `hits` records in the selection buffer (earlier
    // records win ties); false when no record names anything or hits is below 1. Records
    // without names, or running past the buffer, are not taken.
    static bool nearestName(int hits, unsigned int& name);

    // True when a pick at (x, y) of `board` drawn under the current model-view matrix could
    // differ from the last one marked fresh: the pointer, viewport, the model-view matrix, the camera's
    // projection or the polygon mode,
    // the board's squares and pieces or their places (displacements and stacks included),
    // its highlight, or the callbacks to
    // tell changed since.
    bool isStale(int x, int y, const Camera& camera, const Core::Board* board,
                 const std::vector<Core::CallBackPicking*>& callbacks) const;
    // Records the state that a pick just made (and published) leaves.
    void markFresh(int x, int y, const Camera& camera, const Core::Board* board,
                   const std::vector<Core::CallBackPicking*>& callbacks);
    // Forgets the last pick: the next isStale is true.
    void invalidate() { m_Fresh = false; }

private:
    // Everything a pick's outcome depends on, compared whole.
    struct State
    {
        int x = 0;
        int y = 0;
        int viewport[4] = {0, 0, 0, 0};
        int polygonModes[2] = {0, 0};
        double modelView[16] = {};
        double projection[16] = {};
        std::uint64_t scene = 0;
        bool operator==(const State& other) const;
    };
    static State current(int x, int y, const Camera& camera, const Core::Board* board,
                         const std::vector<Core::CallBackPicking*>& callbacks);

    State m_Last;
    bool m_Fresh = false;
};

} // namespace Rendering
