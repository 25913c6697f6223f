#include <gtest/gtest.h>

#include <GL/gl.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "reader/ASETestSupport.h"
#include "reader/GLTFTestSupport.h"
#include "rendering/Geometry.h"
#include "rendering/Mesh.h"
#include "rendering/Primitive.h"
#include "support/PictureFiles.h"

namespace
{
using Rendering::Geometry;
using Rendering::Mesh;
using Rendering::Primitive;
using TestSupport::emittedNormal;

std::unique_ptr<Mesh> loadMesh(const std::string& path, std::string* output = nullptr)
{
    TestSupport::CapturedOutput capture;
    auto mesh = std::make_unique<Mesh>(path);
    if (output)
        *output = capture.text();
    return mesh;
}

void expectNear(const Vec3<double>& actual, const Vec3<double>& expected)
{
    EXPECT_NEAR(actual.x(), expected.x(), 1e-6);
    EXPECT_NEAR(actual.y(), expected.y(), 1e-6);
    EXPECT_NEAR(actual.z(), expected.z(), 1e-6);
}

const std::string c_Materials = "newmtl red\nKa 0.1 0 0\nKd 0.9 0.1 0.2\nKs 0.5 0.5 0.5\nNs 300\nd 0.5\n"
                                "map_Kd -s 1 1 1 wood.png\n"
                                "newmtl blue\nKd 0 0 1\n";

TEST(OBJReaderTest, ReadsFacesPerMaterialWithTheirColoursPictureNormalsAndTextureCoordinates)
{
    TestSupport::TempDir dir;
    TestSupport::FakeTextures textures;
    TestSupport::writeFile(dir.path("m.mtl"), c_Materials);
    // A quad in red, a triangle in blue given with negative (relative) indices, and one
    // more red triangle: two primitives, the quad cut in two.
    TestSupport::writeFile(dir.path("m.obj"), "# a model\nmtllib m.mtl\n"
                                              "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
                                              "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvn 0 0 1\nvn 0 1 0\n"
                                              "usemtl red\nf 1/1/1 2/2/1 3/3/1 4/4/1\n"
                                              "usemtl blue\nf -4/-4/-1 -3/-3/-1 -1/-1/-1\n"
                                              "usemtl red\nf 2/2/2 3/3/2 4/4/2\n");
    std::string output;
    const auto mesh = loadMesh(dir.path("m.obj"), &output);
    EXPECT_EQ(output, "Mesh File : \"" + dir.path("m.obj") + "\" loaded.\n");
    EXPECT_EQ(mesh->getUpAxis(), Mesh::UpAxis::Y);
    ASSERT_EQ(mesh->getGeometries().size(), 1u);
    const Geometry& g = *mesh->getGeometries()[0];
    ASSERT_EQ(g.getVertexArray().size(), 4u);
    expectNear(g.getVertexArray()[2], {1, 1, 0});
    ASSERT_EQ(g.getNormalArray().size(), 2u);
    expectNear(emittedNormal(g.getNormalArray()[0]), {0, 0, 1});
    ASSERT_EQ(g.getTexCoordArray().size(), 4u);
    EXPECT_DOUBLE_EQ(g.getTexCoordArray()[3].y(), 1.0); // v as written: OBJ counts it from the bottom

    ASSERT_EQ(g.getPrimitives().size(), 2u);
    const Primitive& red = *g.getPrimitives()[0];
    const Primitive& blue = *g.getPrimitives()[1];
    EXPECT_EQ(red.getPrimitiveType(), static_cast<unsigned>(GL_TRIANGLES));
    EXPECT_EQ(red.getVertexIndicesArray(), (std::vector<unsigned short>{0, 1, 2, 0, 2, 3, 1, 2, 3}));
    EXPECT_EQ(red.getNormalIndicesArray(), (std::vector<unsigned short>{0, 0, 0, 0, 0, 0, 1, 1, 1}));
    EXPECT_EQ(blue.getVertexIndicesArray(), (std::vector<unsigned short>{0, 1, 3}));
    ASSERT_NE(red.getMaterial(), nullptr);
    EXPECT_DOUBLE_EQ(red.getMaterial()->m_Ambient.x(), 0.1);
    EXPECT_DOUBLE_EQ(red.getMaterial()->m_Diffuse.z(), 0.2);
    EXPECT_DOUBLE_EQ(red.getMaterial()->m_Diffuse.w(), 0.5);
    EXPECT_DOUBLE_EQ(red.getMaterial()->m_Specular.y(), 0.5);
    EXPECT_DOUBLE_EQ(red.getMaterial()->m_Shininess, 128.0);
    ASSERT_EQ(textures.paths, std::vector<std::string>{dir.path("wood.png")});
    EXPECT_EQ(red.getTexture(), TestSupport::FakeTextures::texture(1));
    EXPECT_EQ(blue.getTexture(), nullptr);
    EXPECT_DOUBLE_EQ(blue.getMaterial()->m_Diffuse.z(), 1.0);
}

TEST(OBJReaderTest, SmoothsNormalsOverTheFacesAroundEachVertexWhenTheFileHasNone)
{
    TestSupport::TempDir dir;
    // Two faces of a roof meeting at the ridge 2-3.
    TestSupport::writeFile(dir.path("roof.obj"), "v 0 0 0\nv 0 0 1\nv 1 1 0\nv 1 1 1\nv 2 0 0\nv 2 0 1\n"
                                                 "f 1 2 4 3\nf 3 4 6 5\n");
    const auto mesh = loadMesh(dir.path("roof.obj"));
    ASSERT_EQ(mesh->getGeometries().size(), 1u);
    const Geometry& g = *mesh->getGeometries()[0];
    const Primitive& p = *g.getPrimitives()[0];
    const auto& v = p.getVertexIndicesArray();
    const auto& n = p.getNormalIndicesArray();
    ASSERT_EQ(n.size(), v.size());
    for (std::size_t i = 0; i < v.size(); ++i) {
        const Vec3<double> normal = emittedNormal(g.getNormalArray().at(n[i]));
        if (v[i] == 2 || v[i] == 3) // on the ridge: straight up
            expectNear(normal, {0, 1, 0});
        else if (v[i] < 2)
            expectNear(normal, {-std::sqrt(0.5), std::sqrt(0.5), 0});
        else
            expectNear(normal, {std::sqrt(0.5), std::sqrt(0.5), 0});
    }
}

TEST(OBJReaderTest, SplitsModelsOfMoreThan65536VerticesKeepingEveryFace)
{
    TestSupport::TempDir dir;
    std::string text;
    const int triangles = 25000;
    for (int t = 0; t < triangles; ++t)
        text += "v " + std::to_string(t) + " 0 0\nv " + std::to_string(t) + " 1 0\nv " + std::to_string(t) + " 0 1\n";
    text += "vn 1 0 0\n";
    for (int t = 0; t < triangles; ++t)
        text += "f " + std::to_string(3 * t + 1) + "//1 " + std::to_string(3 * t + 2) + "//1 " +
                std::to_string(3 * t + 3) + "//1\n";
    TestSupport::writeFile(dir.path("big.obj"), text);
    const auto mesh = loadMesh(dir.path("big.obj"));
    ASSERT_EQ(mesh->getGeometries().size(), 2u);
    std::size_t faces = 0;
    for (const Geometry* g : mesh->getGeometries()) {
        EXPECT_LE(g->getVertexArray().size(), 65536u);
        for (const Primitive* p : g->getPrimitives()) {
            const auto& v = p->getVertexIndicesArray();
            for (std::size_t f = 0; f < v.size(); f += 3) {
                const double x = g->getVertexArray().at(v[f]).x();
                expectNear(g->getVertexArray().at(v[f + 2]), {x, 0, 1});
                ++faces;
            }
        }
    }
    EXPECT_EQ(faces, static_cast<std::size_t>(triangles));
}

TEST(OBJReaderTest, LeavesOutFacesNamingMissingVerticesAndRefusesMaterialFilesThatAreNoFiles)
{
    TestSupport::TempDir dir;
    TestSupport::FakeTextures textures;
    mkfifo(dir.path("pipe.mtl").c_str(), 0600);
    mkdir(dir.path("folder.mtl").c_str(), 0700);
    TestSupport::writeFile(dir.path("empty.mtl"), "");
    TestSupport::writeFile(dir.path("m.mtl"), c_Materials);
    TestSupport::writeFile(dir.path("m.obj"), "mtllib pipe.mtl\nmtllib folder.mtl\nmtllib empty.mtl\n"
                                              "mtllib m.mtl\nmtllib ./m.mtl\nmtllib m.mtl\n"
                                              "v 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl red\n"
                                              "f 1 2 3\nf 1 2 4\nf 0 1 2\nf 1 2 -4\nf 1 2 99999999999\nf 1 2\n");
    std::string output;
    const auto mesh = loadMesh(dir.path("m.obj"), &output);
    EXPECT_EQ(output, "File refused : \"" + dir.path("pipe.mtl") + "\" is a FIFO (named pipe), not a regular file.\n" +
                          "File refused : \"" + dir.path("folder.mtl") + "\" is a directory, not a regular file.\n" +
                          "[OBJReader]> \"" + dir.path("m.obj") +
                          "\" : 4 faces naming a vertex the file does not have were left out.\n" + "Mesh File : \"" +
                          dir.path("m.obj") + "\" loaded.\n");
    ASSERT_EQ(mesh->getGeometries().size(), 1u);
    const Primitive& p = *mesh->getGeometries()[0]->getPrimitives().at(0);
    EXPECT_EQ(p.getVertexIndicesArray().size(), 3u);
    ASSERT_NE(p.getMaterial(), nullptr);
    EXPECT_DOUBLE_EQ(p.getMaterial()->m_Diffuse.x(), 0.9);
    EXPECT_EQ(textures.paths.size(), 1u);
}

} // namespace
