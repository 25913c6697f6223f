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
    // The axis of the model's file that points up. The reader stands a file's z axis up
    // along the engine's y axis, as modelling packages export (Z); a file whose y axis
    // is up (Y) keeps its axes.
    enum class UpAxis
    {
        Z,
        Y
    };

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
    // ".ASE" anywhere is read as ASE (Reader::ASEReader); one ending in ".gltf" or ".glb"
    // as glTF 2.0 (Reader::GLTFReader), one ending in ".obj" as Wavefront OBJ with its
    // materials (Reader::OBJReader), in any letter case. Any other prints "Unsupported
    // format ... (supported format : ASE / GLTF / GLB / OBJ)" and gives false.
    bool load(const std::string& path);
    // Compiles one display list per primitive (the context must be current).
    void initList();
    // Draws every geometry; a primitive that was never compiled is compiled first.
    void draw();
    // Draws every geometry with each primitive in its own material where it has one
    // (Primitive::drawWithMaterial); the OpenGL colour and material are left as found.
    void drawWithMaterials();

    // Turns the model so that `axis` of its file points up (a quarter turn about x
    // between the two); every piece sharing the mesh shows it turned, and their
    // bounding boxes are measured again with Core::Object::setMesh. Lists compiled
    // already are compiled again at their next draw.
    void setUpAxis(UpAxis axis);
    UpAxis getUpAxis() const { return m_UpAxis; }
    // For readers: records which axis of its file was up as the model was stored, without
    // turning it (the ASE reader stores Z-up files turned; glTF and OBJ keep Y up).
    void setLoadedUpAxis(UpAxis axis) { m_UpAxis = axis; }

    // Whether the model is a closed surface seen from outside: every edge of its filled
    // faces (triangles, quads, polygons; corners at equal positions are one corner) joins
    // exactly two faces that run along it in opposite directions, and the faces turn
    // counter-clockwise seen from outside (the enclosed volume is positive). Drawn filled
    // and opaque under the depth test, such a model never shows a back face, and culling
    // them leaves its picture as it was. Measured at the first request and again after
    // initList, setUpAxis or addGeometry (a model changed by hand: call initList).
    bool isClosed() const;

    // Appends a geometry; the mesh takes ownership.
    void addGeometry(Geometry* geometry);
    const std::vector<Geometry*>& getGeometries() const { return m_Geometries; }
    // Moves every geometry and material texture of `other` to the end of this mesh,
    // leaving `other` empty.
    void adopt(Mesh& other);
    // Hands a material texture to the mesh, which frees it with itself.
    void addTexture(Texture* texture);
    const std::vector<Texture*>& getTextures() const { return m_Textures; }

private:
    std::vector<Geometry*> m_Geometries;
    std::vector<Texture*> m_Textures;
    UpAxis m_UpAxis = UpAxis::Z;
    // isClosed's answer: unknown until measured.
    enum class Closure
    {
        Unknown,
        Closed,
        Open
    };
    mutable Closure m_Closure = Closure::Unknown;
};

} // namespace Rendering
