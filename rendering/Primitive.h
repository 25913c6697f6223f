#pragma once

#include <cstdint>
#include <vector>

#include "rendering/DisplayList.h"
#include "rendering/Material.h"

namespace Rendering
{

class Geometry;
class Texture;

// One indexed batch of one OpenGL begin mode: index lists into its geometry's arrays, an
// optional texture, and the display list it is compiled into. It points at its geometry
// and texture without owning them.
class Primitive
{
public:
    Primitive();
    Primitive(const Primitive&) = delete;
    Primitive& operator=(const Primitive&) = delete;
    // Deletes the display list when its context is current (and counts it off the
    // render's display-list counter); otherwise the list goes with its context.
    ~Primitive();

    // The geometry whose arrays the indices refer to.
    void setAssociateGeometry(Geometry* geometry) { m_Geometry = geometry; }
    Geometry* getAssociateGeometry() const { return m_Geometry; }
    // OpenGL begin mode: GL_POINTS, GL_LINES, GL_TRIANGLES, GL_QUADS or GL_POLYGON.
    void setPrimitiveType(unsigned int type) { m_PrimitiveType = type; }
    unsigned int getPrimitiveType() const { return m_PrimitiveType; }
    // Texture applied while drawing; null for none.
    void setTexture(Texture* texture) { m_Texture = texture; }
    Texture* getTexture() const { return m_Texture; }
    // Colours drawn by drawWithMaterial(); a primitive has none until one is set.
    void setMaterial(const Material& material);
    // The material, or null when none was set.
    const Material* getMaterial() const { return m_HasMaterial ? &m_Material : nullptr; }

    // The primitive's own index lists, to fill: one entry per emitted vertex.
    std::vector<unsigned short>& getVertexIndicesArray() { return m_VertexIndices; }
    std::vector<unsigned short>& getTexturesIndicesArray() { return m_TexturesIndices; }
    std::vector<unsigned short>& getNormalIndicesArray() { return m_NormalIndices; }
    std::vector<unsigned short>& getColorIndicesArray() { return m_ColorIndices; }
    const std::vector<unsigned short>& getVertexIndicesArray() const { return m_VertexIndices; }
    const std::vector<unsigned short>& getNormalIndicesArray() const { return m_NormalIndices; }
    // Smoothing groups, one entry per face (in face order): bit k set means the face is in
    // group k + 1. Geometry::computeNormals smooths across faces that share a group; a
    // face without an entry, or with none of the bits, is drawn flat.
    std::vector<std::uint32_t>& getSmoothingGroupsArray() { return m_SmoothingGroups; }
    const std::vector<std::uint32_t>& getSmoothingGroupsArray() const { return m_SmoothingGroups; }
    // Vertices per face of the begin mode: 1 for points and polygons, 2 for lines, 3 for
    // triangles, 4 for quads.
    std::size_t getFaceSize() const;

    // Compiles the display list (the context must be current). Normals, colours and
    // texture coordinates are emitted only when their index list is as long as the vertex
    // index list; a face with an index outside its array is left out. A second call
    // compiles into the same list; the render's display-list counter counts each list
    // once, from the compilation that made it until the primitive deletes it.
    void initDisplayList();
    // True when the display list is compiled in the current context.
    bool isCompiled() const { return m_List.isCompiled(); }
    // The display list's name; 0 before the first compilation.
    unsigned int getDisplayList() const { return m_List.getName(); }
    // Applies the texture if any, calls the display list (compiling it first if it is
    // not compiled in the current context), then binds no texture.
    void draw();
    // draw() in the primitive's own material (white under its texture) when it has one;
    // without one, in whatever colour and material are current. The material stays set.
    void drawWithMaterial();
    // Marks the geometry as changed: the next draw compiles the list again.
    void invalidate() { m_List.invalidate(); }

private:
    // Compiles the list, counting a new one; false when it could not be compiled (and the
    // vertices were issued directly).
    bool compile();
    // The vertices with their attributes, between glBegin and glEnd.
    void emit() const;

    Geometry* m_Geometry;
    Texture* m_Texture;
    unsigned int m_PrimitiveType;
    DisplayList m_List;
    std::vector<unsigned short> m_VertexIndices;
    std::vector<unsigned short> m_TexturesIndices;
    std::vector<unsigned short> m_NormalIndices;
    std::vector<unsigned short> m_ColorIndices;
    std::vector<std::uint32_t> m_SmoothingGroups;
    Material m_Material;
    bool m_HasMaterial;
};

} // namespace Rendering
