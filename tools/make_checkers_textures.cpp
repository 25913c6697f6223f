// Writes the checkers demo's pictures: a stone slab and light and dark wood squares,
// drawn procedurally so that the demo's data is entirely our own.
// Usage: make_checkers_textures OUTPUT_DIRECTORY
#include <png.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
constexpr int c_Size = 256;

// Smooth value noise on a lattice of `cell` pixels, wrapping so the picture tiles.
class Noise
{
public:
    explicit Noise(std::uint32_t seed) : m_Values(c_Size * c_Size)
    {
        std::uint32_t state = seed;
        for (float& v : m_Values) {
            state = state * 1664525u + 1013904223u;
            v = static_cast<float>(state >> 8) / static_cast<float>(1u << 24);
        }
    }

    float at(float x, float y, int cell) const
    {
        const int n = c_Size / cell;
        const float gx = x / cell, gy = y / cell;
        const int x0 = static_cast<int>(std::floor(gx)), y0 = static_cast<int>(std::floor(gy));
        const float fx = smooth(gx - x0), fy = smooth(gy - y0);
        auto v = [&](int i, int j) { return m_Values[((j % n + n) % n) * c_Size + ((i % n + n) % n)]; };
        const float top = v(x0, y0) + (v(x0 + 1, y0) - v(x0, y0)) * fx;
        const float bottom = v(x0, y0 + 1) + (v(x0 + 1, y0 + 1) - v(x0, y0 + 1)) * fx;
        return top + (bottom - top) * fy;
    }

private:
    static float smooth(float t) { return t * t * (3.0f - 2.0f * t); }
    std::vector<float> m_Values;
};

struct Colour
{
    float r, g, b;
};

std::uint8_t byte(float v)
{
    return static_cast<std::uint8_t>(std::lround(std::fmin(1.0f, std::fmax(0.0f, v)) * 255.0f));
}

bool write(const std::string& path, const std::vector<std::uint8_t>& rgb)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = c_Size;
    image.height = c_Size;
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr)) {
        std::fprintf(stderr, "make_checkers_textures: cannot write \"%s\": %s\n", path.c_str(), image.message);
        return false;
    }
    return true;
}

// Grey stone: several octaves of noise with darker veins.
std::vector<std::uint8_t> stone()
{
    const Noise noise(7);
    std::vector<std::uint8_t> rgb(c_Size * c_Size * 3);
    for (int y = 0; y < c_Size; ++y)
        for (int x = 0; x < c_Size; ++x) {
            float v = 0.5f * noise.at(x, y, 64) + 0.3f * noise.at(x, y, 16) + 0.2f * noise.at(x, y, 4);
            const float vein = std::fabs(std::sin((x + 40.0f * noise.at(x, y, 32)) * 0.05f));
            v = 0.35f + 0.45f * v - 0.12f * (vein < 0.08f ? 1.0f - vein / 0.08f : 0.0f);
            const size_t i = (static_cast<size_t>(y) * c_Size + x) * 3;
            rgb[i] = byte(v * 1.02f);
            rgb[i + 1] = byte(v);
            rgb[i + 2] = byte(v * 0.95f);
        }
    return rgb;
}

// Wood: growth rings along x, bent by noise, between two tones.
std::vector<std::uint8_t> wood(Colour light, Colour dark, std::uint32_t seed)
{
    const Noise noise(seed);
    std::vector<std::uint8_t> rgb(c_Size * c_Size * 3);
    for (int y = 0; y < c_Size; ++y)
        for (int x = 0; x < c_Size; ++x) {
            const float bend = 12.0f * noise.at(x, y, 64) + 3.0f * noise.at(x, y, 16);
            const float ring = 0.5f + 0.5f * std::sin((y + bend) * 0.35f);
            const float t = 0.7f * ring + 0.3f * noise.at(x, y, 4);
            const size_t i = (static_cast<size_t>(y) * c_Size + x) * 3;
            rgb[i] = byte(dark.r + (light.r - dark.r) * t);
            rgb[i + 1] = byte(dark.g + (light.g - dark.g) * t);
            rgb[i + 2] = byte(dark.b + (light.b - dark.b) * t);
        }
    return rgb;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_checkers_textures OUTPUT_DIRECTORY\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    const bool ok = write(dir + "Rock.png", stone()) &&
                    write(dir + "square_light.png", wood({0.86f, 0.74f, 0.50f}, {0.66f, 0.52f, 0.30f}, 11)) &&
                    write(dir + "square_dark.png", wood({0.36f, 0.22f, 0.10f}, {0.20f, 0.11f, 0.04f}, 23));
    return ok ? 0 : 1;
}
