#include <gtest/gtest.h>

#include <GL/gl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
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
using TestSupport::GLTFModel;

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

Vec3<double> cross(const Vec3<double>& a, const Vec3<double>& b)
{
    return Vec3<double>(a.y() * b.z() - a.z() * b.y(), a.z() * b.x() - a.x() * b.z(), a.x() * b.y() - a.y() * b.x());
}

// Every face's corners as positions, in the order drawn, over all geometries.
std::vector<std::vector<Vec3<double>>> facesOf(const Mesh& mesh)
{
    std::vector<std::vector<Vec3<double>>> faces;
    for (const Geometry* g : mesh.getGeometries())
        for (const Primitive* p : g->getPrimitives()) {
            const auto& indices = p->getVertexIndicesArray();
            for (std::size_t f = 0; f + p->getFaceSize() <= indices.size(); f += p->getFaceSize()) {
                faces.emplace_back();
                for (std::size_t k = 0; k < p->getFaceSize(); ++k)
                    faces.back().push_back(g->getVertexArray().at(indices[f + k]));
            }
        }
    return faces;
}

// A unit quad in the z = 0 plane facing +z, with texture coordinates, as two triangles.
struct Quad
{
    GLTFModel model;
    int position, normal, texCoord, indices;
    Quad()
    {
        position = model.floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, "VEC3");
        normal = model.floats({0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}, "VEC3");
        texCoord = model.floats({0, 0, 1, 0, 1, 0.25f, 0, 0.25f}, "VEC2");
        indices = model.indices({0, 1, 2, 0, 2, 3});
    }
    std::string primitive(const std::string& more = "") const
    {
        return "{\"attributes\":{\"POSITION\":" + std::to_string(position) + ",\"NORMAL\":" + std::to_string(normal) +
               ",\"TEXCOORD_0\":" + std::to_string(texCoord) + "},\"indices\":" + std::to_string(indices) + more + "}";
    }
};

