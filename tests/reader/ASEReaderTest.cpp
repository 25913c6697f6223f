#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "reader/ASETestSupport.h"
#include "rendering/Geometry.h"
#include "rendering/Primitive.h"

namespace
{
using Rendering::Geometry;
using Rendering::Primitive;
using TestSupport::FakeTextures;
using TestSupport::readAse;
using V3 = Vec3<double>;
using Indices = std::vector<unsigned short>;

const std::string c_Bad = "[ASEReader]> Bad structure in ASE file.\n";

// An object of three vertices and one face, with `extra` inside its mesh and `after` after it.
std::string object(const std::string& extra = "", const std::string& after = "")
{
    return "*GEOMOBJECT {\n *MESH {\n  *MESH_NUMVERTEX 3\n  *MESH_VERTEX_LIST {\n   *MESH_VERTEX 0 1 2 3\n"
           "   *MESH_VERTEX 1 4 5 6\n   *MESH_VERTEX 2 7 8 9\n  }\n  *MESH_FACE_LIST {\n"
           "   *MESH_FACE 0: A: 0 B: 1 C: 2 AB: 1 BC: 1 CA: 0 *MESH_SMOOTHING 1 *MESH_MTLID 0\n  }\n" +
           extra + " }\n" + after + "}\n";
}

TEST(ASEReaderTest, TurnsPositionsAndNormalsAlikeAndKeepsCoordinatesAsWritten)
{
    const std::string node = "*NODE_TM { *TM_ROW0 1 0 0 *TM_ROW1 0 0 1 *TM_ROW2 0 -1 0 *TM_ROW3 5 5 5 }\n";
    const std::string lists = "*MESH_NUMTVERTEX 1 *MESH_TVERTLIST { *MESH_TVERT 0 0.25 0.75 0.5 }\n"
                              "*MESH_NUMCVERTEX 1 *MESH_CVERTLIST { *MESH_VERTCOL 0 0.1 0.2 0.3 }\n"
                              "*MESH_NORMALS { *MESH_FACENORMAL 0 1 0 0 *MESH_VERTEXNORMAL 0 0 0 1\n"
                              "*MESH_VERTEXNORMAL 1 1 0 0 *MESH_VERTEXNORMAL 0 1 0 0 }\n";
    auto mesh = readAse(object(lists) + "*GEOMOBJECT {\n" + node + object().substr(14));
    ASSERT_EQ(mesh->getGeometries().size(), 2u);
    Geometry& plain = *mesh->getGeometries()[0];
    EXPECT_EQ(plain.getVertexArray()[0], V3(1, 3, -2));
    // Positions are written in world space: the node matrix is not applied again.
    EXPECT_EQ(mesh->getGeometries()[1]->getVertexArray()[0], V3(1, 3, -2));
    // Stored so that a primitive emits (x, -z, y) of them: (0, 0, 1) reaches OpenGL as (0, 1, 0).
    EXPECT_EQ(plain.getNormalArray(), (std::vector<V3>{V3(0, 0, -1), V3(1, 0, 0), V3(0, 0, 0)}));
    ASSERT_EQ(plain.getPrimitives().size(), 1u);
    Primitive& face = *plain.getPrimitives()[0];
    EXPECT_EQ(face.getPrimitiveType(), static_cast<unsigned>(GL_TRIANGLES));
    EXPECT_EQ(face.getVertexIndicesArray(), (Indices{0, 1, 2}));
    // The first normal of a vertex wins, but every line still names its vertex.
    EXPECT_EQ(face.getNormalIndicesArray(), (Indices{0, 1, 0}));
    EXPECT_EQ(plain.getTexCoordArray()[0].x() * 10 + plain.getTexCoordArray()[0].y(), 3.25);
    EXPECT_EQ(plain.getColorArray(), (std::vector<V3>{V3(0.1, 0.2, 0.3)}));
}

TEST(ASEReaderTest, GivesOnePrimitivePerFaceSizeInTheOrderSizesFirstOccur)
{
    std::string many;
    for (int i = 0; i < 259; ++i)
        many += " A: 0";
    const std::string faces = "*MESH_FACE_LIST { *MESH_FACE 1: A: 0 B: 1 C: 2 D: 0 AB: 1\n"
                              "*MESH_FACE 2: A: 2 B: 1 C: 0 E\n*MESH_FACE 3: A: 1 B: 2 AB:\n*MESH_FACE 4:" +
                              many + " AB: }\n";
    auto mesh = readAse(object(faces));
    const auto& primitives = mesh->getGeometries()[0]->getPrimitives();
    ASSERT_EQ(primitives.size(), 4u);
    for (unsigned i : {0, 1, 2, 3})
        EXPECT_EQ(primitives[i]->getPrimitiveType(),
                  (std::array<unsigned, 4>{GL_TRIANGLES, GL_QUADS, GL_LINES, GL_POLYGON}[i]));
    EXPECT_EQ(primitives[0]->getVertexIndicesArray(), (Indices{0, 1, 2, 2, 1, 0}));
    EXPECT_EQ(primitives[1]->getVertexIndicesArray(), (Indices{0, 1, 2, 0}));
    // 259 corners are not taken for 3 (a face size kept in 8 bits would be).
    EXPECT_EQ(primitives[3]->getVertexIndicesArray().size(), 259u);
}

TEST(ASEReaderTest, MakesMaterialTexturesFromBitmapsThatTheMeshOwns)
{
    FakeTextures textures;
    const std::string materials =
        "*MATERIAL_LIST {\n *MATERIAL_COUNT 12\n"
        " *MATERIAL 11 { *MATERIAL_NAME \"Wood\" *MAP_DIFFUSE { *MAP_NAME \"Map #1\" *BITMAP \"wood.png\" } }\n"
        " *MATERIAL 3 { *MAP_DIFFUSE { *BITMAP \"C:\\maps\\dark oak.png\" } }\n"
        " *MATERIAL 4 { *MAP_BUMP { *BITMAP \"bump.png\" } *MAP_DIFFUSE { *BITMAP \"sub/missing.png\" } }\n"
        " *MATERIAL 12 { *MAP_DIFFUSE { *BITMAP \"outside.png\" } }\n}\n";
    {
        auto mesh = readAse(materials + object("", "*MATERIAL_REF 11\n") + object("", "*MATERIAL_REF 3\n") +
                            object("", "*MATERIAL_REF 4\n") + object("", "*MATERIAL_REF 12\n"));
        // Bare names are taken from the file's folder; blanks inside quotes are lost.
        EXPECT_EQ(textures.paths,
                  (std::vector<std::string>{"data/models/wood.png", "C:\\maps\\darkoak.png", "sub/missing.png"}));
        const Rendering::Texture* expected[] = {FakeTextures::texture(1), FakeTextures::texture(2), nullptr, nullptr};
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(mesh->getGeometries()[i]->getPrimitives()[0]->getTexture(), expected[i]) << "object " << i;
    }
    EXPECT_EQ(textures.released,
              (std::vector<Rendering::Texture*>{FakeTextures::texture(1), FakeTextures::texture(2)}));

    textures.paths.clear();
    readAse(materials, nullptr, "piece.ase");
    EXPECT_EQ(textures.paths[0], "wood.png");
}

TEST(ASEReaderTest, FollowsOnlyTheBlocksItKnows)
{
    FakeTextures textures;
    // An unknown map block ends its material at its "}", and the material's "}" the list.
    readAse("*MATERIAL_LIST { *MATERIAL_COUNT 2 *MATERIAL 0 { *MAP_SPECULAR { *BITMAP \"s.png\" }\n"
            "*MAP_DIFFUSE { *BITMAP \"a.png\" } } *MATERIAL 1 { *MAP_DIFFUSE { *BITMAP \"b.png\" } } }\n");
    EXPECT_TRUE(textures.paths.empty());
    // An animation block ends its object early: the reference after it is not applied.
    auto mesh = readAse("*MATERIAL_LIST { *MATERIAL_COUNT 1 *MATERIAL 0 { *MAP_DIFFUSE { *BITMAP \"a.png\" } } }\n" +
                        object("", "*TM_ANIMATION { *CONTROL_POS_TRACK { *CONTROL_POS_SAMPLE 0 1 2 3 } }\n"
                                   "*MATERIAL_REF 0\n") +
                        object("", "*MATERIAL_REF 0\n"));
    ASSERT_EQ(mesh->getGeometries().size(), 2u);
    EXPECT_EQ(mesh->getGeometries()[0]->getPrimitives()[0]->getTexture(), nullptr);
    EXPECT_EQ(mesh->getGeometries()[1]->getPrimitives()[0]->getTexture(), FakeTextures::texture(1));
}

TEST(ASEReaderTest, ReportsBadStructureAndGoesOnWithTheNextToken)
{
    // Each text breaks one block; the object after it must still be read.
    const char* broken[] = {
        "*SCENE x }",
        "*MATERIAL_LIST x",
        "*MATERIAL_LIST { *MATERIAL 0 x } }",
        "*MATERIAL_LIST { *MATERIAL_COUNT - }",
        "*MATERIAL_LIST { *MATERIAL x { } }",
        "*GEOMOBJECT x",
        "*GEOMOBJECT { *MESH x } }",
        "*GEOMOBJECT { *MESH { *MESH_VERTEX_LIST { *MESH_VERTEX 0 1 2 3 } } }",
        "*GEOMOBJECT { *MESH { *MESH_TVERTLIST { } } }",
        "*GEOMOBJECT { *MESH { *MESH_NUMTVERTEX 0 *MESH_TVERTLIST { } } }",
        "*GEOMOBJECT { *MESH { *MESH_CVERTLIST { } } }",
        "*GEOMOBJECT { *MESH { *MESH_NUMVERTEX x } }",
        "*GEOMOBJECT { *MESH { *MESH_NUMVERTEX 99999999999 } }",
        "*GEOMOBJECT { *MESH { *MESH_NUMVERTEX 1 *MESH_VERTEX_LIST { *MESH_VERTEX 0 1 a 3 } } }",
        "*GEOMOBJECT { *MESH { *MESH_NUMVERTEX 1 *MESH_VERTEX_LIST { *MESH_VERTEX - 1 2 3 } } }",
        "*GEOMOBJECT { *NODE_TM { *TM_ROW0 1 0 e } }",
        "*GEOMOBJECT { *MESH { *MESH_FACE_LIST { *MESH_FACE 0: A: B: 1 C: 2 } } }",
        "*GEOMOBJECT { *MESH { *MESH_TFACELIST { *MESH_TFACE 0 1 . 2 } } }",
        "*GEOMOBJECT { *MESH { *MESH_NORMALS { *MESH_VERTEXNORMAL 0 1 0 +x } } }",
        "*GEOMOBJECT { *MATERIAL_REF *MESH }",
    };
    const std::string good = "\n" + object() + "\n";
    for (const char* text : broken) {
        std::string output;
        auto mesh = readAse(text + good, &output);
        EXPECT_EQ(output, c_Bad) << text;
        ASSERT_FALSE(mesh->getGeometries().empty()) << text;
        EXPECT_EQ(mesh->getGeometries().back()->getVertexArray().size(), 3u) << text;
    }
    // Input that ends inside any block.
    const char* cut[] = {"*SCENE {",
                         "*SCENE",
                         "*MATERIAL_LIST { *MATERIAL 0 { *MAP_DIFFUSE { *BITMAP \"a b",
                         "*MATERIAL_LIST { *MATERIAL_COUNT",
                         "*GEOMOBJECT { *NODE_TM { *TM_ROW0 1",
                         "*GEOMOBJECT { *MESH { *MESH_FACE_LIST { *MESH_FACE 0:",
                         "*GEOMOBJECT { *MESH { *MESH_CFACE"};
    for (const char* text : cut) {
        std::string output;
        readAse(text, &output);
        EXPECT_EQ(output, c_Bad) << text;
    }
    // An object cut short keeps what it read, without its material and normal indices.
    FakeTextures textures;
    auto mesh = readAse("*MATERIAL_LIST { *MATERIAL_COUNT 1 *MATERIAL 0 { *MAP_DIFFUSE { *BITMAP \"a\" } } }\n" +
                        object("*MESH_NORMALS { *MESH_VERTEXNORMAL 0 0 0 1 }", "*MATERIAL_REF 0 *NODE_TM { "));
    Primitive& face = *mesh->getGeometries()[0]->getPrimitives()[0];
    EXPECT_EQ(face.getVertexIndicesArray().size(), 3u);
    EXPECT_EQ(face.getTexture(), nullptr);
    EXPECT_TRUE(face.getNormalIndicesArray().empty());
}

TEST(ASEReaderTest, DropsEntriesWhoseIndexLiesOutsideTheirArray)
{
    FakeTextures textures;
    const std::string lists =
        "*MESH_FACE_LIST { *MESH_FACE 1: A: 0 B: 1 C: 3 AB: *MESH_FACE 2: A: 0 B: 1 C: 70000 AB:\n"
        "*MESH_FACE 3: A: 0 B: 4294967296 C: 1 AB: *MESH_FACE 4: A: 2 B: 1 C: 0 AB: }\n"
        "*MESH_NUMTVERTEX 2 *MESH_TVERTLIST { *MESH_TVERT 0 0 0 *MESH_TVERT 1 1 1 }\n"
        "*MESH_TFACELIST { *MESH_TFACE 0 0 1 1 *MESH_TFACE 1 0 1 2 *MESH_TFACE 2 0 70000 1 *MESH_TFACE 3 1 -0 1 }\n"
        "*MESH_NORMALS { *MESH_VERTEXNORMAL 0 0 0 1 *MESH_VERTEXNORMAL 3 0 0 1 *MESH_VERTEXNORMAL 70000 0 0 1\n"
        "*MESH_VERTEXNORMAL -1 0 0 1 }\n";
    const std::string negative = "*MESH_FACE_LIST { *MESH_FACE 0: A: 0 B: -1 C: 70000 AB: }\n"
                                 "*MESH_TFACELIST { *MESH_TFACE 0 -1 0 0 }\n";
    std::string output;
    auto mesh = readAse("*MATERIAL_LIST { *MATERIAL_COUNT 1 *MATERIAL 7 { *MAP_DIFFUSE { *BITMAP \"a\" } } }\n" +
                            object(lists, "*MATERIAL_REF 1\n") +
                            "*GEOMOBJECT { *MESH { *MESH_TFACELIST { *MESH_TFACE 0 0 1 2 } } }\n" +
                            object(negative, "*MATERIAL_REF -1\n"),
                        &output);
    EXPECT_EQ(output, "[ASEReader]> Object 1: 4 entries with an index above 65535 dropped.\n"
                      "[ASEReader]> Object 1: 1 entries with an index out of range (negative) dropped.\n"
                      "[ASEReader]> Object 3: 3 entries with an index out of range (negative) dropped.\n");
    EXPECT_TRUE(textures.paths.empty());
    Primitive& face = *mesh->getGeometries()[0]->getPrimitives()[0];
    EXPECT_EQ(face.getVertexIndicesArray(), (Indices{0, 1, 2, 2, 1, 0}));
    EXPECT_EQ(face.getTexturesIndicesArray(), (Indices{0, 1, 1, 1, 0, 1}));
    EXPECT_EQ(face.getNormalIndicesArray(), (Indices{0}));
    EXPECT_EQ(face.getTexture(), nullptr);
    EXPECT_TRUE(mesh->getGeometries()[1]->getPrimitives().empty());
    EXPECT_EQ(mesh->getGeometries()[2]->getPrimitives()[0]->getVertexIndicesArray(), (Indices{0, 1, 2}));
}

// Count lines are not trusted: a list reserves no more than its own text can hold, and
// room for announced entries that never came is given back.
TEST(ASEReaderTest, CountsThatLieReserveNothingTheListsDoNotHold)
{
    const std::string lie = "*MESH_NUMVERTEX 4294967295 *MESH_NUMFACES 4294967295 *MESH_NUMTVERTEX 4294967295\n"
                            "*MESH_NUMCVERTEX 4294967295 *MESH_NUMTVFACES 4294967295\n";
    const std::string lists = "*MESH_VERTEX_LIST { *MESH_VERTEX 0 1 2 3 } *MESH_TVERTLIST { *MESH_TVERT 0 0 0 } *MESH_CVERTLIST { }\n"
                              "*MESH_FACE_LIST { *MESH_FACE 0: A: 0 B: 0 C: 0 } *MESH_TFACELIST { }\n"
                              "*MESH_NORMALS { *MESH_VERTEXNORMAL 0 0 0 1 }\n";
    std::string text;
    for (int i = 0; i < 50; ++i)
        text += "*GEOMOBJECT { *MESH { " + lie + lists + "} }\n";
    // Lists cut short by a structure error give their room back too.
    text += "*GEOMOBJECT { *MESH { " + lie + "*MESH_VERTEX_LIST { *MESH_VERTEX 0 1 2 3 " +
            std::string(100000, 'x') + " } } }\n";
    auto mesh = readAse(text + std::string(1 << 20, ' '));
    ASSERT_EQ(mesh->getGeometries().size(), 51u);
    for (const Geometry* geometry : mesh->getGeometries()) {
        EXPECT_EQ(geometry->getVertexArray().capacity(), 1u);
        EXPECT_LE(geometry->getTexCoordArray().capacity(), 1u);
        EXPECT_EQ(geometry->getColorArray().capacity(), 0u);
        for (Primitive* primitive : geometry->getPrimitives()) {
            EXPECT_EQ(primitive->getVertexIndicesArray().capacity(), 3u);
            EXPECT_EQ(primitive->getTexturesIndicesArray().capacity(), 0u);
            EXPECT_EQ(primitive->getNormalIndicesArray().capacity(), 1u);
        }
    }
}

// A reader used for a second file starts from an empty material table: the first file's
// textures die with the first mesh.
TEST(ASEReaderTest, AReusedReaderForgetsTheMaterialsOfItsLastFile)
{
    FakeTextures textures;
    Reader::ASEReader reader;
    const std::string first =
        "*MATERIAL_LIST { *MATERIAL_COUNT 1 *MATERIAL 0 { *MAP_DIFFUSE { *BITMAP \"a.png\" } } }\n" +
        object("", "*MATERIAL_REF 0\n");
    const std::string second = object("", "*MATERIAL_REF 0\n");
    Rendering::Mesh one, two, three;
    reader.loadFromMemory(first.data(), first.size(), "a.ase", &one);
    EXPECT_EQ(one.getGeometries()[0]->getPrimitives()[0]->getTexture(), FakeTextures::texture(1));
    reader.loadFromMemory(second.data(), second.size(), "b.ase", &two);
    EXPECT_EQ(two.getGeometries()[0]->getPrimitives()[0]->getTexture(), nullptr);
    reader.load("/nonexistent/c.ase", &three);
    std::stringstream stream(second);
    std::string word;
    stream >> word;
    reader.parseGeometry(stream);
    EXPECT_EQ(three.getGeometries()[0]->getPrimitives()[0]->getTexture(), nullptr);
}

TEST(ASEReaderTest, ComputesNormalsSmoothedWithinSmoothingGroups)
{
    // Four triangles round vertex 0 of a pyramid: faces 0 and 1 in group 1, face 2 in
    // groups 1 and 2, face 3 in group 3, face 4 (in no group, written without a number)
    // flat.
    const std::string text =
        "*GEOMOBJECT { *MESH { *MESH_NUMVERTEX 5 *MESH_VERTEX_LIST { *MESH_VERTEX 0 0 0 1\n"
        "*MESH_VERTEX 1 1 0 0 *MESH_VERTEX 2 0 1 0 *MESH_VERTEX 3 -1 0 0 *MESH_VERTEX 4 0 -1 0 }\n"
        "*MESH_FACE_LIST { *MESH_FACE 0: A: 0 B: 1 C: 2 AB: 1 *MESH_SMOOTHING 1 *MESH_MTLID 0\n"
        "*MESH_FACE 1: A: 0 B: 2 C: 3 *MESH_SMOOTHING 1\n*MESH_FACE 2: A: 0 B: 3 C: 4 *MESH_SMOOTHING 2,1\n"
        "*MESH_FACE 3: A: 0 B: 4 C: 1 *MESH_SMOOTHING 3 *MESH_MTLID 1\n*MESH_FACE 4: A: 1 B: 4 C: 3 *MESH_SMOOTHING "
        "*MESH_MTLID 2 } } }\n";
    auto mesh = readAse(text);
    const Geometry& geometry = *mesh->getGeometries()[0];
    const Primitive& faces = *geometry.getPrimitives()[0];
    EXPECT_EQ(faces.getSmoothingGroupsArray(), (std::vector<std::uint32_t>{1, 1, 3, 4, 0}));
    const Indices& n = faces.getNormalIndicesArray();
    ASSERT_EQ(n.size(), 15u);
    // Vertex 0: one normal for faces 0, 1 and 2 (they share group 1), another for face 3.
    EXPECT_EQ(n[0], n[3]);
    EXPECT_EQ(n[0], n[6]);
    EXPECT_NE(n[0], n[9]);
    // Vertex 3 (faces 1, 2 and the flat face 4) and the flat face's corners.
    EXPECT_EQ(n[5], n[7]);
    EXPECT_NE(n[5], n[14]);
    EXPECT_EQ(n[12], n[13]);
    auto emitted = [&](unsigned short i) {
        const V3& s = geometry.getNormalArray()[i];
        return V3(s.x(), -s.z(), s.y());
    };
    // The apex's shared normal: the mean of faces 0 to 2, (-1, 1, 3) in the file's axes,
    // turned as the positions are (the file's z is the engine's y); the flat base down.
    const V3 apex = emitted(n[0]) * std::sqrt(11.0);
    EXPECT_NEAR(apex.x(), -1.0, 1e-12);
    EXPECT_NEAR(apex.y(), 3.0, 1e-12);
    EXPECT_NEAR(apex.z(), -1.0, 1e-12);
    EXPECT_NEAR(emitted(n[12]).y(), -1.0, 1e-12);
    for (unsigned short i : n)
        EXPECT_NEAR(emitted(i).length(), 1.0, 1e-12);
}

TEST(ASEReaderTest, GivesEachSubMaterialItsOwnPrimitive)
{
    FakeTextures textures;
    const std::string materials =
        "*MATERIAL_LIST { *MATERIAL_COUNT 1 *MATERIAL 0 { *MATERIAL_DIFFUSE 1 0 0 *NUMSUBMTLS 3\n"
        "*SUBMATERIAL 0 { *MATERIAL_DIFFUSE 0 1 0 *MATERIAL_SHINE 0.5 *MATERIAL_TRANSPARENCY 0.25 }\n"
        "*SUBMATERIAL 1 { *MATERIAL_DIFFUSE 0 0 1 *MAP_DIFFUSE { *BITMAP \"blue.png\" } } } }\n";
    const std::string faces =
        "*MESH_FACE_LIST { *MESH_FACE 0: A: 0 B: 1 C: 2 *MESH_MTLID 1\n"
        "*MESH_FACE 1: A: 2 B: 1 C: 0 *MESH_MTLID 3 *MESH_FACE 2: A: 0 B: 2 C: 1 *MESH_MTLID 2 }\n";
    auto mesh = readAse(materials + object(faces, "*MATERIAL_REF 0\n"));
    const auto& parts = mesh->getGeometries()[0]->getPrimitives();
    // Ids 1 and 3 (3 wraps round the three sub-materials to 0) and 2, which names no
    // sub-material and keeps the material's own colours.
    ASSERT_EQ(parts.size(), 3u);
    // The object's own first face (id 0) joins sub-material 0.
    const Indices vertices[] = {{0, 2, 1}, {0, 1, 2, 2, 1, 0}, {0, 1, 2}};
    const V3 diffuse[] = {V3(1, 0, 0), V3(0, 1, 0), V3(0, 0, 1)};
    for (std::size_t i = 0; i < 3; ++i) {
        Primitive& part = *parts[i];
        ASSERT_NE(part.getMaterial(), nullptr);
        const Vec4<double>& d = part.getMaterial()->m_Diffuse;
        const V3 rgb(d.x(), d.y(), d.z());
        const std::size_t which = std::find(std::begin(diffuse), std::end(diffuse), rgb) - std::begin(diffuse);
        ASSERT_LT(which, 3u) << "part " << i;
        EXPECT_EQ(part.getVertexIndicesArray(), vertices[which]);
        EXPECT_EQ(part.getTexture(), which == 2 ? FakeTextures::texture(1) : nullptr);
        EXPECT_EQ(part.getNormalIndicesArray().size(), part.getVertexIndicesArray().size());
        if (which == 1) {
            EXPECT_EQ(part.getMaterial()->m_Shininess * 10 + d.w(), 640.75);
        }
    }
}

// Sub-material 4294967295 makes 2^32 sub-materials, a count that 32 bits wrap to 0: with or
// without a count line, each face still finds its part.
TEST(ASEReaderTest, TheLargestSubMaterialNumberIsReadLikeAnyOther)
{
    const std::string faces = "*MESH_FACE_LIST { *MESH_FACE 1: A: 2 B: 1 C: 0 *MESH_MTLID 4294967295 }\n";
    for (const std::string count : {"", "*NUMSUBMTLS 0", "*NUMSUBMTLS 4294967295"}) {
        const std::string materials = "*MATERIAL_LIST { *MATERIAL_COUNT 1 *MATERIAL 0 { *MATERIAL_DIFFUSE 1 0 0 " +
                                      count + " *SUBMATERIAL 4294967295 { *MATERIAL_DIFFUSE 0 1 0 } } }\n";
        auto mesh = readAse(materials + object(faces, "*MATERIAL_REF 0\n"));
        const auto& parts = mesh->getGeometries()[0]->getPrimitives();
        ASSERT_EQ(parts.size(), 2u) << count;
        for (const Primitive* part : parts) {
            ASSERT_NE(part->getMaterial(), nullptr);
            const bool own = part->getMaterial()->m_Diffuse.x() == 1.0;
            EXPECT_EQ(part->getVertexIndicesArray(), own ? Indices({0, 1, 2}) : Indices({2, 1, 0})) << count;
        }
    }
}

TEST(ASEReaderTest, LoadsFilesSmallAndLargeAndReportsTheOnesItCannotRead)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("ase_reader_test_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    // Over 4 MB: the file is read into a buffer of its own kind.
    std::string big = object() + std::string(5u << 20, ' ') + object();
    std::ofstream((dir / "big.ASE.bak").string()) << big;
    std::string output;
    {
        TestSupport::CapturedOutput capture;
        Rendering::Mesh mesh((dir / "big.ASE.bak").string());
        EXPECT_EQ(mesh.getGeometries().size(), 2u);
        Rendering::Mesh missing((dir / "none.ase").string());
        fs::create_directories(dir / "folder.ase");
        Rendering::Mesh folder((dir / "folder.ase").string());
        Rendering::Mesh other((dir / "piece.3ds").string());
        EXPECT_TRUE(missing.getGeometries().empty());
        output = capture.text();
    }
    const std::string d = dir.string();
    EXPECT_EQ(output, "Mesh File : \"" + d + "/big.ASE.bak\" loaded.\n" + "Couldn't find/load mesh : \"" + d +
                          "/none.ase\"\nCouldn't load Mesh file : \"" + d + "/none.ase\"\n" +
                          "File refused : \"" + d + "/folder.ase\" is a directory, not a regular file.\n" +
                          "Couldn't find/load mesh : \"" + d + "/folder.ase\"\nCouldn't load Mesh file : \"" + d +
                          "/folder.ase\"\n" +
                          "Unsupported format ... (supported format : ASE / GLTF / GLB / OBJ)\nCouldn't load Mesh file : \"" + d +
                          "/piece.3ds\"\n");
    fs::remove_all(dir);
}

// The model's path and a bitmap name read from the file reach the terminal escaped, in the
// messages' own frames.
TEST(ASEReaderTest, MessagesQuoteNamesEscaped)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("ase_quote_test_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string d = dir.string();
    std::ofstream(d + "/m\x1b[2J.ase") << "*MATERIAL_LIST { *MATERIAL_COUNT 1 *MATERIAL 0 { *MAP_DIFFUSE {\n"
                                       << "*BITMAP \"p\x1b]0;owned\x07.png\" } } }\n"
                                       << object("", "*MATERIAL_REF 0\n");
    std::string output;
    {
        TestSupport::CapturedOutput capture;
        Rendering::Mesh mesh(d + "/m\x1b[2J.ase");
        Rendering::Mesh missing(d + "/n\x07.ase");
        output = capture.text();
    }
    for (const std::string& line :
         {"Mesh File : \"" + d + "/m\\x1B[2J.ase\" loaded.\n", "Couldn't find/load mesh : \"" + d + "/n\\x07.ase\"\n",
          "Couldn't load Mesh file : \"" + d + "/n\\x07.ase\"\n", "\"" + d + "/p\\x1B]0;owned\\x07.png\"\n"})
        EXPECT_NE(output.find(line), std::string::npos) << line << " in\n" << output;
    for (char c : output)
        ASSERT_TRUE(c == '\n' || (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f)) << output;
    fs::remove_all(dir);
}

} // namespace
