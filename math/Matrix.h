#pragma once

#include "math/Vec3.h"

// 4 x 4 matrix of 16 contiguous elements, handed unchanged to glLoadMatrixd (which reads
// element 4c + r as row r, column c). translation() fills it in OpenGL's column-major
// order; operator*(Vec3) reads it row by row. Each operation below says which.
template <typename T>
class Matrix
{
public:
    // The zero matrix (not the identity).
    Matrix() : m_E{} {}

    Matrix(T m0, T m1, T m2, T m3, T m4, T m5, T m6, T m7, T m8, T m9, T m10, T m11, T m12, T m13, T m14, T m15)
        : m_E{m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15}
    {
    }
    Matrix(const Matrix& other) = default;

    static Matrix identity()
    {
        Matrix m;
        m.m_E[0] = m.m_E[5] = m.m_E[10] = m.m_E[15] = T(1);
        return m;
    }

    // The identity with (x, y, z) in elements 12, 13, 14: OpenGL's translation.
    static Matrix translation(T x, T y, T z)
    {
        Matrix m = identity();
        m.m_E[12] = x;
        m.m_E[13] = y;
        m.m_E[14] = z;
        return m;
    }
    static Matrix translation(const Vec3<T>& t) { return translation(t.x(), t.y(), t.z()); }

    // Copies all 16 elements; returns a copy of the assigned matrix.
    Matrix operator=(const Matrix& other)
    {
        for (int i = 0; i < 16; ++i)
            m_E[i] = other.m_E[i];
        return *this;
    }

    // r[4i + j] = sum over k of this[4i + k] * b[4k + j]. Read row-major this is this * b;
    // read column-major by OpenGL the same numbers are b * this.
    Matrix operator*(const Matrix& b) const
    {
        Matrix r;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
                for (int k = 0; k < 4; ++k)
                    r.m_E[4 * i + j] += m_E[4 * i + k] * b.m_E[4 * k + j];
        return r;
    }

    // Treats the array as row-major and v as the point (x, y, z, 1); the fourth row takes
    // no part and there is no division by w.
    Vec3<T> operator*(const Vec3<T>& v) const
    {
        return Vec3<T>(m_E[0] * v.x() + m_E[1] * v.y() + m_E[2] * v.z() + m_E[3],
                       m_E[4] * v.x() + m_E[5] * v.y() + m_E[6] * v.z() + m_E[7],
                       m_E[8] * v.x() + m_E[9] * v.y() + m_E[10] * v.z() + m_E[11]);
    }

    T* getPtr() { return m_E; }
    const T* getPtr() const { return m_E; }

    T& operator[](int i) { return m_E[i]; }
    T operator[](int i) const { return m_E[i]; }

private:
    T m_E[16];
};
