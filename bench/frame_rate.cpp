// Frames per second of the checkers demo's real frame: the demo's scene (CheckersScene
// with the pictures, models and GLSL program it sets) in the demo's 1024 x 728 window,
// the pointer resting over a square, drawn by the engine (Render::loop) and by a replay in
// raw OpenGL of the frame as the engine used to draw it: the same display lists, textures,
// program and passes issued directly, slab first with blending on, a pick pass every frame.
// The replay is the fixed baseline; the engine's frame is to be at least 1.5 times as fast.
// Both are measured in the same run, in alternating rounds (the machine is shared: read
// the ratio).
//
// It also measures the demo's start-up: from starting a process (this program again, doing
// what the demo does before its first frame) to that first frame drawn, median of 9 starts,
// with the time of each step (scene, window, OpenGL set-up, first frame), against a bare
// GLUT window of the same kind shown once (the driver's own start-up) in the same run.
//
// Usage: frame_rate [frames per round] [rounds]      (needs an X display: xvfb-run)
// The program starts from its own folder, where the demo's data lies at ../Data/.
#include <GL/glew.h>
#include <GL/freeglut.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <map>
#include <utility>
#include <vector>

#include "CheckersScene.h"
#include "ProgramFolder.h"
#include "core/ImageManager.h"
#include "rendering/Camera.h"
#include "rendering/Geometry.h"
#include "rendering/Image.h"
#include "rendering/Input.h"
#include "rendering/Mesh.h"
#include "rendering/Primitive.h"
#include "rendering/Render.h"
#include "rendering/Shader.h"
#include "rendering/Texture.h"

namespace
{
using Clock = std::chrono::steady_clock;
using Rendering::Render;

constexpr double c_TargetSpeedUp = 1.5;
constexpr double c_TargetStartUpMs = 330.0;
constexpr int c_StartUps = 9;
// The display lists of a model's primitives, in drawing order.
std::vector<unsigned int> modelLists(Rendering::Mesh* mesh)
{
    std::vector<unsigned int> lists;
    for (Rendering::Geometry* geometry : mesh->getGeometries())
        for (Rendering::Primitive* primitive : geometry->getPrimitives())
            lists.push_back(primitive->getDisplayList());
    return lists;
}

// A piece as the frame places it: inside its square, whose lower corner and size these are.
struct Piece
{
    const Core::Object* object;
    Vec2<unsigned int> lower;
    Vec2<unsigned int> size;
};

// What both variants draw: the scene read once.
struct Frame
{
    CheckersScene* scene;
    std::vector<Piece> pieces;
};

void sceneTransform()
{
    const Vec3<double>& scale = Render::instance().getScale();
    glScaled(scale.x(), scale.y(), scale.z());
    glRotated(rot, 0.0, 1.0, 0.0);
}

void boardTransform(const Core::Board& board)
{
    glTranslated(board.getSize().x() / -2.0, 0.0, board.getSize().y() / 2.0);
}

// The engine's placement of a piece inside its square (centred), in single precision for
// x as the square computes it.
void pieceTransform(const Piece& piece)
{
    glTranslated(piece.lower.x(), 0.0, -static_cast<double>(piece.lower.y()));
    glTranslated(static_cast<double>(piece.size.x() * 0.5f), 0.0, -(piece.size.y() * 0.5f));
}

void material(const Vec4<double>& colour)
{
    const GLfloat values[4] = {static_cast<GLfloat>(colour.x()), static_cast<GLfloat>(colour.y()),
                               static_cast<GLfloat>(colour.z()), static_cast<GLfloat>(colour.w())};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, values);
    glColor4d(colour.x(), colour.y(), colour.z(), colour.w());
}

// ---- The replay --------------------------------------------------------------------------

