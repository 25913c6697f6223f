// Writes the checkers demo's pictures and their normal maps: a granite slab and light and
// dark wood squares, drawn procedurally so that the demo's data is entirely our own.
// Each picture is coloured from a height field, and its "_normal" companion is derived
// from the same field, so that the relief the shader lights matches what the eye sees.
// Usage: make_checkers_textures OUTPUT_DIRECTORY
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
constexpr int c_SlabSize = 512;
constexpr int c_SquareSize = 256;
// Width in pixels of the bevel that rounds each wooden square off at its edges.
constexpr float c_Bevel = 10.0f;

// Smooth value noise on a lattice of `cell` pixels, wrapping every `size` pixels.
class Noise
{
public:
    Noise(std::uint32_t seed, int size) : m_Size(size), m_Values(static_cast<size_t>(size) * size)
    {
        std::uint32_t state = seed;
        for (float& v : m_Values) {
            state = state * 1664525u + 1013904223u;
            v = static_cast<float>(state >> 8) / static_cast<float>(1u << 24);
        }
    }

    float at(float x, float y, float cell) const
    {
        const float gx = x / cell, gy = y / cell;
        const int x0 = static_cast<int>(std::floor(gx)), y0 = static_cast<int>(std::floor(gy));
        const float fx = smooth(gx - x0), fy = smooth(gy - y0);
        auto v = [&](int i, int j) { return m_Values[wrap(j) * m_Size + wrap(i)]; };
        const float top = v(x0, y0) + (v(x0 + 1, y0) - v(x0, y0)) * fx;
        const float bottom = v(x0, y0 + 1) + (v(x0 + 1, y0 + 1) - v(x0, y0 + 1)) * fx;
        return top + (bottom - top) * fy;
    }

    // Octaves from `cell` down to 2 pixels, each half the weight of the one before; 0..1.
    float fractal(float x, float y, float cell) const
    {
        float sum = 0.0f, weight = 0.5f, total = 0.0f;
        for (; cell >= 2.0f; cell /= 2.0f, weight *= 0.5f) {
            sum += weight * at(x, y, cell);
            total += weight;
        }
        return sum / total;
    }

private:
    static float smooth(float t) { return t * t * (3.0f - 2.0f * t); }
    size_t wrap(int i) const { return static_cast<size_t>((i % m_Size + m_Size) % m_Size); }

    int m_Size;
    std::vector<float> m_Values;
};

struct Colour
{
    float r, g, b;
};

Colour mix(Colour a, Colour b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

float smoothStep(float edge0, float edge1, float x)
{
    const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

// A square picture: its colours and the height field they were drawn from (0..1).
struct Picture
{
    explicit Picture(int size)
        : size(size), rgb(static_cast<size_t>(size) * size * 3), height(static_cast<size_t>(size) * size)
    {
    }

    void set(int x, int y, Colour c, float h)
    {
        const size_t i = static_cast<size_t>(y) * size + x;
        rgb[i * 3] = byte(c.r);
        rgb[i * 3 + 1] = byte(c.g);
        rgb[i * 3 + 2] = byte(c.b);
        height[i] = h;
    }

    static std::uint8_t byte(float v)
    {
        return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
    }

    int size;
    std::vector<std::uint8_t> rgb;
    std::vector<float> height;
};

bool write(const std::string& path, int size, const std::vector<std::uint8_t>& rgb)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(size);
    image.height = static_cast<png_uint_32>(size);
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr)) {
        std::fprintf(stderr, "make_checkers_textures: cannot write \"%s\": %s\n", path.c_str(), image.message);
        return false;
    }
    return true;
}

// Tangent-space normal map of a height field: RGB = normal * 0.5 + 0.5, flat = (128, 128,
// 255). The engine uploads pictures bottom row first, so texture t grows toward the top of
// the picture, against the file's row order: the map's green follows the upward slope.
// `relief` is the height, in pixels, of a height difference of 1.
std::vector<std::uint8_t> normalMap(const Picture& picture, float relief)
{
    const int n = picture.size;
    auto h = [&](int x, int y) {
        return picture.height[static_cast<size_t>(std::clamp(y, 0, n - 1)) * n + std::clamp(x, 0, n - 1)];
    };
    std::vector<std::uint8_t> rgb(static_cast<size_t>(n) * n * 3);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const float dx = (h(x + 1, y) - h(x - 1, y)) * 0.5f * relief;
            const float dUp = (h(x, y - 1) - h(x, y + 1)) * 0.5f * relief;
            const float length = std::sqrt(dx * dx + dUp * dUp + 1.0f);
            const size_t i = (static_cast<size_t>(y) * n + x) * 3;
            rgb[i] = Picture::byte((-dx / length) * 0.5f + 0.5f);
            rgb[i + 1] = Picture::byte((-dUp / length) * 0.5f + 0.5f);
            rgb[i + 2] = Picture::byte((1.0f / length) * 0.5f + 0.5f);
        }
    return rgb;
}

