#include "rendering/Render.h"

#include <GL/glew.h>
#include <GL/freeglut.h>

#include <cstdlib>

#include "core/Board.h"
#include "core/CallBackKeyboard.h"
#include "core/CallBackPicking.h"
#include "core/Drawable.h"
#include "core/ImageManager.h"
#include "core/MeshManager.h"
#include "core/Messages.h"
#include "core/Object.h"
#include "core/Square.h"
#include "rendering/Animation.h"
#include "rendering/Camera.h"
#include "rendering/HUD.h"
#include "rendering/Light.h"
#include "rendering/DrawableRegistry.h"
#include "rendering/FrameClock.h"
#include "rendering/Picker.h"
#include "rendering/Poller.h"
#include "rendering/Registry.h"
#include "rendering/Window.h"
#include "rendering/Shader.h"

float rot = 0.0f;

namespace Rendering
{

unsigned int pickingBuf[512];
int mouseX = 0;
int mouseY = 0;
int oldX = 0;
int oldY = 0;

namespace
{
// Set once the singleton is gone, so drawables destroyed later at exit do not reach it.
bool g_RenderDestroyed = false;
constexpr const char* c_OpenGLReady = "Initializing OpenGL :  OK";
constexpr const char* c_GlewReady = "Initializing GLEW & Shader :  OK";
} // namespace

struct Render::Parts
{
    Window window;
    Picker picker;
    FrameClock clock;
    Registry<Animation> animations;
    Registry<Poller> pollers;
    Registry<HUD> huds;
    Registry<Core::CallBackPicking> callBacksPicking;
    Registry<Core::CallBackKeyboard> callBacksKeyboard;
    DrawableRegistry drawables;
};

bool Render::hasAnimation(const Animation* animation) const
{
    return m_Parts->animations.contains(animation);
}

bool Render::hasPoller(const Poller* poller) const
{
    return m_Parts->pollers.contains(poller);
}

const FrameClock& Render::getFrameClock() const
{
    return m_Parts->clock;
}

Vec2<unsigned int> Render::getSize() const
{
    return m_Parts->window.getSize();
}

void Render::setSize(unsigned int width, unsigned int height)
{
    m_Parts->window.setSize(width, height);
}

void Render::pushBackHUD(HUD* hud)
{
    m_Parts->huds.add(hud);
}

const std::vector<Core::CallBackPicking*>& Render::getCallBacksPicking() const
{
    return m_Parts->callBacksPicking.elements();
}

std::vector<Core::CallBackKeyboard*>& Render::getCallBacksKeyboard()
{
    return m_Parts->callBacksKeyboard.elements();
}

Render& Render::instance()
{
    static Render _instance;
    return _instance;
}

Render* Render::existing()
{
    return g_RenderDestroyed ? nullptr : &instance();
}

Render::Render()
    : m_Parts(std::make_unique<Parts>()), m_FullScreen(false), m_Scale(0.0, 0.0, 0.0), m_Camera(new Camera),
      m_Board(nullptr), m_CameraSpeed(1.0f), m_DefaultLight(nullptr), m_ShaderAvailable(false), m_Shader(nullptr),
      m_NbDisplayList(0), m_DrawOnDemand(false), m_Moving(false), m_TitleDuePending(false), m_PollPending(false),
      m_PollIntervalMs(15.0), m_ClearHighlightOffBoard(false), m_ClickedSquare(nullptr), m_ClaimedKeys{}
{
    m_Camera->setIsFree(true);
}

Render::~Render()
{
    delete m_Camera;
    m_Camera = nullptr;
    delete m_DefaultLight;
    m_DefaultLight = nullptr;
    g_RenderDestroyed = true;
}

// ---- The frame ---------------------------------------------------------------------------

void Render::drawFrame()
{
    instance().loop();
}

void Render::loop()
{
    // Animations move the scene to this frame's time first.
    const double now = FrameClock::now();
    bool animating = false;
    m_Parts->animations.deliver([&](Animation* animation) { animating = animation->animate(now) || animating; });

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    // Both passes draw under the scene's scale and the board's shown angle.
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    applySceneTransform();

    // Selection runs through the fixed pipeline, and only when the pointer, the view or
    // the board changed since the last pick.
    if (m_ShaderAvailable)
        Shader::unApply();
    if (m_Board && pickIsStale())
        pickUnderPointer();

    // The overlay before the scene: the elements registered when the frame began.
    m_Parts->huds.deliver([](HUD* hud) { hud->draw(); });

    if (hasShaderAvailable())
        m_Shader->apply();
    for (Light* light : m_Lights)
        light->apply();
    if (m_Board)
        m_Board->drawOpaqueFirst();

    glPopMatrix();
    m_Parts->window.swapBuffers();

    countFrame(now);
    turnBoard();

    // Drawing on demand, the next frame comes at once while something moves, otherwise
    // when something asks for it.
    m_Moving = animating || (m_Board && rot != m_Board->getOrientation());
    if (m_DrawOnDemand && m_Moving)
        m_Parts->window.requestFrame();
    keepTitleCurrent();
}

void Render::keepTitleCurrent()
{
    if (m_DrawOnDemand && !m_TitleDuePending)
        m_TitleDuePending = m_Parts->window.callIn(m_Parts->clock.nextReportMs() - FrameClock::now(), titleDue);
}

void Render::titleDue()
{
    Render& render = instance();
    render.m_TitleDuePending = false;
    unsigned int frames = 0;
    if (render.m_Parts->clock.report(FrameClock::now(), frames))
        render.showFrameCount(frames);
    render.keepTitleCurrent();
}

void Render::countFrame(double nowMs)
{
    unsigned int frames = 0;
    if (m_Parts->clock.countFrame(nowMs, frames))
        showFrameCount(frames);
}

void Render::showFrameCount(unsigned int frames)
{
    m_Parts->window.setTitle(m_Title + " - " + std::to_string(frames) + " FPS");
}

void Render::turnBoard()
{
    if (!m_Board)
        return;
    const float distance =
        rot > m_Board->getOrientation() ? rot - m_Board->getOrientation() : m_Board->getOrientation() - rot;
    if (m_CameraSpeed > distance)
        rot = m_Board->getOrientation();
    if (rot > m_Board->getOrientation())
        rot -= m_CameraSpeed;
    else if (m_Board->getOrientation() > rot)
        rot += m_CameraSpeed;
}

// ---- Picking -----------------------------------------------------------------------------

void Render::applySceneTransform() const
{
    glScaled(m_Scale.x(), m_Scale.y(), m_Scale.z());
    glRotated(rot, 0.0, 1.0, 0.0);
}

bool Render::pickIsStale() const
{
    return m_Parts->picker.isStale(mouseX, mouseY, *m_Camera, m_Board, m_Parts->callBacksPicking.elements());
}

void Render::pickUnderPointer()
{
    // What is hit does not depend on lighting or pictures: without them the driver has
    // less to set up (on the first pick, a lit vertex stage of its own to build).
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_NORMALIZE);
    startPicking(mouseX, mouseY);
    m_Board->draw();
    stopPicking();
    glPopAttrib();
    m_Parts->picker.markFresh(mouseX, mouseY, *m_Camera, m_Board, m_Parts->callBacksPicking.elements());
}

