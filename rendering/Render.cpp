#include "rendering/Render.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <csetjmp>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <thread>

#include "core/Board.h"
#include "core/CallBackPicking.h"
#include "core/Drawable.h"
#include "core/ImageManager.h"
#include "core/MeshManager.h"
#include "core/Object.h"
#include "core/Square.h"
#include "rendering/Camera.h"
#include "rendering/HUD.h"
#include "rendering/Input.h"
#include "rendering/Light.h"
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
constexpr unsigned int c_PickingBufSize = sizeof(pickingBuf) / sizeof(pickingBuf[0]);

// Taken when the library is loaded, which is process start for every program using it.
const std::chrono::steady_clock::time_point c_ProcessStart = std::chrono::steady_clock::now();

// Set once the singleton is gone, so drawables destroyed later at exit do not reach it.
bool g_RenderDestroyed = false;

// Runs at exit before GLUT's own clean-up (registered after glutInit): releases the
// context first, since tearing the display down under a current software-rendered
// context can crash the process on its way out.
void releaseContext()
{
    if (glXGetCurrentContext())
        glXMakeCurrent(glXGetCurrentDisplay(), None, nullptr);
}

// A busy X server now and then refuses a connection (reset or would-block on connect)
// that it accepts a moment later. Connection attempts are therefore repeated.
constexpr int c_ConnectAttempts = 20;
constexpr auto c_ConnectPause = std::chrono::milliseconds(100);

Display* openDisplay()
{
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name)
        return nullptr;
    for (int attempt = 0; attempt < c_ConnectAttempts; ++attempt) {
        if (Display* display = XOpenDisplay(nullptr))
            return display;
        std::this_thread::sleep_for(c_ConnectPause);
    }
    return nullptr;
}

// During glutInit only, GLUT's fatal errors come back here instead of ending the process:
// a refused connection is tried again, any other failure is reported by openWindow.
// Outside glutInit GLUT's own handler stays in place (print and exit), since GLUT's code
// does not expect its error handler to return.
std::jmp_buf g_GlutInitFailed;
bool g_GlutRefused = false;
char g_GlutMessage[256];

void glutInitError(const char* format, va_list args)
{
    g_GlutRefused = std::strncmp(format, "failed to open display", 22) == 0;
    std::vsnprintf(g_GlutMessage, sizeof g_GlutMessage, format, args);
    std::longjmp(g_GlutInitFailed, 1);
}

// The software OpenGL driver allocates and frees blocks of up to several hundred KiB for
// every draw (vertices being transformed, bins of the rasterizer). With glibc's defaults
// each free at the top of the heap hands the pages back to the system (trim threshold
// 128 KiB, raised only as far as the last mapped block freed) and the next draw faults
// them in again, a page at a time: on the demo's frame that was two thirds of the time.
// Keeping up to 64 MiB of free heap, and serving blocks of up to 32 MiB (the most glibc
// allows) from the heap rather than from mappings of their own, makes those blocks reused
// from frame to frame. The cost is memory kept by the process after a peak, not memory in
// use.
constexpr int c_TrimThreshold = 64 * 1024 * 1024;
constexpr int c_MmapThreshold = 32 * 1024 * 1024;

void keepFreedMemoryForTheDriver()
{
#if defined(__GLIBC__)
    mallopt(M_TRIM_THRESHOLD, c_TrimThreshold);
    mallopt(M_MMAP_THRESHOLD, c_MmapThreshold);
#endif
}

double millisecondsSinceStart()
{
    using Ms = std::chrono::duration<double, std::milli>;
    return std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - c_ProcessStart).count();
}
} // namespace

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
    : m_Width(1024), m_Height(728), m_Scale(0.0, 0.0, 0.0), m_FullScreen(false), m_Camera(new Camera), m_Board(nullptr),
      m_CameraSpeed(1.0f), m_LastTime(1000.0), m_FrameCount(0), m_ShaderAvailable(false), m_Shader(nullptr),
      m_NbDisplayList(0), m_DefaultLight(nullptr), m_ClickedSquare(nullptr)
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

void Render::setParams(const std::string& title, const Vec3<double>& scale, Core::Board* board)
{
    m_Title = title;
    m_Board = board;
    m_Scale = scale;
}