TEST(GLTFReaderTest, ReadsPositionsNormalsTextureCoordinatesAndBaseColourUnderTheNodeTransform)
{
    TestSupport::TempDir dir;
    TestSupport::FakeTextures textures;
    Quad quad;
    const int picture = quad.model.view(std::vector<std::uint8_t>{0x89, 'P', 'N', 'G'});
    const std::string rest = "\"scene\":0,\"scenes\":[{\"nodes\":[0]}],"
                             "\"nodes\":[{\"mesh\":0,\"translation\":[1,2,3],\"scale\":[2,2,2]}],"
                             "\"meshes\":[{\"primitives\":[" +
                             quad.primitive(",\"material\":0") +
                             "]}],"
                             "\"materials\":[{\"pbrMetallicRoughness\":{\"baseColorFactor\":[0.2,0.4,0.6,0.8],"
                             "\"baseColorTexture\":{\"index\":0}}}],\"textures\":[{\"source\":0}],";
    // The same model with its buffer and picture beside it, inside the JSON, and binary.
    TestSupport::writeFile(dir.path("quad.bin"), quad.model.bytes());
    TestSupport::writeFile(dir.path("quad.gltf"),
                           quad.model.gltf("quad.bin", rest + "\"images\":[{\"uri\":\"my%20pic.png\"}]"));
    TestSupport::writeFile(dir.path("inside.gltf"),
                           quad.model.gltf("", rest + "\"images\":[{\"uri\":\"data:image/png;base64," +
                                                   GLTFModel::base64("\x89PNG") + "\"}]"));
    TestSupport::writeFile(dir.path("binary.GLB"),
                           quad.model.glb(rest + "\"images\":[{\"bufferView\":" + std::to_string(picture) +
                                          ",\"mimeType\":\"image/png\"}]"));
    const std::vector<std::pair<std::string, std::string>> files = {
        {"quad.gltf", dir.path("my pic.png")},
        {"inside.gltf", dir.path("inside.gltf") + "#image0"},
        {"binary.GLB", dir.path("binary.GLB") + "#image0"}};
    for (const auto& [file, texturePath] : files) {
        SCOPED_TRACE(file);
        std::string output;
        const auto mesh = loadMesh(dir.path(file), &output);
        EXPECT_EQ(output, "Mesh File : \"" + dir.path(file) + "\" loaded.\n");
        EXPECT_EQ(mesh->getUpAxis(), Mesh::UpAxis::Y);
        ASSERT_EQ(mesh->getGeometries().size(), 1u);
        const Geometry& g = *mesh->getGeometries()[0];
        ASSERT_EQ(g.getVertexArray().size(), 4u);
        expectNear(g.getVertexArray()[0], {1, 2, 3});
        expectNear(g.getVertexArray()[2], {3, 4, 3});
        ASSERT_EQ(g.getNormalArray().size(), 4u);
        expectNear(emittedNormal(g.getNormalArray()[1]), {0, 0, 1});
        // v counts from the picture's top in the file, from its bottom in the engine.
        ASSERT_EQ(g.getTexCoordArray().size(), 4u);
        EXPECT_DOUBLE_EQ(g.getTexCoordArray()[2].x(), 1.0);
        EXPECT_DOUBLE_EQ(g.getTexCoordArray()[2].y(), 0.75);
        ASSERT_EQ(g.getPrimitives().size(), 1u);
        const Primitive& p = *g.getPrimitives()[0];
        EXPECT_EQ(p.getPrimitiveType(), static_cast<unsigned>(GL_TRIANGLES));
        EXPECT_EQ(p.getVertexIndicesArray(), (std::vector<unsigned short>{0, 1, 2, 0, 2, 3}));
        EXPECT_EQ(p.getNormalIndicesArray(), p.getVertexIndicesArray());
        ASSERT_NE(p.getMaterial(), nullptr);
        EXPECT_DOUBLE_EQ(p.getMaterial()->m_Diffuse.y(), 0.4);
        EXPECT_DOUBLE_EQ(p.getMaterial()->m_Diffuse.w(), 0.8);
        ASSERT_FALSE(textures.paths.empty());
        EXPECT_EQ(textures.paths.back(), texturePath);
        EXPECT_EQ(p.getTexture(), TestSupport::FakeTextures::texture(textures.paths.size()));
        EXPECT_EQ(mesh->getTextures().size(), 1u);
    }
}

TEST(GLTFReaderTest, ComputesFlatNormalsAndTurnsStripsFansAndLinesIntoFacesOfTheEngine)
{
    TestSupport::TempDir dir;
    GLTFModel model;
    const int position = model.floats({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 1}, "VEC3");
    const std::string attributes = "{\"POSITION\":" + std::to_string(position) + "}";
    TestSupport::writeFile(dir.path("m.gltf"), model.gltf("", "\"nodes\":[{\"mesh\":0}],\"meshes\":[{\"primitives\":["
                                                              "{\"attributes\":" +
                                                                  attributes +
                                                                  ",\"mode\":5},"
                                                                  "{\"attributes\":" +
                                                                  attributes +
                                                                  ",\"mode\":6},"
                                                                  "{\"attributes\":" +
                                                                  attributes + ",\"mode\":2}]}]"));
    const auto mesh = loadMesh(dir.path("m.gltf"));
    ASSERT_EQ(mesh->getGeometries().size(), 3u);
    const auto faces = facesOf(*mesh);
    // Strip: (0 1 2) (2 1 3); fan: (0 1 2) (0 2 3); loop: 4 lines.
    ASSERT_EQ(faces.size(), 8u);
    expectNear(faces[1][0], {0, 1, 0});
    expectNear(faces[1][1], {1, 0, 0});
    expectNear(faces[3][2], {1, 1, 1});
    expectNear(faces[7][0], {1, 1, 1});
    expectNear(faces[7][1], {0, 0, 0});
    // Each triangle's corners share one normal, square to the face, on the side from
    // which its corners run counter-clockwise.
    for (std::size_t gi = 0; gi < 2; ++gi) {
        const Geometry& g = *mesh->getGeometries()[gi];
        const Primitive& p = *g.getPrimitives()[0];
        const auto& v = p.getVertexIndicesArray();
        const auto& n = p.getNormalIndicesArray();
        ASSERT_EQ(n.size(), v.size());
        for (std::size_t f = 0; f < v.size(); f += 3) {
            EXPECT_EQ(n[f], n[f + 1]);
            EXPECT_EQ(n[f], n[f + 2]);
            Vec3<double> expected = cross(g.getVertexArray()[v[f + 1]] - g.getVertexArray()[v[f]],
                                          g.getVertexArray()[v[f + 2]] - g.getVertexArray()[v[f]]);
            expected.normalize();
            expectNear(emittedNormal(g.getNormalArray()[n[f]]), expected);
        }
    }
    EXPECT_EQ(mesh->getGeometries()[2]->getPrimitives()[0]->getPrimitiveType(), static_cast<unsigned>(GL_LINES));
}