void Render::startPicking(int x, int y)
{
    m_Parts->picker.begin(x, y, *m_Camera);
}

void Render::stopPicking()
{
    const int hits = m_Parts->picker.end();
    if (hits != 0)
        processHits(hits);
    else if (m_ClearHighlightOffBoard && m_Board)
        publishSquare(nullptr);
}

void Render::processHits(int hits)
{
    unsigned int name = 0;
    if (!Picker::nearestName(hits, name))
        return;
    Core::Drawable* drawable = findDrawable(name);
    if (!drawable || !m_Board)
        return;

    Core::Square* square = nullptr;
    const std::string className = drawable->getClassName();
    if (className == Core::Board::getStaticClassName())
        square = nullptr;
    else if (className == Core::Square::getStaticClassName())
        square = static_cast<Core::Square*>(drawable);
    else
        square = static_cast<Core::Object*>(drawable)->getParentSquare();
    publishSquare(square);
}

void Render::publishSquare(Core::Square* square)
{
    m_Board->autoHighlight(square);
    for (Core::CallBackPicking* callback : m_Parts->callBacksPicking.elements())
        callback->setPickedSquare(square);
}

void Render::updatePicking()
{
    if (!m_Board)
        return;
    // The click chooses what is under the pointer now, even when no frame was drawn since
    // the pointer or the scene moved.
    if (m_Parts->window.isOpen()) {
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        applySceneTransform();
        if (pickIsStale())
            pickUnderPointer();
        glPopMatrix();
    }
    Core::Square* square = m_Board->getHighlightedSquare();
    if (!square)
        return;
    // The click goes no further once its square is destroyed.
    m_ClickedSquare = square;
    m_Parts->callBacksPicking.deliver([this](Core::CallBackPicking* callback) {
        if (!m_ClickedSquare)
            return;
        callback->setPickedSquare(m_ClickedSquare);
        callback->update();
    });
    m_ClickedSquare = nullptr;
}

