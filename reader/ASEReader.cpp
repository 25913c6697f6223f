#include "reader/ASEReader.h"

#include "core/MessageText.h"
#include "core/Messages.h"

#include <GL/gl.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <new>
#include <string_view>
#include <vector>

#include "core/Quotable.h"
#include "reader/ASEScanner.h"
#include "reader/InputFile.h"
#include "rendering/Geometry.h"
#include "rendering/MaterialTexture.h"
#include "rendering/Mesh.h"
#include "rendering/Primitive.h"

namespace Reader
{

namespace
{
constexpr std::string_view c_Scene = "*SCENE";
constexpr std::string_view c_GeomObject = "*GEOMOBJECT";
constexpr std::string_view c_MeshNodeTm = "*NODE_TM";
constexpr std::string_view c_MeshTmRow0 = "*TM_ROW0";
constexpr std::string_view c_MeshTmRow1 = "*TM_ROW1";
constexpr std::string_view c_MeshTmRow2 = "*TM_ROW2";
constexpr std::string_view c_MeshTmRow3 = "*TM_ROW3";
constexpr std::string_view c_MaterialList = "*MATERIAL_LIST";
constexpr std::string_view c_MaterialCount = "*MATERIAL_COUNT";
constexpr std::string_view c_Material = "*MATERIAL";
constexpr std::string_view c_MaterialMapDiffuse = "*MAP_DIFFUSE";
constexpr std::string_view c_MaterialMapBump = "*MAP_BUMP";
constexpr std::string_view c_MaterialBitmap = "*BITMAP";
constexpr std::string_view c_MaterialAmbient = "*MATERIAL_AMBIENT";
constexpr std::string_view c_MaterialDiffuse = "*MATERIAL_DIFFUSE";
constexpr std::string_view c_MaterialSpecular = "*MATERIAL_SPECULAR";
constexpr std::string_view c_MaterialShine = "*MATERIAL_SHINE";
constexpr std::string_view c_MaterialShineStrength = "*MATERIAL_SHINESTRENGTH";
constexpr std::string_view c_MaterialTransparency = "*MATERIAL_TRANSPARENCY";
constexpr std::string_view c_NumSubMaterials = "*NUMSUBMTLS";
constexpr std::string_view c_SubMaterial = "*SUBMATERIAL";
constexpr std::string_view c_MaterialRef = "*MATERIAL_REF";
constexpr std::string_view c_Mesh = "*MESH";
constexpr std::string_view c_MeshNumVertex = "*MESH_NUMVERTEX";
constexpr std::string_view c_MeshNumFaces = "*MESH_NUMFACES";
constexpr std::string_view c_MeshVertexList = "*MESH_VERTEX_LIST";
constexpr std::string_view c_MeshVertex = "*MESH_VERTEX";
constexpr std::string_view c_MeshFaceList = "*MESH_FACE_LIST";
constexpr std::string_view c_MeshFace = "*MESH_FACE";
constexpr std::string_view c_MeshSmoothing = "*MESH_SMOOTHING";
constexpr std::string_view c_MeshMaterialId = "*MESH_MTLID";
constexpr std::string_view c_MeshNumTVertex = "*MESH_NUMTVERTEX";
constexpr std::string_view c_MeshTVertexList = "*MESH_TVERTLIST";
constexpr std::string_view c_MeshTVertex = "*MESH_TVERT";
constexpr std::string_view c_MeshNumTVFaces = "*MESH_NUMTVFACES";
constexpr std::string_view c_MeshTFaceList = "*MESH_TFACELIST";
constexpr std::string_view c_MeshTFace = "*MESH_TFACE";
constexpr std::string_view c_MeshNumCVertex = "*MESH_NUMCVERTEX";
constexpr std::string_view c_MeshColorVertexList = "*MESH_CVERTLIST";
constexpr std::string_view c_MeshVertexColor = "*MESH_VERTCOL";
constexpr std::string_view c_MeshNumCVFaces = "*MESH_NUMCVFACE";
constexpr std::string_view c_MeshColorFaceList = "*MESH_CFACE";
constexpr std::string_view c_MeshNormals = "*MESH_NORMALS";
constexpr std::string_view c_MeshVertexNormal = "*MESH_VERTEXNORMAL";
constexpr std::string_view c_Open = "{";
constexpr std::string_view c_Close = "}";

constexpr std::uint32_t c_UnsignedShortMax = 0xffff;
// Sub-materials are followed this deep; deeper ones are read as unknown words.
constexpr int c_SubMaterialDepth = 4;
constexpr std::uint32_t c_UnsignedIntMax = 0xffffffff;

// The shortest text each kind of list entry can take, its separator included
// ("*MESH_VERTEX 0 0 0 0 "): a list cannot hold more entries than its own characters
// have room for, whatever its count line claims, and no more is reserved for it.
constexpr std::size_t c_ShortestVertex = 21;
constexpr std::size_t c_ShortestFace = 29;
constexpr std::size_t c_ShortestTexVertex = 18;
constexpr std::size_t c_ShortestTexFace = 20;
constexpr std::size_t c_ShortestColor = 22;
constexpr std::size_t c_ShortestNormal = 27;

using Number = ASEScanner::Number;

bool structureError()
{
    Core::Messages::send(Core::MessageLevel::Warning, Core::messageText("[ASEReader]> Bad structure in ASE file."));
    return false;
}

// Fetches the next token inside a block, where the end of the text is a structure error.
bool fetch(ASEScanner& in)
{
    return in.next() || structureError();
}

// Fetches tokens until the current one is "}".
bool skipToClose(ASEScanner& in)
{
    while (!in.is(c_Close))
        if (!fetch(in))
            return false;
    return true;
}

// A count line: a number that cannot be read or does not fit is a structure error.
bool readCount(ASEScanner& in, std::uint32_t& count)
{
    return in.readUnsigned(c_UnsignedIntMax, count) == Number::Read || structureError();
}

// Where an index read lies: in range of its type, above it, or below zero.
enum class Range
{
    In,
    Above,
    Negative
};

// An index: one that cannot be read is a structure error; one above `max` or below zero is
// reported through `range` (it will be dropped).
bool readIndex(ASEScanner& in, std::uint32_t max, std::uint32_t& index, Range& range)
{
    const Number result = in.readUnsigned(max, index);
    if (result == Number::Failed)
        return structureError();
    range = in.lastWasNegative() ? Range::Negative : result == Number::TooLarge ? Range::Above : Range::In;
    return true;
}

// A 16-bit index list entry: in range, or where it lies.
Range shortIndex(Range range, std::uint32_t index)
{
    return range == Range::In && index > c_UnsignedShortMax ? Range::Above : range;
}

bool readDoubles(ASEScanner& in, double* values, int count)
{
    for (int i = 0; i < count; ++i)
        if (!in.readDouble(values[i]))
            return structureError();
    return true;
}

// Room for `count` more entries of a list that starts here, but no more than the list's own
// characters can hold at `shortest` characters an entry.
template <typename T>
void reserveFor(std::vector<T>& entries, std::size_t count, ASEScanner& in, std::size_t shortest)
{
    entries.reserve(entries.size() + std::min(count, in.bytesToClose() / shortest));
}

// Gives back the room reserved for entries that a list announced but did not hold.
template <typename T>
void trim(std::vector<T>& entries)
{
    if (entries.capacity() - entries.size() > entries.size() / 8)
        entries.shrink_to_fit();
}

unsigned int primitiveType(std::size_t corners)
{
    switch (corners) {
    case 1:
        return GL_POINTS;
    case 2:
        return GL_LINES;
    case 3:
        return GL_TRIANGLES;
    case 4:
        return GL_QUADS;
    default:
        return GL_POLYGON;
    }
}

// Keeps the groups of `size` consecutive indices that all lie below `limit`, and the
// entries of the per-group lists (those as long as the number of groups) that go with them.
void keepGroupsBelow(std::vector<unsigned short>& indices, std::size_t size, std::size_t limit,
                     std::vector<std::uint32_t>* const (&perGroup)[2])
{
    if (size == 0 || std::all_of(indices.begin(), indices.end(), [&](unsigned short i) { return i < limit; }))
        return;
    const std::size_t groups = (indices.size() + size - 1) / size;
    std::size_t kept = 0, keptGroups = 0;
    for (std::size_t group = 0; group < indices.size(); group += size) {
        const std::size_t end = std::min(group + size, indices.size());
        if (!std::all_of(indices.begin() + group, indices.begin() + end, [&](unsigned short i) { return i < limit; }))
            continue;
        for (std::vector<std::uint32_t>* list : perGroup)
            if (list && list->size() == groups)
                (*list)[keptGroups] = (*list)[group / size];
        ++keptGroups;
        for (std::size_t i = group; i < end; ++i)
            indices[kept++] = indices[i];
    }
    indices.resize(kept);
    for (std::vector<std::uint32_t>* list : perGroup)
        if (list && list->size() == groups)
            list->resize(keptGroups);
}

void appendUtf8(std::string& out, std::uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xc0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3f));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xe0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (code & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (code & 0x3f));
    }
}