// The frame in raw OpenGL: lists compiled here with the engine's geometry, the models'
// lists and the pictures' texture objects as the engine made them, the engine's program.
class Replay
{
public:
    explicit Replay(Frame& frame) : m_Frame(frame)
    {
        Core::Board& board = frame.scene->getBoard();
        const double x = board.getSize().x(), y = board.getSize().y(), d = Core::Board::m_Depth;
        const std::array<Vec3<double>, 24> c = {{
            {0, 0, 0},  {x, 0, 0},  {x, 0, -y},  {0, 0, -y}, {0, -d, 0},  {0, -d, -y}, {x, -d, -y}, {x, -d, 0},
            {0, -d, 0}, {x, -d, 0}, {x, 0, 0},   {0, 0, 0},  {0, -d, -y}, {0, 0, -y},  {x, 0, -y},  {x, -d, -y},
            {0, 0, 0},  {0, -d, 0}, {0, -d, -y}, {0, 0, -y}, {x, 0, 0},   {x, 0, -y},  {x, -d, -y}, {x, -d, 0},
        }};
        m_SlabQuads = compile([&] {
            glBegin(GL_QUADS);
            for (const auto& p : c)
                glVertex3d(p.x(), p.y(), p.z());
            glEnd();
        });
        m_SlabTriangles = compile([&] {
            glBegin(GL_TRIANGLES);
            for (size_t face = 0; face < c.size(); face += 4)
                for (const size_t i : {0, 1, 2, 0, 2, 3})
                    glVertex3d(c[face + i].x(), c[face + i].y(), c[face + i].z());
            glEnd();
        });
        m_Edges = compile([&] {
            glBegin(GL_LINES);
            for (const auto& p : c)
                glVertex3d(p.x(), p.y(), p.z());
            glEnd();
        });
        for (const Core::Square* square : board.getSquares()) {
            m_SquareQuads.push_back(compile([&] { emitSquare(*square, GL_QUADS, {0, 1, 2, 3}); }));
            m_SquareTriangles.push_back(compile([&] { emitSquare(*square, GL_TRIANGLES, {0, 1, 2, 0, 2, 3}); }));
        }
        for (const Piece& piece : frame.pieces)
            if (Rendering::Mesh* mesh = piece.object->getMesh(); mesh && !m_ModelLists.count(mesh))
                m_ModelLists[mesh] = modelLists(mesh);
        if (Rendering::Shader* shader = Render::instance().getShader(); shader && shader->isLinked()) {
            m_Program = shader->getProgram();
            m_TextureID = glGetUniformLocation(m_Program, "TextureID");
            m_NormalsID = glGetUniformLocation(m_Program, "NormalsID");
        }
        pictures();
    }

    void draw()
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        sceneTransform();
        if (m_Program)
            glUseProgram(0);
        pick([this] { drawBoard(false); });
        if (m_Program)
            glUseProgram(m_Program);
        for (size_t i = 0; i < Render::instance().getLights().size(); ++i)
            applyDefaultLight();
        drawBoard(true);
        glPopMatrix();
        glutSwapBuffers();
    }

