// Writes two sample models for the model viewer, turned on a lathe from a profile:
//   king.glb   glTF 2.0, binary: a red body and a gold crown, y up, no normals (the reader
//              makes flat ones);
//   rook.obj   Wavefront OBJ with rook.mtl: an ivory body and a dark top, y up, with normals.
// Usage: make_sample_models OUTPUT_FOLDER
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace
{
struct Point
{
    double radius, height;
};

// A surface of revolution of the profile (bottom to top) with `sides` sides: its positions
// and normals (x, y, z each), and the triangles of each profile segment from `split` on in a
// second list.
struct Lathe
{
    std::vector<float> positions, normals;
    std::vector<std::uint16_t> lower, upper;
};

Lathe lathe(const std::vector<Point>& profile, int sides, std::size_t split)
{
    Lathe l;
    for (std::size_t p = 0; p < profile.size(); ++p)
        for (int s = 0; s <= sides; ++s) {
            const double a = 2 * M_PI * s / sides;
            l.positions.insert(l.positions.end(), {float(profile[p].radius * std::cos(a)), float(profile[p].height),
                                                   float(-profile[p].radius * std::sin(a))});
            // The profile's own slope turned round the axis.
            const Point& below = profile[p == 0 ? 0 : p - 1];
            const Point& above = profile[p + 1 < profile.size() ? p + 1 : p];
            double nx = above.height - below.height, ny = below.radius - above.radius;
            const double length = std::sqrt(nx * nx + ny * ny);
            nx /= length > 0 ? length : 1;
            ny /= length > 0 ? length : 1;
            l.normals.insert(l.normals.end(), {float(nx * std::cos(a)), float(ny), float(-nx * std::sin(a))});
        }
    const int ring = sides + 1;
    for (std::size_t p = 0; p + 1 < profile.size(); ++p)
        for (int s = 0; s < sides; ++s) {
            const auto a = std::uint16_t(p * ring + s), b = std::uint16_t(a + 1), c = std::uint16_t(a + ring),
                       d = std::uint16_t(c + 1);
            auto& list = p < split ? l.lower : l.upper;
            list.insert(list.end(), {a, b, d, a, d, c});
        }
    return l;
}

template <typename T>
void append(std::string& bytes, const std::vector<T>& values)
{
    bytes.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
    while (bytes.size() % 4)
        bytes += '\0';
}

void writeKing(const std::string& path)
{
    const Lathe l = lathe({{0, 0},      {0.5, 0},    {0.5, 0.12}, {0.35, 0.2}, {0.22, 0.5}, {0.18, 1.0},
                           {0.32, 1.08}, {0.2, 1.16}, {0.3, 1.35}, {0.1, 1.45}, {0, 1.45}},
                          32, 6);
    std::string bin;
    append(bin, l.positions);
    const std::size_t lowerAt = bin.size();
    append(bin, l.lower);
    const std::size_t upperAt = bin.size();
    append(bin, l.upper);
    const std::size_t count = l.positions.size() / 3;
    std::string json =
        "{\"asset\":{\"version\":\"2.0\",\"generator\":\"Tessellon make_sample_models\"},\"scene\":0,"
        "\"scenes\":[{\"nodes\":[0]}],\"nodes\":[{\"mesh\":0,\"name\":\"king\"}],"
        "\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0},\"indices\":1,\"material\":0},"
        "{\"attributes\":{\"POSITION\":0},\"indices\":2,\"material\":1}]}],"
        "\"materials\":[{\"pbrMetallicRoughness\":{\"baseColorFactor\":[0.7,0.08,0.06,1]}},"
        "{\"pbrMetallicRoughness\":{\"baseColorFactor\":[0.95,0.75,0.2,1]}}],"
        "\"buffers\":[{\"byteLength\":" + std::to_string(bin.size()) + "}],"
        "\"bufferViews\":[{\"buffer\":0,\"byteOffset\":0,\"byteLength\":" + std::to_string(lowerAt) +
        "},{\"buffer\":0,\"byteOffset\":" + std::to_string(lowerAt) + ",\"byteLength\":" +
        std::to_string(l.lower.size() * 2) + "},{\"buffer\":0,\"byteOffset\":" + std::to_string(upperAt) +
        ",\"byteLength\":" + std::to_string(l.upper.size() * 2) + "}],"
        "\"accessors\":[{\"bufferView\":0,\"componentType\":5126,\"count\":" + std::to_string(count) +
        ",\"type\":\"VEC3\"},{\"bufferView\":1,\"componentType\":5123,\"count\":" + std::to_string(l.lower.size()) +
        ",\"type\":\"SCALAR\"},{\"bufferView\":2,\"componentType\":5123,\"count\":" + std::to_string(l.upper.size()) +
        ",\"type\":\"SCALAR\"}]}";
    while (json.size() % 4)
        json += ' ';
    std::ofstream out(path, std::ios::binary);
    auto word = [&out](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    out << "glTF";
    word(2);
    word(std::uint32_t(12 + 8 + json.size() + 8 + bin.size()));
    word(std::uint32_t(json.size()));
    out << "JSON" << json;
    word(std::uint32_t(bin.size()));
    out.write("BIN\0", 4);
    out << bin;
}

void writeRook(const std::string& folder)
{
    const Lathe l = lathe({{0, 0},      {0.5, 0},    {0.5, 0.12}, {0.38, 0.2}, {0.3, 0.8}, {0.38, 0.9},
                           {0.38, 1.1}, {0.28, 1.1}, {0.28, 1.0}, {0, 1.0}},
                          24, 5);
    std::ofstream("" + folder + "/rook.mtl") << "newmtl ivory\nKa 0.9 0.85 0.7\nKd 0.9 0.85 0.7\nKs 0.3 0.3 0.3\n"
                                                "Ns 40\nnewmtl ebony\nKa 0.15 0.1 0.08\nKd 0.15 0.1 0.08\n";
    std::ofstream obj(folder + "/rook.obj");
    obj << "# Tessellon make_sample_models\nmtllib rook.mtl\no rook\n";
    char line[128];
    for (std::size_t k = 0; k < l.positions.size(); k += 3) {
        std::snprintf(line, sizeof line, "v %.5f %.5f %.5f\nvn %.5f %.5f %.5f\n", l.positions[k], l.positions[k + 1],
                      l.positions[k + 2], l.normals[k], l.normals[k + 1], l.normals[k + 2]);
        obj << line;
    }
    for (const auto* part : {&l.lower, &l.upper}) {
        obj << (part == &l.lower ? "usemtl ivory\n" : "usemtl ebony\n");
        for (std::size_t k = 0; k < part->size(); k += 3) {
            const int a = (*part)[k] + 1, b = (*part)[k + 1] + 1, c = (*part)[k + 2] + 1;
            std::snprintf(line, sizeof line, "f %d//%d %d//%d %d//%d\n", a, a, b, b, c, c);
            obj << line;
        }
    }
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "Usage: make_sample_models OUTPUT_FOLDER\n");
        return 2;
    }
    writeKing(std::string(argv[1]) + "/king.glb");
    writeRook(argv[1]);
    return 0;
}
