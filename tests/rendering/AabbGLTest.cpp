#include "support/GLTest.h"

#include "rendering/Aabb.h"
#include "rendering/Geometry.h"
#include "rendering/Mesh.h"

namespace
{
using Rendering::Aabb;
using V3 = Vec3<double>;

TEST(AabbTest, MeasuresTheVerticesOfEveryGeometry)
{
    Rendering::Mesh mesh;
    EXPECT_EQ(Aabb(nullptr).getSize(), V3(0, 0, 0));
    const double far = 3.3999999521443642e38;
    Aabb box(&mesh);
    EXPECT_EQ(box.getMin(), V3(far, far, far));
    EXPECT_EQ(box.getSize(), V3(-2 * far, -2 * far, -2 * far));
    for (const V3& v : {V3(-1, 0, 2), V3(3, 5, -4)}) {
        mesh.addGeometry(new Rendering::Geometry);
        mesh.getGeometries().back()->getVertexArray().push_back(v);
    }
    box.compute();
    EXPECT_EQ(box.getMin(), V3(-1, 0, -4));
    EXPECT_EQ(box.getMax(), V3(3, 5, 2));
    EXPECT_EQ(box.getSize(), V3(4, 5, 6));
    box.setMesh(nullptr);
    EXPECT_EQ(box.getMax(), V3(0, 0, 0));
    EXPECT_EQ(box.getMin(), V3(0, 0, 0));
}

class AabbGLTest : public TestSupport::GLTest
{
};

TEST_F(AabbGLTest, DrawsTwelveEdgesInGreenAndLeavesWhite)
{
    Rendering::Mesh mesh;
    mesh.addGeometry(new Rendering::Geometry);
    mesh.getGeometries()[0]->getVertexArray() = {V3(-1, -2, -3), V3(1, 2, 3)};
    const Aabb box(&mesh);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_LIGHTING);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-10, 10, -10, 10, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    std::vector<GLfloat> buffer(4096);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR, buffer.data());
    glRenderMode(GL_FEEDBACK);
    box.draw();
    const GLint size = glRenderMode(GL_RENDER);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    // Four closed loops of four corners: 16 line segments of two vertices, all green.
    ASSERT_EQ(size, 16 * (1 + 2 * 7));
    for (GLint segment = 0; segment < 16; ++segment)
        for (int v = 0; v < 2; ++v) {
            const GLfloat* color = &buffer[segment * 15 + 1 + v * 7 + 3];
            EXPECT_EQ(color[0], 0.0f);
            EXPECT_EQ(color[1], 1.0f);
        }
    GLfloat current[4];
    glGetFloatv(GL_CURRENT_COLOR, current);
    EXPECT_EQ(current[0], 1.0f);
    EXPECT_EQ(current[2], 1.0f);
    glPopAttrib();
    EXPECT_NO_GL_ERROR();
}
} // namespace
