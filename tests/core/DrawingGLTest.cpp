#include <algorithm>
#include <memory>

#include "core/Board.h"
#include "core/Object.h"
#include "core/Square.h"
#include "support/GLTest.h"
#include "support/PictureFiles.h"

using Core::Board;
using Core::Object;
using Core::Square;

namespace
{
using P = Vec2<unsigned int>;
using RGB = std::array<int, 3>;

void writePicture(const std::string& path, std::uint32_t width, std::uint32_t height, std::vector<std::uint8_t> rgb)
{
    TestSupport::writeFile(path, TestSupport::pngBytes({width, height, 8, 2, std::move(rgb)}));
}

RGB rgb(double r, double g, double b)
{
    return {int(r * 255 + 0.5), int(g * 255 + 0.5), int(b * 255 + 0.5)};
}

// Scenes under a known orthographic mapping, 50 pixels per unit around the window centre.
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

    // Number of polygons and lines drawn, from feedback.
    static int primitives(const std::function<void()>& draw)
    {
        std::vector<GLfloat> buffer(1 << 18);
        glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_2D, buffer.data());
        glRenderMode(GL_FEEDBACK);
        draw();
        const GLint size = glRenderMode(GL_RENDER);
        int count = 0;
        for (GLint i = 0; i < size;) {
            const GLenum token = static_cast<GLenum>(buffer[i++]);
            const bool polygon = token == GL_POLYGON_TOKEN,
                       line = token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN;
            count += polygon || line;
            i += token == GL_PASS_THROUGH_TOKEN ? 1 : polygon ? 1 + 2 * static_cast<int>(buffer[i]) : line ? 4 : 2;
        }
        return count;
    }

    // Expects the pixel at a scene point seen from above (scene x, scene z).
    static void expectAbove(double x, double z, const RGB& expected, int tolerance = 1)
    {
        const std::vector<std::uint8_t> p = readPixels(int(512 + 50 * x), int(364 - 50 * z), 1, 1);
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(p[c], expected[c], tolerance) << "channel " << c << " at " << x << ", " << z;
    }

    static void clear() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }
    static std::vector<std::uint8_t> window() { return readPixels(0, 0, 1024, 728); }

    static void expectUnboundAndWhite()
    {
        EXPECT_EQ(TestSupport::current(GL_TEXTURE_BINDING_2D), 0);
        std::array<GLfloat, 4> m{};
        glGetMaterialfv(GL_FRONT, GL_DIFFUSE, m.data());
        EXPECT_EQ(m, (std::array<GLfloat, 4>{1, 1, 1, 1})) << "the material is reset to opaque white";
    }
};
} // namespace

