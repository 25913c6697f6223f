#include "support/GLTest.h"

#include <filesystem>
#include <fstream>
#include <functional>

#include <unistd.h>

#include "core/MeshManager.h"
#include "reader/ASETestSupport.h"
#include "rendering/Geometry.h"
#include "rendering/Primitive.h"
#include "rendering/Render.h"

namespace
{
using Rendering::Geometry;
using Rendering::Mesh;
using Rendering::Primitive;

// One vertex of the feedback buffer in GL_3D_COLOR_TEXTURE mode.
struct FedVertex
{
    double x, y, z; // back in scene units (the test's orthographic box)
    float color[4];
    float tex[4];
};

// Draws the mesh in feedback mode through an orthographic box of +/-10 and returns the
// vertices of each polygon or line drawn.
std::vector<std::vector<FedVertex>> feedback(const std::function<void()>& draw)
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-10, 10, -10, 10, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    std::vector<GLfloat> buffer(1 << 16);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint size = glRenderMode(GL_RENDER);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);

    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    std::vector<std::vector<FedVertex>> shapes;
    for (GLint i = 0; i < size;) {
        const GLfloat token = buffer[i++];
        const GLint count = token == GL_POLYGON_TOKEN ? static_cast<GLint>(buffer[i++]) : 2;
        shapes.emplace_back();
        for (GLint v = 0; v < count; ++v, i += 11) {
            const GLfloat* f = &buffer[i];
            shapes.back().push_back({(f[0] - viewport[0]) / viewport[2] * 20.0 - 10.0,
                                     (f[1] - viewport[1]) / viewport[3] * 20.0 - 10.0,
                                     10.0 - f[2] * 20.0,
                                     {f[3], f[4], f[5], f[6]},
                                     {f[7], f[8], f[9], f[10]}});
        }
    }
    return shapes;
}

// Lights from +x in red, +y in green and +z in blue: a lit vertex's colour is the
// positive part of its normal, component by component.
void lightByNormal()
{
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glEnable(GL_LIGHTING);
    const GLfloat black[] = {0, 0, 0, 1}, white[] = {1, 1, 1, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    for (int light = 0; light < 8; ++light)
        glDisable(GL_LIGHT0 + light);
    // Light positions are taken through the current model-view matrix.
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    for (int axis = 0; axis < 3; ++axis) {
        GLfloat direction[4] = {0, 0, 0, 0}, color[4] = {0, 0, 0, 1};
        direction[axis] = color[axis] = 1;
        glEnable(GL_LIGHT0 + axis);
        glLightfv(GL_LIGHT0 + axis, GL_POSITION, direction);
        glLightfv(GL_LIGHT0 + axis, GL_DIFFUSE, color);
        glLightfv(GL_LIGHT0 + axis, GL_AMBIENT, black);
        glLightfv(GL_LIGHT0 + axis, GL_SPECULAR, black);
        glLightf(GL_LIGHT0 + axis, GL_SPOT_CUTOFF, 180);
    }
    glPopMatrix();
}

const std::string c_Triangle =
    "*MESH { *MESH_NUMVERTEX 3 *MESH_VERTEX_LIST { *MESH_VERTEX 0 1 2 3 *MESH_VERTEX 1 4 5 6 *MESH_VERTEX 2 7 8 9 }\n"
    "*MESH_FACE_LIST { *MESH_FACE 0: A: 0 B: 1 C: 2 AB: 1 } *MESH_NORMALS { *MESH_VERTEXNORMAL 0 0.48 -0.6 -0.64\n"
    "*MESH_VERTEXNORMAL 1 0.48 -0.6 -0.64 *MESH_VERTEXNORMAL 2 0.48 -0.6 -0.64 } } }\n";

class MeshGLTest : public TestSupport::GLTest
{
};

TEST_F(MeshGLTest, PositionsAndNormalsReachOpenGLConverted)
{
    auto mesh =
        TestSupport::readAse("*GEOMOBJECT { " + c_Triangle +
                             "*GEOMOBJECT { *NODE_TM { *TM_ROW0 1 0 0 *TM_ROW1 0 0 1 *TM_ROW2 0 -1 0 } " + c_Triangle);
    mesh->initList();
    lightByNormal();
    const auto shapes = feedback([&] { mesh->draw(); });
    glPopAttrib();
    ASSERT_EQ(shapes.size(), 2u);
    // Without node matrix (x, y, z) is drawn at (x, z, -y); with it, the rows apply first.
    const Vec3<double> expected[2][3] = {{{1, 3, -2}, {4, 6, -5}, {7, 9, -8}}, {{1, -2, -3}, {4, -5, -6}, {7, -8, -9}}};
    for (int s = 0; s < 2; ++s)
        for (int v = 0; v < 3; ++v) {
            const FedVertex& fed = shapes[s][v];
            EXPECT_NEAR(fed.x, expected[s][v].x(), 1e-3);
            EXPECT_NEAR(fed.y, expected[s][v].y(), 1e-3);
            EXPECT_NEAR(fed.z, expected[s][v].z(), 1e-3);
            // The file's normal (0.48, -0.6, -0.64) reaches OpenGL as (0.48, 0.6, 0.64).
            EXPECT_NEAR(fed.color[0], 0.48, 0.01);
            EXPECT_NEAR(fed.color[1], 0.6, 0.01);
            EXPECT_NEAR(fed.color[2], 0.64, 0.01);
        }
    EXPECT_NO_GL_ERROR();
}

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
    }
    parts[0]->getTexturesIndicesArray() = {1, 0, 1, 0, 0, 0};
    parts[1]->getTexturesIndicesArray() = {1, 0};
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
    const auto shapes = feedback([&] {
        parts[0]->draw();
        // A list leaves its last colour and coordinates current: these mark what is not emitted.
        glColor4f(0.5f, 0.5f, 0.5f, 1.0f);
        glTexCoord2f(0.125f, 0.125f);
        parts[1]->draw();
    });
    glPopAttrib();
    ASSERT_EQ(shapes.size(), 2u);
    EXPECT_EQ(shapes[0][0].color[2], 1.0f);
    EXPECT_EQ(shapes[0][0].tex[0], 0.5f);
    EXPECT_EQ(shapes[0][1].tex[1], 0.75f);
    // Lists of another length than the vertex list are not emitted at all.
    EXPECT_EQ(shapes[1][0].color[0], 0.5f);
    EXPECT_EQ(shapes[1][0].tex[0], 0.125f);

    // Compiling again reuses the lists.
    mesh.initList();
    EXPECT_EQ(parts[0]->getDisplayList(), lists[0]);
    EXPECT_EQ(render.getNbDisplayList(), before + 4);
    EXPECT_NO_GL_ERROR();
}

