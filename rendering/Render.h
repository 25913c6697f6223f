#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "math/Vec2.h"
#include "math/Vec3.h"

namespace Core
{
class Board;
class CallBackKeyboard;
class CallBackPicking;
class Drawable;
class Square;
} // namespace Core

namespace Rendering
{

class Animation;
class Camera;
class FrameClock;
class Poller;
class HUD;
class Light;
class Shader;

// Selection buffer of the pick pass, filled and read by Rendering::Picker.
extern unsigned int pickingBuf[512];
// Last pointer position reported while no button is held; the pick pass aims there.
extern int mouseX;
extern int mouseY;
// Drag reference of the right-button camera drag: -1 idle, 0 no position yet.
extern int oldX;
extern int oldY;

// The window, the frame loop and the registry of drawables: one per process. The
// application configures it (setParams, callbacks, HUD elements) and then calls run().
// It owns its camera and the default light it creates; it never frees the board,
// drawables, callbacks or HUD elements it is given. The frame (loop) decides what is
// picked and drawn, in which order; the window, the picking, the frame clock and the
// registries are parts of their own.
class Render
{
public:
    // The singleton, created on first use and destroyed at process exit.
    static Render& instance();
    // The singleton, or null once it has been destroyed at process exit (for destructors
    // of objects that may outlive it).
    static Render* existing();

    Render(const Render&) = delete;
    Render& operator=(const Render&) = delete;

    // Stores the window title, the board drawn each frame and the scene scale.
    void setParams(const std::string& title, const Vec3<double>& scale, Core::Board* board);

    // Opens the window, sets up OpenGL, installs the input callbacks and enters the GLUT
    // main loop, which does not return. Returns false at once when no window can be
    // opened (the reason is on standard error).
    bool run();
    // The callbacks part of run(): the engine's input handling, and the frame for display
    // and, unless drawing on demand, for GLUT's idle time.
    void installCallbacks();
    // The window part of run(): GLUT initialisation, display mode, size, position, title,
    // full screen when asked. One window per process: false, with a message on standard
    // error, when there is no X display to open it on or it is already open. Before the
    // driver loads, glibc's allocator is set to keep freed memory for reuse (the software
    // driver frees and allocates large blocks every frame).
    bool openWindow();
    // OpenGL state, start-up view, default light, GLEW and the GLSL program named by
    // setShaderFiles (built when the driver offers GLSL); needs a current context.
    void initGL();
    // Draws one frame: animations moved to the frame's time, a pick pass when what lies
    // under the pointer may have changed, HUD, lit scene (through the GLSL program when one
    // is built), swap, frame counter, board turn. The overlay elements drawn are those
    // registered when the frame began and still registered at their turn.
    void loop();

    // Draw on demand (off by default: frames are drawn continuously, as fast as the swap
    // allows). On, a frame is drawn only when something asks for it: input, a resize or
    // an exposed window, requestRedraw(), and the frame itself while the board turns or an
    // animation runs. The title's frame counter is still brought up to date once a second,
    // without drawing (it then shows the frames actually drawn, 0 when nothing changed).
    void setDrawOnDemand(bool onDemand);
    bool isDrawOnDemand() const { return m_DrawOnDemand; }
    // Asks for a frame soon (several requests before it make one frame): for a scene
    // changed outside the engine's own events, for instance by a computer player.
    // Frames come anyway when drawing continuously.
    void requestRedraw();
    // True when the last frame left something moving (the board still turning toward
    // its orientation, or an animation still running): the next frame follows at once.
    bool isMoving() const { return m_Moving; }
    // Registers an animation, told the time at the start of every frame (in registration
    // order) until it is removed or destroyed; it asks for a frame at once.
    void addAnimation(Animation* animation);
    // Unregisters an animation (every occurrence).
    void removeAnimation(Animation* animation);
    bool hasAnimation(const Animation* animation) const;
    // Registers a poller: from the main loop, every getPollInterval() milliseconds while
    // one is registered, each is asked whether it changed the scene (pollNow), without
    // drawing. None by default: no timer runs then.
    void addPoller(Poller* poller);
    // Unregisters a poller (every occurrence); the timer stops with the last one.
    void removePoller(Poller* poller);
    bool hasPoller(const Poller* poller) const;
    // How often pollers are asked, in milliseconds (15 by default; at least 1).
    void setPollInterval(double milliseconds) { m_PollIntervalMs = milliseconds < 1.0 ? 1.0 : milliseconds; }
    double getPollInterval() const { return m_PollIntervalMs; }
    // Asks every poller registered now, in registration order, and asks for a frame when
    // one changed the scene. Returns whether one did.
    bool pollNow();
    // When the pointer leaves the board onto the background (the pick pass hits nothing),
    // clear the square under the pointer: the board's highlight and the picking callbacks'
    // square (a click then chooses nothing). Off by default: the last square stays
    // highlighted and a click still chooses it.
    void setClearHighlightOffBoard(bool clear) { m_ClearHighlightOffBoard = clear; }
    bool clearsHighlightOffBoard() const { return m_ClearHighlightOffBoard; }
    // Draws the three unit axes (X red, Y green, Z blue) from the origin.
    void drawAxis();

