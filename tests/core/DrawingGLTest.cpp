#include <GL/glew.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "core/Board.h"
#include "core/Object.h"
#include "core/Square.h"
#include "rendering/Render.h"
#include "support/GLTest.h"

using Core::Board;
using Core::Object;
using Core::Square;

namespace
{
using P = Vec2<unsigned int>;

struct Primitive
{
    GLenum kind; // GL_LINE_TOKEN or GL_POLYGON_TOKEN
    std::vector<Vec3<double>> vertices;
};

// Draws scenes under a known orthographic mapping, 50 pixels per unit around the window
// centre, and reads back what OpenGL made of them: primitives in feedback mode (turned
// back into scene coordinates) or pixels.
class DrawingGLTest : public TestSupport::GLTest
{
protected:
    void SetUp() override
    {
        GLTest::SetUp();
        if (IsSkipped() || HasFailure())
            return;
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glOrtho(0, 1024, 0, 728, -1000, 1000);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glTranslated(512, 364, 0);
        glScaled(50, 50, 50);
        glDisable(GL_LIGHTING);
    }

    void TearDown() override
    {
        if (!IsSkipped()) {
            glEnable(GL_LIGHTING);
            glMatrixMode(GL_PROJECTION);
            glPopMatrix();
            glMatrixMode(GL_MODELVIEW);
            glPopMatrix();
        }
        GLTest::TearDown();
    }

    // Looks at the scene from above: grid x to the right, grid y (scene -z) upward.
    static void fromAbove() { glRotated(90, 1, 0, 0); }

    static std::vector<Primitive> feedback(const std::function<void()>& draw)
    {
        std::vector<GLfloat> buffer(1 << 18);
        glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
        glRenderMode(GL_FEEDBACK);
        draw();
        const GLint size = glRenderMode(GL_RENDER);
        std::vector<Primitive> out;
        auto vertex = [&](GLint& i) {
            const Vec3<double> v((buffer[i] - 512.0) / 50.0, (buffer[i + 1] - 364.0) / 50.0,
                                 -(2.0 * buffer[i + 2] - 1.0) * 1000.0 / 50.0);
            i += 3;
            return v;
        };
        for (GLint i = 0; i < size;) {
            const GLenum token = static_cast<GLenum>(buffer[i++]);
            if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
                Primitive p{GL_LINE_TOKEN, {}};
                p.vertices.push_back(vertex(i));
                p.vertices.push_back(vertex(i));
                out.push_back(p);
            } else if (token == GL_POLYGON_TOKEN) {
                const int n = static_cast<int>(buffer[i++]);
                Primitive p{GL_POLYGON_TOKEN, {}};
                for (int k = 0; k < n; ++k)
                    p.vertices.push_back(vertex(i));
                out.push_back(p);
            } else if (token == GL_POINT_TOKEN || token == GL_BITMAP_TOKEN || token == GL_DRAW_PIXEL_TOKEN ||
                       token == GL_COPY_PIXEL_TOKEN) {
                vertex(i);
            } else {
                ++i; // pass-through value
            }
        }
        return out;
    }

    static bool near(const Vec3<double>& a, const Vec3<double>& b) { return (a - b).length() < 1e-3; }

    static int countSegments(const std::vector<Primitive>& prims, const Vec3<double>& a, const Vec3<double>& b)
    {
        return static_cast<int>(std::count_if(prims.begin(), prims.end(), [&](const Primitive& p) {
            return p.kind == GL_LINE_TOKEN && ((near(p.vertices[0], a) && near(p.vertices[1], b)) ||
                                               (near(p.vertices[0], b) && near(p.vertices[1], a)));
        }));
    }

    // Pixel colour at a scene point seen from above (scene x, scene z).
    static std::array<int, 3> colourAbove(double x, double z)
    {
        const std::vector<std::uint8_t> p =
            readPixels(static_cast<int>(512 + 50 * x), static_cast<int>(364 - 50 * z), 1, 1);
        return {p[0], p[1], p[2]};
    }

    static std::array<int, 3> rgb(double r, double g, double b)
    {
        return {static_cast<int>(r * 255 + 0.5), static_cast<int>(g * 255 + 0.5), static_cast<int>(b * 255 + 0.5)};
    }

    static void expectColour(const std::array<int, 3>& actual, const std::array<int, 3>& expected)
    {
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(actual[c], expected[c], 1) << "channel " << c;
    }
};
} // namespace