TEST_F(MeshGLTest, DrawingAppliesTheTextureOutsideTheListAndUnbindsAfter)
{
    TestSupport::FakeTextures textures;
    auto mesh = TestSupport::readAse("*GEOMOBJECT { " + c_Triangle);
    Primitive& primitive = *mesh->getGeometries()[0]->getPrimitives()[0];
    primitive.setTexture(TestSupport::FakeTextures::texture(7));
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    mesh->draw();
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    EXPECT_EQ(textures.applied, (std::vector<Rendering::Texture*>{TestSupport::FakeTextures::texture(7)}));
    glDeleteTextures(1, &texture);
}

TEST_F(MeshGLTest, AMeshFirstRequestedAfterStartUpIsCompiledAtItsFirstDraw)
{
    const std::string path =
        std::filesystem::temp_directory_path().string() + "/late_" + std::to_string(::getpid()) + ".ase";
    std::ofstream(path) << "*GEOMOBJECT { " + c_Triangle;
    Core::MeshManager& cache = Core::MeshManager::instance();
    cache.initList();
    Mesh* mesh = nullptr;
    {
        TestSupport::StdoutCapture quiet;
        cache.addMesh(path, mesh);
    }
    Primitive& primitive = *mesh->getGeometries()[0]->getPrimitives()[0];
    EXPECT_FALSE(primitive.isCompiled());
    const auto shapes = feedback([&] { mesh->draw(); });
    EXPECT_TRUE(primitive.isCompiled());
    EXPECT_EQ(shapes.size(), 1u);
    cache.removeMesh(mesh);
    std::filesystem::remove(path);
    EXPECT_NO_GL_ERROR();
}

TEST(GeometryTest, RemovesOnlyItsOwnPrimitives)
{
    Geometry geometry, other;
    auto* mine = new Primitive;
    auto* theirs = new Primitive;
    geometry.addPrimitive(mine);
    other.addPrimitive(theirs);
    TestSupport::StdoutCapture capture;
    geometry.removePrimitive(theirs);
    EXPECT_EQ(capture.text(), "Unkown primitive to remove.\n");
    EXPECT_EQ(geometry.getPrimitives().size(), 1u);
    geometry.removePrimitive(mine);
    EXPECT_TRUE(geometry.getPrimitives().empty());
    delete mine;
}
} // namespace