// Polished granite: a mottled warm grey with dark and light grains, crossed by a few
// darker veins cut slightly into the surface.
Picture granite()
{
    const int n = c_SlabSize;
    const Noise noise(7, n), grains(19, n), veins(31, n);
    Picture picture(n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const float mottle = noise.fractal(x, y, 128.0f);
            const float grain = grains.at(x, y, 3.0f);
            // Veins follow a contour line of a warped noise field, so they wander like cracks.
            const float field = veins.fractal(x + 40.0f * noise.at(x, y, 64.0f), y, 256.0f);
            const float vein = 1.0f - smoothStep(0.0f, 0.012f, std::fabs(field - 0.5f));
            Colour c = mix({0.40f, 0.38f, 0.36f}, {0.66f, 0.63f, 0.58f}, smoothStep(0.3f, 0.7f, mottle));
            if (grain > 0.86f)
                c = mix(c, {0.16f, 0.15f, 0.15f}, (grain - 0.86f) / 0.14f);
            else if (grain < 0.10f)
                c = mix(c, {0.86f, 0.84f, 0.80f}, (0.10f - grain) / 0.10f);
            c = mix(c, {0.22f, 0.20f, 0.19f}, 0.7f * vein);
            const float pits = grain > 0.93f ? (grain - 0.93f) / 0.07f : 0.0f;
            picture.set(x, y, c, 0.7f + 0.2f * mottle - 0.35f * vein - 0.25f * pits);
        }
    return picture;
}

// A wooden tile: growth rings running along the picture's width, bent by noise, with
// fine fibres and pores, and a bevel all round.
Picture wood(Colour early, Colour late, std::uint32_t seed)
{
    const int n = c_SquareSize;
    const Noise noise(seed, n), fibres(seed + 1, n);
    // Each wood is cut at its own distance from the heart of the trunk.
    const float heart = 0.3f + 0.4f * static_cast<float>(seed * 37u % 100u) / 100.0f;
    Picture picture(n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            // Rings of a trunk whose heart lies below the picture, cut lengthwise: the
            // arcs of flat-sawn timber, bent by noise.
            const float dx = (x - heart * n) * 0.9f, dy = y - 1.1f * n;
            const float bend = 16.0f * noise.fractal(x, y, 64.0f);
            const float ring = std::fmod((std::sqrt(dx * dx + dy * dy) + bend) * 0.06f, 1.0f);
            // Latewood: a narrow dark band at the end of each year's growth.
            const float lateWood = smoothStep(0.55f, 0.9f, ring) * (1.0f - smoothStep(0.95f, 1.0f, ring));
            const float fibre = fibres.at(x * 0.08f, y, 2.0f);
            const float edge = std::min(std::min(x + 0.5f, n - 0.5f - x), std::min(y + 0.5f, n - 0.5f - y));
            const float bevel = smoothStep(0.0f, c_Bevel, edge);
            Colour c = mix(early, late, 0.75f * lateWood + 0.25f * fibre);
            c = mix(late, c, 0.55f + 0.45f * bevel);
            picture.set(x, y, c, 0.6f * bevel + 0.04f * (1.0f - lateWood) - 0.03f * fibre);
        }
    return picture;
}

bool writeBoth(const std::string& dir, const std::string& name, const Picture& picture, float relief)
{
    return write(dir + name + ".png", picture.size, picture.rgb) &&
           write(dir + name + "_normal.png", picture.size, normalMap(picture, relief));
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_checkers_textures OUTPUT_DIRECTORY\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    const bool ok = writeBoth(dir, "Rock", granite(), 6.0f) &&
                    writeBoth(dir, "square_light", wood({0.87f, 0.73f, 0.50f}, {0.68f, 0.50f, 0.30f}, 11), 16.0f) &&
                    writeBoth(dir, "square_dark", wood({0.40f, 0.24f, 0.13f}, {0.20f, 0.11f, 0.05f}, 23), 16.0f);
    return ok ? 0 : 1;
}
