#pragma once

#include <string>

#include "core/CallBackKeyboard.h"

namespace Draughts
{

class Controller;

// The game's keys, handed to the controller's session: n new game, u undo, s save (in the
// working directory), h hint, c and m hand a side whose opponent failed to the computer
// or to the person (either case), the left and right arrows a move back or forward, g the
// list of a file's games (or back from it to the game). While the list is shown, the up and
// down arrows, page up and down, home and end choose a game and Enter opens it.
// Registers itself with the render (and claims 's', which the camera would otherwise
// take) while it lives.
class KeyInput final : public Core::CallBackKeyboard
{
public:
    KeyInput(Controller& controller, const std::string& saveDirectory);
    ~KeyInput();
    KeyInput(const KeyInput&) = delete;
    KeyInput& operator=(const KeyInput&) = delete;

    void update() override;
    void specialKey(int key, int x, int y) override;
    // The same for a key given directly.
    void press(unsigned char key);

private:
    Controller& m_Controller;
    std::string m_SaveDirectory;
};

} // namespace Draughts
