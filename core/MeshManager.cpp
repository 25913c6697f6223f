#include "core/MeshManager.h"

#include "rendering/Mesh.h"

namespace Core
{

namespace
{
// Set once the cache is gone, so that pieces destroyed later at exit do not reach it.
bool g_MeshManagerDestroyed = false;
} // namespace

MeshManager& MeshManager::instance()
{
    static MeshManager _instance;
    return _instance;
}

MeshManager* MeshManager::existing()
{
    return g_MeshManagerDestroyed ? nullptr : &instance();
}

MeshManager::MeshManager() = default;

MeshManager::~MeshManager()
{
    for (auto& entry : m_Meshes)
        delete entry.second.mesh;
    g_MeshManagerDestroyed = true;
}

void MeshManager::addMesh(const std::string& path, Rendering::Mesh*& mesh)
{
    const auto found = m_Meshes.find(path);
    if (found != m_Meshes.end()) {
        ++found->second.holders;
        mesh = found->second.mesh;
        return;
    }
    mesh = new Rendering::Mesh(path);
    m_Meshes.emplace(path, Entry{mesh, 1});
}

bool MeshManager::holdMesh(Rendering::Mesh* mesh)
{
    if (!mesh)
        return false;
    for (auto& entry : m_Meshes)
        if (entry.second.mesh == mesh) {
            ++entry.second.holders;
            return true;
        }
    return false;
}

void MeshManager::removeMesh(Rendering::Mesh* mesh)
{
    if (!mesh)
        return;
    for (auto entry = m_Meshes.begin(); entry != m_Meshes.end(); ++entry) {
        if (entry->second.mesh != mesh)
            continue;
        if (--entry->second.holders == 0) {
            delete entry->second.mesh;
            m_Meshes.erase(entry);
        }
        return;
    }
}

void MeshManager::initList()
{
    for (auto& entry : m_Meshes)
        entry.second.mesh->initList();
}

} // namespace Core
