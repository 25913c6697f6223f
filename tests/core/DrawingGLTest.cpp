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
#include "support/PictureFiles.h"

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
    // With GL_3D_COLOR_TEXTURE feedback: each vertex's lit RGBA, then s, t, r, q.
    std::vector<std::array<float, 8>> attributes;
};

// A width x height RGB picture, rows top-down, as a PNG file.
void writePicture(const std::string& path, std::uint32_t width, std::uint32_t height, std::vector<std::uint8_t> rgb)
{
    TestSupport::PNGSpec spec;
    spec.width = width;
    spec.height = height;
    spec.rows = std::move(rgb);
    TestSupport::writeFile(path, TestSupport::pngBytes(spec));
}

// Lights from +x in red, +y in green and +z in blue (or from -x, -y, -z): a lit vertex's
// colour is the positive part of its normal (or of its opposite).
void lightByNormal(double sign)
{
    glEnable(GL_LIGHTING);
    const GLfloat black[] = {0, 0, 0, 1}, white[] = {1, 1, 1, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    for (int light = 0; light < 8; ++light) {
        GLfloat direction[4] = {0, 0, 0, 0}, color[4] = {0, 0, 0, 1};
        (light < 3 ? glEnable : glDisable)(GL_LIGHT0 + light);
        direction[light % 3] = static_cast<GLfloat>(sign);
        color[light % 3] = 1;
        glLightfv(GL_LIGHT0 + light, GL_POSITION, direction);
        glLightfv(GL_LIGHT0 + light, GL_DIFFUSE, color);
        glLightfv(GL_LIGHT0 + light, GL_SPECULAR, black);
        glLightf(GL_LIGHT0 + light, GL_SPOT_CUTOFF, 180);
    }
    glPopMatrix();
}

// Lit by a white ambient light alone: a surface shows its material's ambient colour, with
// its diffuse alpha, times its picture.
void lightByMaterial()
{
    glEnable(GL_LIGHTING);
    const GLfloat white[] = {1, 1, 1, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, white);
    for (int light = 0; light < 8; ++light)
        glDisable(GL_LIGHT0 + light);
}

GLint boundTexture()
{
    GLint id = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &id);
    return id;
}