private:
    template <typename Emit>
    static unsigned int compile(Emit emit)
    {
        const unsigned int list = glGenLists(1);
        glNewList(list, GL_COMPILE);
        emit();
        glEndList();
        return list;
    }

    static void emitSquare(const Core::Square& square, GLenum mode, std::initializer_list<int> corners)
    {
        static const double texCoords[4][2] = {{0.0, 0.0}, {0.0, 1.0}, {1.0, 1.0}, {1.0, 0.0}};
        glBegin(mode);
        for (const int i : corners) {
            const Vec2<unsigned int>& p = square.getCoords().m_Points[i];
            glNormal3d(0.0, 1.0, 0.0);
            glTexCoord2d(texCoords[i][0], texCoords[i][1]);
            glVertex3d(p.x(), 0.001, -static_cast<double>(p.y()));
        }
        glEnd();
    }

    // The texture objects of the pictures the scene sets, from the picture cache.
    void pictures()
    {
        {
            auto ids = [](const std::string& file) {
                Rendering::Image* image = nullptr;
                Core::ImageManager::instance().addImage(file, image);
                Rendering::Image* normals = nullptr;
                if (image && access(Rendering::Texture::normalMapPath(file).c_str(), R_OK) == 0)
                    Core::ImageManager::instance().addImage(Rendering::Texture::normalMapPath(file), normals);
                return std::pair<unsigned int, unsigned int>(image ? image->getId() : 0,
                                                             normals ? normals->getId() : 0);
            };
            const CheckersScene& scene = *m_Frame.scene;
            m_BoardPicture = ids(scene.getBoardTexture());
            m_LightPicture = ids(scene.getLightTexture());
            m_DarkPicture = ids(scene.getDarkTexture());
        }
    }

    // A picture bound as a texture's apply binds it: with the program, the normal map on
    // unit 1 and the picture on unit 0 with their samplers.
    void bindPicture(std::pair<unsigned int, unsigned int> picture)
    {
        if (m_Program) {
            glActiveTexture(GL_TEXTURE1);
            glBindTexture(GL_TEXTURE_2D, picture.second);
            glUniform1i(m_NormalsID, 1);
            glActiveTexture(GL_TEXTURE0);
            glBindTexture(GL_TEXTURE_2D, picture.first);
            glUniform1i(m_TextureID, 0);
        }
        glBindTexture(GL_TEXTURE_2D, picture.first);
    }

    void unbindPicture()
    {
        if (m_Program) {
            glActiveTexture(GL_TEXTURE1);
            glBindTexture(GL_TEXTURE_2D, 0);
            glActiveTexture(GL_TEXTURE0);
        }
        glBindTexture(GL_TEXTURE_2D, 0);
    }

    // Selection through a 2 x 2 pixel region at the pointer, as the engine's pick pass.
    template <typename Draw>
    void pick(Draw draw)
    {
        static unsigned int buffer[512];
        glSelectBuffer(512, buffer);
        glRenderMode(GL_SELECT);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        gluPickMatrix(Rendering::mouseX, viewport[3] - Rendering::mouseY, 2.0, 2.0, viewport);
        gluPerspective(45.0, Render::instance().getCamera()->getAspectRatio(), 0.1, 1000.0);
        glMatrixMode(GL_MODELVIEW);
        glInitNames();
        draw();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glFlush();
        m_Hits = glRenderMode(GL_RENDER);
    }

    // The engine's default light, the one light of the demo, as Light::apply issues it.
    static void applyDefaultLight()
    {
        const GLenum id = GL_LIGHT0;
        const GLfloat position[4] = {0, 10, 0, 1}, ambient[4] = {0, 0, 0, 1}, diffuse[4] = {0.1f, 0.1f, 0.1f, 0.1f},
                      specular[4] = {0.7f, 0.7f, 0.7f, 0.7f}, direction[3] = {0, -1, 0};
        glLightfv(id, GL_POSITION, position);
        glLightfv(id, GL_AMBIENT, ambient);
        glLightfv(id, GL_DIFFUSE, diffuse);
        glLightfv(id, GL_SPECULAR, specular);
        glLightfv(id, GL_SPOT_DIRECTION, direction);
        glLightf(id, GL_CONSTANT_ATTENUATION, 1.0f);
        glLightf(id, GL_LINEAR_ATTENUATION, 0.0f);
        glLightf(id, GL_QUADRATIC_ATTENUATION, 0.0f);
        glLightf(id, GL_SPOT_CUTOFF, 60.0f);
    }

    void callModel(Rendering::Mesh* mesh)
    {
        for (const unsigned int list : m_ModelLists[mesh]) {
            glCallList(list);
            glBindTexture(GL_TEXTURE_2D, 0);
        }
    }

    void drawBoard(bool rendering)
    {
        Core::Board& board = m_Frame.scene->getBoard();
        glPushMatrix();
        glPushName(board.getPickingName());
        boardTransform(board);
        const Vec4<double>& colour = board.getColor();
        if (rendering && board.hasTexture()) {
            const GLfloat white[4] = {1, 1, 1, 1};
            glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, white);
            bindPicture(m_BoardPicture);
            glColor4d(1, 1, 1, 1);
            glCallList(m_SlabTriangles);
            unbindPicture();
        } else {
            glColor4d(colour.x(), colour.y(), colour.z(), colour.w());
            glCallList(rendering ? m_SlabTriangles : m_SlabQuads);
        }
        glColor4d(0.0, 0.0, 0.0, 1.0);
        glCallList(m_Edges);
        glPopName();
        const std::vector<Core::Square*>& squares = board.getSquares();
        for (size_t i = 0; i < squares.size(); ++i)
            drawSquare(*squares[i], i, rendering);
        for (const Piece& piece : m_Frame.pieces)
            drawPiece(piece);
        glPopMatrix();
    }

    void drawSquare(const Core::Square& square, size_t index, bool rendering)
    {
        glPushName(square.getPickingName());
        if (rendering && square.hasTexture()) {
            const bool mouseOver = square.isHighlightedMouseOver(), selected = square.isHighlightedSelected(),
                       allowed = square.isHighlightedAuthorized();
            if (mouseOver || selected || allowed) {
                const GLfloat tint[4] = {selected && !mouseOver ? 1.0f : 0.0f, mouseOver ? 1.0f : 0.0f,
                                         allowed && !mouseOver && !selected ? 1.0f : 0.0f, 0.3f};
                glColor4f(tint[0], tint[1], tint[2], tint[3]);
                glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, tint);
            }
            const int row = static_cast<int>(index) / 10, column = static_cast<int>(index) % 10;
            bindPicture((row + column) % 2 == 0 ? m_DarkPicture : m_LightPicture);
            glColor4d(1, 1, 1, 1);
            glNormal3d(0.0, 1.0, 0.0);
            glCallList(m_SquareTriangles[index]);
            unbindPicture();
            const GLfloat white[4] = {1, 1, 1, 1};
            glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, white);
        } else {
            material(square.getColor());
            glNormal3d(0.0, 1.0, 0.0);
            glCallList(rendering ? m_SquareTriangles[index] : m_SquareQuads[index]);
        }
        glPopName();
    }

    void drawPiece(const Piece& piece)
    {
        glPushMatrix();
        pieceTransform(piece);
        glPushName(piece.object->getPickingName());
        glPushMatrix();
        glTranslated(0.0, piece.object->deltaTranslateY(), 0.0);
        const double scale = piece.object->getScale();
        glScaled(scale, scale, scale);
        material(piece.object->getColor());
        callModel(piece.object->getMesh());
        glPopMatrix();
        glPopName();
        glPopMatrix();
    }

    Frame& m_Frame;
    unsigned int m_SlabQuads = 0, m_SlabTriangles = 0, m_Edges = 0;
    std::vector<unsigned int> m_SquareQuads, m_SquareTriangles;
    std::map<Rendering::Mesh*, std::vector<unsigned int>> m_ModelLists;
    unsigned int m_Program = 0;
    int m_TextureID = -1, m_NormalsID = -1;
    std::pair<unsigned int, unsigned int> m_BoardPicture, m_LightPicture, m_DarkPicture;
    int m_Hits = 0;
};