    // Selection-mode picking at window position (x, y), y downward.
    void startPicking(int x, int y);
    // Leaves selection mode and publishes the nearest hit.
    void stopPicking();
    // Chooses the nearest of `hits` records in pickingBuf and publishes its square.
    void processHits(int hits);
    // Hands the highlighted square to every picking callback registered when the click
    // arrived and still registered, then calls its update().
    void updatePicking();

    // Counts one frame drawn at `nowMs` (milliseconds of a monotonic clock since process
    // start, FrameClock::now()); once a second the title shows "<title> - N FPS".
    void countFrame(double nowMs);
    const FrameClock& getFrameClock() const;
    // One step of the board-turn animation: the shown angle `rot` moves toward the
    // board's orientation by the camera speed, snapping when closer than a step.
    void turnBoard();

    Vec2<unsigned int> getSize() const;
    void setSize(unsigned int width, unsigned int height);
    void setFullScreen(bool fullScreen) { m_FullScreen = fullScreen; }
    const std::string& getTitle() const { return m_Title; }
    const Vec3<double>& getScale() const { return m_Scale; }
    Core::Board* getBoard() const { return m_Board; }
    Camera* getCamera() const { return m_Camera; }
    // Names the GLSL program's source files (creating the shader on the first call, kept
    // for the life of the process); they are read when initGL builds the program.
    void setShaderFiles(const std::string& vertexFile, const std::string& fragmentFile);
    // The shader named by setShaderFiles, or null.
    Shader* getShader() const { return m_Shader; }
    // True when the driver offers GLSL and the program was built and linked: textures then
    // hand their pictures to its samplers. Otherwise the scene is drawn by the fixed
    // pipeline (a missing or broken source file has been reported by the loader).
    bool hasShaderAvailable() const;
    // Deletes the shader (pointers from getShader() go stale); frames are drawn by the
    // fixed pipeline from then on, until setShaderFiles and initGL make a new one.
    void removeShader();
    unsigned int getNbDisplayList() const { return m_NbDisplayList; }
    void setNbDisplayList(unsigned int count) { m_NbDisplayList = count; }
    void setCameraSpeed(float degreesPerFrame) { m_CameraSpeed = degreesPerFrame; }
    float getCameraSpeed() const { return m_CameraSpeed; }
    const std::vector<Light*>& getLights() const { return m_Lights; }