void Render::setSize(unsigned int width, unsigned int height)
{
    m_Width = width;
    m_Height = height;
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

void Render::addCallBackPicking(Core::CallBackPicking* callback)
{
    if (callback)
        m_CallBacksPicking.push_back(callback);
}

void Render::removeCallBackPicking(Core::CallBackPicking* callback)
{
    m_CallBacksPicking.erase(std::remove(m_CallBacksPicking.begin(), m_CallBacksPicking.end(), callback),
                             m_CallBacksPicking.end());
}

void Render::removeCallBackKeyboard(Core::CallBackKeyboard* callback)
{
    m_CallBacksKeyboard.erase(std::remove(m_CallBacksKeyboard.begin(), m_CallBacksKeyboard.end(), callback),
                              m_CallBacksKeyboard.end());
}

void Render::removeHUD(HUD* hud)
{
    m_HUDs.erase(std::remove(m_HUDs.begin(), m_HUDs.end(), hud), m_HUDs.end());
}

void Render::pushDrawable(Core::Drawable* drawable)
{
    m_Drawables.insert(std::make_pair(drawable->getPickingName(), drawable));
}

void Render::removeDrawable(const Core::Drawable* drawable)
{
    if (g_RenderDestroyed)
        return;
    Render& render = instance();
    auto it = render.m_Drawables.find(drawable->getPickingName());
    if (it != render.m_Drawables.end() && it->second == drawable)
        render.m_Drawables.erase(it);
    if (render.m_Board == drawable)
        render.m_Board = nullptr;
}

void Render::removeSquare(Core::Square* square)
{
    if (g_RenderDestroyed)
        return;
    Render& render = instance();
    for (const auto& entry : render.m_Drawables) {
        if (auto* board = dynamic_cast<Core::Board*>(entry.second))
            board->removeSquare(square);
        else if (auto* piece = dynamic_cast<Core::Object*>(entry.second); piece && piece->getParentSquare() == square)
            piece->setParentSquare(nullptr);
    }
    for (Core::CallBackPicking* callback : render.m_CallBacksPicking)
        if (callback->getPickedSquare() == square)
            callback->setPickedSquare(nullptr);
    if (render.m_ClickedSquare == square)
        render.m_ClickedSquare = nullptr;
}

Core::Drawable* Render::findDrawable(unsigned int pickingName) const
{
    auto it = m_Drawables.find(pickingName);
    return it == m_Drawables.end() ? nullptr : it->second;
}

bool Render::run()
{
    if (!openWindow())
        return false;
    initGL();
    installCallbacks();
    glutMainLoop();
    return true;
}

bool Render::openWindow()
{
    if (glutGet(GLUT_INIT_STATE)) {
        std::cerr << "The window is already open: one window per process." << std::endl;
        return false;
    }
    // glutInit ends the process with a terse message when there is no display; say why.
    Display* display = openDisplay();
    if (!display) {
        const char* name = std::getenv("DISPLAY");
        std::cerr << "Cannot open the X display \"" << (name ? name : "")
                  << "\": a window needs a graphical session (set DISPLAY)." << std::endl;
        return false;
    }
    if (!glXQueryExtension(display, nullptr, nullptr)) {
        std::cerr << "Cannot open a window on the X display \"" << DisplayString(display)
                  << "\": the server has no OpenGL (GLX) extension." << std::endl;
        XCloseDisplay(display);
        return false;
    }
    XCloseDisplay(display);
    keepFreedMemoryForTheDriver();

    static char arg0[] = "main";
    static char* argv[] = {arg0, nullptr};
    int argc = 1;
    volatile int attempt = 0;
    if (setjmp(g_GlutInitFailed) != 0) {
        glutInitErrorFunc(nullptr);
        if (!g_GlutRefused) {
            std::cerr << "Cannot open a window: " << g_GlutMessage << std::endl;
            return false;
        }
        if (++attempt >= c_ConnectAttempts) {
            std::cerr << "Cannot connect to the X display: the server refused every attempt." << std::endl;
            return false;
        }
        std::this_thread::sleep_for(c_ConnectPause);
        argc = 1;
    }
    glutInitErrorFunc(glutInitError);
    glutInit(&argc, argv);
    glutInitErrorFunc(nullptr);
    std::atexit(releaseContext);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH | GLUT_STENCIL);
    glutInitWindowSize(static_cast<int>(m_Width), static_cast<int>(m_Height));
    glutInitWindowPosition(100, 100);
    glutCreateWindow(m_Title.c_str());
    if (m_FullScreen)
        glutFullScreen();
    return true;
}

