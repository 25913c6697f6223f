// The demo's generated models and pictures, read with independent code: the models
// token by token as the engine's ASE reader takes them, the pictures with libpng.
#include <gtest/gtest.h>

#include <png.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace
{
const std::string c_Data = CHECKERS_DATA_DIR;

struct V3
{
    double x, y, z;
};

V3 sub(V3 a, V3 b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
double dot(V3 a, V3 b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
V3 cross(V3 a, V3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// The parts of an ASE export that the engine reads, positions and normals already in
// OpenGL's axes: a position (x, y, z) becomes (x, z, -y), a normal (x, -y, -z).
struct Ase
{
    unsigned numVertex = 0, numFaces = 0, numTVertex = 0;
    std::vector<V3> vertices;
    std::vector<std::vector<unsigned>> faces, tfaces;
    std::vector<unsigned> normalIndices;
    std::vector<V3> normals;
    size_t tvertices = 0;

    explicit Ase(const std::string& path)
    {
        std::ifstream in(path);
        std::string word;
        while (in >> word) {
            if (word == "*MESH_NUMVERTEX")
                in >> numVertex;
            else if (word == "*MESH_NUMFACES")
                in >> numFaces;
            else if (word == "*MESH_NUMTVERTEX")
                in >> numTVertex;
            else if (word == "*MESH_VERTEX") {
                unsigned i = 0;
                V3 v{};
                in >> i >> v.x >> v.y >> v.z;
                EXPECT_EQ(i, vertices.size());
                vertices.push_back({v.x, v.z, -v.y});
            } else if (word == "*MESH_FACE") {
                std::string label, a, b, c;
                std::vector<unsigned> f(3);
                in >> label >> a >> f[0] >> b >> f[1] >> c >> f[2];
                EXPECT_EQ(a + b + c, "A:B:C:") << label;
                faces.push_back(f);
            } else if (word == "*MESH_TVERT") {
                ++tvertices;
            } else if (word == "*MESH_TFACE") {
                std::vector<unsigned> f(4);
                in >> f[0] >> f[1] >> f[2] >> f[3];
                tfaces.push_back({f[1], f[2], f[3]});
            } else if (word == "*MESH_VERTEXNORMAL") {
                unsigned i = 0;
                V3 n{};
                in >> i >> n.x >> n.y >> n.z;
                normalIndices.push_back(i);
                normals.push_back({n.x, -n.y, -n.z});
            }
        }
    }
};

void checkPiece(const std::string& path)
{
    SCOPED_TRACE(path);
    const Ase ase(path);
    ASSERT_GT(ase.numVertex, 0u);
    ASSERT_EQ(ase.vertices.size(), ase.numVertex);
    ASSERT_EQ(ase.faces.size(), ase.numFaces);
    EXPECT_LE(ase.numVertex, 65536u) << "the engine indexes vertices in 16 bits";
    EXPECT_EQ(ase.tvertices, ase.numTVertex);
    ASSERT_EQ(ase.tfaces.size(), ase.faces.size());
    // The engine pairs the vertex normals with the face corners by position.
    ASSERT_EQ(ase.normalIndices.size(), 3 * ase.faces.size());

    std::map<unsigned, V3> normalOf;
    for (size_t f = 0; f < ase.faces.size(); ++f)
        for (int k = 0; k < 3; ++k) {
            const unsigned corner = ase.faces[f][k];
            ASSERT_LT(corner, ase.numVertex) << "face " << f;
            ASSERT_LT(ase.tfaces[f][k], ase.numTVertex) << "texture face " << f;
            ASSERT_EQ(ase.normalIndices[3 * f + k], corner) << "face " << f;
            const V3 n = ase.normals[3 * f + k];
            EXPECT_NEAR(dot(n, n), 1.0, 1e-3);
            // Only the first normal of a vertex counts: creases need vertices of their own.
            const auto first = normalOf.emplace(corner, n).first->second;
            ASSERT_LT(dot(sub(first, n), sub(first, n)), 1e-8) << "vertex " << corner;
        }

    // Wound counter-clockwise from outside, and the normals agree with the winding.
    for (const auto& f : ase.faces) {
        const V3 a = ase.vertices[f[0]], b = ase.vertices[f[1]], c = ase.vertices[f[2]];
        const V3 n = {normalOf[f[0]].x + normalOf[f[1]].x + normalOf[f[2]].x,
                      normalOf[f[0]].y + normalOf[f[1]].y + normalOf[f[2]].y,
                      normalOf[f[0]].z + normalOf[f[1]].z + normalOf[f[2]].z};
        ASSERT_GT(dot(cross(sub(b, a), sub(c, a)), n), 0.0);
    }

    // About 40 units across and 11 high, centred on the origin; the lowest point faces
    // down, the highest up, the widest outward.
    V3 lo{1e9, 1e9, 1e9}, hi{-1e9, -1e9, -1e9};
    for (const V3& v : ase.vertices) {
        lo = {std::min(lo.x, v.x), std::min(lo.y, v.y), std::min(lo.z, v.z)};
        hi = {std::max(hi.x, v.x), std::max(hi.y, v.y), std::max(hi.z, v.z)};
    }
    EXPECT_NEAR(hi.x - lo.x, 40.0, 1.0);
    EXPECT_NEAR(hi.z - lo.z, 40.0, 1.0);
    EXPECT_GE(hi.y - lo.y, 10.0);
    EXPECT_LE(hi.y - lo.y, 12.0);
    EXPECT_NEAR(hi.y + lo.y, 0.0, 1e-3);
    EXPECT_NEAR(hi.x + lo.x, 0.0, 1e-3);
    std::set<long> aroundRim;
    for (const auto& [i, n] : normalOf) {
        const V3 v = ase.vertices[i];
        if (v.y == lo.y) {
            EXPECT_LT(n.y, -0.99) << "vertex " << i;
        }
        if (v.y == hi.y) {
            EXPECT_GT(n.y, 0.99) << "vertex " << i;
        }
        if (v.x == hi.x) {
            EXPECT_GT(n.x, 0.99) << "vertex " << i;
        }
        if (std::hypot(v.x, v.z) > 0.99 * hi.x)
            aroundRim.insert(std::lround(std::atan2(v.z, v.x) * 1000.0));
    }
    EXPECT_GE(aroundRim.size(), 32u) << "segments around";
}

struct Picture
{
    unsigned width = 0, height = 0;
    std::vector<unsigned char> rgb;
    const unsigned char* at(unsigned x, unsigned row) const { return &rgb[(size_t(row) * width + x) * 3]; }
};

Picture decode(const std::string& path)
{
    Picture picture;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        ADD_FAILURE() << path << ": " << image.message;
        return picture;
    }
    image.format = PNG_FORMAT_RGB;
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) {
        ADD_FAILURE() << path << ": " << image.message;
        return picture;
    }
    picture.width = image.width;
    picture.height = image.height;
    return picture;
}
} // namespace

TEST(CheckersDataTest, PiecesAreWellFormedExportsOfADraughtsPiece)
{
    checkPiece(c_Data + "3D/checkers/pion_rouge.ASE");
    checkPiece(c_Data + "3D/checkers/pion_noir.ASE");
}

TEST(CheckersDataTest, PicturesAndNormalMapsDecodeAndMatch)
{
    for (const char* name : {"Rock", "square_light", "square_dark"}) {
        SCOPED_TRACE(name);
        const std::string base = c_Data + "Textures/checkers/" + name;
        const Picture picture = decode(base + ".png"), normals = decode(base + "_normal.png");
        EXPECT_TRUE(picture.width == 256 || picture.width == 512);
        EXPECT_EQ(picture.height, picture.width);
        EXPECT_EQ(normals.width, picture.width);
        EXPECT_EQ(normals.height, picture.height);
        for (size_t i = 0; i + 2 < normals.rgb.size(); i += 3) {
            const double x = normals.rgb[i] / 127.5 - 1, y = normals.rgb[i + 1] / 127.5 - 1,
                         z = normals.rgb[i + 2] / 127.5 - 1;
            ASSERT_NEAR(x * x + y * y + z * z, 1.0, 0.04) << "texel " << i / 3;
            ASSERT_GT(z, 0.0) << "texel " << i / 3;
        }
    }
    // A wooden square is bevelled: its edges face outward. The engine uploads the bottom
    // row first, so the top of the picture is +t, which the map's green points to.
    const Picture wood = decode(c_Data + "Textures/checkers/square_light_normal.png");
    ASSERT_EQ(wood.width, 256u);
    const unsigned mid = wood.width / 2, last = wood.width - 1;
    EXPECT_GT(wood.at(mid, 2)[1], 170) << "top edge faces +t";
    EXPECT_LT(wood.at(mid, last - 2)[1], 86) << "bottom edge faces -t";
    EXPECT_LT(wood.at(2, mid)[0], 86) << "left edge faces -s";
    EXPECT_GT(wood.at(last - 2, mid)[0], 170) << "right edge faces +s";
}