TEST_F(DrawingGLTest, BoardSquaresAndPiecesShowTheirColoursPicturesAndTints)
{
    TestSupport::TempDir dir;
    writePicture(dir.path("white.png"), 2, 2, std::vector<std::uint8_t>(12, 255));
    // Top row red, green; bottom row blue, white.
    writePicture(dir.path("quarters.png"), 2, 2, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255});
    Board board(P(12, 12), {});
    board.setColor(Vec4<double>(0.35, 0.25, 0.1, 1.0));
    Square a(Square::Coords(P(1, 1), P(1, 2), P(2, 2), P(2, 1)), {});
    Square b(Square::Coords(P(2, 1), P(2, 2), P(3, 2), P(3, 1)), {});
    a.setColor(Vec4<double>(0.2, 0.1, 0.0, 1.0));
    b.setColor(Vec4<double>(0.65, 0.55, 0.3, 1.0));
    b.highlightMouseOver(true); // without picture a highlight does not show
    board.getSquares() = {&a, &b};
    fromAbove();
    clear();
    board.draw();
    // After the centring, square (1..2, 1..2) is centred at scene (-4.5, 4.5).
    expectAbove(-4.5, 4.5, rgb(0.2, 0.1, 0.0));
    expectAbove(-3.5, 4.5, rgb(0.65, 0.55, 0.3));
    expectAbove(-5.9, -5.9, rgb(0.35, 0.25, 0.1));
    expectAbove(-6.2, 0.0, rgb(0.1, 0.1, 0.1)); // background beyond the slab

    // A piece: a sphere of radius 0.2 in its own colour over the middle of its square.
    auto* piece = new Object;
    piece->setColor(Vec4<double>(0.6, 0.6, 0.5, 1.0));
    a.pushObject(piece);
    board.draw();
    expectAbove(-4.5, 4.5, rgb(0.6, 0.6, 0.5));
    expectAbove(-4.25, 4.5, rgb(0.2, 0.1, 0.0));
    board.getSquares().clear();

    // Pictures set after start-up are uploaded at their first draw. Tints are translucent
    // (alpha 0.3) over the background; without a flag the picture shows the material.
    {
        TestSupport::CapturedOutput quiet;
        a.setTexture(dir.path("white.png"));
        board.setTexture(dir.path("quarters.png"));
    }
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glEnable(GL_LIGHTING);
    const GLfloat white[] = {1, 1, 1, 1}, grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, white);
    for (int light = 0; light < 8; ++light)
        glDisable(GL_LIGHT0 + light);
    struct Case
    {
        bool over, selected, authorized;
        RGB expected;
    };
    for (const Case& c :
         {Case{false, false, false, rgb(0.5, 0.5, 0.5)}, Case{true, true, true, rgb(0.07, 0.37, 0.07)},
          Case{false, true, true, rgb(0.37, 0.07, 0.07)}, Case{false, false, true, rgb(0.07, 0.07, 0.37)}}) {
        a.highlightMouseOver(c.over);
        a.highlightSelected(c.selected);
        a.highlightAuthorized(c.authorized);
        clear();
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, grey);
        a.draw();
        expectAbove(1.5, -1.5, c.expected);
        expectUnboundAndWhite();
    }
    glPopAttrib();
    a.removeTexture();
    clear();
    a.draw();
    expectAbove(1.5, -1.5, rgb(0.2, 0.1, 0.0));

    // The board's picture stretched over its top face, bottom row along grid y = 0.
    clear();
    board.draw();
    expectAbove(-3, 3, rgb(0, 0, 1), 3);
    expectAbove(3, 3, rgb(1, 1, 1), 3);
    expectAbove(-3, -3, rgb(1, 0, 0), 3);
    expectAbove(3, -3, rgb(0, 1, 0), 3);
    expectUnboundAndWhite();
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
        primitives([&] { board.draw(); });
        board.draw();
        EXPECT_EQ(listsFrom(first), 5);
        {
            Square copy(*square);
            copy.draw();
            EXPECT_EQ(listsFrom(first), 6);
        }
        EXPECT_EQ(listsFrom(first), 5);
        // The square still draws after its copy went, and follows new corners.
        square->setCoords(Square::Coords(P(2, 2), P(2, 3), P(3, 3), P(3, 2)));
        clear();
        board.draw();
        expectAbove(-0.85, 0.5, rgb(0.35, 0.25, 0.1));
        expectAbove(0.15, -0.5, rgb(0.2, 0.1, 0.0));
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
    EXPECT_EQ(primitives([&] { glCallList(outer); }), 24);
    glDeleteLists(outer, 1);
}