// UTF-16 text after its byte-order mark, as UTF-8; a lone surrogate becomes U+FFFD and
// an odd last byte is dropped.
std::string decodeUtf16(const unsigned char* data, std::size_t size, bool bigEndian)
{
    const std::size_t units = size / 2;
    auto unit = [&](std::size_t i) -> std::uint32_t {
        const std::uint32_t a = data[2 * i];
        const std::uint32_t b = data[2 * i + 1];
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    std::string out;
    out.reserve(units);
    for (std::size_t i = 0; i < units; ++i) {
        std::uint32_t code = unit(i);
        if (code >= 0xd800 && code < 0xdc00 && i + 1 < units && unit(i + 1) >= 0xdc00 && unit(i + 1) < 0xe000)
            code = 0x10000 + ((code - 0xd800) << 10) + (unit(++i) - 0xdc00);
        else if (code >= 0xd800 && code < 0xe000)
            code = 0xfffd;
        appendUtf8(out, code);
    }
    return out;
}

// The bytes of a file, read into one buffer and never copied again. The file is read up
// to the size it had when opened: one that another process shortens meanwhile gives what
// was left of it, one that grows what it held. (A mapping of the file would save the copy,
// but a file cut short under a mapping ends the process with SIGBUS.) A large file goes to
// anonymous memory aligned to 2 MiB and backed by huge pages where the system has them:
// read into 4 KiB pages, the copy costs as much as the parse.
class FileBytes
{
public:
    FileBytes() = default;
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;
    ~FileBytes()
    {
        if (m_Mapping)
            munmap(m_Mapping, m_MappingSize);
    }

    // False when the file cannot be opened (or is refused) or read.
    bool open(const std::string& path)
    {
        InputFile file(path);
        if (!file.isOpen())
            return false;
        const auto size = static_cast<std::size_t>(file.size());
        char* buffer = size >= c_HugeFrom ? allocateHuge(size) : nullptr;
        if (!buffer) {
            m_Buffer.resize(size);
            buffer = &m_Buffer[0];
        }
        m_Data = buffer;
        return file.read(buffer, size, m_Size);
    }
    const char* data() const { return m_Data; }
    std::size_t size() const { return m_Size; }

private:
    static constexpr std::size_t c_HugePage = 2u << 20;
    static constexpr std::size_t c_HugeFrom = 4u << 20;

    // A 2 MiB-aligned block of at least `size` bytes; null when none can be mapped. The slack
    // mapped to find the alignment is given back, and only whole huge pages are asked for: a
    // last huge page, mostly empty, would cost up to 2 MiB more than the file.
    char* allocateHuge(std::size_t size)
    {
        const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        const std::size_t length = (size + page - 1) / page * page;
        void* mapping = mmap(nullptr, length + c_HugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping == MAP_FAILED)
            return nullptr;
        const auto address = reinterpret_cast<std::uintptr_t>(mapping);
        const std::uintptr_t aligned = (address + c_HugePage - 1) & ~std::uintptr_t(c_HugePage - 1);
        if (aligned > address)
            munmap(mapping, aligned - address);
        const std::uintptr_t end = address + length + c_HugePage;
        if (end > aligned + length)
            munmap(reinterpret_cast<void*>(aligned + length), end - (aligned + length));
        m_Mapping = reinterpret_cast<void*>(aligned);
        m_MappingSize = length;
        // Without huge pages the block is still usable, only slower to fill.
        madvise(m_Mapping, size / c_HugePage * c_HugePage, MADV_HUGEPAGE);
        return static_cast<char*>(m_Mapping);
    }

    const char* m_Data = nullptr;
    std::size_t m_Size = 0;
    std::string m_Buffer;
    void* m_Mapping = nullptr;
    std::size_t m_MappingSize = 0;
};
} // namespace