TEST(GLTFReaderTest, ShowsEachNodesMeshOnceWithItsTransformMirroredFacesTurnedBack)
{
    TestSupport::TempDir dir;
    GLTFModel model;
    const int position = model.floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
    const std::string mesh0 = "{\"primitives\":[{\"attributes\":{\"POSITION\":" + std::to_string(position) + "}}]}";
    // Node 0 holds 1 (moved) and 2 (mirrored); 1 lists 0 again (a cycle) and 1 itself; node
    // 3 belongs to no scene.
    TestSupport::writeFile(
        dir.path("m.gltf"),
        model.gltf("", "\"scene\":0,\"scenes\":[{\"nodes\":[0,0]}],\"nodes\":["
                       "{\"mesh\":0,\"children\":[1,2]},{\"mesh\":0,\"translation\":[10,0,0],\"children\":[0,1]},"
                       "{\"mesh\":0,\"scale\":[-1,1,1]},{\"mesh\":0,\"translation\":[0,50,0]}],"
                       "\"meshes\":[" +
                           mesh0 + "]"));
    std::string output;
    const auto mesh = loadMesh(dir.path("m.gltf"), &output);
    const auto faces = facesOf(*mesh);
    ASSERT_EQ(faces.size(), 3u) << output;
    expectNear(faces[0][1], {1, 0, 0});
    expectNear(faces[1][1], {11, 0, 0});
    // Mirrored in x, the face would turn clockwise; its corners are drawn the other way.
    expectNear(faces[2][1], {0, 1, 0});
    expectNear(faces[2][2], {-1, 0, 0});
    for (const auto& face : faces)
        EXPECT_GT(cross(face[1] - face[0], face[2] - face[0]).z(), 0.0);
}

