#include "support/GLTest.h"

#include <filesystem>
#include <fstream>

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