// Working state of one geometric object.
struct ASEReader::Object
{
    Rendering::Geometry* geometry = nullptr;
    // Rows of the node matrix, read and not applied: the file's positions and normals are
    // already placed by it.
    double rows[4][3] = {{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}, {0.0, 0.0, 0.0}};
    // The primitive of each face size (number of corners), in the order sizes first occur.
    std::map<std::size_t, Rendering::Primitive*> primitives;
    Rendering::Primitive* triangles = nullptr;
    std::vector<unsigned short> normalIndices;
    std::vector<unsigned short> corners;
    // The material id of each face, by primitive, parallel to its faces.
    std::map<Rendering::Primitive*, std::vector<std::uint32_t>> materialIds;
    // The primitive that took the last face read; null when it was dropped.
    Rendering::Primitive* lastFace = nullptr;
    std::vector<std::uint32_t>* lastIds = nullptr;
    Rendering::Primitive* idsOwner = nullptr; // whose list lastIds is
    std::uint32_t vertexCount = 0;
    std::uint32_t faceCount = 0;
    std::uint32_t texVertexCount = 0;
    std::uint32_t texFaceCount = 0;
    std::uint32_t colorVertexCount = 0;
    std::uint32_t colorFaceCount = 0;
    bool meshEntered = false;
    bool materialRead = false;
    std::uint32_t material = 0;
    // Entries dropped because an index does not fit the 16-bit index lists, or is negative.
    std::size_t droppedWide = 0;
    std::size_t droppedNegative = 0;

    void drop(Range range) { ++(range == Range::Negative ? droppedNegative : droppedWide); }
};

ASEReader::ASEReader() : m_Mesh(nullptr), m_MaterialCount(0), m_ObjectCount(0) {}

ASEReader::~ASEReader() = default;

void ASEReader::start(Rendering::Mesh* mesh, const std::string& path)
{
    m_Mesh = mesh;
    m_Path = path;
    // A table left by an earlier load would hand this mesh textures that belong to (and die
    // with) another mesh.
    m_Materials.clear();
    m_MaterialCount = 0;
    m_ObjectCount = 0;
}