TEST_F(DrawingGLTest, PiecesWithAModelRestOnTheBoardAndShowTheirBoxWhenAsked)
{
    // One triangle 4 wide, 10 high and 4 deep once read (the file is Z-up).
    TestSupport::TempDir dir;
    TestSupport::writeFile(dir.path("t.ase"),
                           "*GEOMOBJECT { *MESH { *MESH_NUMVERTEX 3 *MESH_NUMFACES 1 "
                           "*MESH_VERTEX_LIST { *MESH_VERTEX 0 -2 -2 -5 *MESH_VERTEX 1 2 -2 -5 "
                           "*MESH_VERTEX 2 0 2 5 } *MESH_FACE_LIST { *MESH_FACE 0: A: 0 B: 1 C: 2 } } }");
    std::unique_ptr<Object> piece;
    {
        TestSupport::CapturedOutput quiet;
        piece = std::make_unique<Object>(Object::ObjectAlignment(), dir.path("t.ase"));
    }
    piece->setColor(Vec4<double>(0.6, 0.6, 0.5, 1.0));
    piece->setScale(0.05); // half its height is then 0.25: lifted to rest 0.02 above the board
    std::vector<GLfloat> buffer(64);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    piece->draw();
    ASSERT_EQ(glRenderMode(GL_RENDER), 11) << "one triangle";
    EXPECT_NEAR(std::min({buffer[3], buffer[6], buffer[9]}), 364 + 50 * 0.02, 0.05) << "lowest window y";

    // A copy holds the model of its own: it outlives its source.
    Object copy(*piece);
    piece.reset();
    clear();
    copy.draw();
    expectAbove(0, -0.18, rgb(0.6, 0.6, 0.5)); // seen from the front: window (512, 373), inside the triangle
    copy.setDrawBound(true);
    EXPECT_EQ(primitives([&] { copy.draw(); }), 17) << "the model and four loops of four edges";
}

TEST_F(DrawingGLTest, StacksDrawTallerAndPickAsOnePieceDisplacementsShiftThePiece)
{
    // Seen from the front, 50 pixels per unit: a sphere of radius 0.2 lifted by 0.076.
    Object piece;
    piece.setColor(Vec4<double>(0.6, 0.2, 0.2, 1.0));
    const RGB red = rgb(0.6, 0.2, 0.2), background = rgb(0.1, 0.1, 0.1);
    EXPECT_EQ(piece.getStack(), 1u);
    EXPECT_NEAR(piece.getHeight(), 0.4, 1e-12);
    clear();
    piece.draw();
    expectAbove(0, -0.2, red);
    expectAbove(0, -0.5, background);
    piece.setStack(2);
    EXPECT_NEAR(piece.getHeight(), 0.8, 1e-12);
    clear();
    piece.draw();
    expectAbove(0, -0.2, red);
    expectAbove(0, -0.5, red);
    expectAbove(0, -0.75, background);

    // Both copies under the piece's one name: one hit record naming it alone.
    GLuint hits[16] = {};
    glSelectBuffer(16, hits);
    glRenderMode(GL_SELECT);
    glInitNames();
    piece.draw();
    ASSERT_EQ(glRenderMode(GL_RENDER), 1);
    EXPECT_EQ(hits[0], 1u);
    EXPECT_EQ(hits[3], piece.getPickingName());

    piece.setDisplacement(Vec3<double>(1.0, 0.5, 0.0));
    clear();
    piece.draw();
    expectAbove(0, -0.2, background);
    expectAbove(1, -0.7, red);
    expectAbove(1, -1.1, red);

    // A model's box, when shown, encloses the whole stack: 0.02 above the board to the top
    // of the second copy (each 0.5 high).
    TestSupport::TempDir dir;
    TestSupport::writeFile(dir.path("t.ase"),
                           "*GEOMOBJECT { *MESH { *MESH_NUMVERTEX 3 *MESH_NUMFACES 1 "
                           "*MESH_VERTEX_LIST { *MESH_VERTEX 0 -2 -2 -5 *MESH_VERTEX 1 2 -2 -5 "
                           "*MESH_VERTEX 2 0 2 5 } *MESH_FACE_LIST { *MESH_FACE 0: A: 0 B: 1 C: 2 } } }");
    std::unique_ptr<Object> model;
    {
        TestSupport::CapturedOutput quiet;
        model = std::make_unique<Object>(Object::ObjectAlignment(), dir.path("t.ase"));
    }
    model->setScale(0.05);
    model->setStack(2);
    model->setDrawBound(true);
    std::vector<GLfloat> buffer(1024);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    model->draw();
    const GLint size = glRenderMode(GL_RENDER);
    float lowest = 1e9f, highest = -1e9f;
    int primitives = 0;
    for (GLint i = 0; i < size;) {
        const GLenum token = static_cast<GLenum>(buffer[i++]);
        const int vertices = token == GL_POLYGON_TOKEN ? static_cast<int>(buffer[i++]) : 2;
        ++primitives;
        for (int v = 0; v < vertices; ++v, i += 3) {
            lowest = std::min(lowest, buffer[i + 1]);
            highest = std::max(highest, buffer[i + 1]);
        }
    }
    EXPECT_EQ(primitives, 2 + 16) << "two triangles and the box";
    EXPECT_NEAR(lowest, 364 + 50 * 0.02, 0.05);
    EXPECT_NEAR(highest, 364 + 50 * 1.02, 0.05);
}