TEST_F(DrawingGLTest, BoardEdgeLinesAreTheTwelveSegmentsOfItsPoints)
{
    Board board(P(12, 8), {});
    const std::vector<Primitive> prims = feedback([&] { board.draw(); });
    const double X = 6, Y = 4, D = 0.25; // centred: x -6..6, z -4..4
    using V = Vec3<double>;
    EXPECT_EQ(std::count_if(prims.begin(), prims.end(), [](const Primitive& p) { return p.kind == GL_LINE_TOKEN; }),
              12);
    EXPECT_EQ(countSegments(prims, V(-X, 0, Y), V(X, 0, Y)), 2);     // top front, twice
    EXPECT_EQ(countSegments(prims, V(X, -D, Y), V(X, -D, -Y)), 2);   // bottom right, twice
    EXPECT_EQ(countSegments(prims, V(-X, 0, -Y), V(-X, -D, -Y)), 2); // back left vertical, twice
    EXPECT_EQ(1, countSegments(prims, V(-X, 0, -Y), V(X, 0, -Y)));   // top back
    EXPECT_EQ(1, countSegments(prims, V(X, 0, Y), V(X, 0, -Y)));     // top right
    EXPECT_EQ(1, countSegments(prims, V(-X, -D, Y), V(X, -D, Y)));   // bottom front
    EXPECT_EQ(1, countSegments(prims, V(-X, -D, Y), V(-X, -D, -Y))); // bottom left
    EXPECT_EQ(1, countSegments(prims, V(-X, 0, Y), V(-X, -D, Y)));   // front left vertical
    EXPECT_EQ(1, countSegments(prims, V(X, 0, -Y), V(X, -D, -Y)));   // back right vertical
    // Never drawn: top left, bottom back, front right vertical.
    EXPECT_EQ(0, countSegments(prims, V(-X, 0, Y), V(-X, 0, -Y)));
    EXPECT_EQ(0, countSegments(prims, V(-X, -D, -Y), V(X, -D, -Y)));
    EXPECT_EQ(0, countSegments(prims, V(X, 0, Y), V(X, -D, Y)));
}

TEST_F(DrawingGLTest, SquaresAndSlabReachTheScreenInTheirColours)
{
    const Vec4<double> slab(0.35, 0.25, 0.1, 1.0), dark(0.2, 0.1, 0.0, 1.0), light(0.65, 0.55, 0.3, 1.0);
    Board board(P(12, 12), {});
    board.setColor(slab);
    Square a(Square::Coords(P(1, 1), P(1, 2), P(2, 2), P(2, 1)), {});
    Square b(Square::Coords(P(2, 1), P(2, 2), P(3, 2), P(3, 1)), {});
    a.setColor(dark);
    b.setColor(light);
    // No texture: the highlight flags do not show.
    b.highlightMouseOver(true);
    b.highlightSelected(true);
    board.getSquares() = {&a, &b};

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    fromAbove();
    board.draw();
    // After the centring, square (1..2, 1..2) is centred at scene (-4.5, 4.5); the slab
    // spans -6..6.
    expectColour(colourAbove(-4.5, 4.5), rgb(0.2, 0.1, 0.0));
    expectColour(colourAbove(-3.5, 4.5), rgb(0.65, 0.55, 0.3));
    expectColour(colourAbove(0.0, 0.0), rgb(0.35, 0.25, 0.1));
    expectColour(colourAbove(-5.9, -5.9), rgb(0.35, 0.25, 0.1));
    expectColour(colourAbove(-6.2, 0.0), rgb(0.1, 0.1, 0.1)); // background beyond the slab

    GLfloat material[4];
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, material);
    EXPECT_FLOAT_EQ(material[0], 0.65f);
    EXPECT_FLOAT_EQ(material[2], 0.3f);

    // A piece: a sphere of radius 0.2 in its own colour over the middle of its square.
    auto* piece = new Object;
    piece->setColor(Vec4<double>(0.6, 0.6, 0.5, 1.0));
    a.pushObject(piece);
    board.draw();
    expectColour(colourAbove(-4.5, 4.5), rgb(0.6, 0.6, 0.5));
    expectColour(colourAbove(-4.5 + 0.25, 4.5), rgb(0.2, 0.1, 0.0));
    EXPECT_NO_GL_ERROR();
}

