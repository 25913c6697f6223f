#include <gtest/gtest.h>

#include "math/Vec3.h"

TEST(Vec3, ArithmeticLengthAndNormalize)
{
    const Vec3<double> a(1.0, 2.0, 3.0), b(4.0, -1.0, 0.5);
    EXPECT_EQ(a - b, Vec3<double>(-3.0, 3.0, 2.5));
    EXPECT_EQ(-a * 2.0 + b, Vec3<double>(2.0, -5.0, -5.5));
    Vec3<double> v(3.0, 4.0, 0.0);
    EXPECT_DOUBLE_EQ(v.length(), 5.0);
    v.normalize();
    EXPECT_EQ(v, Vec3<double>(0.6, 0.8, 0.0));
    Vec3<double> zero;
    zero.normalize(); // stays finite
    EXPECT_EQ(zero, Vec3<double>(0.0, 0.0, 0.0));
}

TEST(Vec3, LinearInterpolationWeighsTheStartInSinglePrecision)
{
    const Vec3<double> from(0.0, 0.0, 0.0), to(2.0, 4.0, 6.0);
    EXPECT_EQ(from.linearInterpolation(to, 0.5f), Vec3<double>(1.0, 2.0, 3.0));
    EXPECT_EQ(from.linearInterpolation(to, 2.0f), Vec3<double>(4.0, 8.0, 12.0));
    // 1 - 0.1f is 0.89999997615814209, not 0.9.
    const Vec3<double> r = Vec3<double>(1.0, 0.0, 0.0).linearInterpolation(from, 0.1f);
    EXPECT_EQ(r.x(), static_cast<double>(1.0f - 0.1f));
    EXPECT_NE(r.x(), 0.9);
}