bool ASEReader::load(const std::string& path, Rendering::Mesh* mesh)
{
    start(mesh, path);
    try {
        FileBytes file;
        if (!file.open(path)) {
            Core::Messages::send(Core::MessageLevel::Warning,
                                 Core::messageText("Couldn't find/load mesh : \"", Core::quotable(path), "\""));
            return false;
        }
        return parseBytes(file.data(), file.size());
    } catch (const std::bad_alloc&) {
        return outOfMemory();
    }
}

bool ASEReader::outOfMemory() const
{
    Core::Messages::send(Core::MessageLevel::Warning,
                         Core::messageText("[ASEReader]> Not enough memory to read \"", Core::quotable(m_Path), "\"."));
    return false;
}

bool ASEReader::loadFromMemory(const char* data, std::size_t size, const std::string& path, Rendering::Mesh* mesh)
{
    start(mesh, path);
    return parseBytes(data, size);
}

bool ASEReader::parse(const std::string& text)
{
    start(m_Mesh, m_Path);
    return parseBytes(text.data(), text.size());
}

bool ASEReader::parseBytes(const char* data, std::size_t size)
{
    if (!m_Mesh)
        return true;
    // A model larger than the memory left fails its own load; what was read stays in the mesh.
    try {
        const auto* bytes = reinterpret_cast<const unsigned char*>(data);
        if (size >= 2 && ((bytes[0] == 0xff && bytes[1] == 0xfe) || (bytes[0] == 0xfe && bytes[1] == 0xff))) {
            const std::string text = decodeUtf16(bytes + 2, size - 2, bytes[0] == 0xfe);
            return parseText(text.data(), text.data() + text.size());
        }
        return parseText(data, data + size);
    } catch (const std::bad_alloc&) {
        return outOfMemory();
    }
}

bool ASEReader::parseText(const char* begin, const char* end)
{
    ASEScanner in(begin, end);
    while (in.next()) {
        if (in.is(c_Scene))
            readScene(in);
        else if (in.is(c_GeomObject))
            readGeometry(in);
        else if (in.is(c_MaterialList))
            readMaterialList(in);
    }
    return true;
}

bool ASEReader::parseScene(std::stringstream& stream)
{
    return parseFromStream(stream, &ASEReader::readScene);
}

bool ASEReader::parseMaterial(std::stringstream& stream)
{
    return parseFromStream(stream, &ASEReader::readMaterialList);
}

bool ASEReader::parseGeometry(std::stringstream& stream)
{
    return parseFromStream(stream, &ASEReader::readGeometry);
}

bool ASEReader::parseFromStream(std::stringstream& stream, bool (ASEReader::*block)(ASEScanner&))
{
    const std::streampos start = stream.tellg();
    if (!m_Mesh || start == std::streampos(-1))
        return false;
    const std::string text = stream.str();
    const std::size_t from = std::min(static_cast<std::size_t>(start), text.size());
    ASEScanner in(text.data() + from, text.data() + text.size());
    const bool ok = (this->*block)(in);
    stream.seekg(start + static_cast<std::streamoff>(in.offset()));
    if (in.remaining() == 0)
        stream.setstate(std::ios::eofbit);
    return ok;
}

bool ASEReader::readScene(ASEScanner& in)
{
    if (!fetch(in))
        return false;
    if (!in.is(c_Open))
        return structureError();
    return skipToClose(in);
}

bool ASEReader::readMaterialList(ASEScanner& in)
{
    if (!fetch(in))
        return false;
    if (!in.is(c_Open))
        return structureError();
    while (!in.is(c_Close)) {
        if (in.is(c_MaterialCount)) {
            if (!readCount(in, m_MaterialCount))
                return false;
            m_Materials.erase(m_Materials.lower_bound(m_MaterialCount), m_Materials.end());
        } else if (in.is(c_Material)) {
            if (!readMaterial(in, nullptr, 0))
                return false;
        }
        if (!fetch(in))
            return false;
    }
    return true;
}