void Render::initGL()
{
    std::cout << "Initializing OpenGL : " << std::flush;
    glClearColor(0.1f, 0.1f, 0.1f, 0.0f);
    glViewport(0, 0, static_cast<GLsizei>(m_Width), static_cast<GLsizei>(m_Height));

    m_Camera->setFOV(45.0);
    m_Camera->setAspectRatio(Camera::windowAspectRatio(m_Width, m_Height));
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
    std::cout << " OK" << std::endl;

    whiteDefaultTexture();

    std::cout << "Initializing GLEW & Shader : " << std::flush;
    glewInit();
    m_ShaderAvailable = Shader::shaderIsAvailable();
    std::cout << " OK" << std::endl;
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

void Render::installCallbacks()
{
    glutDisplayFunc(display);
    glutIdleFunc(display);
    glutMouseFunc(mouseEvent);
    glutMotionFunc(motionEvent);
    glutReshapeFunc(reShape);
    glutPassiveMotionFunc(passiveMotionEvent);
    glutKeyboardFunc(keyboardEvent);
}

void Render::loop()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glScaled(m_Scale.x(), m_Scale.y(), m_Scale.z());
    glRotated(rot, 0.0, 1.0, 0.0);

    // Selection runs through the fixed pipeline.
    if (m_ShaderAvailable)
        Shader::unApply();
    if (m_Board) {
        startPicking(mouseX, mouseY);
        m_Board->draw();
        stopPicking();
    }

    for (HUD* hud : m_HUDs)
        if (hud)
            hud->draw();

    if (hasShaderAvailable())
        m_Shader->apply();
    for (Light* light : m_Lights)
        light->apply();

    if (m_Board)
        m_Board->draw();

    glPopMatrix();
    glutSwapBuffers();

    countFrame(millisecondsSinceStart());
    turnBoard();
}

void Render::countFrame(double nowMs)
{
    if (nowMs - m_LastTime >= 1000.0) {
        m_LastTime = nowMs;
        const std::string title = m_Title + " - " + std::to_string(m_FrameCount) + " FPS";
        m_FrameCount = 0;
        glutSetWindowTitle(title.c_str());
    }
    ++m_FrameCount;
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

void Render::startPicking(int x, int y)
{
    glSelectBuffer(static_cast<GLsizei>(c_PickingBufSize), pickingBuf);
    glRenderMode(GL_SELECT);

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    gluPickMatrix(x, viewport[3] - y, 2.0, 2.0, viewport);
    gluPerspective(45.0, m_Camera->getAspectRatio(), 0.1, 1000.0);

    glMatrixMode(GL_MODELVIEW);
    glInitNames();
}

void Render::stopPicking()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glFlush();
    const int hits = glRenderMode(GL_RENDER);
    if (hits != 0)
        processHits(hits);
}

void Render::processHits(int hits)
{
    if (hits < 1)
        return;

    // Records are (name count, min depth, max depth, names...). Nearest wins; ties keep
    // the earlier record. A record without names, or one running past the buffer, ends
    // the walk: it cannot name a drawable.
    const unsigned int* chosen = nullptr;
    unsigned int best = UINT_MAX;
    unsigned int offset = 0;
    for (int i = 0; i < hits; ++i) {
        if (offset + 3 > c_PickingBufSize)
            break;
        const unsigned int nameCount = pickingBuf[offset];
        if (nameCount > c_PickingBufSize - offset - 3)
            break;
        if (nameCount > 0 && pickingBuf[offset + 1] < best) {
            best = pickingBuf[offset + 1];
            chosen = &pickingBuf[offset];
        }
        offset += 3 + nameCount;
    }
    if (!chosen)
        return;

    Core::Drawable* drawable = findDrawable(chosen[3]);
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

    m_Board->autoHighlight(square);
    for (Core::CallBackPicking* callback : m_CallBacksPicking)
        callback->setPickedSquare(square);
}

void Render::updatePicking()
{
    if (!m_Board)
        return;
    Core::Square* square = m_Board->getHighlightedSquare();
    if (!square)
        return;
    // Callbacks may unregister (and delete) themselves or others, or register new ones,
    // while they run: the click goes to those registered when it arrived that still are,
    // and no further once its square is destroyed.
    const std::vector<Core::CallBackPicking*> callbacks = m_CallBacksPicking;
    m_ClickedSquare = square;
    for (Core::CallBackPicking* callback : callbacks) {
        if (!m_ClickedSquare)
            break;
        if (std::find(m_CallBacksPicking.begin(), m_CallBacksPicking.end(), callback) == m_CallBacksPicking.end())
            continue;
        callback->setPickedSquare(m_ClickedSquare);
        callback->update();
    }
    m_ClickedSquare = nullptr;
}

} // namespace Rendering
