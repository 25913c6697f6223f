#include <gtest/gtest.h>

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
    // Without vertices the search bounds (3.4e38 in single precision) stay.
    Aabb box(&mesh);
    EXPECT_EQ(box.getSize().y(), -6.7999999042887285e38);
    for (const V3& v : {V3(-1, 0, 2), V3(3, 5, -4)}) {
        mesh.addGeometry(new Rendering::Geometry);
        mesh.getGeometries().back()->getVertexArray().push_back(v);
    }
    box.compute();
    EXPECT_EQ(box.getMin(), V3(-1, 0, -4));
    EXPECT_EQ(box.getSize(), V3(4, 5, 6));
    box.setMesh(nullptr);
    EXPECT_EQ(box.getMin(), V3(0, 0, 0));
    EXPECT_EQ(box.getMax(), V3(0, 0, 0));
}
} // namespace