// ---- Measuring ---------------------------------------------------------------------------

template <typename Draw>
double framesPerSecond(int frames, Draw draw)
{
    glFinish();
    const auto start = Clock::now();
    for (int i = 0; i < frames; ++i)
        draw();
    glFinish();
    return frames / std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The scene's pieces, read once.
void readScene(Frame& frame)
{
    for (const Core::Square* square : frame.scene->getBoard().getSquares())
        for (const Core::Object* object : square->getObjects())
            frame.pieces.push_back({object, square->getLower(), square->getSize()});
}

double monotonicMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// What the demo does before its first frame, then prints the milliseconds of each step and,
// on the last line, the monotonic clock (shared by all processes) once that frame is drawn.
int firstFrame()
{
    const double begun = monotonicMs();
    CheckersScene scene;
    const double built = monotonicMs();
    Render& render = Render::instance();
    if (!render.openWindow())
        return 1;
    const double opened = monotonicMs();
    render.initGL();
    const double set = monotonicMs();
    render.loop();
    glFinish();
    const double drawn = monotonicMs();
    std::printf("steps %.3f %.3f %.3f %.3f\n", built - begun, opened - built, set - opened, drawn - set);
    std::printf("%.3f\n", drawn);
    return 0;
}

// The baseline: a bare GLUT window of the same size and display mode, cleared and shown once.
int bareFirstFrame()
{
    int argc = 1;
    char arg0[] = "frame_rate";
    char* argv[] = {arg0, nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH | GLUT_STENCIL);
    glutInitWindowSize(1024, 728);
    glutCreateWindow("frame_rate");
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glutSwapBuffers();
    glFinish();
    std::printf("%.3f\n", monotonicMs());
    return 0;
}

// Milliseconds from starting a process to its first frame drawn; negative on failure. The
// steps the process reports, if any, go to `steps`.
double startUpMs(const char* self, const char* mode, std::vector<double>* steps = nullptr)
{
    int out[2];
    if (pipe(out) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>(self), const_cast<char*>(mode), nullptr};
    const double start = monotonicMs();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, self, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(n));
    close(out[0]);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    if (const size_t at = text.find("steps "); steps && at != std::string::npos) {
        const char* p = text.c_str() + at + 6;
        for (char* end = nullptr; steps->size() < 4; p = end) {
            const double value = std::strtod(p, &end);
            if (end == p)
                break;
            steps->push_back(value);
        }
    }
    // The first frame's line is the last one; the loaders print theirs before it.
    const size_t last = text.find_last_of('\n', text.size() >= 2 ? text.size() - 2 : 0);
    return std::atof(text.c_str() + (last == std::string::npos ? 0 : last + 1)) - start;
}
} // namespace