bool ASEReader::readMaterial(ASEScanner& in, MaterialEntry* entry, int depth)
{
    std::uint32_t index = 0;
    Range range = Range::In;
    if (!readIndex(in, c_UnsignedIntMax, index, range) || !fetch(in))
        return false;
    if (!in.is(c_Open))
        return structureError();
    // A material outside the table is read through but keeps nothing.
    MaterialEntry* material = nullptr;
    if (depth == 0 && range == Range::In && index < m_MaterialCount)
        material = &m_Materials[index];
    else if (depth > 0 && entry && range == Range::In)
        material = &entry->subs[index];
    double colors[3][3] = {{0.2, 0.2, 0.2}, {0.8, 0.8, 0.8}, {0.0, 0.0, 0.0}};
    double shine = 0.0, strength = 1.0, transparency = 0.0;
    while (!in.is(c_Close)) {
        int color = -1;
        double* value = nullptr;
        if (in.is(c_MaterialMapBump)) {
            if (!skipToClose(in))
                return false;
        } else if (in.is(c_MaterialMapDiffuse)) {
            while (!in.is(c_Close)) {
                if (in.is(c_MaterialBitmap) && !readBitmap(in, material))
                    return false;
                if (!fetch(in))
                    return false;
            }
        } else if (in.is(c_SubMaterial) && depth < c_SubMaterialDepth) {
            if (!readMaterial(in, material, depth + 1))
                return false;
        } else if (in.is(c_NumSubMaterials)) {
            std::uint32_t count = 0;
            if (!readCount(in, count))
                return false;
            if (material)
                material->subCount = count;
        } else if (in.is(c_MaterialAmbient)) {
            color = 0;
        } else if (in.is(c_MaterialDiffuse)) {
            color = 1;
        } else if (in.is(c_MaterialSpecular)) {
            color = 2;
        } else if (in.is(c_MaterialShine)) {
            value = &shine;
        } else if (in.is(c_MaterialShineStrength)) {
            value = &strength;
        } else if (in.is(c_MaterialTransparency)) {
            value = &transparency;
        }
        if (color >= 0 && !readDoubles(in, colors[color], 3))
            return false;
        if (value && !readDoubles(in, value, 1))
            return false;
        if (!fetch(in))
            return false;
    }
    if (material) {
        // Shine and its strength as the modelling package gives them (0 to 1): the
        // specular exponent out of 128, and the share of the specular colour.
        const double alpha = 1.0 - std::clamp(transparency, 0.0, 1.0);
        const double share = std::clamp(strength, 0.0, 1.0);
        Rendering::Material& out = material->colors;
        out.m_Ambient = Vec4<double>(colors[0][0], colors[0][1], colors[0][2], alpha);
        out.m_Diffuse = Vec4<double>(colors[1][0], colors[1][1], colors[1][2], alpha);
        out.m_Specular = Vec4<double>(colors[2][0] * share, colors[2][1] * share, colors[2][2] * share, alpha);
        out.m_Shininess = 128.0 * std::clamp(shine, 0.0, 1.0);
    }
    return true;
}

bool ASEReader::readBitmap(ASEScanner& in, MaterialEntry* material)
{
    // Tokens are joined without their separators up to one that ends with a quote, so
    // blanks inside a quoted name are lost.
    std::string name;
    do {
        if (!fetch(in))
            return false;
        name.append(in.token());
    } while (in.token().back() != '"');
    name.erase(std::remove(name.begin(), name.end(), '"'), name.end());
    if (name.find_first_of("/\\") == std::string::npos) {
        const std::size_t slash = m_Path.rfind('/');
        if (slash != std::string::npos)
            name.insert(0, m_Path, 0, slash + 1);
    }
    if (!material)
        return true;
    if (Rendering::Texture* texture = Rendering::MaterialTexture::load(name)) {
        m_Mesh->addTexture(texture);
        material->texture = texture;
    }
    return true;
}

bool ASEReader::readGeometry(ASEScanner& in)
{
    Object object;
    object.geometry = new Rendering::Geometry;
    m_Mesh->addGeometry(object.geometry);
    ++m_ObjectCount;
    const bool ok = readObject(in, object);
    dropOutOfRange(object);
    trimObject(object);
    if (ok)
        finishObject(object);
    if (object.droppedWide > 0)
        Core::Messages::send(Core::MessageLevel::Warning,
                             Core::messageText("[ASEReader]> Object ", m_ObjectCount, ": ", object.droppedWide,
                                               " entries with an index above 65535 dropped."));
    if (object.droppedNegative > 0)
        Core::Messages::send(Core::MessageLevel::Warning,
                             Core::messageText("[ASEReader]> Object ", m_ObjectCount, ": ", object.droppedNegative,
                                               " entries with an index out of range (negative) dropped."));
    return ok;
}

bool ASEReader::readObject(ASEScanner& in, Object& object)
{
    if (!fetch(in))
        return false;
    if (!in.is(c_Open))
        return structureError();
    while (!in.is(c_Close)) {
        if (in.is(c_MeshNodeTm)) {
            if (!readNodeMatrix(in, object))
                return false;
        } else if (in.is(c_Mesh)) {
            if (!fetch(in))
                return false;
            if (!in.is(c_Open))
                return structureError();
            if (!readMesh(in, object))
                return false;
            object.meshEntered = true;
        } else if (in.is(c_MaterialRef)) {
            std::uint32_t material = 0;
            Range range = Range::In;
            if (!readIndex(in, c_UnsignedIntMax, material, range))
                return false;
            // A reference outside the material table is dropped.
            if (range == Range::Negative)
                object.drop(range);
            else if (range == Range::In && material < m_MaterialCount) {
                object.material = material;
                object.materialRead = true;
            }
        }
        if (!fetch(in))
            return false;
    }
    return true;
}

bool ASEReader::readNodeMatrix(ASEScanner& in, Object& object)
{
    while (!in.is(c_Close)) {
        int row = -1;
        if (in.is(c_MeshTmRow0))
            row = 0;
        else if (in.is(c_MeshTmRow1))
            row = 1;
        else if (in.is(c_MeshTmRow2))
            row = 2;
        else if (in.is(c_MeshTmRow3))
            row = 3;
        if (row >= 0 && !readDoubles(in, object.rows[row], 3))
            return false;
        if (!fetch(in))
            return false;
    }
    return true;
}

