#include "support/GLTest.h"

#include <memory>
#include <string>
#include <vector>

#include "reader/GLTFTestSupport.h"
#include "rendering/Mesh.h"
#include "support/PictureFiles.h"

namespace
{
using ModelGLTest = TestSupport::GLTest;

// Draws the mesh in its materials, unlit, with x from 0 to 4 and y from 0 to 2 filling
// the viewport; returns the RGB of the pixel at (x, y) in those units.
class Drawing
{
public:
    explicit Drawing(Rendering::Mesh& mesh)
    {
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glDisable(GL_LIGHTING);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        glEnable(GL_TEXTURE_2D);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glOrtho(0, 4, 0, 2, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        mesh.drawWithMaterials();
        glPopMatrix();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopAttrib();
    }
    std::vector<int> at(double x, double y) const
    {
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        const auto p = readPixels(static_cast<int>(x / 4 * viewport[2]), static_cast<int>(y / 2 * viewport[3]), 1, 1);
        return {p[0], p[1], p[2]};
    }

private:
    static std::vector<std::uint8_t> readPixels(int x, int y, int w, int h)
    {
        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(4 * w * h));
        glReadBuffer(GL_BACK);
        glReadPixels(x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }
};

// Within a few levels: linear filtering between texels leaves a little of the neighbour.
void expectColour(const std::vector<int>& actual, const std::vector<int>& expected)
{
    for (std::size_t c = 0; c < 3; ++c)
        EXPECT_NEAR(actual[c], expected[c], 4) << "component " << c;
}

TEST_F(ModelGLTest, GLTFModelsShowTheirBaseColourAndTheirPictureTheRightWayUp)
{
    TestSupport::TempDir dir;
    // A picture of one column: blue above yellow.
    TestSupport::PNGPicture picture;
    picture.height = 2;
    picture.rows = {0, 0, 255, 255, 255, 0};
    const std::string png = TestSupport::pngBytes(picture);
    TestSupport::GLTFModel model;
    // A red square at x 0..1, and a textured one at x 2..3 whose top takes the picture's top.
    const int red = model.floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, "VEC3");
    const int textured = model.floats({2, 0, 0, 3, 0, 0, 3, 1, 0, 2, 1, 0}, "VEC3");
    const int texCoords = model.floats({0, 1, 1, 1, 1, 0, 0, 0}, "VEC2");
    const int indices = model.indices({0, 1, 2, 0, 2, 3});
    const int image = model.view(std::vector<char>(png.begin(), png.end()));
    const std::string i = std::to_string(indices);
    TestSupport::writeFile(dir.path("squares.glb"),
                           model.glb("\"nodes\":[{\"mesh\":0}],\"meshes\":[{\"primitives\":["
                                     "{\"attributes\":{\"POSITION\":" +
                                     std::to_string(red) + "},\"indices\":" + i +
                                     ",\"material\":0},"
                                     "{\"attributes\":{\"POSITION\":" +
                                     std::to_string(textured) + ",\"TEXCOORD_0\":" + std::to_string(texCoords) +
                                     "},\"indices\":" + i +
                                     ",\"material\":1}]}],"
                                     "\"materials\":[{\"pbrMetallicRoughness\":{\"baseColorFactor\":[1,0,0,1]}},"
                                     "{\"pbrMetallicRoughness\":{\"baseColorTexture\":{\"index\":0}}}],"
                                     "\"textures\":[{\"source\":0}],\"images\":[{\"bufferView\":" +
                                     std::to_string(image) + ",\"mimeType\":\"image/png\"}]"));
    TestSupport::CapturedOutput captured;
    Rendering::Mesh mesh(dir.path("squares.glb"));
    EXPECT_EQ(captured.text(), "Image File : \"" + dir.path("squares.glb") + "#image0\" loaded.\nMesh File : \"" +
                                   dir.path("squares.glb") + "\" loaded.\n");
    const Drawing drawn(mesh);
    expectColour(drawn.at(0.5, 0.5), {255, 0, 0});
    expectColour(drawn.at(2.5, 0.75), {0, 0, 255});
    expectColour(drawn.at(2.5, 0.25), {255, 255, 0});
    expectColour(drawn.at(1.5, 0.5), {0, 0, 0});
    EXPECT_NO_GL_ERROR();
}

TEST_F(ModelGLTest, OBJModelsShowTheirMaterialColoursAndPictures)
{
    TestSupport::TempDir dir;
    TestSupport::PNGPicture picture;
    picture.height = 2;
    picture.rows = {0, 0, 255, 255, 255, 0};
    TestSupport::writeFile(dir.path("stripes.png"), TestSupport::pngBytes(picture));
    TestSupport::writeFile(dir.path("m.mtl"), "newmtl green\nKd 0 1 0\nnewmtl striped\nKd 1 1 1\nmap_Kd stripes.png\n");
    // OBJ counts v from the picture's bottom: the square's top takes the picture's top.
    TestSupport::writeFile(dir.path("m.obj"), "mtllib m.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
                                              "v 2 0 0\nv 3 0 0\nv 3 1 0\nv 2 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
                                              "usemtl green\nf 1 2 3 4\nusemtl striped\nf 5/1 6/2 7/3 8/4\n");
    TestSupport::CapturedOutput captured;
    Rendering::Mesh mesh(dir.path("m.obj"));
    const Drawing drawn(mesh);
    expectColour(drawn.at(0.5, 0.5), {0, 255, 0});
    expectColour(drawn.at(2.5, 0.75), {0, 0, 255});
    expectColour(drawn.at(2.5, 0.25), {255, 255, 0});
    EXPECT_NO_GL_ERROR();
}

} // namespace
