#include <gtest/gtest.h>

#include <cmath>

#include "math/Quat.h"

namespace
{
constexpr double c_HalfPi = 1.5707963267948966;
const Vec3<double> c_Z(0.0, 0.0, 1.0);

void expectVecNear(const Vec3<double>& a, const Vec3<double>& b, double eps = 1e-12)
{
    EXPECT_NEAR(a.x(), b.x(), eps);
    EXPECT_NEAR(a.y(), b.y(), eps);
    EXPECT_NEAR(a.z(), b.z(), eps);
}

void expectQuatNear(const Quat<double>& a, const Quat<double>& b, double eps = 1e-12)
{
    EXPECT_NEAR(a.x(), b.x(), eps);
    EXPECT_NEAR(a.y(), b.y(), eps);
    EXPECT_NEAR(a.z(), b.z(), eps);
    EXPECT_NEAR(a.w(), b.w(), eps);
}
} // namespace

TEST(Quat, IdentityAndReset)
{
    Quat<double> q(0.1, 0.2, 0.3, 0.4);
    q.reset();
    expectQuatNear(q, Quat<double>());
    EXPECT_EQ(Quat<double>().w(), 1.0);
    const Matrix<double> m = q.getMatrix();
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(m[i], (i % 5 == 0) ? 1.0 : 0.0);
}

TEST(Quat, RotatesVectorsKeepingTheirLength)
{
    const Quat<double> quarter(c_HalfPi, c_Z);
    expectVecNear(quarter * Vec3<double>(1, 0, 0), Vec3<double>(0, 1, 0));
    expectVecNear(quarter * Vec3<double>(2, 0, 0), Vec3<double>(0, 2, 0));
    expectVecNear(quarter * Vec3<double>(0, 0, 0), Vec3<double>(0, 0, 0));
    // A non-unit quaternion rotates the same way: it is normalised first.
    expectVecNear((quarter * 3.0) * Vec3<double>(1, 0, 0), Vec3<double>(0, 1, 0));
}

TEST(Quat, ProductComposesRotationsAboutOneAxis)
{
    const Vec3<double> axis(0.0, 0.6, 0.8);
    expectQuatNear(Quat<double>(0.3, axis) * Quat<double>(0.5, axis), Quat<double>(0.8, axis));
}

TEST(Quat, ProductOrderMatters)
{
    // Turning x about z then about x (a * b applies b first) differs from the reverse.
    const Quat<double> aboutZ(c_HalfPi, c_Z), aboutX(c_HalfPi, Vec3<double>(1, 0, 0));
    expectVecNear((aboutX * aboutZ) * Vec3<double>(1, 0, 0), Vec3<double>(0, 0, 1));
    expectVecNear((aboutZ * aboutX) * Vec3<double>(1, 0, 0), Vec3<double>(0, 1, 0));
}

TEST(Quat, ProductStaysUnitOverThousandsOfCompositions)
{
    Quat<double> q;
    const Quat<double> step(0.0123, Vec3<double>(0.48, 0.6, 0.64));
    const Quat<double> other(-0.377, Vec3<double>(0.0, 1.0, 0.0));
    for (int i = 0; i < 20000; ++i)
        q = (i % 3 == 0) ? other * q : q * step;
    EXPECT_NEAR(q.length(), 1.0, 1e-12);
}

TEST(Quat, InverseConjugateAndDot)
{
    const Quat<double> q(1.0, 2.0, 2.0, 4.0); // length 5
    const Quat<double> inv = q.inverse();
    EXPECT_NEAR(inv.length(), 1.0, 1e-15);
    expectQuatNear(inv, Quat<double>(-0.2, -0.4, -0.4, 0.8));
    EXPECT_DOUBLE_EQ(q.conjuguate().length(), 5.0);
    EXPECT_EQ(q.x(), 1.0); // unchanged

    // Three products only: w takes no part.
    EXPECT_EQ(Quat<double>().dot(Quat<double>()), 0.0);
    EXPECT_EQ(q.dot(Quat<double>(1.0, 1.0, 1.0, 100.0)), 5.0);
}

TEST(Quat, GetMatrixIsTheRotationStoredRowByRow)
{
    const Quat<double> quarter(c_HalfPi, c_Z);
    const Matrix<double> m = quarter.getMatrix();
    // Row-major R of +90 degrees about z: row 0 = (0, -1, 0), row 1 = (1, 0, 0).
    EXPECT_NEAR(m[0], 0.0, 1e-15);
    EXPECT_NEAR(m[1], -1.0, 1e-15);
    EXPECT_NEAR(m[4], 1.0, 1e-15);
    EXPECT_NEAR(m[5], 0.0, 1e-15);
    EXPECT_EQ(m[15], 1.0);
    EXPECT_EQ(m[12], 0.0);
    // Read row by row (as operator*(Vec3) does) it turns vectors like the quaternion.
    const Quat<double> q(0.7, Vec3<double>(0.48, 0.6, 0.64));
    const Vec3<double> v(0.3, -2.0, 1.5);
    expectVecNear(q.getMatrix() * v, q * v);
}

TEST(Quat, SlerpEndpointsAndSinglePrecisionWeight)
{
    const Quat<double> identity;
    const Quat<double> q(c_HalfPi, c_Z);
    expectQuatNear(identity.slerp(q, 0.0f), identity);
    expectQuatNear(identity.slerp(q, 1.0f), q);

    // Not normalised: between identity and a half turn about z (d = 0, theta = pi/2) the
    // halfway point is the plain weighted sum with weights sin(pi/4).
    const Quat<double> half(0.0, 0.0, 1.0, 0.0);
    const Quat<double> mid = identity.slerp(half, 0.5f);
    EXPECT_NEAR(mid.z(), std::sin(M_PI / 4), 1e-12);
    EXPECT_NEAR(mid.w(), std::sin(M_PI / 4), 1e-12);
}

TEST(Quat, SlerpBetweenParallelVectorPartsStaysFinite)
{
    const Quat<double> a(0.0, 0.0, 1.0, 0.0);
    const Quat<double> r0 = a.slerp(a, 0.25f), r1 = a.slerp(a, 0.75f);
    EXPECT_TRUE(std::isfinite(r0.z()) && std::isfinite(r0.w()));
    EXPECT_TRUE(std::isfinite(r1.z()) && std::isfinite(r1.w()));
}