bool ASEReader::readMesh(ASEScanner& in, Object& object)
{
    while (!in.is(c_Close)) {
        if (!readMeshEntry(in, object) || !fetch(in))
            return false;
    }
    return true;
}

bool ASEReader::readMeshEntry(ASEScanner& in, Object& object)
{
    if (in.token().size() < 6 || in.token()[1] != 'M')
        return true;
    if (in.is(c_MeshNumVertex))
        return readCount(in, object.vertexCount);
    if (in.is(c_MeshNumFaces))
        return readCount(in, object.faceCount);
    if (in.is(c_MeshVertexList))
        return readVertexList(in, object);
    if (in.is(c_MeshFaceList))
        return readFaceList(in, object);
    if (in.is(c_MeshNumTVertex))
        return readCount(in, object.texVertexCount);
    if (in.is(c_MeshTVertexList))
        return readTexVertexList(in, object);
    if (in.is(c_MeshNumTVFaces))
        return readCount(in, object.texFaceCount);
    if (in.is(c_MeshTFaceList))
        return readTexFaceList(in, object);
    if (in.is(c_MeshNumCVertex))
        return readCount(in, object.colorVertexCount);
    if (in.is(c_MeshColorVertexList))
        return readColorVertexList(in, object);
    if (in.is(c_MeshNumCVFaces))
        return readCount(in, object.colorFaceCount);
    if (in.is(c_MeshColorFaceList))
        return skipToClose(in);
    if (in.is(c_MeshNormals))
        return readNormals(in, object);
    return true;
}

bool ASEReader::readVertexList(ASEScanner& in, Object& object)
{
    if (object.vertexCount == 0)
        return structureError();
    std::vector<Vec3<double>>& vertices = object.geometry->getVertexArray();
    reserveFor(vertices, object.vertexCount, in, c_ShortestVertex);
    do {
        if (!fetch(in))
            return false;
        if (in.is(c_MeshVertex)) {
            std::uint32_t index = 0;
            Range range = Range::In;
            double v[3];
            if (!readIndex(in, c_UnsignedIntMax, index, range) || !readDoubles(in, v, 3))
                return false;
            // Positions are written in world space, already placed by the node matrix;
            // z up becomes y up.
            vertices.emplace_back(v[0], v[2], -v[1]);
        }
    } while (!in.is(c_Close));
    return true;
}

bool ASEReader::readFaceList(ASEScanner& in, Object& object)
{
    object.lastFace = nullptr;
    if (!fetch(in))
        return false;
    // A face, and a smoothing line without groups, end at the first word that is not
    // theirs, which is then read here.
    while (!in.is(c_Close)) {
        if (in.is(c_MeshFace)) {
            if (!readFace(in, object))
                return false;
            continue;
        }
        if (in.is(c_MeshSmoothing)) {
            if (!readSmoothing(in, object))
                return false;
            continue;
        }
        if (in.is(c_MeshMaterialId)) {
            std::uint32_t id = 0;
            Range range = Range::In;
            if (!readIndex(in, c_UnsignedIntMax, id, range))
                return false;
            if (object.lastFace)
                object.lastIds->back() = id;
        }
        if (!fetch(in))
            return false;
    }
    return true;
}

bool ASEReader::readSmoothing(ASEScanner& in, Object& object)
{
    if (!fetch(in))
        return false;
    const std::string_view groups = in.token();
    if (groups.empty() || groups[0] < '0' || groups[0] > '9')
        return true;
    // Groups 1 to 32, separated by commas; bit k stands for group k + 1.
    std::uint32_t mask = 0, group = 0;
    for (std::size_t i = 0; i <= groups.size(); ++i) {
        if (i < groups.size() && groups[i] >= '0' && groups[i] <= '9') {
            group = std::min<std::uint32_t>(group * 10 + static_cast<std::uint32_t>(groups[i] - '0'), 1000);
            continue;
        }
        if (group >= 1 && group <= 32)
            mask |= 1u << (group - 1);
        group = 0;
    }
    if (object.lastFace)
        object.lastFace->getSmoothingGroupsArray().back() = mask;
    return fetch(in);
}

bool ASEReader::readFace(ASEScanner& in, Object& object)
{
    // The face label ("12:"), then the two-character corner labels ("A:", "B:", "C:");
    // the first token of another length ends the face and stays the current word.
    if (!fetch(in) || !fetch(in))
        return false;
    object.corners.clear();
    std::size_t corners = 0;
    Range worst = Range::In;
    while (in.token().size() == 2) {
        std::uint32_t index = 0;
        Range range = Range::In;
        if (!readIndex(in, c_UnsignedIntMax, index, range))
            return false;
        ++corners;
        range = shortIndex(range, index);
        if (range == Range::In)
            object.corners.push_back(static_cast<unsigned short>(index));
        else if (worst != Range::Negative)
            worst = range;
        if (!fetch(in))
            return false;
    }
    object.lastFace = nullptr;
    if (worst != Range::In) {
        object.drop(worst);
        return true;
    }
    Rendering::Primitive*& primitive = object.primitives[corners];
    if (!primitive) {
        primitive = new Rendering::Primitive;
        primitive->setAssociateGeometry(object.geometry);
        primitive->setPrimitiveType(primitiveType(corners));
        object.geometry->addPrimitive(primitive);
        if (corners == 3) {
            object.triangles = primitive;
            reserveFor(primitive->getVertexIndicesArray(), 3 * std::size_t(object.faceCount), in, c_ShortestFace / 3);
            reserveFor(primitive->getSmoothingGroupsArray(), object.faceCount, in, c_ShortestFace);
            reserveFor(object.materialIds[primitive], object.faceCount, in, c_ShortestFace);
        }
    }
    std::vector<unsigned short>& indices = primitive->getVertexIndicesArray();
    indices.insert(indices.end(), object.corners.begin(), object.corners.end());
    primitive->getSmoothingGroupsArray().push_back(0);
    if (object.idsOwner != primitive) {
        object.lastIds = &object.materialIds[primitive];
        object.idsOwner = primitive;
    }
    object.lastIds->push_back(0);
    object.lastFace = primitive;
    return true;
}

