#include <gtest/gtest.h>

#include <cmath>

#include "math/Quat.h"

namespace
{
constexpr double c_HalfPi = 1.5707963267948966;
const Vec3<double> c_X(1, 0, 0), c_Z(0, 0, 1);

void expectNear(const Vec3<double>& a, const Vec3<double>& b)
{
    EXPECT_NEAR((a - b).length(), 0.0, 1e-12) << a.x() << ", " << a.y() << ", " << a.z();
}
} // namespace

TEST(Quat, RotatesVectorsKeepingTheirLength)
{
    const Quat<double> quarter(c_HalfPi, c_Z);
    expectNear(quarter * Vec3<double>(2, 0, 0), Vec3<double>(0, 2, 0));
    expectNear(quarter * Vec3<double>(0, 0, 0), Vec3<double>(0, 0, 0));
    expectNear((quarter * 3.0) * c_X, Vec3<double>(0, 1, 0)); // normalised first
    // a * b applies b first.
    const Quat<double> aboutX(c_HalfPi, c_X);
    expectNear((aboutX * quarter) * c_X, Vec3<double>(0, 0, 1));
    expectNear((quarter * aboutX) * c_X, Vec3<double>(0, 1, 0));
}

TEST(Quat, ProductComposesAndStaysUnit)
{
    const Vec3<double> axis(0.0, 0.6, 0.8);
    const Quat<double> sum = Quat<double>(0.3, axis) * Quat<double>(0.5, axis), whole(0.8, axis);
    EXPECT_NEAR(sum.y(), whole.y(), 1e-12);
    EXPECT_NEAR(sum.w(), whole.w(), 1e-12);

    Quat<double> q;
    const Quat<double> step(0.0123, Vec3<double>(0.48, 0.6, 0.64)), yaw(-0.377, Vec3<double>(0, 1, 0));
    for (int i = 0; i < 20000; ++i)
        q = (i % 3 == 0) ? yaw * q : q * step;
    EXPECT_NEAR(q.length(), 1.0, 1e-12);
}

TEST(Quat, GetMatrixIsTheRotationStoredRowByRow)
{
    const Matrix<double> m = Quat<double>(c_HalfPi, c_Z).getMatrix();
    // Row 0 of +90 degrees about z is (0, -1, 0): element 1, not element 4.
    EXPECT_NEAR(m[1], -1.0, 1e-15);
    EXPECT_NEAR(m[4], 1.0, 1e-15);
    EXPECT_EQ(m[15], 1.0);
    const Quat<double> q(0.7, Vec3<double>(0.48, 0.6, 0.64));
    const Vec3<double> v(0.3, -2.0, 1.5);
    expectNear(q.getMatrix() * v, q * v);
}

TEST(Quat, SlerpEndpointsAndUnnormalisedMidpoint)
{
    const Quat<double> identity, q(c_HalfPi, c_Z);
    EXPECT_EQ(identity.slerp(q, 0.0f).w(), 1.0);
    EXPECT_NEAR(identity.slerp(q, 1.0f).z(), q.z(), 1e-15);
    // Identity to a half turn (d = 0, theta = pi/2): weights sin(pi/4), no normalisation.
    const Quat<double> mid = identity.slerp(Quat<double>(0, 0, 1, 0), 0.5f);
    EXPECT_NEAR(mid.z(), std::sin(M_PI / 4), 1e-12);
    EXPECT_NEAR(mid.w(), std::sin(M_PI / 4), 1e-12);
    // Parallel vector parts (sin theta = 0) still give a finite result.
    const Quat<double> half(0, 0, 1, 0);
    EXPECT_TRUE(std::isfinite(half.slerp(half, 0.25f).w()));
}