std::array<GLfloat, 4> material()
{
    std::array<GLfloat, 4> m{};
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, m.data());
    return m;
}

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

    // Primitives in scene coordinates; GL_3D, or GL_3D_COLOR_TEXTURE with attributes.
    static std::vector<Primitive> feedback(const std::function<void()>& draw, GLenum type = GL_3D)
    {
        std::vector<GLfloat> buffer(1 << 18);
        glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), type, buffer.data());
        glRenderMode(GL_FEEDBACK);
        draw();
        const GLint size = glRenderMode(GL_RENDER);
        const int extra = type == GL_3D_COLOR_TEXTURE ? 8 : 0;
        std::vector<Primitive> out;
        auto vertex = [&](GLint& i, Primitive* p) {
            const Vec3<double> v((buffer[i] - 512.0) / 50.0, (buffer[i + 1] - 364.0) / 50.0,
                                 -(2.0 * buffer[i + 2] - 1.0) * 1000.0 / 50.0);
            if (p) {
                p->vertices.push_back(v);
                p->attributes.emplace_back();
                std::copy_n(&buffer[i + 3], extra, p->attributes.back().begin());
            }
            i += 3 + extra;
        };
        for (GLint i = 0; i < size;) {
            const GLenum token = static_cast<GLenum>(buffer[i++]);
            if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
                Primitive p{GL_LINE_TOKEN, {}, {}};
                vertex(i, &p);
                vertex(i, &p);
                out.push_back(p);
            } else if (token == GL_POLYGON_TOKEN) {
                const int n = static_cast<int>(buffer[i++]);
                Primitive p{GL_POLYGON_TOKEN, {}, {}};
                for (int k = 0; k < n; ++k)
                    vertex(i, &p);
                out.push_back(p);
            } else if (token == GL_POINT_TOKEN || token == GL_BITMAP_TOKEN || token == GL_DRAW_PIXEL_TOKEN ||
                       token == GL_COPY_PIXEL_TOKEN) {
                vertex(i, nullptr);
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

    static void expectColour(const std::array<int, 3>& actual, const std::array<int, 3>& expected, int tolerance = 1)
    {
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(actual[c], expected[c], tolerance) << "channel " << c;
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

// Pictures and models set after start-up, as all of these are, are uploaded and compiled
// at their first draw.
TEST_F(DrawingGLTest, TexturedSquaresShowTheirPictureUnderTheTintOfTheirHighlight)
{
    TestSupport::TempDir dir;
    writePicture(dir.path("white.png"), 2, 2, std::vector<std::uint8_t>(12, 255));
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    lightByMaterial();
    Square square(Square::Coords(P(1, 1), P(1, 2), P(2, 2), P(2, 1)), {});
    square.setColor(Vec4<double>(0.2, 0.1, 0.0, 1.0));
    {
        TestSupport::CapturedOutput quiet;
        square.setTexture(dir.path("white.png"));
    }
    fromAbove();
    // Tints are translucent (alpha 0.3) over the background (0.1 grey); without a flag
    // the quad keeps the material in place (half grey) and stays opaque.
    struct Case
    {
        bool over, selected, authorized;
        std::array<int, 3> expected;
    };
    const Case cases[] = {{false, false, false, rgb(0.5, 0.5, 0.5)},
                          {true, true, true, rgb(0.07, 0.37, 0.07)},
                          {false, true, true, rgb(0.37, 0.07, 0.07)},
                          {false, false, true, rgb(0.07, 0.07, 0.37)}};
    const GLfloat grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    for (const Case& c : cases) {
        square.highlightMouseOver(c.over);
        square.highlightSelected(c.selected);
        square.highlightAuthorized(c.authorized);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, grey);
        square.draw();
        expectColour(colourAbove(1.5, -1.5), c.expected);
        EXPECT_EQ(material(), (std::array<GLfloat, 4>{1, 1, 1, 1})) << "the material is reset to opaque white";
        EXPECT_EQ(boundTexture(), 0);
    }
    glPopAttrib();

    // Without texture the square is drawn in its colour, whatever its flags.
    square.removeTexture();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    square.draw();
    expectColour(colourAbove(1.5, -1.5), rgb(0.2, 0.1, 0.0));
    EXPECT_NO_GL_ERROR();
}

TEST_F(DrawingGLTest, TexturedBoardStretchesItsPictureOverEachFaceWithTheFacesNormal)
{
    TestSupport::TempDir dir;
    // Top row red, green; bottom row blue, white.
    writePicture(dir.path("quarters.png"), 2, 2, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255});
    Board board(P(8, 8), {});
    board.setColor(Vec4<double>(0.35, 0.25, 0.1, 1.0));
    {
        TestSupport::CapturedOutput quiet;
        board.setTexture(dir.path("quarters.png"));
    }
    // From above, the top face spans -4..4: the picture's bottom row along grid y = 0.
    glPushMatrix();
    fromAbove();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    board.draw();
    glPopMatrix();
    // Pixel centres sit a little off the texel centres: the filter mixes in a little.
    expectColour(colourAbove(-2, 2), rgb(0, 0, 1), 3);
    expectColour(colourAbove(2, 2), rgb(1, 1, 1), 3);
    expectColour(colourAbove(-2, -2), rgb(1, 0, 0), 3);
    expectColour(colourAbove(2, -2), rgb(0, 1, 0), 3);
    EXPECT_EQ(boundTexture(), 0);
    EXPECT_EQ(material(), (std::array<GLfloat, 4>{1, 1, 1, 1}));

    // Each face's corners get (0, 0), (1, 0), (1, 1), (0, 1) in order and its outward
    // normal, seen through lights from +x, +y, +z and then from -x, -y, -z.
    const double X = 8, Y = 8, D = 0.25; // the slab alone is not centred
    using V = Vec3<double>;
    const V corners[6][4] = {
        {{0, 0, 0}, {X, 0, 0}, {X, 0, -Y}, {0, 0, -Y}},   {{0, -D, 0}, {0, -D, -Y}, {X, -D, -Y}, {X, -D, 0}},
        {{0, -D, 0}, {X, -D, 0}, {X, 0, 0}, {0, 0, 0}},   {{0, -D, -Y}, {0, 0, -Y}, {X, 0, -Y}, {X, -D, -Y}},
        {{0, 0, 0}, {0, -D, 0}, {0, -D, -Y}, {0, 0, -Y}}, {{X, 0, 0}, {X, 0, -Y}, {X, -D, -Y}, {X, -D, 0}}};
    const V normals[6] = {{0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}, {-1, 0, 0}, {1, 0, 0}};
    const float texCoords[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (const double sign : {1.0, -1.0}) {
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        lightByNormal(sign);
        const std::vector<Primitive> prims = feedback([&] { board.drawWithTexture(); }, GL_3D_COLOR_TEXTURE);
        glPopAttrib();
        ASSERT_EQ(prims.size(), 12u);
        // Each triangle lies on one face; each of its vertices is a corner of that face.
        std::array<int, 6> triangles{};
        for (const Primitive& p : prims)
            for (int face = 0; face < 6; ++face) {
                auto corner = [&](const Vec3<double>& v) {
                    return std::find_if(corners[face], corners[face] + 4, [&](const V& c) { return near(v, c); }) -
                           corners[face];
                };
                if (std::any_of(p.vertices.begin(), p.vertices.end(), [&](const V& v) { return corner(v) == 4; }))
                    continue;
                ++triangles[face];
                for (size_t k = 0; k < p.vertices.size(); ++k) {
                    const std::array<float, 8>& a = p.attributes[k];
                    const long i = corner(p.vertices[k]);
                    EXPECT_EQ(a[4], texCoords[i][0]) << "face " << face << " corner " << i;
                    EXPECT_EQ(a[5], texCoords[i][1]) << "face " << face << " corner " << i;
                    for (int c = 0; c < 3; ++c)
                        EXPECT_NEAR(a[c], std::max(0.0, sign * normals[face].ptr()[c]), 1e-3) << "face " << face;
                }
            }
        EXPECT_EQ(triangles, (std::array<int, 6>{2, 2, 2, 2, 2, 2}));
    }
    EXPECT_NO_GL_ERROR();
}

TEST_F(DrawingGLTest, PiecesWithAModelRestOnTheBoardAndShowTheirBoxWhenAsked)
{
    TestSupport::TempDir dir;
    // One triangle 4 wide, 10 high and 4 deep once read (the file is Z-up), lit as facing
    // (0, 0.6, 0.8); the second file is the same twice as large.
    auto writeModel = [&](const std::string& name, int k) {
        std::ostringstream ase;
        ase << "*GEOMOBJECT { *MESH { *MESH_NUMVERTEX 3 *MESH_NUMFACES 1 *MESH_VERTEX_LIST {"
            << " *MESH_VERTEX 0 " << -2 * k << ' ' << -2 * k << ' ' << -5 * k << " *MESH_VERTEX 1 " << 2 * k << ' '
            << -2 * k << ' ' << -5 * k << " *MESH_VERTEX 2 0 " << 2 * k << ' ' << 5 * k << " }"
            << " *MESH_FACE_LIST { *MESH_FACE 0: A: 0 B: 1 C: 2 AB: 1 } *MESH_NORMALS {"
            << " *MESH_VERTEXNORMAL 0 0 -0.6 -0.8 *MESH_VERTEXNORMAL 1 0 -0.6 -0.8 *MESH_VERTEXNORMAL 2 0 -0.6 -0.8 } "
               "} }";
        TestSupport::writeFile(dir.path(name), ase.str());
        return dir.path(name);
    };
    const std::string small = writeModel("small.ase", 1), large = writeModel("large.ase", 2);
    writePicture(dir.path("blue.png"), 1, 1, {51, 153, 204});
    auto quiet = std::make_unique<TestSupport::CapturedOutput>();
    auto piece = std::make_unique<Object>(Object::ObjectAlignment(), small);
    piece->setTexture(dir.path("blue.png"));
    quiet.reset();
    piece->setColor(Vec4<double>(0.6, 0.6, 0.5, 1.0));
    // Scaled by 0.05, half its height is 0.25: it is lifted to rest 0.02 above the board.
    piece->setScale(0.05);
    EXPECT_DOUBLE_EQ(piece->deltaTranslateY(), 0.27);

    // Its normal stays a unit normal at any scale, so the light is not overdone.
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    lightByNormal(1.0);
    std::vector<Primitive> prims = feedback([&] { piece->draw(); }, GL_3D_COLOR_TEXTURE);
    glPopAttrib();
    ASSERT_EQ(prims.size(), 1u);
    const Vec3<double> corners[3] = {{-0.1, 0.02, 0.1}, {0.1, 0.02, 0.1}, {0, 0.52, -0.1}};
    for (int k = 0; k < 3; ++k) {
        EXPECT_TRUE(near(prims[0].vertices[k], corners[k])) << k;
        EXPECT_NEAR(prims[0].attributes[k][1], 0.6, 0.01);
        EXPECT_NEAR(prims[0].attributes[k][2], 0.8, 0.01);
    }

    // Drawn in its picture's colour, or in its own (front view, the triangle's middle).
    auto centre = [] {
        const std::vector<std::uint8_t> p = readPixels(512, 373, 1, 1);
        return std::array<int, 3>{p[0], p[1], p[2]};
    };
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    piece->draw();
    expectColour(centre(), rgb(0.2, 0.6, 0.8));
    EXPECT_EQ(boundTexture(), 0);
    piece->removeTexture();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    piece->draw();
    expectColour(centre(), rgb(0.6, 0.6, 0.5));

    // A copy holds the model and its box of its own: it outlives its source.
    Object copy(*piece);
    piece.reset();
    copy.setDrawBound(true);
    auto boxOf = [&] {
        prims = feedback([&] { copy.drawWithColor(); });
        Vec3<double> lo(1e9, 1e9, 1e9), hi(-1e9, -1e9, -1e9);
        int lines = 0;
        for (const Primitive& p : prims)
            if (p.kind == GL_LINE_TOKEN) {
                ++lines;
                for (const Vec3<double>& v : p.vertices)
                    for (int c = 0; c < 3; ++c) {
                        lo.ptr()[c] = std::min(lo.ptr()[c], v.ptr()[c]);
                        hi.ptr()[c] = std::max(hi.ptr()[c], v.ptr()[c]);
                    }
            }
        EXPECT_EQ(lines, 16) << "four loops of four edges";
        EXPECT_EQ(prims.size(), 17u) << "the model and its box";
        return std::make_pair(lo, hi);
    };
    auto [lo, hi] = boxOf();
    EXPECT_TRUE(near(lo, Vec3<double>(-0.1, 0.02, -0.1)) && near(hi, Vec3<double>(0.1, 0.52, 0.1)));
    // A new model gives a new box, drawn anew.
    {
        TestSupport::CapturedOutput quietLoad;
        copy.setMesh(large);
    }
    std::tie(lo, hi) = boxOf();
    EXPECT_TRUE(near(lo, Vec3<double>(-0.2, 0.02, -0.2)) && near(hi, Vec3<double>(0.2, 1.02, 0.2)));
    EXPECT_NO_GL_ERROR();
}
