#include <gtest/gtest.h>

#include <GL/gl.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "reader/ASETestSupport.h"
#include "rendering/Geometry.h"
#include "rendering/Primitive.h"

namespace
{
namespace fs = std::filesystem;
using Rendering::Geometry;
using Rendering::Primitive;

// What a file says about each of its objects, from its own count lines.
struct Counts
{
    unsigned vertices = 0, faces = 0, texVertices = 0, texFaces = 0;
    bool normals = false;
};

std::vector<Counts> countLines(const std::string& path)
{
    std::ifstream in(path);
    std::vector<Counts> objects;
    std::string word;
    while (in >> word) {
        if (word == "*GEOMOBJECT")
            objects.emplace_back();
        else if (objects.empty())
            continue;
        else if (word == "*MESH_NUMVERTEX")
            in >> objects.back().vertices;
        else if (word == "*MESH_NUMFACES")
            in >> objects.back().faces;
        else if (word == "*MESH_NUMTVERTEX")
            in >> objects.back().texVertices;
        else if (word == "*MESH_NUMTVFACES")
            in >> objects.back().texFaces;
        else if (word == "*MESH_NORMALS")
            objects.back().normals = true;
    }
    return objects;
}

template <typename T>
void expectInside(const std::vector<unsigned short>& indices, const std::vector<T>& array, const char* what)
{
    for (unsigned short i : indices)
        ASSERT_LT(i, array.size()) << what;
}

void expectSameMesh(const Rendering::Mesh& a, const Rendering::Mesh& b)
{
    ASSERT_EQ(a.getGeometries().size(), b.getGeometries().size());
    for (std::size_t g = 0; g < a.getGeometries().size(); ++g) {
        Geometry& x = *a.getGeometries()[g];
        Geometry& y = *b.getGeometries()[g];
        EXPECT_EQ(x.getVertexArray(), y.getVertexArray());
        EXPECT_EQ(x.getNormalArray(), y.getNormalArray());
        ASSERT_EQ(x.getPrimitives().size(), y.getPrimitives().size());
        for (std::size_t p = 0; p < x.getPrimitives().size(); ++p) {
            EXPECT_EQ(x.getPrimitives()[p]->getVertexIndicesArray(), y.getPrimitives()[p]->getVertexIndicesArray());
            EXPECT_EQ(x.getPrimitives()[p]->getNormalIndicesArray(), y.getPrimitives()[p]->getNormalIndicesArray());
        }
    }
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
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        TestSupport::StdoutCapture capture;
        Rendering::Mesh mesh(file);
        EXPECT_EQ(capture.text(), "Mesh File : \"" + file + "\" loaded.\n");
        const std::string name = fs::path(file).filename().string();
        if (name.find("_UTF16") != std::string::npos) {
            Rendering::Mesh twin((folder / "ThreeCubesGreen.ASE").string());
            expectSameMesh(mesh, twin);
            continue;
        }
        const std::vector<Counts> counts = countLines(file);
        ASSERT_EQ(mesh.getGeometries().size(), counts.size());
        for (std::size_t g = 0; g < counts.size(); ++g) {
            Geometry& geometry = *mesh.getGeometries()[g];
            EXPECT_EQ(geometry.getVertexArray().size(), counts[g].vertices);
            EXPECT_EQ(geometry.getTexCoordArray().size(), counts[g].texVertices);
            EXPECT_EQ(geometry.getNormalArray().size(), counts[g].normals ? counts[g].vertices : 0u);
            ASSERT_EQ(geometry.getPrimitives().size(), 1u);
            Primitive& faces = *geometry.getPrimitives()[0];
            EXPECT_EQ(faces.getPrimitiveType(), static_cast<unsigned>(GL_TRIANGLES));
            EXPECT_EQ(faces.getVertexIndicesArray().size(), 3 * counts[g].faces);
            EXPECT_EQ(faces.getTexturesIndicesArray().size(), 3 * counts[g].texFaces);
            EXPECT_EQ(faces.getNormalIndicesArray().size(), counts[g].normals ? 3 * counts[g].faces : 0u);
            expectInside(faces.getVertexIndicesArray(), geometry.getVertexArray(), "vertex");
            expectInside(faces.getTexturesIndicesArray(), geometry.getTexCoordArray(), "texture coordinate");
            expectInside(faces.getNormalIndicesArray(), geometry.getNormalArray(), "normal");
        }
    }
    // The bitmaps named with a folder are asked for as written.
    EXPECT_NE(
        std::find(textures.paths.begin(), textures.paths.end(), "..\\..\\3DS\\UVTransformTest\\UVTransformTestImg.png"),
        textures.paths.end());
}
} // namespace