void Render::forwardKey(unsigned char key, int x, int y)
{
    m_Parts->callBacksKeyboard.deliver([&](Core::CallBackKeyboard* callback) {
        callback->setKeyboardEvent(key, x, y);
        callback->update();
    });
}

void Render::forwardSpecialKey(int key, int x, int y)
{
    m_Parts->callBacksKeyboard.deliver([&](Core::CallBackKeyboard* callback) { callback->specialKey(key, x, y); });
}

void Render::quit()
{
    // Taken out first: a handler that ends up here again does not run twice.
    const std::function<void()> handler = std::move(m_QuitHandler);
    m_QuitHandler = nullptr;
    if (handler)
        handler();
    std::exit(0);
}

// ---- Start-up ----------------------------------------------------------------------------

bool Render::run()
{
    if (!openWindow())
        return false;
    initGL();
    installCallbacks();
    m_Parts->window.mainLoop();
    return true;
}

void Render::installCallbacks()
{
    m_Parts->window.installCallbacks(drawFrame, !m_DrawOnDemand);
    keepPolling();
}

void Render::setDrawOnDemand(bool onDemand)
{
    m_DrawOnDemand = onDemand;
    m_Parts->window.setContinuous(!onDemand);
    requestRedraw();
    keepTitleCurrent();
}

void Render::requestRedraw()
{
    if (m_DrawOnDemand)
        m_Parts->window.requestFrame();
}

bool Render::openWindow()
{
    return m_Parts->window.open(m_Title, m_FullScreen);
}

void Render::initGL()
{
    const Vec2<unsigned int> size = getSize();
    glClearColor(0.1f, 0.1f, 0.1f, 0.0f);
    glViewport(0, 0, static_cast<GLsizei>(size.x()), static_cast<GLsizei>(size.y()));

    m_Camera->setFOV(45.0);
    m_Camera->setAspectRatio(Camera::windowAspectRatio(size.x(), size.y()));
    m_Camera->setPlanes(1.0, 1000.0);
    m_Camera->setPosition(Vec3<double>(0.0, 10.0, 10.0));
    m_Camera->rotateX(-0.7853975);
    m_Camera->setDistanceToOrigin(10.0);
    m_Camera->glUpdateProjectionMatrix();
    m_Camera->glPut();

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_CULL_FACE);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glDepthMask(GL_TRUE);
    // Pieces are drawn scaled down (0.02 in the demo): unnormalised, their normals would
    // come out tens of times too long and light the models white.
    glEnable(GL_NORMALIZE);

    // A second initGL re-applies the default light instead of adding another.
    if (!m_DefaultLight) {
        m_DefaultLight = new Light;
        m_Lights.push_back(m_DefaultLight);
    }
    Vec4<float> position(0.0f, 10.0f, 0.0f, 1.0f);
    Vec3<float> direction(0.0f, -1.0f, 0.0f);
    Vec4<float> diffuse(0.1f, 0.1f, 0.1f, 0.1f);
    Vec4<float> specular(0.7f, 0.7f, 0.7f, 0.7f);
    m_DefaultLight->setId(0);
    m_DefaultLight->setPosition(position);
    m_DefaultLight->setDirection(direction);
    m_DefaultLight->setDiffuseColor(diffuse);
    m_DefaultLight->setSpecularColor(specular);
    m_DefaultLight->setSpotExponent(1024.0f);
    m_DefaultLight->setSpotCutOff(60.0f);

    // Pictures decoded before the window existed get their texture objects now.
    Core::ImageManager::instance().initGL();
    Core::MeshManager::instance().initList();

    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    // Each step says so once it is done (one line each, as it was printed in two parts).
    Core::Messages::send(Core::MessageLevel::Info, c_OpenGLReady);

    whiteDefaultTexture();

    glewInit();
    m_ShaderAvailable = Shader::shaderIsAvailable();
    Core::Messages::send(Core::MessageLevel::Info, c_GlewReady);
    if (m_Shader && m_ShaderAvailable) {
        // A program built by an earlier initGL may still be in use.
        Shader::unApply();
        m_Shader->init();
    }
}

