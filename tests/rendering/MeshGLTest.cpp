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

// A triangle's vertex as feedback (GL_3D_COLOR_TEXTURE) reports it: x, y, z back in
// scene units (through an orthographic box of +/-10), colour, texture coordinates.
using Fed = std::array<float, 11>;

std::vector<std::array<Fed, 3>> feedback(const std::function<void()>& draw)
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
    GLint view[4];
    glGetIntegerv(GL_VIEWPORT, view);
    std::vector<std::array<Fed, 3>> triangles;
    for (GLint i = 0; i + 35 <= size; i += 35) {
        EXPECT_EQ(buffer[i], GL_POLYGON_TOKEN);
        EXPECT_EQ(buffer[i + 1], 3.0f);
        triangles.emplace_back();
        for (int v = 0; v < 3; ++v) {
            Fed& fed = triangles.back()[v];
            std::copy_n(&buffer[i + 2 + 11 * v], 11, fed.begin());
            fed[0] = (fed[0] - view[0]) / view[2] * 20 - 10;
            fed[1] = (fed[1] - view[1]) / view[3] * 20 - 10;
            fed[2] = 10 - fed[2] * 20;
        }
    }
    return triangles;
}

// Lights from +x in red, +y in green and +z in blue: a lit vertex's colour is the
// positive part of its normal.
void lightByNormal()
{
    glPushAttrib(GL_ALL_ATTRIB_BITS);
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
        direction[light % 3] = color[light % 3] = 1;
        glLightfv(GL_LIGHT0 + light, GL_POSITION, direction);
        glLightfv(GL_LIGHT0 + light, GL_DIFFUSE, color);
        glLightfv(GL_LIGHT0 + light, GL_SPECULAR, black);
        glLightf(GL_LIGHT0 + light, GL_SPOT_CUTOFF, 180);
    }
    glPopMatrix();
}

const std::string c_Triangle =
    "*MESH { *MESH_NUMVERTEX 3 *MESH_VERTEX_LIST { *MESH_VERTEX 0 1 2 3 *MESH_VERTEX 1 4 5 6 *MESH_VERTEX 2 7 8 9 }\n"
    "*MESH_FACE_LIST { *MESH_FACE 0: A: 0 B: 1 C: 2 AB: 1 } *MESH_NORMALS { *MESH_VERTEXNORMAL 0 0.48 -0.6 -0.64\n"
    "*MESH_VERTEXNORMAL 1 0.48 -0.6 -0.64 *MESH_VERTEXNORMAL 2 0.48 -0.6 -0.64 } } }\n";

using MeshGLTest = TestSupport::GLTest;

TEST_F(MeshGLTest, PositionsAndNormalsReachOpenGLConverted)
{
    auto mesh = TestSupport::readAse("*GEOMOBJECT { " + c_Triangle + "*GEOMOBJECT { *NODE_TM { *TM_ROW0 1 0 0 " +
                                     "*TM_ROW1 0 0 1 *TM_ROW2 0 -1 0 } " + c_Triangle);
    mesh->initList();
    lightByNormal();
    const auto triangles = feedback([&] { mesh->draw(); });
    glPopAttrib();
    ASSERT_EQ(triangles.size(), 2u);
    // Without node matrix (x, y, z) is drawn at (x, z, -y); with one, its rows apply first.
    const float expected[2][3][3] = {{{1, 3, -2}, {4, 6, -5}, {7, 9, -8}}, {{1, -2, -3}, {4, -5, -6}, {7, -8, -9}}};
    // The file's normal (0.48, -0.6, -0.64) reaches OpenGL as (0.48, 0.6, 0.64).
    const float lit[3] = {0.48f, 0.6f, 0.64f};
    for (int t = 0; t < 2; ++t)
        for (int v = 0; v < 3; ++v)
            for (int k = 0; k < 3; ++k) {
                EXPECT_NEAR(triangles[t][v][k], expected[t][v][k], 1e-3) << t << v << k;
                EXPECT_NEAR(triangles[t][v][3 + k], lit[k], 0.01) << t << v << k;
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
    EXPECT_NO_GL_ERROR();
}

TEST_F(MeshGLTest, DrawingAppliesTheTextureOutsideTheListAndUnbindsAfter)
{
    TestSupport::FakeTextures textures;
    auto mesh = TestSupport::readAse("*GEOMOBJECT { " + c_Triangle);
    mesh->getGeometries()[0]->getPrimitives()[0]->setTexture(TestSupport::FakeTextures::texture(7));
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
    EXPECT_EQ(feedback([&] { mesh->draw(); }).size(), 1u);
    EXPECT_TRUE(primitive.isCompiled());
    cache.removeMesh(mesh);
    std::filesystem::remove(path);
    EXPECT_NO_GL_ERROR();
}
} // namespace
