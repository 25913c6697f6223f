#include "support/GLTest.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "core/MeshManager.h"
#include "core/Object.h"
#include "reader/ASETestSupport.h"
#include "rendering/Geometry.h"
#include "rendering/Primitive.h"
#include "rendering/Render.h"

namespace
{
using Rendering::Geometry;
using Rendering::Mesh;
using Rendering::Primitive;

// Each triangle's vertices as feedback (GL_3D_COLOR_TEXTURE) reports them: window x, y,
// z, then colour, then texture coordinates.
using Fed = std::array<float, 11>;

std::vector<std::array<Fed, 3>> feedback(const std::function<void()>& draw)
{
    std::vector<GLfloat> buffer(1 << 16);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint size = glRenderMode(GL_RENDER);
    std::vector<std::array<Fed, 3>> triangles;
    for (GLint i = 0; i + 35 <= size; i += 35) {
        EXPECT_EQ(buffer[i], GL_POLYGON_TOKEN);
        triangles.emplace_back();
        for (int v = 0; v < 3; ++v)
            std::copy_n(&buffer[i + 2 + 11 * v], 11, triangles.back()[v].begin());
    }
    return triangles;
}

const std::string c_Triangle =
    "*MESH { *MESH_NUMVERTEX 3 *MESH_VERTEX_LIST { *MESH_VERTEX 0 1 2 3 *MESH_VERTEX 1 4 5 6 *MESH_VERTEX 2 7 8 9 }\n"
    "*MESH_FACE_LIST { *MESH_FACE 0: A: 0 B: 1 C: 2 AB: 1 } *MESH_NORMALS { *MESH_VERTEXNORMAL 0 0.48 -0.6 -0.64\n"
    "*MESH_VERTEXNORMAL 1 0.48 -0.6 -0.64 *MESH_VERTEXNORMAL 2 0.48 -0.6 -0.64 } } }\n";

using MeshGLTest = TestSupport::GLTest;

TEST_F(MeshGLTest, CompilesOneListPerPrimitiveWithTheAttributesWhoseListsAreComplete)
{
    Mesh mesh;
    auto* geometry = new Geometry;
    mesh.addGeometry(geometry);
    geometry->getVertexArray() = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    geometry->getTexCoordArray() = {{0.25, 0.75}, {0.5, 0.5}};
    geometry->getColorArray() = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    Primitive* parts[2] = {new Primitive, new Primitive};
    for (Primitive* p : parts) {
        geometry->addPrimitive(p);
        p->setAssociateGeometry(geometry);
        p->setPrimitiveType(GL_TRIANGLES);
        // The second face names a vertex that does not exist: it is left out.
        p->getVertexIndicesArray() = {0, 1, 2, 0, 1, 3};
        p->getColorIndicesArray() = {2, 1, 0, 0, 0, 0};
        p->getTexturesIndicesArray() = {1, 0, 1, 0, 0, 0};
    }
    parts[1]->getTexturesIndicesArray().pop_back();
    parts[1]->getColorIndicesArray().pop_back();
    Rendering::Render& render = Rendering::Render::instance();
    const unsigned before = render.getNbDisplayList();
    mesh.initList();
    EXPECT_EQ(render.getNbDisplayList(), before + 2);
    const unsigned lists[2] = {parts[0]->getDisplayList(), parts[1]->getDisplayList()};
    EXPECT_NE(lists[0], lists[1]);
    EXPECT_TRUE(glIsList(lists[0]) && glIsList(lists[1]));

    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_LIGHTING);
    const auto triangles = feedback([&] {
        parts[0]->draw();
        // A list leaves its last colour and coordinates current: these mark what is not emitted.
        glColor4f(0.5f, 0.5f, 0.5f, 1.0f);
        glTexCoord2f(0.125f, 0.125f);
        parts[1]->draw();
    });
    glPopAttrib();
    ASSERT_EQ(triangles.size(), 2u);
    EXPECT_EQ(triangles[0][0][5], 1.0f);
    EXPECT_EQ(triangles[0][0][7], 0.5f);
    EXPECT_EQ(triangles[0][1][8], 0.75f);
    // Lists of another length than the vertex list are not emitted at all.
    EXPECT_EQ(triangles[1][0][3], 0.5f);
    EXPECT_EQ(triangles[1][0][7], 0.125f);

    // Compiling again (every start-up does) reuses the lists and counts none; a primitive
    // deletes its list and counts it off.
    mesh.initList();
    EXPECT_EQ(parts[0]->getDisplayList(), lists[0]);
    EXPECT_EQ(render.getNbDisplayList(), before + 2);
    geometry->removePrimitive(parts[1]);
    delete parts[1];
    EXPECT_FALSE(glIsList(lists[1]));
    EXPECT_EQ(render.getNbDisplayList(), before + 1);
}

