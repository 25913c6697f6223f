#include "reader/GLTFReader.h"

#include "core/MessageText.h"
#include "core/Messages.h"

// The standard headers first, so that the library below, compiled into this file with
// hidden visibility, does not export its symbols (nor clash with another copy of it in the
// program).
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <GL/gl.h>

#include <nlohmann/json.hpp>

#define TINYGLTF_IMPLEMENTATION
#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_EXTERNAL_IMAGE
#include <tiny_gltf.h>

#include "core/Quotable.h"
#include "reader/InputFile.h"
#include "reader/MeshBuilder.h"
#include "rendering/Material.h"
#include "rendering/MaterialTexture.h"
#include "rendering/Mesh.h"

namespace Reader
{

namespace
{
constexpr const char* c_CannotOpen = "Couldn't find/load mesh : \"";
constexpr const char* c_Bad = "[GLTFReader]> Bad glTF file \"";
constexpr const char* c_Note = "[GLTFReader]> \"";
// JSON nested deeper than this is refused: the library reads extras recursively.
constexpr int c_MaxDepth = 64;
// Vertices and indices that repeating meshes for their nodes may make: four times those
// in the file, plus this.
constexpr std::uint64_t c_InstanceAllowance = 262144;
// Required extensions this reader honours.
const std::set<std::string> c_Supported = {"KHR_mesh_quantization"};

// The first line of the library's report.
std::string firstLine(const std::string& text)
{
    return text.substr(0, text.find('\n'));
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// ---- Before the library reads the JSON ----------------------------------------------------

// Looks over the JSON for what the library would trust: nesting it reads recursively,
// binary buffers it would copy once each, pictures it would point into a buffer for
// without checking the span.
class Preflight : public nlohmann::json_sax<nlohmann::json>
{
public:
    explicit Preflight(bool binary) : m_Binary(binary) {}

    // Empty when the JSON may go to the library, else why not.
    std::string verdict(const char* begin, const char* end)
    {
        const bool parsed = nlohmann::json::sax_parse(begin, end, this);
        if (!m_Why.empty())
            return m_Why;
        if (!parsed)
            return "not JSON";
        std::size_t embedded = 0;
        for (const Buffer& buffer : m_Buffers)
            embedded += m_Binary && !buffer.uri;
        if (embedded > 1)
            return "more than one buffer in the binary chunk";
        for (std::size_t i = 0; i < m_Images.size(); ++i) {
            const double view = m_Images[i];
            if (view < 0)
                continue;
            const auto why = "image " + std::to_string(i) + " lies outside its buffer";
            if (view >= static_cast<double>(m_Views.size()))
                return why;
            const View& v = m_Views[static_cast<std::size_t>(view)];
            if (!(v.buffer >= 0 && v.buffer < static_cast<double>(m_Buffers.size())) ||
                !(v.offset >= 0 && v.length >= 0 &&
                  v.offset + v.length <= m_Buffers[static_cast<std::size_t>(v.buffer)].length))
                return why;
        }
        return std::string();
    }

    bool null() override { return value(-1.0); }
    bool boolean(bool) override { return value(-1.0); }
    bool number_integer(number_integer_t v) override { return value(static_cast<double>(v)); }
    bool number_unsigned(number_unsigned_t v) override { return value(static_cast<double>(v)); }
    bool number_float(number_float_t v, const string_t&) override { return value(std::isfinite(v) ? v : -1.0); }
    bool string(string_t&) override { return value(-1.0, true); }
    bool binary(binary_t&) override { return value(-1.0); }
    bool start_object(std::size_t) override { return open(false); }
    bool key(string_t& name) override
    {
        m_Frames.back().key = name;
        // A list given twice counts as its last value, as for the library.
        if (m_Frames.size() == 1) {
            if (name == "buffers")
                m_Buffers.clear();
            else if (name == "bufferViews")
                m_Views.clear();
            else if (name == "images")
                m_Images.clear();
        }
        return true;
    }
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override { return open(true); }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    struct Frame
    {
        bool array;
        std::string key;
    };
    struct Buffer
    {
        double length = 0;
        bool uri = false;
    };
    struct View
    {
        double buffer = -1, offset = 0, length = -1;
    };

    bool open(bool array)
    {
        if (m_Frames.size() >= c_MaxDepth) {
            m_Why = "nested deeper than " + std::to_string(c_MaxDepth) + " levels";
            return false;
        }
        // An element of one of the top-level lists looked at.
        if (!array && m_Frames.size() == 2 && m_Frames[1].array) {
            const std::string& list = m_Frames[0].key;
            if (list == "buffers")
                m_Buffers.emplace_back();
            else if (list == "bufferViews")
                m_Views.emplace_back();
            else if (list == "images")
                m_Images.push_back(-1);
        }
        m_Frames.push_back({array, std::string()});
        return true;
    }

    bool close()
    {
        m_Frames.pop_back();
        return true;
    }

    // A value, recorded when it is a property of an element of a list looked at.
    bool value(double v, bool text = false)
    {
        if (m_Frames.size() != 3 || !m_Frames[1].array || m_Frames[2].array)
            return true;
        const std::string& list = m_Frames[0].key;
        const std::string& name = m_Frames[2].key;
        if (list == "buffers" && name == "uri")
            m_Buffers.back().uri = text;
        else if (list == "buffers" && name == "byteLength")
            m_Buffers.back().length = v;
        else if (list == "bufferViews" && name == "buffer")
            m_Views.back().buffer = v;
        else if (list == "bufferViews" && name == "byteOffset")
            m_Views.back().offset = v;
        else if (list == "bufferViews" && name == "byteLength")
            m_Views.back().length = v;
        else if (list == "images" && name == "bufferView")
            m_Images.back() = v;
        return true;
    }

    bool m_Binary;
    std::string m_Why;
    std::vector<Frame> m_Frames;
    std::vector<Buffer> m_Buffers;
    std::vector<View> m_Views;
    std::vector<double> m_Images; // each picture's buffer view, -1 for none
};

// The JSON of a binary file: its first chunk, when the header holds together.
bool jsonChunk(const unsigned char* data, std::size_t size, const char*& begin, const char*& end)
{
    auto word = [data](std::size_t at) {
        return std::uint32_t(data[at]) | std::uint32_t(data[at + 1]) << 8 | std::uint32_t(data[at + 2]) << 16 |
               std::uint32_t(data[at + 3]) << 24;
    };
    if (size < 20 || word(16) != 0x4E4F534Au) // "JSON"
        return false;
    const std::uint64_t length = word(12);
    if (length > size - 20)
        return false;
    begin = reinterpret_cast<const char*>(data + 20);
    end = begin + length;
    return true;
}

// ---- The library's file system --------------------------------------------------------------

// Files beside the model, read through the engine's opener; a file is read once per model
// (buffers naming one file many times would each hold a copy).
struct Files
{
    std::set<std::pair<dev_t, ino_t>> read;
};

bool fileExists(const std::string& path, void*)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0;
}

std::string expandPath(const std::string& path, void*)
{
    return path;
}

bool readWholeFile(std::vector<unsigned char>* out, std::string* err, const std::string& path, void* user)
{
    auto* files = static_cast<Files*>(user);
    struct stat status;
    InputFile file(path);
    if (!file.isOpen() || stat(path.c_str(), &status) != 0) {
        *err += "cannot be read";
        return false;
    }
    if (!files->read.insert({status.st_dev, status.st_ino}).second) {
        *err += "is named twice";
        return false;
    }
    if (file.size() > std::numeric_limits<unsigned int>::max()) {
        *err += "is too large";
        return false;
    }
    out->resize(static_cast<std::size_t>(file.size()));
    std::size_t filled = 0;
    const bool ok = file.read(reinterpret_cast<char*>(out->data()), out->size(), filled);
    out->resize(filled);
    if (!ok)
        *err += "cannot be read";
    return ok;
}

bool writeWholeFile(std::string* err, const std::string&, const std::vector<unsigned char>&, void*)
{
    *err += "writing is not allowed";
    return false;
}

// Keeps the bytes of a picture given inside the JSON (a data URI); a picture in a buffer
// view is taken from there later, once its span is checked.
bool keepPicture(tinygltf::Image* image, const int, std::string*, std::string*, int, int, const unsigned char* bytes,
                 int size, void*)
{
    if (image->bufferView < 0 && size > 0)
        image->image.assign(bytes, bytes + size);
    return true;
}

// ---- Reading accessors ------------------------------------------------------------------------

// An accessor's elements, checked to lie inside their buffer.
struct Elements
{
    const unsigned char* base = nullptr;
    std::size_t count = 0;
    std::size_t stride = 0;
    int componentType = 0;
    int components = 0;
    bool normalized = false;
};

bool elementsOf(const tinygltf::Model& model, int index, Elements& out, std::string& why)
{
    why = "accessor " + std::to_string(index);
    if (index < 0 || static_cast<std::size_t>(index) >= model.accessors.size())
        return why += " does not exist", false;
    const tinygltf::Accessor& accessor = model.accessors[static_cast<std::size_t>(index)];
    if (accessor.sparse.isSparse)
        return why += " is sparse, which is not supported", false;
    if (accessor.bufferView < 0 || static_cast<std::size_t>(accessor.bufferView) >= model.bufferViews.size())
        return why += " has no buffer view", false;
    const tinygltf::BufferView& view = model.bufferViews[static_cast<std::size_t>(accessor.bufferView)];
    if (view.buffer < 0 || static_cast<std::size_t>(view.buffer) >= model.buffers.size())
        return why += " has no buffer", false;
    const std::vector<unsigned char>& buffer = model.buffers[static_cast<std::size_t>(view.buffer)].data;
    const int componentSize = tinygltf::GetComponentSizeInBytes(static_cast<std::uint32_t>(accessor.componentType));
    const int components = tinygltf::GetNumComponentsInType(static_cast<std::uint32_t>(accessor.type));
    if (componentSize <= 0 || components <= 0 || accessor.componentType == TINYGLTF_COMPONENT_TYPE_DOUBLE)
        return why += " has an unknown type", false;
    const std::size_t element = static_cast<std::size_t>(componentSize) * static_cast<std::size_t>(components);
    const std::size_t stride = view.byteStride ? view.byteStride : element;
    if (stride < element || view.byteOffset > buffer.size() || view.byteLength > buffer.size() - view.byteOffset ||
        accessor.byteOffset > view.byteLength)
        return why += " lies outside its buffer", false;
    const std::size_t room = view.byteLength - accessor.byteOffset;
    if (accessor.count > 0 && (room < element || accessor.count - 1 > (room - element) / stride))
        return why += " lies outside its buffer", false;
    out.base = buffer.data() + view.byteOffset + accessor.byteOffset;
    out.count = accessor.count;
    out.stride = stride;
    out.componentType = accessor.componentType;
    out.components = components;
    out.normalized = accessor.normalized;
    why.clear();
    return true;
}

template <typename T>
T load(const unsigned char* at)
{
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// Component c of element i as a number (normalised integers mapped to 0..1 or -1..1).
double component(const Elements& e, std::size_t i, int c)
{
    const unsigned char* at = e.base + i * e.stride;
    switch (e.componentType) {
    case TINYGLTF_COMPONENT_TYPE_FLOAT:
        return load<float>(at + 4 * c);
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        return e.normalized ? at[c] / 255.0 : at[c];
    case TINYGLTF_COMPONENT_TYPE_BYTE: {
        const double v = static_cast<signed char>(at[c]);
        return e.normalized ? std::max(v / 127.0, -1.0) : v;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
        const double v = load<std::uint16_t>(at + 2 * c);
        return e.normalized ? v / 65535.0 : v;
    }
    case TINYGLTF_COMPONENT_TYPE_SHORT: {
        const double v = load<std::int16_t>(at + 2 * c);
        return e.normalized ? std::max(v / 32767.0, -1.0) : v;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
        return load<std::uint32_t>(at + 4 * c);
    default:
        return load<std::int32_t>(at + 4 * c);
    }
}

// An accessor of `components` numbers per element.
bool vectorsOf(const tinygltf::Model& model, int index, int components, Elements& out, std::string& why)
{
    if (!elementsOf(model, index, out, why))
        return false;
    if (out.components != components)
        return why = "accessor " + std::to_string(index) + " has the wrong type", false;
    return true;
}

// Element i of a two- or three-number accessor.
Vec3<double> vectorAt(const Elements& e, std::size_t i)
{
    if (e.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT) {
        float v[3] = {0.0f, 0.0f, 0.0f};
        std::memcpy(v, e.base + i * e.stride, 4 * static_cast<std::size_t>(e.components));
        return Vec3<double>(v[0], v[1], v[2]);
    }
    return Vec3<double>(component(e, i, 0), component(e, i, 1), e.components > 2 ? component(e, i, 2) : 0.0);
}

// The values make(0), make(1), ... as an iterator, so that a vector is built from them in
// one pass (no default values written first).
template <typename Make>
class Generated
{
public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = decltype(std::declval<const Make&>()(std::size_t()));
    using difference_type = std::ptrdiff_t;
    using pointer = const value_type*;
    using reference = value_type;

    Generated(const Make& make, std::size_t i) : m_Make(&make), m_I(i) {}
    value_type operator*() const { return (*m_Make)(m_I); }
    Generated& operator++()
    {
        ++m_I;
        return *this;
    }
    Generated operator++(int)
    {
        Generated before = *this;
        ++m_I;
        return before;
    }
    difference_type operator-(const Generated& other) const
    {
        return static_cast<difference_type>(m_I) - static_cast<difference_type>(other.m_I);
    }
    bool operator==(const Generated& other) const { return m_I == other.m_I; }
    bool operator!=(const Generated& other) const { return m_I != other.m_I; }

private:
    const Make* m_Make;
    std::size_t m_I;
};

template <typename Make>
auto generated(std::size_t count, const Make& make)
{
    using Value = typename Generated<Make>::value_type;
    return std::vector<Value>(Generated<Make>(make, 0), Generated<Make>(make, count));
}

// An accessor of indices, read where it lies: unsigned bytes, shorts or ints.
bool indicesOf(const tinygltf::Model& model, int index, MeshBuilder::Indices& out, std::string& why)
{
    Elements e;
    if (!elementsOf(model, index, e, why))
        return false;
    if (e.components != 1 || (e.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT &&
                              e.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT &&
                              e.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE))
        return why = "accessor " + std::to_string(index) + " has the wrong type", false;
    out.base = e.base;
    out.count = e.count;
    out.stride = e.stride;
    out.width = static_cast<unsigned>(
        tinygltf::GetComponentSizeInBytes(static_cast<std::uint32_t>(e.componentType)));
    return true;
}

// ---- Nodes ---------------------------------------------------------------------------------------

// A column-major 4 x 4 matrix, as glTF writes them.
using Transform = std::array<double, 16>;

Transform identity()
{
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

Transform multiply(const Transform& a, const Transform& b)
{
    Transform r{};
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row)
            for (int k = 0; k < 4; ++k)
                r[column * 4 + row] += a[k * 4 + row] * b[column * 4 + k];
    return r;
}

Transform localTransform(const tinygltf::Node& node)
{
    if (node.matrix.size() == 16) {
        Transform m;
        std::copy(node.matrix.begin(), node.matrix.end(), m.begin());
        return m;
    }
    Transform t = identity();
    if (node.translation.size() == 3)
        for (int i = 0; i < 3; ++i)
            t[12 + i] = node.translation[static_cast<std::size_t>(i)];
    Transform r = identity();
    if (node.rotation.size() == 4) {
        const double x = node.rotation[0], y = node.rotation[1], z = node.rotation[2], w = node.rotation[3];
        r = {1 - 2 * (y * y + z * z),
             2 * (x * y + z * w),
             2 * (x * z - y * w),
             0,
             2 * (x * y - z * w),
             1 - 2 * (x * x + z * z),
             2 * (y * z + x * w),
             0,
             2 * (x * z + y * w),
             2 * (y * z - x * w),
             1 - 2 * (x * x + y * y),
             0,
             0,
             0,
             0,
             1};
    }
    Transform s = identity();
    if (node.scale.size() == 3)
        for (int i = 0; i < 3; ++i)
            s[i * 5] = node.scale[static_cast<std::size_t>(i)];
    return multiply(t, multiply(r, s));
}

struct Instance
{
    int mesh;
    Transform transform;
};

// The meshes of the default scene (or, without scenes, of every node that is no other's
// child) with their nodes' transforms. Each node is visited once: a cycle or a node listed
// twice adds nothing.
std::vector<Instance> instancesOf(const tinygltf::Model& model)
{
    const std::size_t nodes = model.nodes.size();
    std::vector<int> roots;
    const int scene = model.defaultScene >= 0 ? model.defaultScene : 0;
    if (static_cast<std::size_t>(scene) < model.scenes.size()) {
        roots = model.scenes[static_cast<std::size_t>(scene)].nodes;
    } else {
        std::vector<bool> child(nodes, false);
        for (const tinygltf::Node& node : model.nodes)
            for (int c : node.children)
                if (c >= 0 && static_cast<std::size_t>(c) < nodes)
                    child[static_cast<std::size_t>(c)] = true;
        for (std::size_t n = 0; n < nodes; ++n)
            if (!child[n])
                roots.push_back(static_cast<int>(n));
    }
    std::vector<Instance> instances;
    std::vector<bool> visited(nodes, false);
    std::vector<std::pair<int, Transform>> stack;
    for (auto it = roots.rbegin(); it != roots.rend(); ++it)
        stack.emplace_back(*it, identity());
    while (!stack.empty()) {
        const auto [index, parent] = stack.back();
        stack.pop_back();
        if (index < 0 || static_cast<std::size_t>(index) >= nodes || visited[static_cast<std::size_t>(index)])
            continue;
        visited[static_cast<std::size_t>(index)] = true;
        const tinygltf::Node& node = model.nodes[static_cast<std::size_t>(index)];
        const Transform world = multiply(parent, localTransform(node));
        if (node.mesh >= 0)
            instances.push_back({node.mesh, world});
        for (auto c = node.children.rbegin(); c != node.children.rend(); ++c)
            stack.emplace_back(*c, world);
    }
    return instances;
}

// ---- Primitives -------------------------------------------------------------------------------------

// What one mesh primitive holds, read and checked once however many nodes show it.
struct Part
{
    unsigned int mode = GL_TRIANGLES;
    std::size_t count = 0; // vertices
    Elements positions, normals, texCoords;
    bool hasNormals = false, hasTexCoords = false;
    // Faces of the begin mode, as vertex numbers: the file's indices where they lie when
    // the glTF mode lists faces one after the other, else `made` from them.
    MeshBuilder::Indices indices;
    bool inPlace = false;
    std::vector<std::uint32_t> made;
    int material = -1;
    std::uint64_t cost = 0;

    MeshBuilder::Indices corners() const { return inPlace ? indices : MeshBuilder::Indices::of(made); }
};

// The faces of a glTF drawing mode as points, lines or triangles.
void facesOf(int mode, std::vector<std::uint32_t>&& order, Part& part)
{
    const std::size_t n = order.size();
    std::vector<std::uint32_t>& c = part.made;
    switch (mode) {
    case TINYGLTF_MODE_POINTS:
        part.mode = GL_POINTS;
        c = order;
        break;
    case TINYGLTF_MODE_LINE:
        part.mode = GL_LINES;
        c.assign(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(n - n % 2));
        break;
    case TINYGLTF_MODE_LINE_LOOP:
    case TINYGLTF_MODE_LINE_STRIP:
        part.mode = GL_LINES;
        for (std::size_t k = 0; k + 1 < n; ++k)
            c.insert(c.end(), {order[k], order[k + 1]});
        if (mode == TINYGLTF_MODE_LINE_LOOP && n > 2)
            c.insert(c.end(), {order[n - 1], order[0]});
        break;
    case TINYGLTF_MODE_TRIANGLE_STRIP:
        for (std::size_t k = 0; k + 2 < n; ++k)
            if (k % 2 == 0)
                c.insert(c.end(), {order[k], order[k + 1], order[k + 2]});
            else
                c.insert(c.end(), {order[k + 1], order[k], order[k + 2]});
        break;
    case TINYGLTF_MODE_TRIANGLE_FAN:
        for (std::size_t k = 1; k + 1 < n; ++k)
            c.insert(c.end(), {order[0], order[k], order[k + 1]});
        break;
    default:
        c = std::move(order);
        c.resize(n - n % 3);
        break;
    }
}

// The texture coordinate set a material's base colour texture uses, or -1 (the first set
// is read then, for a texture the application sets on the piece).
int texCoordSet(const tinygltf::Model& model, int material)
{
    if (material < 0 || static_cast<std::size_t>(material) >= model.materials.size())
        return -1;
    const tinygltf::TextureInfo& info =
        model.materials[static_cast<std::size_t>(material)].pbrMetallicRoughness.baseColorTexture;
    return info.index >= 0 ? info.texCoord : -1;
}

bool readPart(const tinygltf::Model& model, const tinygltf::Primitive& primitive, Part& part, std::string& why)
{
    const auto position = primitive.attributes.find("POSITION");
    if (position == primitive.attributes.end())
        return true; // nothing to draw
    if (!vectorsOf(model, position->second, 3, part.positions, why))
        return false;
    part.count = part.positions.count;
    const auto normal = primitive.attributes.find("NORMAL");
    if (normal != primitive.attributes.end()) {
        if (!vectorsOf(model, normal->second, 3, part.normals, why))
            return false;
        part.hasNormals = part.normals.count == part.count;
    }
    part.material = primitive.material;
    const int set = texCoordSet(model, primitive.material);
    const auto texCoord = primitive.attributes.find("TEXCOORD_" + std::to_string(set >= 0 ? set : 0));
    if (texCoord != primitive.attributes.end()) {
        if (!vectorsOf(model, texCoord->second, 2, part.texCoords, why))
            return false;
        part.hasTexCoords = part.texCoords.count == part.count;
    }
    std::vector<std::uint32_t> order;
    if (primitive.indices >= 0) {
        if (!indicesOf(model, primitive.indices, part.indices, why))
            return false;
        const int mode = primitive.mode;
        if (mode != TINYGLTF_MODE_LINE_LOOP && mode != TINYGLTF_MODE_LINE_STRIP &&
            mode != TINYGLTF_MODE_TRIANGLE_STRIP && mode != TINYGLTF_MODE_TRIANGLE_FAN) {
            // Faces one after the other: the indices are used where they lie.
            part.mode = mode == TINYGLTF_MODE_POINTS ? GL_POINTS : mode == TINYGLTF_MODE_LINE ? GL_LINES : GL_TRIANGLES;
            const std::size_t size = part.mode == GL_TRIANGLES ? 3 : part.mode == GL_LINES ? 2 : 1;
            part.indices.count -= part.indices.count % size;
            part.inPlace = true;
            part.cost = part.count + part.indices.count;
            return true;
        }
        order.resize(part.indices.count);
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = part.indices[i];
    } else {
        order.resize(part.count);
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = static_cast<std::uint32_t>(i);
    }
    facesOf(primitive.mode, std::move(order), part);
    part.cost = part.count + part.made.size();
    return true;
}

Rendering::Material materialOf(const tinygltf::Material& material)
{
    const std::vector<double>& f = material.pbrMetallicRoughness.baseColorFactor;
    Rendering::Material colors;
    if (f.size() == 4) {
        colors.m_Diffuse = Vec4<double>(f[0], f[1], f[2], f[3]);
        colors.m_Ambient = colors.m_Diffuse;
    }
    return colors;
}

std::string percentDecoded(const std::string& uri)
{
    std::string out;
    for (std::size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '%' && i + 2 < uri.size() && std::isxdigit(static_cast<unsigned char>(uri[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(uri[i + 2]))) {
            out += static_cast<char>(std::stoi(uri.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += uri[i];
        }
    }
    return out;
}

// Builds the mesh once the model is read; every failure here is the file's.
class Builder
{
public:
    Builder(const tinygltf::Model& model, const std::string& path, Rendering::Mesh& mesh)
        : m_Model(model), m_Path(path), m_Mesh(mesh)
    {
    }

    bool build(std::string& why)
    {
        const std::vector<Instance> instances = instancesOf(m_Model);
        // Every primitive shown is read and checked before the mesh gets anything.
        std::map<int, std::vector<Part>> parts;
        std::uint64_t distinct = 0;
        for (const Instance& instance : instances) {
            if (instance.mesh < 0 || static_cast<std::size_t>(instance.mesh) >= m_Model.meshes.size())
                return why = "mesh " + std::to_string(instance.mesh) + " does not exist", false;
            if (parts.count(instance.mesh))
                continue;
            std::vector<Part>& list = parts[instance.mesh];
            for (const tinygltf::Primitive& primitive :
                 m_Model.meshes[static_cast<std::size_t>(instance.mesh)].primitives) {
                list.emplace_back();
                if (!readPart(m_Model, primitive, list.back(), why))
                    return false;
                distinct += list.back().cost;
            }
        }
        const std::uint64_t allowance = 4 * distinct + c_InstanceAllowance;
        std::uint64_t made = 0;
        std::size_t skipped = 0;
        std::size_t dropped = 0;
        for (const Instance& instance : instances)
            for (Part& part : parts[instance.mesh]) {
                MeshBuilder::Indices corners = part.corners();
                if (part.count == 0 || corners.count == 0)
                    continue;
                if (made + part.cost > allowance) {
                    ++skipped;
                    continue;
                }
                made += part.cost;
                std::vector<Vec3<double>> positions, normals;
                std::vector<Vec2<double>> texCoords;
                place(part, instance.transform, positions, normals, texCoords);
                MeshBuilder::Look look;
                if (part.material >= 0 && static_cast<std::size_t>(part.material) < m_Model.materials.size()) {
                    look.hasMaterial = true;
                    look.material = materialOf(m_Model.materials[static_cast<std::size_t>(part.material)]);
                    if (part.hasTexCoords)
                        look.texture = textureOf(part.material);
                }
                // A mirroring transform turns the faces over; their corners run the other way.
                corners.turned = determinant(instance.transform) < 0 && part.mode == GL_TRIANGLES;
                dropped += MeshBuilder::buildShared(part.mode, corners,
                                                    std::move(positions), std::move(normals), std::move(texCoords),
                                                    look, MeshBuilder::Missing::Flat, m_Mesh);
            }
        if (skipped)
            note(std::to_string(skipped) +
                 " primitives shown by more nodes than the model's size allows were left out");
        if (dropped)
            note(std::to_string(dropped) + " faces with a vertex outside their primitive were left out");
        return true;
    }

private:
    static double determinant(const Transform& m)
    {
        return m[0] * (m[5] * m[10] - m[9] * m[6]) - m[4] * (m[1] * m[10] - m[9] * m[2]) +
               m[8] * (m[1] * m[6] - m[5] * m[2]);
    }

    static bool floats(const Elements& e) { return e.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT; }

    // The part's vertices moved by its node's transform; normals in the engine's form.
    static void place(const Part& part, const Transform& m, std::vector<Vec3<double>>& positions,
                      std::vector<Vec3<double>>& normals, std::vector<Vec2<double>>& texCoords)
    {
        const bool plain = m == identity(); // no transform: the file's vertices as they are
        const Elements& p = part.positions;
        if (plain && floats(p))
            positions = generated(part.count, [&p](std::size_t i) {
                float v[3];
                std::memcpy(v, p.base + i * p.stride, sizeof v);
                return Vec3<double>(v[0], v[1], v[2]);
            });
        else
            positions = generated(part.count, [&p, &m](std::size_t i) {
                const Vec3<double> v = vectorAt(p, i);
                return Vec3<double>(m[0] * v.x() + m[4] * v.y() + m[8] * v.z() + m[12],
                                    m[1] * v.x() + m[5] * v.y() + m[9] * v.z() + m[13],
                                    m[2] * v.x() + m[6] * v.y() + m[10] * v.z() + m[14]);
            });
        // glTF counts v from the picture's top row, the engine from its bottom row.
        const Elements& t = part.texCoords;
        if (part.hasTexCoords && t.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT)
            texCoords = generated(part.count, [&t](std::size_t i) {
                float v[2];
                std::memcpy(v, t.base + i * t.stride, sizeof v);
                return Vec2<double>(v[0], 1.0 - v[1]);
            });
        else if (part.hasTexCoords)
            texCoords = generated(part.count, [&t](std::size_t i) {
                const Vec3<double> v = vectorAt(t, i);
                return Vec2<double>(v.x(), 1.0 - v.y());
            });
        if (!part.hasNormals)
            return;
        const Elements& n = part.normals;
        if (plain && floats(n)) {
            normals = generated(part.count, [&n](std::size_t i) {
                float v[3];
                std::memcpy(v, n.base + i * n.stride, sizeof v);
                return Vec3<double>(v[0], v[2], -v[1]); // MeshBuilder::stored
            });
            return;
        }
        // Normals turn with the inverse transpose of the linear part (its cofactors, up to
        // a factor that the normalising takes away).
        const double c[9] = {m[5] * m[10] - m[6] * m[9], m[6] * m[8] - m[4] * m[10], m[4] * m[9] - m[5] * m[8],
                             m[2] * m[9] - m[1] * m[10], m[0] * m[10] - m[2] * m[8], m[1] * m[8] - m[0] * m[9],
                             m[1] * m[6] - m[2] * m[5],  m[2] * m[4] - m[0] * m[6],  m[0] * m[5] - m[1] * m[4]};
        const double sign = determinant(m) < 0 ? -1.0 : 1.0;
        normals = generated(part.count, [&](std::size_t i) {
            const Vec3<double> v = vectorAt(n, i);
            if (plain)
                return MeshBuilder::stored(v);
            Vec3<double> turned(c[0] * v.x() + c[3] * v.y() + c[6] * v.z(), c[1] * v.x() + c[4] * v.y() + c[7] * v.z(),
                                c[2] * v.x() + c[5] * v.y() + c[8] * v.z());
            turned = turned * sign;
            turned.normalize();
            return MeshBuilder::stored(turned);
        });
    }

    // The base colour texture of a material, made once per picture (the mesh owns it).
    Rendering::Texture* textureOf(int material)
    {
        const int texture =
            m_Model.materials[static_cast<std::size_t>(material)].pbrMetallicRoughness.baseColorTexture.index;
        if (texture < 0 || static_cast<std::size_t>(texture) >= m_Model.textures.size())
            return nullptr;
        const int source = m_Model.textures[static_cast<std::size_t>(texture)].source;
        if (source < 0 || static_cast<std::size_t>(source) >= m_Model.images.size())
            return nullptr;
        const auto known = m_Textures.find(source);
        if (known != m_Textures.end())
            return known->second;
        Rendering::Texture* made = nullptr;
        const tinygltf::Image& image = m_Model.images[static_cast<std::size_t>(source)];
        const std::string name = m_Path + "#image" + std::to_string(source);
        if (!image.uri.empty()) {
            made = Rendering::MaterialTexture::load(folderOf(m_Path) + percentDecoded(image.uri));
        } else if (!image.image.empty()) {
            made = Rendering::MaterialTexture::loadEncoded(name, image.image.data(), image.image.size());
        } else if (image.bufferView >= 0 && static_cast<std::size_t>(image.bufferView) < m_Model.bufferViews.size()) {
            // The span was checked before the library read the file.
            const tinygltf::BufferView& view = m_Model.bufferViews[static_cast<std::size_t>(image.bufferView)];
            const std::vector<unsigned char>& data = m_Model.buffers[static_cast<std::size_t>(view.buffer)].data;
            made = Rendering::MaterialTexture::loadEncoded(name, data.data() + view.byteOffset, view.byteLength);
        }
        if (made)
            m_Mesh.addTexture(made);
        m_Textures[source] = made;
        return made;
    }

    void note(const std::string& text) const
    {
        Core::Messages::send(Core::MessageLevel::Warning,
                             Core::messageText(c_Note, Core::quotable(m_Path), "\" : ", text, "."));
    }

    const tinygltf::Model& m_Model;
    const std::string& m_Path;
    Rendering::Mesh& m_Mesh;
    std::map<int, Rendering::Texture*> m_Textures;
};
} // namespace

bool GLTFReader::load(const std::string& path, Rendering::Mesh* mesh)
{
    InputFile file(path);
    if (!file.isOpen()) {
        Core::Messages::send(Core::MessageLevel::Warning, Core::messageText(c_CannotOpen, Core::quotable(path), "\""));
        return false;
    }
    if (file.size() > std::numeric_limits<unsigned int>::max()) {
        Core::Messages::send(Core::MessageLevel::Warning,
                             Core::messageText(c_Bad, Core::quotable(path), "\" : larger than 4 GiB"));
        return false;
    }
    std::unique_ptr<unsigned char[]> data(new (std::nothrow) unsigned char[file.size() ? file.size() : 1]);
    std::size_t filled = 0;
    if (!data || !file.read(reinterpret_cast<char*>(data.get()), static_cast<std::size_t>(file.size()), filled)) {
        Core::Messages::send(Core::MessageLevel::Warning, Core::messageText(c_CannotOpen, Core::quotable(path), "\""));
        return false;
    }
    // The file's bytes go once the library has them (its buffers are copies): the mesh is
    // made in that memory.
    const unsigned char* bytes = data.get();
    return read(bytes, filled, path, mesh, [&data] { data.reset(); });
}

bool GLTFReader::loadFromMemory(const unsigned char* data, std::size_t size, const std::string& path,
                                Rendering::Mesh* mesh)
{
    return read(data, size, path, mesh, [] {});
}

bool GLTFReader::read(const unsigned char* data, std::size_t size, const std::string& path, Rendering::Mesh* mesh,
                      const std::function<void()>& parsed)
{
    auto refuse = [&path](const std::string& why) {
        Core::Messages::send(Core::MessageLevel::Warning,
                             Core::messageText(c_Bad, Core::quotable(path), "\" : ", Core::quotable(why)));
        return false;
    };
    if (size > std::numeric_limits<unsigned int>::max())
        return refuse("larger than 4 GiB");
    const bool binary = size >= 4 && std::memcmp(data, "glTF", 4) == 0;
    const char* begin = reinterpret_cast<const char*>(data);
    const char* end = begin + size;
    if (binary && !jsonChunk(data, size, begin, end))
        return refuse("the binary header is broken");
    try {
        const std::string why = Preflight(binary).verdict(begin, end);
        if (!why.empty())
            return refuse(why);

        Files files;
        tinygltf::TinyGLTF library;
        library.SetFsCallbacks({fileExists, expandPath, readWholeFile, writeWholeFile, &files});
        library.SetImageLoader(keepPicture, nullptr);
        tinygltf::Model model;
        std::string err, warn;
        const std::string folder = folderOf(path);
        const bool accepted =
            binary ? library.LoadBinaryFromMemory(&model, &err, &warn, data, static_cast<unsigned int>(size), folder)
                   : library.LoadASCIIFromString(&model, &err, &warn, reinterpret_cast<const char*>(data),
                                                 static_cast<unsigned int>(size), folder);
        if (!accepted)
            return refuse(firstLine(err.empty() ? "not glTF" : err));
        parsed();
        for (const std::string& extension : model.extensionsRequired)
            if (!c_Supported.count(extension))
                return refuse("it needs the extension " + extension);
        Rendering::Mesh built;
        std::string problem;
        if (!Builder(model, path, built).build(problem))
            return refuse(problem);
        mesh->setLoadedUpAxis(Rendering::Mesh::UpAxis::Y);
        mesh->adopt(built);
        return true;
    } catch (const std::bad_alloc&) {
        return refuse("not enough memory to read it");
    } catch (const std::exception& e) {
        return refuse(e.what());
    }
}

} // namespace Reader
