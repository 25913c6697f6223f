#include <gtest/gtest.h>

#include "math/Vec2.h"
#include "math/Vec3.h"
#include "math/Vec4.h"

TEST(Vec3, ArithmeticAndLength)
{
    const Vec3<double> a(1.0, 2.0, 3.0), b(4.0, -1.0, 0.5);
    EXPECT_EQ(a + b, Vec3<double>(5.0, 1.0, 3.5));
    EXPECT_EQ(a - b, Vec3<double>(-3.0, 3.0, 2.5));
    EXPECT_EQ(-a, Vec3<double>(-1.0, -2.0, -3.0));
    EXPECT_EQ(a * 2.0, Vec3<double>(2.0, 4.0, 6.0));

    Vec3<double> v(3.0, 4.0, 0.0);
    EXPECT_DOUBLE_EQ(v.length2(), 25.0);
    EXPECT_DOUBLE_EQ(v.length(), 5.0);
    v.normalize();
    EXPECT_DOUBLE_EQ(v.x(), 0.6);
    EXPECT_DOUBLE_EQ(v.y(), 0.8);
    EXPECT_DOUBLE_EQ(v.z(), 0.0);
}

TEST(Vec3, NormalizeLeavesZeroVectorFinite)
{
    Vec3<double> zero;
    zero.normalize();
    EXPECT_EQ(zero, Vec3<double>(0.0, 0.0, 0.0));
}

TEST(Vec3, LinearInterpolationInterpolatesAndExtrapolates)
{
    const Vec3<double> from(0.0, 0.0, 0.0), to(2.0, 4.0, 6.0);
    EXPECT_EQ(from.linearInterpolation(to, 0.5f), Vec3<double>(1.0, 2.0, 3.0));
    EXPECT_EQ(from.linearInterpolation(to, 2.0f), Vec3<double>(4.0, 8.0, 12.0));
    EXPECT_EQ(to.linearInterpolation(from, 0.0f), to);
}

TEST(Vec3, LinearInterpolationWeighsTheStartInSinglePrecision)
{
    // 1 - 0.1f is 0.9f = 0.89999997615814209, not 0.9.
    const Vec3<double> r = Vec3<double>(1.0, 0.0, 0.0).linearInterpolation(Vec3<double>(0.0, 0.0, 0.0), 0.1f);
    EXPECT_EQ(r.x(), static_cast<double>(1.0f - 0.1f));
    EXPECT_NE(r.x(), 0.9);
}

TEST(Vectors, SelfAssignmentAndPointerAccess)
{
    Vec3<double> v(1.0, 2.0, 3.0);
    Vec3<double>& alias = v;
    v = alias;
    EXPECT_EQ(v, Vec3<double>(1.0, 2.0, 3.0));

    Vec4<float> colour(0.1f, 0.2f, 0.3f, 0.4f);
    colour.w() = 1.0f;
    const float* p = colour.ptr();
    EXPECT_FLOAT_EQ(p[0], 0.1f);
    EXPECT_FLOAT_EQ(p[3], 1.0f);

    Vec2<unsigned int> grid(3, 4);
    grid.x() = 7;
    EXPECT_EQ(grid, Vec2<unsigned int>(7, 4));
    EXPECT_EQ(Vec3<float>(), Vec3<float>(0.0f, 0.0f, 0.0f));
}