// A mesh first requested after start-up is compiled at its first draw; its texture is
// applied outside the list and unbound after.
TEST_F(MeshGLTest, ALateMeshIsCompiledAtItsFirstDrawAndUnbindsItsTexture)
{
    const std::string path =
        std::filesystem::temp_directory_path().string() + "/late_" + std::to_string(::getpid()) + ".ase";
    std::ofstream(path) << "*GEOMOBJECT { " + c_Triangle;
    Core::MeshManager& cache = Core::MeshManager::instance();
    cache.initList();
    Mesh* mesh = nullptr;
    {
        TestSupport::CapturedOutput quiet;
        cache.addMesh(path, mesh);
    }
    std::filesystem::remove(path);
    TestSupport::FakeTextures textures;
    Primitive& primitive = *mesh->getGeometries()[0]->getPrimitives()[0];
    primitive.setTexture(TestSupport::FakeTextures::texture(7));
    EXPECT_FALSE(primitive.isCompiled());
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    EXPECT_EQ(feedback([&] { mesh->draw(); }).size(), 1u);
    EXPECT_TRUE(primitive.isCompiled());
    EXPECT_EQ(TestSupport::current(GL_TEXTURE_BINDING_2D), 0);
    EXPECT_EQ(textures.applied, (std::vector<Rendering::Texture*>{TestSupport::FakeTextures::texture(7)}));
    primitive.setTexture(nullptr);
    cache.removeMesh(mesh);
    glDeleteTextures(1, &texture);
}
} // namespace

namespace
{
// A real export without normals: three cubes in three materials, one smoothing group per
// side. Drawn by a piece that asks for its model's colours, under a white light from the eye.
TEST_F(MeshGLTest, ThreeCubesGreenShowsItsMaterialsWithFacesLitByComputedNormals)
{
    const std::string file = TESSELLON_CONFORMANCE_DIR "/ase/ThreeCubesGreen.ASE";
    if (!std::filesystem::exists(file))
        GTEST_SKIP() << "conformance file absent: " << file;
    Core::Object piece(Core::Object::ObjectAlignment(), file);
    piece.setUseMaterialColors(true);
    piece.setScale(0.01);
    const auto& cubes = piece.getMesh()->getGeometries();
    ASSERT_EQ(cubes.size(), 3u);
    glPushAttrib(GL_LIGHTING_BIT | GL_ENABLE_BIT);
    glDisable(GL_LIGHT0);
    glEnable(GL_LIGHT1);
    const GLfloat white[4] = {1, 1, 1, 1}, fromEye[4] = {0.3f, 0.4f, 1, 0};
    glLightfv(GL_LIGHT1, GL_DIFFUSE, white);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glLightfv(GL_LIGHT1, GL_POSITION, fromEye);
    glPopMatrix();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    piece.draw();
    glPopAttrib();

    double greenOverRed[3];
    for (std::size_t c = 0; c < 3; ++c) {
        SCOPED_TRACE("cube " + std::to_string(c));
        Geometry& cube = *cubes[c];
        Vec3<double> low = cube.getVertexArray()[0], high = low;
        for (const Vec3<double>& v : cube.getVertexArray())
            for (int a = 0; a < 3; ++a) {
                low.ptr()[a] = std::min(low.ptr()[a], v.ptr()[a]);
                high.ptr()[a] = std::max(high.ptr()[a], v.ptr()[a]);
            }
        const Vec3<double> centre = (low + high) * 0.5;
        // Computed normals: unit length and out of the cube, through the face's middle.
        const Primitive& faces = *cube.getPrimitives()[0];
        const auto& corners = faces.getVertexIndicesArray();
        ASSERT_EQ(faces.getNormalIndicesArray().size(), corners.size());
        for (std::size_t i = 0; i < corners.size(); ++i) {
            const Vec3<double>& s = cube.getNormalArray()[faces.getNormalIndicesArray()[i]];
            const Vec3<double> n(s.x(), -s.z(), s.y());
            const std::size_t first = i - i % 3;
            const Vec3<double> middle =
                (cube.getVertexArray()[corners[first]] + cube.getVertexArray()[corners[first + 1]] +
                 cube.getVertexArray()[corners[first + 2]]) *
                    (1.0 / 3.0) -
                centre;
            EXPECT_NEAR(n.length(), 1.0, 1e-12);
            EXPECT_GT(n.x() * middle.x() + n.y() * middle.y() + n.z() * middle.z(), 0.0) << "corner " << i;
        }
        // A pixel of each face that shows (the depth drawn there is the face's own): the
        // cubes cross each other, so points over each face are tried in turn.
        std::vector<std::array<double, 3>> shown;
        for (int axis = 0; axis < 3; ++axis)
            for (double side : {-0.5, 0.5})
                for (int k = 0; k < 25; ++k) {
                    Vec3<double> p = centre;
                    for (int a = 0; a < 3; ++a) {
                        const double offset = a == axis             ? side
                                              : a == (axis + 1) % 3 ? (k % 5 - 2) * 0.2
                                                                    : (k / 5 - 2) * 0.2;
                        p.ptr()[a] += offset * (high.ptr()[a] - low.ptr()[a]);
                    }
                    const Vec3<double> at =
                        project(Vec3<double>(p.x() * 0.01, p.y() * 0.01 + piece.deltaTranslateY(), p.z() * 0.01));
                    const int x = static_cast<int>(at.x()), y = 727 - static_cast<int>(at.y());
                    if (x < 0 || x >= 1024 || y < 0 || y >= 728)
                        continue;
                    GLfloat depth = 0;
                    glReadPixels(x, y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
                    if (std::abs(depth - at.z()) > 1e-4)
                        continue;
                    const std::vector<std::uint8_t> rgba = readPixels(x, y, 1, 1);
                    shown.push_back({double(rgba[0]), double(rgba[1]), double(rgba[2])});
                    break;
                }
        ASSERT_GE(shown.size(), 2u);
        std::sort(shown.begin(), shown.end(), [](const auto& a, const auto& b) { return a[1] < b[1]; });
        // Faces turned differently are lit differently.
        EXPECT_GT(shown.back()[1] - shown.front()[1], 20.0);
        greenOverRed[c] = shown.back()[1] / std::max(shown.back()[0], 1.0);
    }
    // Orange (0.65, 0.29, 0), olive (0.44, 0.46, 0) and green (0.4, 0.63, 0), each cube
    // in its material's diffuse colour, not the piece's.
    EXPECT_LT(greenOverRed[0] + 0.2, greenOverRed[1]);
    EXPECT_LT(greenOverRed[1] + 0.2, greenOverRed[2]);
}
} // namespace

namespace
{
// A unit cube of quads, faces counter-clockwise seen from outside, each face with corners
// of its own (as models duplicate them along creases).
Geometry* cube(bool insideOut = false, size_t facesLeftOut = 0)
{
    static const double corners[6][4][3] = {
        {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}}, {{1, 0, 0}, {0, 0, 0}, {0, 1, 0}, {1, 1, 0}},
        {{1, 0, 1}, {1, 0, 0}, {1, 1, 0}, {1, 1, 1}}, {{0, 0, 0}, {0, 0, 1}, {0, 1, 1}, {0, 1, 0}},
        {{0, 1, 1}, {1, 1, 1}, {1, 1, 0}, {0, 1, 0}}, {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}},
    };
    auto* geometry = new Geometry;
    auto* faces = new Primitive;
    geometry->addPrimitive(faces);
    faces->setAssociateGeometry(geometry);
    faces->setPrimitiveType(GL_QUADS);
    for (size_t f = 0; f + facesLeftOut < 6; ++f)
        for (int k = 0; k < 4; ++k) {
            const double* c = corners[f][insideOut ? 3 - k : k];
            faces->getVertexIndicesArray().push_back(static_cast<unsigned short>(geometry->getVertexArray().size()));
            geometry->getVertexArray().emplace_back(c[0], c[1], c[2]);
        }
    return geometry;
}
} // namespace

