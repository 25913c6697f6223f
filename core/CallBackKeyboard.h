#pragma once

#include "rendering/Render.h"

namespace Core
{

// An application's reaction to a key the engine does not use itself (or that the
// application claimed, Rendering::Render::claimKey), and to special keys. Append to
// Rendering::Render::getCallBacksKeyboard(); never deleted by the engine.
class CallBackKeyboard
{
public:
    CallBackKeyboard() : m_Key(0), m_X(0), m_Y(0) {}

    // The key as the window system reports it and the pointer position in window pixels.
    void setKeyboardEvent(unsigned char key, int x, int y)
    {
        m_Key = key;
        m_X = x;
        m_Y = y;
    }
    // Called right after setKeyboardEvent.
    virtual void update() = 0;
    // A special key: `key` is its GLUT_KEY_* code (arrows, page up and down, home, end,
    // function keys), (x, y) the pointer position in window pixels. Nothing by default;
    // m_Key is left as it was.
    virtual void specialKey(int /*key*/, int /*x*/, int /*y*/) {}

protected:
    // Unregisters itself: no event or frame reaches a destroyed callback.
    ~CallBackKeyboard()
    {
        if (Rendering::Render* render = Rendering::Render::existing())
            render->removeCallBackKeyboard(this);
    }

    unsigned char m_Key;
    int m_X;
    int m_Y;
};

} // namespace Core
