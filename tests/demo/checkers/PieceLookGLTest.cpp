// The demo's pieces, drawn as the demo draws them (the piece's colour, the engine's
// lighting), give the very pixels they gave before models could carry material colours
// and computed normals: the checksums below were taken from that earlier engine.
#include <cstdint>

#include "core/Object.h"
#include "support/GLTest.h"

namespace
{
using PieceLookGLTest = TestSupport::GLTest;

std::uint64_t checksum(const std::vector<std::uint8_t>& bytes)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (std::uint8_t b : bytes)
        hash = (hash ^ b) * 1099511628211ull;
    return hash;
}

TEST_F(PieceLookGLTest, TheDemosPiecesLookAsBefore)
{
    const std::string data = CHECKERS_DATA_DIR "3D/checkers/";
    const struct
    {
        const char* file;
        Vec4<double> color;
        std::uint64_t expected;
    } pieces[] = {{"pion_rouge.ASE", {0.6, 0.6, 0.5, 1.0}, 0xfb48f41ee72a9029ull},
                  {"pion_noir.ASE", {0.2, 0.2, 0.25, 1.0}, 0x3ebea44df7c578edull}};
    for (const auto& p : pieces) {
        Core::Object piece(Core::Object::ObjectAlignment(), data + p.file);
        piece.setColor(p.color);
        piece.setScale(0.02);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glScaled(8.0, 8.0, 8.0); // the piece, 0.8 across, fills a good part of the view
        glRotated(30.0, 1.0, 0.0, 0.0);
        piece.draw();
        glPopMatrix();
        const std::uint64_t sum = checksum(readPixels(312, 164, 400, 400));
        EXPECT_EQ(sum, p.expected) << p.file << ": 0x" << std::hex << sum;
    }
}
} // namespace