// Indices are used where they lie in the buffer; every width and stride gives the same
// faces, a mirrored node turns them, and an index beyond 16 bits is never cut to a vertex.
TEST(GLTFReaderTest, ReadsIndicesOfEveryWidthAndStrideAndTurnsThemForMirroredNodes)
{
    TestSupport::TempDir dir;
    GLTFModel model;
    const int position = model.floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, "VEC3");
    const int bytes = model.accessor(model.view(std::vector<std::uint8_t>{0, 1, 2, 0, 2, 3}), 5121, 6, "SCALAR");
    const int spaced = model.accessor(
        model.view(std::vector<std::uint16_t>{0, 9, 1, 9, 2, 9, 0, 9, 2, 9, 3, 9}, ",\"byteStride\":4"), 5123, 6,
        "SCALAR");
    // 65,538 is 2 once cut to 16 bits: that face must go.
    const int wide =
        model.accessor(model.view(std::vector<std::uint32_t>{0, 1, 2, 0, 65538, 3, 0, 2, 3}), 5125, 9, "SCALAR");
    std::string meshes;
    for (const int indices : {bytes, spaced, wide})
        meshes += std::string(meshes.empty() ? "" : ",") + "{\"primitives\":[{\"attributes\":{\"POSITION\":" +
                  std::to_string(position) + "},\"indices\":" + std::to_string(indices) + "}]}";
    TestSupport::writeFile(dir.path("m.glb"),
                           model.glb("\"nodes\":[{\"mesh\":0},{\"mesh\":1},{\"mesh\":2},{\"mesh\":0,\"scale\":[-1,1,1]},"
                                     "{\"mesh\":2,\"scale\":[-1,1,1]}],\"meshes\":[" +
                                     meshes + "]"));
    std::string output;
    const auto mesh = loadMesh(dir.path("m.glb"), &output);
    const auto faces = facesOf(*mesh);
    ASSERT_EQ(faces.size(), 10u) << output;
    const Vec3<double> p[] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    for (std::size_t f = 0; f < 6; ++f) {
        expectNear(faces[f][0], p[0]);
        expectNear(faces[f][1], p[f % 2 ? 2 : 1]);
        expectNear(faces[f][2], p[f % 2 ? 3 : 2]);
    }
    const Vec3<double> q[] = {{0, 0, 0}, {-1, 0, 0}, {-1, 1, 0}, {0, 1, 0}};
    for (std::size_t f = 6; f < 10; ++f) {
        expectNear(faces[f][0], q[0]);
        expectNear(faces[f][1], q[f % 2 ? 3 : 2]);
        expectNear(faces[f][2], q[f % 2 ? 2 : 1]);
    }
    for (const auto& face : faces)
        EXPECT_GT(cross(face[1] - face[0], face[2] - face[0]).z(), 0.0);
    EXPECT_NE(output.find("\" : 2 faces with a vertex outside their primitive were left out.\n"), std::string::npos)
        << output;
}

TEST(GLTFReaderTest, SplitsPrimitivesOfMoreThan65536VerticesKeepingEveryFace)
{
    TestSupport::TempDir dir;
    GLTFModel model;
    std::vector<float> positions;
    std::vector<std::uint32_t> indices;
    const std::uint32_t triangles = 30000; // 90,000 vertices, none shared
    for (std::uint32_t t = 0; t < triangles; ++t) {
        positions.insert(positions.end(), {float(t), 0, 0, float(t) + 1, 0, 0, float(t), 1, 0});
        indices.insert(indices.end(), {3 * t, 3 * t + 1, 3 * t + 2});
    }
    const int position = model.floats(positions, "VEC3");
    const int index = model.accessor(model.view(indices), 5125, indices.size(), "SCALAR");
    TestSupport::writeFile(dir.path("m.glb"),
                           model.glb("\"nodes\":[{\"mesh\":0}],\"meshes\":[{\"primitives\":[{\"attributes\":"
                                     "{\"POSITION\":" +
                                     std::to_string(position) + "},\"indices\":" + std::to_string(index) + "}]}]"));
    const auto mesh = loadMesh(dir.path("m.glb"));
    ASSERT_EQ(mesh->getGeometries().size(), 2u);
    for (const Geometry* g : mesh->getGeometries()) {
        EXPECT_LE(g->getVertexArray().size(), 65536u);
        EXPECT_LE(g->getNormalArray().size(), 65536u);
    }
    const auto faces = facesOf(*mesh);
    ASSERT_EQ(faces.size(), triangles);
    for (std::uint32_t t = 0; t < triangles; t += 997) {
        expectNear(faces[t][0], {double(t), 0, 0});
        expectNear(faces[t][2], {double(t), 1, 0});
    }
}