TEST_F(DrawingGLTest, PiecesStandAtTheirAlignmentLiftedAndScaled)
{
    using A = Object::ObjectAlignment;
    Square square(Square::Coords(P(3, 4), P(3, 5), P(4, 5), P(4, 4)), {});
    auto* centre = new Object(A(A::VCenter, A::HCenter));
    auto* topLeft = new Object(A(A::Top, A::Left));
    auto* bottomRight = new Object(A(A::Bottom, A::Right));
    topLeft->setScale(0.5);
    for (Object* piece : {centre, topLeft, bottomRight})
        square.pushObject(piece);

    auto extent = [&](Object* only) {
        for (Object* piece : {centre, topLeft, bottomRight})
            piece->setColor(Vec4<double>(1, 1, 1, piece == only ? 1.0 : 0.0));
        // Draw only `only` by taking the others off for the pass.
        std::vector<Object*> saved = square.getObjects();
        square.getObjects() = {only};
        const std::vector<Primitive> prims = feedback([&] { square.drawObjects(); });
        square.getObjects() = saved;
        Vec3<double> lo(1e9, 1e9, 1e9), hi(-1e9, -1e9, -1e9);
        for (const Primitive& p : prims)
            for (const Vec3<double>& v : p.vertices) {
                lo = Vec3<double>(std::min(lo.x(), v.x()), std::min(lo.y(), v.y()), std::min(lo.z(), v.z()));
                hi = Vec3<double>(std::max(hi.x(), v.x()), std::max(hi.y(), v.y()), std::max(hi.z(), v.z()));
            }
        return std::make_pair(lo, hi);
    };

    auto [lo, hi] = extent(centre);
    EXPECT_NEAR((lo.x() + hi.x()) / 2, 3.5, 2e-3);
    EXPECT_NEAR((lo.z() + hi.z()) / 2, -4.5, 2e-3);
    // The sphere's poles lie on the z axis, so its z extent is exactly the diameter.
    EXPECT_NEAR((lo.y() + hi.y()) / 2, 0.076, 2e-3);
    EXPECT_NEAR(hi.z() - lo.z(), 0.4, 2e-3);

    std::tie(lo, hi) = extent(topLeft);
    EXPECT_NEAR((lo.x() + hi.x()) / 2, 3 + 1.0 / 6, 2e-3);
    EXPECT_NEAR((lo.z() + hi.z()) / 2, -(4 + 5.0 / 6), 2e-3);
    EXPECT_NEAR(hi.z() - lo.z(), 0.2, 2e-3);         // radius 0.2 scaled by 0.5
    EXPECT_NEAR((lo.y() + hi.y()) / 2, 0.076, 2e-3); // the lift is not scaled

    std::tie(lo, hi) = extent(bottomRight);
    EXPECT_NEAR((lo.x() + hi.x()) / 2, 3 + 5.0 / 6, 2e-3);
    EXPECT_NEAR((lo.z() + hi.z()) / 2, -(4 + 1.0 / 6), 2e-3);
}

TEST_F(DrawingGLTest, DrawablesKeepTheirOwnListsAndGiveThemBackWhenDestroyed)
{
    // Lists are named in increasing order: count those named from `first` on.
    auto nextName = [] {
        const GLuint name = glGenLists(1);
        glDeleteLists(name, 1);
        return name;
    };
    auto listsFrom = [&](GLuint first) {
        int count = 0;
        for (GLuint name = first, end = nextName(); name < end; ++name)
            count += glIsList(name) ? 1 : 0;
        return count;
    };
    Object().draw(); // the one sphere list that all pieces share exists from here on
    const GLuint first = nextName();
    fromAbove();
    {
        Board board(P(4, 4), {});
        board.setColor(Vec4<double>(0.35, 0.25, 0.1, 1.0));
        auto* square = new Square(Square::Coords(P(1, 1), P(1, 2), P(2, 2), P(2, 1)), {});
        square->setColor(Vec4<double>(0.2, 0.1, 0.0, 1.0));
        square->pushObject(new Object);
        board.getSquares() = {square};
        // Filled: slab and quad as triangles, edges; selection: slab and quad as quads.
        feedback([&] { board.draw(); });
        board.draw();
        EXPECT_EQ(listsFrom(first), 5);
        {
            Square copy(*square);
            copy.draw();
            EXPECT_EQ(listsFrom(first), 6);
        }
        EXPECT_EQ(listsFrom(first), 5);

        // The square still draws after its copy went, and follows new corners.
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        board.draw();
        expectColour(colourAbove(-0.85, 0.5), rgb(0.2, 0.1, 0.0));
        square->setCoords(Square::Coords(P(2, 2), P(2, 3), P(3, 3), P(3, 2)));
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        board.draw();
        expectColour(colourAbove(-0.85, 0.5), rgb(0.35, 0.25, 0.1));
        expectColour(colourAbove(0.15, -0.5), rgb(0.2, 0.1, 0.0));
        EXPECT_EQ(listsFrom(first), 5);

        delete square; // and its piece
        EXPECT_EQ(listsFrom(first), 3);
    }
    EXPECT_EQ(listsFrom(first), 0);

    // Drawn while another list is being compiled, a board makes no list of its own: its
    // slab (12 triangles) and edges (12 lines) go into that list.
    const GLuint outer = glGenLists(1);
    {
        Board board(P(2, 2), {});
        glNewList(outer, GL_COMPILE);
        board.draw();
        glEndList();
    }
    EXPECT_EQ(listsFrom(first), 1);
    EXPECT_EQ(feedback([&] { glCallList(outer); }).size(), 24u);
    glDeleteLists(outer, 1);
    EXPECT_NO_GL_ERROR();
}