bool ASEReader::readTexVertexList(ASEScanner& in, Object& object)
{
    if (object.texVertexCount == 0)
        return structureError();
    std::vector<Vec2<double>>& texCoords = object.geometry->getTexCoordArray();
    reserveFor(texCoords, object.texVertexCount, in, c_ShortestTexVertex);
    do {
        if (!fetch(in))
            return false;
        if (in.is(c_MeshTVertex)) {
            std::uint32_t index = 0;
            Range range = Range::In;
            double uv[2];
            if (!readIndex(in, c_UnsignedIntMax, index, range) || !readDoubles(in, uv, 2))
                return false;
            texCoords.emplace_back(uv[0], uv[1]);
        }
    } while (!in.is(c_Close));
    return true;
}

bool ASEReader::readTexFaceList(ASEScanner& in, Object& object)
{
    if (object.triangles)
        reserveFor(object.triangles->getTexturesIndicesArray(), 3 * std::size_t(object.texFaceCount), in,
                   c_ShortestTexFace / 3);
    do {
        if (!fetch(in))
            return false;
        if (!in.is(c_MeshTFace))
            continue;
        std::uint32_t values[4];
        Range worst = Range::In;
        for (int i = 0; i < 4; ++i) {
            Range range = Range::In;
            if (!readIndex(in, c_UnsignedShortMax, values[i], range))
                return false;
            // The first value, the face number, is not used.
            if (i > 0 && range != Range::In && worst != Range::Negative)
                worst = range;
        }
        if (worst != Range::In) {
            object.drop(worst);
        } else if (object.triangles) {
            // Without a triangle list yet there is nothing to join: the face is dropped.
            std::vector<unsigned short>& indices = object.triangles->getTexturesIndicesArray();
            for (int i = 1; i < 4; ++i)
                indices.push_back(static_cast<unsigned short>(values[i]));
        }
    } while (!in.is(c_Close));
    return true;
}

bool ASEReader::readColorVertexList(ASEScanner& in, Object& object)
{
    if (object.colorVertexCount == 0)
        return structureError();
    std::vector<Vec3<double>>& colors = object.geometry->getColorArray();
    reserveFor(colors, object.colorVertexCount, in, c_ShortestColor);
    do {
        if (!fetch(in))
            return false;
        if (in.is(c_MeshVertexColor)) {
            std::uint32_t index = 0;
            Range range = Range::In;
            double rgb[3];
            if (!readIndex(in, c_UnsignedIntMax, index, range) || !readDoubles(in, rgb, 3))
                return false;
            colors.emplace_back(rgb[0], rgb[1], rgb[2]);
        }
    } while (!in.is(c_Close));
    return true;
}

bool ASEReader::readNormals(ASEScanner& in, Object& object)
{
    // One normal per vertex: the count, but no more than the vertices there are.
    std::vector<Vec3<double>>& normals = object.geometry->getNormalArray();
    normals.resize(std::min<std::size_t>(object.vertexCount, object.geometry->getVertexArray().size()),
                   Vec3<double>(0.0, 0.0, 0.0));
    reserveFor(object.normalIndices, 3 * std::size_t(object.faceCount), in, c_ShortestNormal);
    const Vec3<double> unset(0.0, 0.0, 0.0);
    do {
        if (!fetch(in))
            return false;
        if (!in.is(c_MeshVertexNormal))
            continue;
        std::uint32_t index = 0;
        Range range = Range::In;
        double n[3];
        if (!readIndex(in, c_UnsignedIntMax, index, range) || !readDoubles(in, n, 3))
            return false;
        range = shortIndex(range, index);
        if (range != Range::In) {
            object.drop(range);
            continue;
        }
        if (index >= normals.size())
            continue;
        // The first normal given for a vertex wins; every entry still names its vertex.
        // Stored so that it reaches OpenGL turned as the positions are (z up to y up).
        if (normals[index] == unset)
            normals[index] = Vec3<double>(n[0], -n[1], -n[2]);
        object.normalIndices.push_back(static_cast<unsigned short>(index));
    } while (!in.is(c_Close));
    return true;
}