int main(int argc, char** argv)
{
    ProgramFolder::enter("frame_rate");
    if (argc > 1 && std::string(argv[1]) == "--first-frame")
        return firstFrame();
    if (argc > 1 && std::string(argv[1]) == "--bare-first-frame")
        return bareFirstFrame();
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

    // Start-up first, while this process has no window of its own.
    std::vector<double> startUps, bareStartUps;
    std::vector<std::vector<double>> steps(4);
    for (int r = 0; r < c_StartUps; ++r) {
        std::vector<double> reported;
        startUps.push_back(startUpMs("/proc/self/exe", "--first-frame", &reported));
        for (size_t i = 0; i < reported.size() && i < steps.size(); ++i)
            steps[i].push_back(reported[i]);
        bareStartUps.push_back(startUpMs("/proc/self/exe", "--bare-first-frame"));
    }
    const double startUp = median(startUps), bareStartUp = median(bareStartUps);

    // As in the demo: the scene first, then the window and the start-up.
    CheckersScene scene;
    Render& render = Render::instance();
    if (!render.openWindow())
        return 1;
    render.initGL();
    Frame frame;
    frame.scene = &scene;
    readScene(frame);

    // The pointer rests over an empty square in the middle of the board.
    Rendering::passiveMotionEvent(512, 400);
    render.loop();
    const Core::Square* pointed = scene.getBoard().getHighlightedSquare();
    if (!pointed) {
        std::fprintf(stderr, "frame_rate: the pointer is not over a square; the pick pass would not hit\n");
        return 1;
    }

    Replay replay(frame);
    auto engine = [&] { render.loop(); };
    // One frame each first: lists compiled, shader variants built.
    engine();
    replay.draw();
    if (glGetError() != GL_NO_ERROR) {
        std::fprintf(stderr, "frame_rate: the frames left an OpenGL error\n");
        return 1;
    }

    std::vector<double> engineRates, replayRates;
    for (int r = 0; r < rounds; ++r) {
        engineRates.push_back(framesPerSecond(frames, engine));
        replayRates.push_back(framesPerSecond(frames, [&] { replay.draw(); }));
    }
    const double e = median(engineRates), p = median(replayRates);
    std::printf("frame_rate: checkers scene, %u x %u window, %zu pieces, program %s, pick pass over square %s, "
                "%d frames a round, median of %d rounds\n",
                render.getSize().x(), render.getSize().y(), frame.pieces.size(),
                render.hasShaderAvailable() ? "on" : "OFF", pointed->getMeta("index").c_str(), frames, rounds);
    std::printf("  engine frame (Render::loop)     %8.1f fps\n", e);
    std::printf("  raw OpenGL replay (baseline)    %8.1f fps\n", p);
    std::printf("  engine speed / replay's         %8.2f x    target %.2f: %s\n", e / p, c_TargetSpeedUp,
                e / p >= c_TargetSpeedUp ? "met" : "NOT met");
    std::printf("  start-up to first frame         %8.1f ms   target %.0f: %s   (median of %d starts)\n", startUp,
                c_TargetStartUpMs, startUp >= 0 && startUp <= c_TargetStartUpMs ? "met" : "NOT met", c_StartUps);
    auto step = [&](size_t i) { return steps[i].empty() ? -1.0 : median(steps[i]); };
    std::printf("    steps: scene %.1f ms, window %.1f ms, OpenGL set-up %.1f ms, first frame %.1f ms\n", step(0),
                step(1), step(2), step(3));
    std::printf("  bare GLUT window's first frame  %8.1f ms   (the driver's own start-up: ratio %.2f)\n", bareStartUp,
                startUp / bareStartUp);
    return 0;
}