// The frame's order gives draw()'s picture: translucent squares and pieces still blend over
// the slab, a textured square is lit by the material draw() leaves before it (here a
// coloured square's), and blending is as found afterwards. Boards whose picture the order
// could change are drawn as draw() draws them.
TEST_F(DrawingGLTest, OpaqueFirstGivesTheSamePictureAsDraw)
{
    TestSupport::TempDir dir;
    writePicture(dir.path("rock.png"), 2, 2, {200, 180, 160, 90, 80, 70, 40, 50, 60, 250, 240, 230});
    writePicture(dir.path("wood.png"), 2, 2, {255, 255, 255, 100, 200, 100, 60, 60, 60, 200, 100, 50});
    Board board(P(7, 4), {});
    {
        TestSupport::CapturedOutput quiet;
        board.setTexture(dir.path("rock.png"));
    }
    std::vector<std::unique_ptr<Square>> squares;
    for (unsigned int i = 0; i < 5; ++i) {
        squares.push_back(std::make_unique<Square>(Square::Coords(P(i + 1, 1), P(i + 1, 2), P(i + 2, 2), P(i + 2, 1)),
                                                   std::vector<Object*>()));
        board.getSquares().push_back(squares.back().get());
    }
    // Textured squares after the slab, after a translucent square (lit translucent by its
    // material) and highlighted; coloured ones opaque and translucent.
    {
        TestSupport::CapturedOutput quiet;
        for (const size_t i : {0, 3, 4})
            squares[i]->setTexture(dir.path("wood.png"));
    }
    squares[1]->setColor(Vec4<double>(0.9, 0.2, 0.1, 1.0));
    squares[2]->setColor(Vec4<double>(0.1, 0.3, 0.9, 0.5));
    squares[4]->highlightSelected(true);
    auto* opaque = new Object;
    opaque->setColor(Vec4<double>(0.6, 0.6, 0.5, 1.0));
    opaque->setScale(3.0);
    squares[1]->pushObject(opaque);
    auto* translucent = new Object;
    translucent->setColor(Vec4<double>(0.2, 0.8, 0.2, 0.4));
    translucent->setScale(3.0);
    squares[3]->pushObject(translucent);

    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    const GLfloat grey[4] = {0.5f, 0.5f, 0.5f, 1.0f}, position[4] = {1, 2, 3, 0};
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glRotated(50, 1, 0, 0);
    glRotated(20, 0, 1, 0);
    for (const bool blending : {true, false}) {
        blending ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
        clear();
        board.draw();
        const std::vector<std::uint8_t> expected = window();
        clear();
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, grey);
        board.drawOpaqueFirst();
        EXPECT_TRUE(window() == expected) << "blending " << blending;
        EXPECT_EQ(glIsEnabled(GL_BLEND), blending ? GL_TRUE : GL_FALSE);
    }
    // Without a picture the slab is lit by whatever was drawn before it: drawn as draw().
    board.removeTexture();
    clear();
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, grey);
    board.draw();
    const std::vector<std::uint8_t> expected = window();
    clear();
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, grey);
    board.drawOpaqueFirst();
    EXPECT_TRUE(window() == expected);
    glPopAttrib();
}