void Render::whiteDefaultTexture()
{
    // A unit without picture samples texture 0. Left without image it is incomplete, which
    // a GLSL program samples as black (a piece in colour would be drawn black); one white
    // texel leaves colours unchanged there and, modulating by one, in the fixed pipeline.
    static const GLubyte white[4] = {255, 255, 255, 255};
    glBindTexture(GL_TEXTURE_2D, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
}

// ---- Configuration and registries --------------------------------------------------------

void Render::setParams(const std::string& title, const Vec3<double>& scale, Core::Board* board)
{
    m_Title = title;
    m_Board = board;
    m_Scale = scale;
}

void Render::setShaderFiles(const std::string& vertexFile, const std::string& fragmentFile)
{
    if (!m_Shader)
        m_Shader = new Shader;
    m_Shader->setVertexFile(vertexFile);
    m_Shader->setFragmentFile(fragmentFile);
}

bool Render::hasShaderAvailable() const
{
    return m_Shader && m_ShaderAvailable && m_Shader->isLinked();
}

void Render::removeShader()
{
    if (hasShaderAvailable())
        Shader::unApply();
    delete m_Shader;
    m_Shader = nullptr;
}

void Render::addAnimation(Animation* animation)
{
    m_Parts->animations.add(animation);
    requestRedraw();
}

void Render::removeAnimation(Animation* animation)
{
    m_Parts->animations.remove(animation);
}

void Render::addPoller(Poller* poller)
{
    if (!poller)
        return;
    m_Parts->pollers.add(poller);
    keepPolling();
}

void Render::removePoller(Poller* poller)
{
    m_Parts->pollers.remove(poller);
}

bool Render::pollNow()
{
    const double now = FrameClock::now();
    bool changed = false;
    m_Parts->pollers.deliver([&](Poller* poller) { changed = poller->poll(now) || changed; });
    if (changed)
        requestRedraw();
    return changed;
}

void Render::keepPolling()
{
    if (!m_PollPending && !m_Parts->pollers.elements().empty())
        m_PollPending = m_Parts->window.callIn(m_PollIntervalMs, pollDue);
}

void Render::pollDue()
{
    Render& render = instance();
    render.m_PollPending = false;
    render.pollNow();
    render.keepPolling();
}

void Render::removeHUD(HUD* hud)
{
    m_Parts->huds.remove(hud);
}

void Render::addCallBackPicking(Core::CallBackPicking* callback)
{
    if (callback)
        m_Parts->callBacksPicking.add(callback);
}

void Render::removeCallBackPicking(Core::CallBackPicking* callback)
{
    m_Parts->callBacksPicking.remove(callback);
}

void Render::removeCallBackKeyboard(Core::CallBackKeyboard* callback)
{
    m_Parts->callBacksKeyboard.remove(callback);
}

void Render::pushDrawable(Core::Drawable* drawable)
{
    m_Parts->drawables.add(drawable);
}

void Render::removeDrawable(const Core::Drawable* drawable)
{
    if (g_RenderDestroyed)
        return;
    Render& render = instance();
    render.m_Parts->drawables.remove(drawable);
    if (render.m_Board == drawable)
        render.m_Board = nullptr;
}

void Render::removeSquare(Core::Square* square)
{
    if (g_RenderDestroyed)
        return;
    Render& render = instance();
    render.m_Parts->drawables.forgetSquare(square);
    for (Core::CallBackPicking* callback : render.m_Parts->callBacksPicking.elements())
        if (callback->getPickedSquare() == square)
            callback->setPickedSquare(nullptr);
    if (render.m_ClickedSquare == square)
        render.m_ClickedSquare = nullptr;
}

Core::Drawable* Render::findDrawable(unsigned int pickingName) const
{
    return m_Parts->drawables.find(pickingName);
}

void Render::drawAxis()
{
    glBegin(GL_LINES);
    glColor3d(1.0, 0.0, 0.0);
    glVertex3d(0.0, 0.0, 0.0);
    glVertex3d(1.0, 0.0, 0.0);
    glColor3d(0.0, 1.0, 0.0);
    glVertex3d(0.0, 0.0, 0.0);
    glVertex3d(0.0, 1.0, 0.0);
    glColor3d(0.0, 0.0, 1.0);
    glVertex3d(0.0, 0.0, 0.0);
    glVertex3d(0.0, 0.0, 1.0);
    glEnd();
    glColor3d(1.0, 1.0, 1.0);
}

} // namespace Rendering