    // Appends an overlay element, drawn every frame in insertion order (null is skipped).
    void pushBackHUD(HUD* hud);
    // Takes an overlay element out of the frame (every occurrence).
    void removeHUD(HUD* hud);
    // Appends a picking callback; null is ignored.
    void addCallBackPicking(Core::CallBackPicking* callback);
    // Unregisters a picking callback (every occurrence).
    void removeCallBackPicking(Core::CallBackPicking* callback);
    const std::vector<Core::CallBackPicking*>& getCallBacksPicking() const;
    // The keyboard callbacks; append to register one.
    std::vector<Core::CallBackKeyboard*>& getCallBacksKeyboard();
    // Hands a key the engine does not use to every keyboard callback registered when it
    // arrived that is still registered at its turn: setKeyboardEvent, then update().
    void forwardKey(unsigned char key, int x, int y);
    // Hands a special key (GLUT_KEY_* code: arrows, page up and down, home, end, function
    // keys) to the keyboard callbacks in the same way: specialKey(key, x, y).
    void forwardSpecialKey(int key, int x, int y);
    // Unregisters a keyboard callback (every occurrence).
    void removeCallBackKeyboard(Core::CallBackKeyboard* callback);
    // Claims an ordinary key for the application (or gives it back with `claimed` false):
    // the engine no longer acts on a claimed key (camera, display switches, Escape) but
    // hands it to the keyboard callbacks like any key it does not use. None claimed by
    // default.
    void claimKey(unsigned char key, bool claimed = true) { m_ClaimedKeys[key] = claimed; }
    bool isKeyClaimed(unsigned char key) const { return m_ClaimedKeys[key]; }
    // Called on Escape (unless claimed) right before the process exits, for instance to
    // stop the application's own threads; an empty function (the default) for none.
    void setQuitHandler(std::function<void()> handler) { m_QuitHandler = std::move(handler); }
    // Escape: the quit handler, if any, then the end of the process with status 0.
    [[noreturn]] void quit();

    // Files a drawable under its picking name; an entry already there is kept.
    void pushDrawable(Core::Drawable* drawable);
    // Forgets a drawable that is being destroyed; safe to call during process exit.
    static void removeDrawable(const Core::Drawable* drawable);
    // Forgets a square that is being destroyed: every board drops it from its list and
    // its highlight, every piece and picking callback from its square, and a click being
    // delivered goes no further. Safe to call during process exit.
    static void removeSquare(Core::Square* square);
    // The drawable with this picking name, or null.
    Core::Drawable* findDrawable(unsigned int pickingName) const;

private:
    Render();
    ~Render();

    // The scene's scale and the board's shown angle, on the current model-view matrix.
    void applySceneTransform() const;
    // Whether a pick at the pointer, under the current model-view matrix, could find
    // something else than the last one.
    bool pickIsStale() const;
    // The nearest hit under the pointer, published: the board's highlight and the picking
    // callbacks' square.
    void pickUnderPointer();
    static void drawFrame();
    // Drawing on demand: the title's counter, once a second, whether frames come or not.
    static void titleDue();
    // The pollers' timer: asks them and comes again while one is registered.
    static void pollDue();
    void keepPolling();
    // The square under the pointer (null for none) to the board's highlight and the
    // picking callbacks.
    void publishSquare(Core::Square* square);
    void keepTitleCurrent();
    void showFrameCount(unsigned int frames);
    static void whiteDefaultTexture();

    // The window, the picking, the frame clock and the registries, which the library keeps
    // to itself.
    struct Parts;
    std::unique_ptr<Parts> m_Parts;
    bool m_FullScreen;
    Vec3<double> m_Scale;
    Camera* m_Camera;
    Core::Board* m_Board;
    float m_CameraSpeed;
    std::vector<Light*> m_Lights;
    Light* m_DefaultLight;
    bool m_ShaderAvailable;
    std::string m_Title;
    Shader* m_Shader;
    unsigned int m_NbDisplayList;
    bool m_DrawOnDemand;
    bool m_Moving;
    bool m_TitleDuePending;
    bool m_PollPending;
    double m_PollIntervalMs;
    bool m_ClearHighlightOffBoard;
    // The square of the click being delivered; null once it is destroyed.
    Core::Square* m_ClickedSquare;
    std::array<bool, 256> m_ClaimedKeys;
    std::function<void()> m_QuitHandler;
};

} // namespace Rendering

// Board angle currently shown, in degrees about the vertical axis.
extern float rot;
