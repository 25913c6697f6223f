#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "core/MeshManager.h"
#include "reader/ASETestSupport.h"
#include "rendering/Geometry.h"

namespace
{
using Core::MeshManager;
using Rendering::Mesh;

// Requests the path; returns the mesh and what was printed.
std::pair<Mesh*, std::string> request(const std::string& path)
{
    TestSupport::CapturedOutput capture;
    Mesh* mesh = nullptr;
    MeshManager::instance().addMesh(path, mesh);
    return {mesh, capture.text()};
}

TEST(MeshManagerTest, LoadsEachPathOnceAndCountsItsHolders)
{
    const std::string path =
        (std::filesystem::temp_directory_path() / ("mesh_cache_" + std::to_string(::getpid()) + ".ase")).string();
    std::ofstream(path) << "*GEOMOBJECT { *MESH { *MESH_NUMVERTEX 1 *MESH_VERTEX_LIST { *MESH_VERTEX 0 1 2 3 } } }";
    const auto first = request(path);
    EXPECT_EQ(first.second, "Mesh File : \"" + path + "\" loaded.\n");
    const auto second = request(path);
    EXPECT_EQ(second.first, first.first);
    EXPECT_EQ(second.second, "");

    // The first holder gives it back: the other still draws the same mesh.
    MeshManager::instance().removeMesh(first.first);
    MeshManager::instance().removeMesh(nullptr);
    Mesh unknown;
    MeshManager::instance().removeMesh(&unknown);
    EXPECT_EQ(second.first->getGeometries()[0]->getVertexArray().size(), 1u);
    EXPECT_EQ(request(path).second, "");

    // The last holders give it back: the next request reads the file again.
    MeshManager::instance().removeMesh(second.first);
    MeshManager::instance().removeMesh(second.first);
    const auto again = request(path);
    EXPECT_EQ(again.second, "Mesh File : \"" + path + "\" loaded.\n");
    MeshManager::instance().removeMesh(again.first);

    // A missing file is cached too, as one empty mesh.
    const std::string missing = path + ".missing.ase";
    const auto absent = request(missing);
    EXPECT_EQ(absent.second,
              "Couldn't find/load mesh : \"" + missing + "\"\nCouldn't load Mesh file : \"" + missing + "\"\n");
    EXPECT_TRUE(absent.first->getGeometries().empty());
    EXPECT_EQ(request(missing), std::make_pair(absent.first, std::string()));
    MeshManager::instance().removeMesh(absent.first);
    MeshManager::instance().removeMesh(absent.first);
    std::filesystem::remove(path);
}
} // namespace
