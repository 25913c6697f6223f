#pragma once

#include <string>
#include <vector>

namespace Rendering
{

class Geometry;
class Texture;

// The model of one file: its geometries in file order, compiled into display lists for
// drawing. It owns its geometries and the textures its reader made for materials.
class Mesh
{
public:
    // Loads the file at `path` and prints "Mesh File : "<path>" loaded." or, when it
    // cannot be read, "Couldn't load Mesh file : "<path>"" (the mesh then stays empty).
    explicit Mesh(const std::string& path);
    // An empty mesh, to fill by hand or from memory.
    Mesh();
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;
    // Destroys the geometries and the material textures; display lists stay in the context.
    ~Mesh();

    // Reads the file with the reader its name asks for: a path containing ".ase" or
    // ".ASE" anywhere is read as ASE; any other prints "Unsupported format ...
    // (supported format : ASE)" and gives false.
    bool load(const std::string& path);
    // Compiles one display list per primitive (the context must be current).
    void initList();
    // Draws every geometry; a primitive that was never compiled is compiled first.
    void draw();

    // Appends a geometry; the mesh takes ownership.
    void addGeometry(Geometry* geometry);
    const std::vector<Geometry*>& getGeometries() const { return m_Geometries; }
    // Hands a material texture to the mesh, which frees it with itself.
    void addTexture(Texture* texture);
    const std::vector<Texture*>& getTextures() const { return m_Textures; }

private:
    std::vector<Geometry*> m_Geometries;
    std::vector<Texture*> m_Textures;
};

} // namespace Rendering
