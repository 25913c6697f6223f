#pragma once

// The GLUT callbacks of the engine. They act on Render::instance() and its camera; each
// asks for a frame when the render draws on demand.
namespace Rendering
{

// Draws one frame; installed as display and idle callback.
void display();
// Right button (press or release) starts a camera drag without a reference position;
// any other button ends it; a left release chooses the highlighted square.
void mouseEvent(int button, int state, int x, int y);
// Right-button drag: turns the camera by the pointer's movement since the last event.
void motionEvent(int x, int y);
// Records the pointer position that the pick pass aims at.
void passiveMotionEvent(int x, int y);
// New window size: viewport, stored size, camera aspect ratio and projection.
void reShape(int width, int height);
// Camera keys, display switches and Escape (Render::quit); other keys, and keys claimed
// with Render::claimKey, go to the keyboard callbacks.
void keyboardEvent(unsigned char key, int x, int y);
// Special keys (GLUT_KEY_* codes) all go to the keyboard callbacks' specialKey.
void specialKeyEvent(int key, int x, int y);
// Swap interval 1 / 0 where GLX_SGI_swap_control exists; nothing otherwise.
void enableVSync();
void disableVSync();

} // namespace Rendering
