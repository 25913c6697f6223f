#include <gtest/gtest.h>

#include <GL/gl.h>

#include <filesystem>
#include <fstream>

#include "reader/ASETestSupport.h"
#include "rendering/Geometry.h"
#include "rendering/Primitive.h"

namespace
{
namespace fs = std::filesystem;

// What a file declares for each object: vertices, faces, texture vertices, texture
// faces, and whether it has normals.
std::vector<std::array<unsigned, 5>> declaredCounts(const std::string& path)
{
    const std::vector<std::string> keys = {"*MESH_NUMVERTEX", "*MESH_NUMFACES", "*MESH_NUMTVERTEX", "*MESH_NUMTVFACES"};
    std::ifstream in(path);
    std::vector<std::array<unsigned, 5>> objects;
    for (std::string word; in >> word;) {
        const std::size_t key = std::find(keys.begin(), keys.end(), word) - keys.begin();
        if (word == "*GEOMOBJECT")
            objects.push_back({0, 0, 0, 0, 0});
        else if (!objects.empty() && key < keys.size())
            in >> objects.back()[key];
        else if (!objects.empty() && word == "*MESH_NORMALS")
            objects.back()[4] = 1;
    }
    return objects;
}

template <typename T>
void expectInside(std::vector<unsigned short>& indices, const std::vector<T>& array)
{
    EXPECT_TRUE(std::all_of(indices.begin(), indices.end(), [&](unsigned short i) { return i < array.size(); }));
}

TEST(ASEConformanceTest, EveryFileLoadsWithTheCountsItDeclares)
{
    const fs::path folder = fs::path(TESSELLON_CONFORMANCE_DIR) / "ase";
    if (!fs::is_directory(folder))
        GTEST_SKIP() << "no conformance files in " << folder;
    TestSupport::FakeTextures textures;
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.path().extension() == ".ase" || entry.path().extension() == ".ASE")
            files.push_back(entry.path().string());
    ASSERT_GE(files.size(), 10u);
    const std::string eightBit = (folder / "ThreeCubesGreen.ASE").string();
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        TestSupport::CapturedOutput capture;
        Rendering::Mesh mesh(file);
        EXPECT_EQ(capture.text(), "Mesh File : \"" + file + "\" loaded.\n");
        // The UTF-16 copies must give what their 8-bit original gives.
        const bool copy = file.find("_UTF16") != std::string::npos;
        const auto counts = declaredCounts(copy ? eightBit : file);
        std::unique_ptr<Rendering::Mesh> original(copy ? new Rendering::Mesh(eightBit) : nullptr);
        ASSERT_EQ(mesh.getGeometries().size(), counts.size());
        for (std::size_t g = 0; g < counts.size(); ++g) {
            Rendering::Geometry& geometry = *mesh.getGeometries()[g];
            const auto [vertices, faces, texVertices, texFaces, normals] = counts[g];
            EXPECT_EQ(geometry.getVertexArray().size(), vertices);
            EXPECT_EQ(geometry.getTexCoordArray().size(), texVertices);
            // Without normals in the file they are computed, one index per face corner.
            if (normals)
                EXPECT_EQ(geometry.getNormalArray().size(), vertices);
            else
                EXPECT_FALSE(geometry.getNormalArray().empty());
            ASSERT_EQ(geometry.getPrimitives().size(), 1u);
            Rendering::Primitive& triangles = *geometry.getPrimitives()[0];
            EXPECT_EQ(triangles.getPrimitiveType(), static_cast<unsigned>(GL_TRIANGLES));
            EXPECT_EQ(triangles.getVertexIndicesArray().size(), 3 * faces);
            EXPECT_EQ(triangles.getTexturesIndicesArray().size(), 3 * texFaces);
            EXPECT_EQ(triangles.getNormalIndicesArray().size(), 3 * faces);
            expectInside(triangles.getVertexIndicesArray(), geometry.getVertexArray());
            expectInside(triangles.getTexturesIndicesArray(), geometry.getTexCoordArray());
            expectInside(triangles.getNormalIndicesArray(), geometry.getNormalArray());
            if (original) {
                Rendering::Geometry& same = *original->getGeometries()[g];
                EXPECT_EQ(geometry.getVertexArray(), same.getVertexArray());
                EXPECT_EQ(geometry.getNormalArray(), same.getNormalArray());
                EXPECT_EQ(triangles.getVertexIndicesArray(), same.getPrimitives()[0]->getVertexIndicesArray());
            }
        }
    }
    // Bitmap names with a folder are asked for as written.
    EXPECT_NE(
        std::find(textures.paths.begin(), textures.paths.end(), "..\\..\\3DS\\UVTransformTest\\UVTransformTestImg.png"),
        textures.paths.end());
}
} // namespace
