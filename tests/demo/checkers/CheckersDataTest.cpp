// The demo's generated models and pictures, read with independent code: the models
// word by word as the engine's ASE reader takes them, the pictures with libpng.
#include <gtest/gtest.h>

#include <png.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace
{
const std::string c_Data = CHECKERS_DATA_DIR;

struct V3
{
    double x, y, z;
    V3 operator-(V3 o) const { return {x - o.x, y - o.y, z - o.z}; }
    V3 operator+(V3 o) const { return {x + o.x, y + o.y, z + o.z}; }
    double dot(V3 o) const { return x * o.x + y * o.y + z * o.z; }
    V3 cross(V3 o) const { return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x}; }
};

// What the engine reads of an ASE export, in OpenGL's axes: a position (x, y, z) becomes
// (x, z, -y), and a normal alike.
struct Ase
{
    explicit Ase(const std::string& path)
    {
        std::ifstream in(path);
        std::string w, a, b, c;
        unsigned i = 0;
        V3 v{};
        while (in >> w) {
            if (w == "*MESH_NUMVERTEX" || w == "*MESH_NUMFACES" || w == "*MESH_NUMTVERTEX")
                in >> (w == "*MESH_NUMVERTEX" ? numVertex : w == "*MESH_NUMFACES" ? numFaces : numTVertex);
            else if (w == "*MESH_VERTEX" && in >> i >> v.x >> v.y >> v.z)
                vertices.push_back({v.x, v.z, -v.y});
            else if (w == "*MESH_FACE") {
                faces.emplace_back(3);
                in >> w >> a >> faces.back()[0] >> b >> faces.back()[1] >> c >> faces.back()[2];
                EXPECT_EQ(a + b + c, "A:B:C:") << w;
            } else if (w == "*MESH_TVERT")
                ++tvertices;
            else if (w == "*MESH_TFACE") {
                tfaces.emplace_back(3);
                in >> i >> tfaces.back()[0] >> tfaces.back()[1] >> tfaces.back()[2];
            } else if (w == "*MESH_VERTEXNORMAL" && in >> i >> v.x >> v.y >> v.z)
                normals.push_back({i, {v.x, v.z, -v.y}});
        }
    }

    unsigned numVertex = 0, numFaces = 0, numTVertex = 0, tvertices = 0;
    std::vector<V3> vertices;
    std::vector<std::vector<unsigned>> faces, tfaces;
    std::vector<std::pair<unsigned, V3>> normals;
};

void checkPiece(const std::string& path)
{
    SCOPED_TRACE(path);
    const Ase ase(path);
    ASSERT_GT(ase.numVertex, 0u);
    ASSERT_LE(ase.numVertex, 65536u) << "the engine indexes vertices in 16 bits";
    ASSERT_EQ(ase.vertices.size(), ase.numVertex);
    ASSERT_EQ(ase.faces.size(), ase.numFaces);
    ASSERT_EQ(ase.tvertices, ase.numTVertex);
    ASSERT_EQ(ase.tfaces.size(), ase.faces.size());
    // The engine pairs the vertex normals with the face corners by position, and keeps
    // the first normal of a vertex: creases need vertices of their own.
    ASSERT_EQ(ase.normals.size(), 3 * ase.faces.size());
    std::map<unsigned, V3> normalOf;
    for (size_t f = 0; f < ase.faces.size(); ++f) {
        V3 sum{};
        for (int k = 0; k < 3; ++k) {
            const auto& [index, n] = ase.normals[3 * f + k];
            ASSERT_LT(ase.faces[f][k], ase.numVertex) << "face " << f;
            ASSERT_LT(ase.tfaces[f][k], ase.numTVertex) << "face " << f;
            ASSERT_EQ(index, ase.faces[f][k]) << "face " << f;
            ASSERT_NEAR(n.dot(n), 1.0, 1e-3);
            const V3 kept = normalOf.emplace(index, n).first->second;
            ASSERT_LT((kept - n).dot(kept - n), 1e-8) << "vertex " << index;
            sum = sum + n;
        }
        // Wound counter-clockwise from outside, where the normals point.
        const V3 a = ase.vertices[ase.faces[f][0]];
        ASSERT_GT((ase.vertices[ase.faces[f][1]] - a).cross(ase.vertices[ase.faces[f][2]] - a).dot(sum), 0) << f;
    }
}

// RGB texels, top row first; no texels when the file does not decode.
std::vector<unsigned char> decode(const std::string& path, unsigned& size)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    std::vector<unsigned char> rgb;
    if (png_image_begin_read_from_file(&image, path.c_str())) {
        image.format = PNG_FORMAT_RGB;
        rgb.resize(PNG_IMAGE_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr))
            rgb.clear();
    }
    EXPECT_FALSE(rgb.empty()) << path << ": " << image.message;
    EXPECT_EQ(image.width, image.height) << path;
    size = image.width;
    return rgb;
}
} // namespace

TEST(CheckersDataTest, PiecesAreWellFormedExportsOfADraughtsPiece)
{
    for (const char* name : {"pion_rouge.ASE", "pion_noir.ASE"})
        checkPiece(c_Data + "3D/checkers/" + name);
}

TEST(CheckersDataTest, PicturesHaveMatchingNormalMaps)
{
    for (const char* name : {"Rock", "square_light", "square_dark"}) {
        SCOPED_TRACE(name);
        const std::string base = c_Data + "Textures/checkers/" + name;
        unsigned size = 0, normalSize = 0;
        decode(base + ".png", size);
        const std::vector<unsigned char> n = decode(base + "_normal.png", normalSize);
        EXPECT_TRUE(size == 256 || size == 512) << size;
        EXPECT_EQ(normalSize, size);
        for (size_t i = 0; i + 2 < n.size(); i += 3) {
            const double x = n[i] / 127.5 - 1, y = n[i + 1] / 127.5 - 1, z = n[i + 2] / 127.5 - 1;
            ASSERT_NEAR(x * x + y * y + z * z, 1.0, 0.04) << "texel " << i / 3;
            ASSERT_GT(z, 0.0) << "texel " << i / 3;
        }
    }
}