// Culling back faces leaves a model's picture unchanged only when it is closed and seen
// from outside.
TEST_F(MeshGLTest, ClosedModelsAreToldFromOpenAndInsideOutOnes)
{
    Mesh closed;
    closed.addGeometry(cube());
    EXPECT_TRUE(closed.isClosed());
    // Turned, it is the same solid; a face added without its neighbours opens it.
    closed.setUpAxis(Mesh::UpAxis::Y);
    EXPECT_TRUE(closed.isClosed());
    Geometry* extra = cube(false, 5);
    closed.addGeometry(extra);
    EXPECT_FALSE(closed.isClosed());

    Mesh open, insideOut, empty;
    open.addGeometry(cube(false, 1));
    insideOut.addGeometry(cube(true));
    EXPECT_FALSE(open.isClosed());
    EXPECT_FALSE(insideOut.isClosed());
    EXPECT_FALSE(empty.isClosed());

    // A face the list leaves out (an index past the positions) is a hole; lines and points
    // do not count, culling does not touch them.
    Mesh holed;
    Geometry* g = cube();
    holed.addGeometry(g);
    g->getPrimitives()[0]->getVertexIndicesArray()[0] = 999;
    EXPECT_FALSE(holed.isClosed());
    g->getPrimitives()[0]->getVertexIndicesArray()[0] = 0;
    holed.initList();
    EXPECT_TRUE(holed.isClosed());
    auto* lines = new Primitive;
    g->addPrimitive(lines);
    lines->setAssociateGeometry(g);
    lines->setPrimitiveType(GL_LINES);
    lines->getVertexIndicesArray() = {0, 1};
    holed.initList();
    EXPECT_TRUE(holed.isClosed());
}