void ASEReader::finishObject(Object& object)
{
    const MaterialEntry* material = nullptr;
    if (object.materialRead) {
        const auto found = m_Materials.find(object.material);
        material = found == m_Materials.end() ? nullptr : &found->second;
        for (auto& entry : object.primitives) {
            entry.second->setTexture(material ? material->texture : nullptr);
            if (material)
                entry.second->setMaterial(material->colors);
        }
    }
    if (object.meshEntered) {
        std::size_t left = object.primitives.size();
        for (auto& entry : object.primitives) {
            std::vector<unsigned short>& indices = entry.second->getNormalIndicesArray();
            if (--left == 0)
                indices = std::move(object.normalIndices);
            else
                indices = object.normalIndices;
        }
    }
    if (material && !material->subs.empty())
        splitBySubMaterial(object, *material);
    // Without vertex normals in the file, lighting needs normals made from the faces.
    if (object.meshEntered && object.geometry->getNormalArray().empty())
        object.geometry->computeNormals();
}

void ASEReader::splitBySubMaterial(Object& object, const MaterialEntry& material)
{
    // A face's material id picks a sub-material, wrapping round the sub-material count;
    // a sub-material the file does not define leaves the material's own. The count is
    // counted in 64 bits: sub-material 4294967295 makes it 2^32, which 32 bits wrap to 0.
    const std::uint64_t count = std::max<std::uint64_t>(material.subCount, material.subs.rbegin()->first + 1ull);
    for (auto& entry : object.primitives) {
        Rendering::Primitive& whole = *entry.second;
        const std::vector<std::uint32_t>& ids = object.materialIds[&whole];
        const std::size_t size = whole.getFaceSize();
        const std::vector<unsigned short>& vertices = whole.getVertexIndicesArray();
        if (size == 1 || ids.size() * size != vertices.size())
            continue;
        std::map<std::uint32_t, Rendering::Primitive*> parts;
        for (std::uint32_t id : ids)
            parts[static_cast<std::uint32_t>(id % count)] = nullptr;
        if (parts.size() == 1 && !material.subs.count(parts.begin()->first))
            continue;
        const bool texCoords = whole.getTexturesIndicesArray().size() == vertices.size();
        const bool normals = whole.getNormalIndicesArray().size() == vertices.size();
        for (auto& part : parts) {
            auto* primitive = new Rendering::Primitive;
            primitive->setAssociateGeometry(object.geometry);
            primitive->setPrimitiveType(whole.getPrimitiveType());
            const auto sub = material.subs.find(part.first);
            const MaterialEntry& chosen = sub == material.subs.end() ? material : sub->second;
            primitive->setMaterial(chosen.colors);
            primitive->setTexture(chosen.texture);
            object.geometry->addPrimitive(primitive);
            part.second = primitive;
        }
        for (std::size_t face = 0; face < ids.size(); ++face) {
            Rendering::Primitive& part = *parts[static_cast<std::uint32_t>(ids[face] % count)];
            const auto from = static_cast<std::ptrdiff_t>(face * size), to = from + static_cast<std::ptrdiff_t>(size);
            auto append = [&](std::vector<unsigned short>& out, const std::vector<unsigned short>& in) {
                out.insert(out.end(), in.begin() + from, in.begin() + to);
            };
            append(part.getVertexIndicesArray(), vertices);
            if (texCoords)
                append(part.getTexturesIndicesArray(), whole.getTexturesIndicesArray());
            if (normals)
                append(part.getNormalIndicesArray(), whole.getNormalIndicesArray());
            part.getSmoothingGroupsArray().push_back(
                face < whole.getSmoothingGroupsArray().size() ? whole.getSmoothingGroupsArray()[face] : 0u);
        }
        object.geometry->removePrimitive(&whole);
        delete &whole;
        entry.second = nullptr;
    }
}

void ASEReader::trimObject(Object& object)
{
    Rendering::Geometry& geometry = *object.geometry;
    trim(geometry.getVertexArray());
    trim(geometry.getTexCoordArray());
    trim(geometry.getColorArray());
    for (auto& entry : object.primitives) {
        trim(entry.second->getVertexIndicesArray());
        trim(entry.second->getTexturesIndicesArray());
        trim(entry.second->getSmoothingGroupsArray());
    }
    trim(object.normalIndices);
}

void ASEReader::dropOutOfRange(Object& object)
{
    const Rendering::Geometry& geometry = *object.geometry;
    for (auto& entry : object.primitives) {
        Rendering::Primitive& primitive = *entry.second;
        // Faces go with their smoothing groups and material ids.
        std::vector<std::uint32_t>* perFace[2] = {&primitive.getSmoothingGroupsArray(),
                                                  &object.materialIds[&primitive]};
        keepGroupsBelow(primitive.getVertexIndicesArray(), entry.first, geometry.getVertexArray().size(), perFace);
    }
    if (object.triangles)
        keepGroupsBelow(object.triangles->getTexturesIndicesArray(), 3, geometry.getTexCoordArray().size(), {});
    keepGroupsBelow(object.normalIndices, 1, geometry.getNormalArray().size(), {});
}

} // namespace Reader
