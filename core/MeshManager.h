#pragma once

#include <map>
#include <string>

namespace Rendering
{
class Mesh;
} // namespace Rendering

namespace Core
{

// The process-wide cache of models, by file path exactly as requested. Every request for
// a path gets the same mesh, loaded on the first one; a file that fails to load is cached
// as an empty mesh. The cache counts the holders of each mesh and destroys it with its
// last holder, or at process exit.
class MeshManager
{
public:
    // The cache, created on first use and destroyed at process exit.
    static MeshManager& instance();
    // The cache, or null once it has been destroyed at process exit (for destructors of
    // objects that may outlive it).
    static MeshManager* existing();

    MeshManager(const MeshManager&) = delete;
    MeshManager& operator=(const MeshManager&) = delete;

    // Sets `mesh` to the mesh of `path`, loading it on the first request (the mesh prints
    // its loaded or failure line then), and counts the caller as one more holder.
    void addMesh(const std::string& path, Rendering::Mesh*& mesh);
    // Counts one more holder of a mesh the cache holds, for a caller that got the pointer
    // from another holder; false (nothing counted) for any other pointer.
    bool holdMesh(Rendering::Mesh* mesh);
    // One holder gives the mesh back; the last one destroys it, and the next request for
    // its path loads the file again. A mesh the cache does not hold (or null) is ignored.
    void removeMesh(Rendering::Mesh* mesh);
    // Compiles the display lists of every cached mesh, in path order (the context must be
    // current). A mesh first requested later is compiled when it is first drawn.
    void initList();

private:
    MeshManager();
    // Destroys every cached mesh.
    ~MeshManager();

    struct Entry
    {
        Rendering::Mesh* mesh;
        unsigned int holders;
    };
    std::map<std::string, Entry> m_Meshes;
};

} // namespace Core
