#include <gtest/gtest.h>

#include "math/Matrix.h"

TEST(Matrix, ProductFollowsTheRowMajorElementFormula)
{
    Matrix<double> a, b;
    for (int i = 0; i < 16; ++i) {
        a[i] = i + 1;
        b[i] = 16 - i;
    }
    const Matrix<double> r = a * b;
    // r[4i + j] = sum over k of a[4i + k] * b[4k + j]
    EXPECT_EQ(r[1], 1 * 15 + 2 * 11 + 3 * 7 + 4 * 3);
    EXPECT_EQ(r[4], 5 * 16 + 6 * 12 + 7 * 8 + 8 * 4);
    const Matrix<double> i = Matrix<double>::identity() * a * Matrix<double>::identity();
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(i[k], a[k]);
    const Matrix<double> t = Matrix<double>::translation(1, 2, 3) * Matrix<double>::translation(10, 20, 30);
    EXPECT_EQ(t[12], 11.0);
    EXPECT_EQ(t[14], 33.0);
}

TEST(Matrix, VectorProductReadsRowsAndIgnoresTheFourthRow)
{
    // The translation sits in elements 12..14, which this product never reads.
    EXPECT_EQ(Matrix<double>::translation(1, 2, 3) * Vec3<double>(5, 6, 7), Vec3<double>(5, 6, 7));
    Matrix<double> m = Matrix<double>::identity();
    m[3] = 1;
    m[7] = 2;
    m[11] = 3;
    m[15] = 100; // no division by w
    EXPECT_EQ(m * Vec3<double>(5, 6, 7), Vec3<double>(6, 8, 10));
}
