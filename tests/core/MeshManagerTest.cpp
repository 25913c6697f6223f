#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "core/MeshManager.h"
#include "reader/ASETestSupport.h"
#include "rendering/Geometry.h"

namespace
{
namespace fs = std::filesystem;
using Core::MeshManager;
using Rendering::Mesh;

// A model file of its own for each test, so that tests share nothing through the cache.
class MeshManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Path =
            (fs::temp_directory_path() / ("mesh_cache_" + std::to_string(::getpid()) + "_" +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ase"))
                .string();
        std::ofstream(m_Path)
            << "*GEOMOBJECT { *MESH { *MESH_NUMVERTEX 1 *MESH_VERTEX_LIST { *MESH_VERTEX 0 1 2 3 } } }";
    }
    void TearDown() override { fs::remove(m_Path); }

    // Requests the path; returns the mesh and what was printed.
    std::pair<Mesh*, std::string> request(const std::string& path)
    {
        TestSupport::CapturedOutput capture;
        Mesh* mesh = nullptr;
        MeshManager::instance().addMesh(path, mesh);
        return {mesh, capture.text()};
    }

    std::string m_Path;
};

TEST_F(MeshManagerTest, LoadsEachPathOnceAndCountsItsHolders)
{
    const auto first = request(m_Path);
    EXPECT_EQ(first.second, "Mesh File : \"" + m_Path + "\" loaded.\n");
    const auto second = request(m_Path);
    EXPECT_EQ(second.first, first.first);
    EXPECT_EQ(second.second, "");

    // The first holder gives it back: the other still draws the same mesh.
    MeshManager::instance().removeMesh(first.first);
    MeshManager::instance().removeMesh(nullptr);
    Mesh unknown;
    MeshManager::instance().removeMesh(&unknown);
    EXPECT_EQ(second.first->getGeometries()[0]->getVertexArray().size(), 1u);
    EXPECT_EQ(request(m_Path).second, "");

    // The last holders give it back: the next request reads the file again.
    MeshManager::instance().removeMesh(second.first);
    MeshManager::instance().removeMesh(second.first);
    const auto again = request(m_Path);
    EXPECT_EQ(again.second, "Mesh File : \"" + m_Path + "\" loaded.\n");
    MeshManager::instance().removeMesh(again.first);
}

TEST_F(MeshManagerTest, CachesAMissingFileAsOneEmptyMesh)
{
    const std::string missing = m_Path + ".missing.ase";
    const auto first = request(missing);
    EXPECT_EQ(first.second,
              "Couldn't find/load mesh : \"" + missing + "\"\nCouldn't load Mesh file : \"" + missing + "\"\n");
    EXPECT_TRUE(first.first->getGeometries().empty());
    const auto second = request(missing);
    EXPECT_EQ(second.first, first.first);
    EXPECT_EQ(second.second, "");
    MeshManager::instance().removeMesh(first.first);
    MeshManager::instance().removeMesh(first.first);
}
} // namespace