// Each case: a file, and what its one line says. The mesh stays empty.
TEST(GLTFReaderTest, RefusesBrokenAndHostileFilesWithOneLineAndAnEmptyMesh)
{
    TestSupport::TempDir dir;
    TestSupport::FakeTextures textures;
    GLTFModel model;
    const int position = model.floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
    const std::string attributes = "{\"POSITION\":" + std::to_string(position) + "}";
    const std::string shown = "\"nodes\":[{\"mesh\":0}],\"meshes\":[{\"primitives\":[{\"attributes\":";
    auto withAccessor = [&](const std::string& accessor, const std::string& views = "") {
        return "{\"asset\":{\"version\":\"2.0\"},\"buffers\":[{\"uri\":\"data:application/octet-stream;base64," +
               GLTFModel::base64(model.bytes()) + "\",\"byteLength\":36}],\"bufferViews\":[" +
               (views.empty() ? "{\"buffer\":0,\"byteLength\":36}" : views) + "],\"accessors\":[" + accessor + "]," +
               shown + "{\"POSITION\":0}}]}]}";
    };
    TestSupport::writeFile(dir.path("b.bin"), std::string(36, '\0'));
    mkfifo(dir.path("fifo.bin").c_str(), 0600);
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "[";
    const std::string glb = model.glb(shown + attributes + "}]}]");
    struct Case
    {
        std::string name, content, why;
    };
    const std::vector<Case> cases = {
        {"text.gltf", "this is not JSON", "not JSON"},
        {"short.glb", glb.substr(0, 30), "the binary header is broken"},
        {"cut.glb", glb.substr(0, glb.size() - 8), ""},
        {"outside.gltf", withAccessor("{\"bufferView\":0,\"componentType\":5126,\"count\":4,\"type\":\"VEC3\"}"),
         "accessor 0 lies outside its buffer"},
        {"huge-count.gltf",
         withAccessor("{\"bufferView\":0,\"componentType\":5126,\"count\":1099511627776,\"type\":\"VEC3\"}"),
         "outside its buffer"},
        {"stride.gltf",
         withAccessor("{\"bufferView\":0,\"componentType\":5126,\"count\":1,\"type\":\"VEC3\"}",
                      "{\"buffer\":0,\"byteLength\":36,\"byteStride\":4}"),
         "outside its buffer"},
        {"view-offset.gltf",
         withAccessor("{\"bufferView\":0,\"componentType\":5126,\"count\":1,\"type\":\"VEC3\"}",
                      "{\"buffer\":0,\"byteOffset\":18446744073709551610,\"byteLength\":12}"),
         ""},
        {"sparse.gltf",
         withAccessor("{\"bufferView\":0,\"componentType\":5126,\"count\":3,\"type\":\"VEC3\",\"sparse\":{\"count\":1,"
                      "\"indices\":{\"bufferView\":0,\"componentType\":5125},\"values\":{\"bufferView\":0}}}"),
         "sparse"},
        {"deep.gltf", "{\"asset\":{\"version\":\"2.0\"},\"extras\":" + deep, "nested deeper than 64 levels"},
        {"two-buffers.glb",
         GLTFModel::container("{\"asset\":{\"version\":\"2.0\"},\"buffers\":[{\"byteLength\":36},{\"byteLength\":36}]}",
                              model.bytes()),
         "more than one buffer in the binary chunk"},
        {"picture-outside.gltf",
         model.gltf("", shown + attributes +
                            "}]}],\"images\":[{\"bufferView\":0}],\"bufferViews\":[{\"buffer\":0,"
                            "\"byteOffset\":30,\"byteLength\":30}]"),
         "image 0 lies outside its buffer"},
        {"extension.gltf",
         model.gltf("", shown + attributes + "}]}],\"extensionsRequired\":[\"KHR_draco_mesh_compression\"]"),
         "it needs the extension KHR_draco_mesh_compression"},
        {"no-mesh.gltf", model.gltf("", "\"nodes\":[{\"mesh\":7}]"), "mesh 7 does not exist"},
        {"fifo.gltf", model.gltf("fifo.bin", shown + attributes + "}]}]"), ""},
        {"twice.gltf",
         "{\"asset\":{\"version\":\"2.0\"},\"buffers\":[{\"uri\":\"b.bin\",\"byteLength\":36},{\"uri\":\"./b.bin\","
         "\"byteLength\":36}]}",
         "is named twice"},
        {"signed-indices.gltf",
         model.gltf("", shown + attributes +
                            ",\"indices\":1}]}],\"accessors\":[{\"bufferView\":0,"
                            "\"componentType\":5126,\"count\":3,\"type\":\"VEC3\"},{\"bufferView\":0,"
                            "\"componentType\":5122,\"count\":3,\"type\":\"SCALAR\"}]"),
         "accessor 1 has the wrong type"},
        {"float-indices.gltf", model.gltf("", shown + attributes + ",\"indices\":" + std::to_string(position) + "}]}]"),
         "wrong type"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestSupport::writeFile(dir.path(c.name), c.content);
        std::string output;
        const auto mesh = loadMesh(dir.path(c.name), &output);
        EXPECT_TRUE(mesh->getGeometries().empty());
        const std::string start = "[GLTFReader]> Bad glTF file \"" + dir.path(c.name) + "\" : ";
        // After the opener's own line for a FIFO, where there is one.
        const std::size_t line = output.find("File refused") == 0 ? output.find('\n') + 1 : 0;
        EXPECT_EQ(output.compare(line, start.size(), start), 0) << output;
        EXPECT_NE(output.find(c.why), std::string::npos) << output;
        EXPECT_NE(output.find("\nCouldn't load Mesh file : \"" + dir.path(c.name) + "\"\n"), std::string::npos);
        EXPECT_EQ(std::count(output.begin(), output.end(), '\n'),
                  output.find("File refused") == std::string::npos ? 2 : 3)
            << output;
    }
}

TEST(GLTFReaderTest, LeavesOutFacesNamingMissingVerticesAndRepeatsMeshesOnlyWithinItsAllowance)
{
    TestSupport::TempDir dir;
    GLTFModel model;
    std::vector<float> positions(3 * 3000, 0.0f);
    positions[3] = positions[7] = 1.0f;
    const int position = model.floats(positions, "VEC3");
    const int index = model.indices({0, 1, 2, 0, 1, 5000});
    std::string nodes;
    for (int n = 0; n < 1000; ++n)
        nodes += std::string(n ? "," : "") + "{\"mesh\":0}";
    TestSupport::writeFile(dir.path("m.gltf"), model.gltf("", "\"nodes\":[" + nodes +
                                                                  "],\"meshes\":[{\"primitives\":[{\"attributes\":"
                                                                  "{\"POSITION\":" +
                                                                  std::to_string(position) +
                                                                  "},\"indices\":" + std::to_string(index) + "}]}]"));
    std::string output;
    const auto mesh = loadMesh(dir.path("m.gltf"), &output);
    // Each copy costs 3,000 vertices and 6 indices: 4 x 3,006 + 262,144 allow 91 copies.
    EXPECT_EQ(mesh->getGeometries().size(), 91u);
    EXPECT_NE(output.find("[GLTFReader]> \"" + dir.path("m.gltf") +
                          "\" : 909 primitives shown by more nodes than the model's size allows were left out.\n"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("\" : 91 faces with a vertex outside their primitive were left out.\n"), std::string::npos);
    EXPECT_EQ(facesOf(*mesh).size(), 91u);
}

TEST(GLTFReaderTest, MeshChoosesItsReaderByTheFileNameInAnyLetterCase)
{
    TestSupport::TempDir dir;
    const std::string cases[] = {"a.GLTF", "b.Glb", "c.OBJ"};
    for (const std::string& name : cases) {
        std::string output;
        loadMesh(dir.path(name), &output);
        EXPECT_EQ(output, "Couldn't find/load mesh : \"" + dir.path(name) + "\"\nCouldn't load Mesh file : \"" +
                              dir.path(name) + "\"\n");
    }
    std::string output;
    loadMesh(dir.path("model.gltf.txt"), &output);
    EXPECT_EQ(output,
              "Unsupported format ... (supported format : ASE / GLTF / GLB / OBJ)\nCouldn't load Mesh file : \"" +
                  dir.path("model.gltf.txt") + "\"\n");
}

} // namespace
