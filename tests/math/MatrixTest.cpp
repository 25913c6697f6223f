#include <gtest/gtest.h>

#include "math/Matrix.h"

namespace
{
Matrix<double> sequence()
{
    return Matrix<double>(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
}

void expectMatrixEq(const Matrix<double>& a, const Matrix<double>& b)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_DOUBLE_EQ(a[i], b[i]) << "element " << i;
}
} // namespace

TEST(Matrix, ConstructionIdentityAndTranslation)
{
    const Matrix<double> zero;
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(zero[i], 0.0);

    const Matrix<double> t = Matrix<double>::translation(1.0, 2.0, 3.0);
    for (int i = 0; i < 16; ++i) {
        const double expected = (i == 0 || i == 5 || i == 10 || i == 15) ? 1.0 : 0.0;
        if (i < 12 || i == 15) {
            EXPECT_EQ(t[i], expected) << "element " << i;
        }
    }
    EXPECT_EQ(t[12], 1.0);
    EXPECT_EQ(t[13], 2.0);
    EXPECT_EQ(t[14], 3.0);
    expectMatrixEq(Matrix<double>::translation(Vec3<double>(1.0, 2.0, 3.0)), t);
}

TEST(Matrix, ProductFollowsTheRowMajorElementFormula)
{
    const Matrix<double> a = sequence();
    Matrix<double> b;
    for (int i = 0; i < 16; ++i)
        b[i] = 16 - i;
    const Matrix<double> r = a * b;
    // r[4i + j] = sum_k a[4i + k] * b[4k + j]
    EXPECT_DOUBLE_EQ(r[0], 1 * 16 + 2 * 12 + 3 * 8 + 4 * 4);
    EXPECT_DOUBLE_EQ(r[1], 1 * 15 + 2 * 11 + 3 * 7 + 4 * 3);
    EXPECT_DOUBLE_EQ(r[4], 5 * 16 + 6 * 12 + 7 * 8 + 8 * 4);
    EXPECT_DOUBLE_EQ(r[15], 13 * 13 + 14 * 9 + 15 * 5 + 16 * 1);

    expectMatrixEq(Matrix<double>::identity() * a, a);
    expectMatrixEq(a * Matrix<double>::identity(), a);
}

TEST(Matrix, TranslationsCompose)
{
    const Matrix<double> r = Matrix<double>::translation(1, 2, 3) * Matrix<double>::translation(10, 20, 30);
    EXPECT_DOUBLE_EQ(r[12], 11.0);
    EXPECT_DOUBLE_EQ(r[13], 22.0);
    EXPECT_DOUBLE_EQ(r[14], 33.0);
}

TEST(Matrix, VectorProductReadsRowsAndIgnoresTheFourthRow)
{
    // The translation sits in elements 12..14, which this product never reads.
    const Vec3<double> v = Matrix<double>::translation(1, 2, 3) * Vec3<double>(5, 6, 7);
    EXPECT_EQ(v, Vec3<double>(5, 6, 7));

    Matrix<double> rowTranslation = Matrix<double>::identity();
    rowTranslation[3] = 1;
    rowTranslation[7] = 2;
    rowTranslation[11] = 3;
    rowTranslation[15] = 100; // no division by w
    EXPECT_EQ(rowTranslation * Vec3<double>(5, 6, 7), Vec3<double>(6, 8, 10));

    const Vec3<double> s = sequence() * Vec3<double>(1, 1, 1);
    EXPECT_EQ(s, Vec3<double>(10, 26, 42));
}

TEST(Matrix, AssignmentCopiesAndSelfAssignmentKeeps)
{
    Matrix<double> m;
    const Matrix<double> returned = (m = sequence());
    expectMatrixEq(m, sequence());
    expectMatrixEq(returned, sequence());
    Matrix<double>& alias = m;
    m = alias;
    expectMatrixEq(m, sequence());
}
