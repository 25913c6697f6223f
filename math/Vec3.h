#pragma once

#include <cmath>

// Three-component value vector: positions, directions, scales, normals, colours.
template <typename T>
class Vec3
{
public:
    Vec3() : m_V{T(), T(), T()} {}
    Vec3(T x, T y, T z) : m_V{x, y, z} {}
    Vec3(const Vec3& other) = default;
    ~Vec3() {}

    Vec3& operator=(const Vec3& other)
    {
        m_V[0] = other.m_V[0];
        m_V[1] = other.m_V[1];
        m_V[2] = other.m_V[2];
        return *this;
    }

    T x() const { return m_V[0]; }
    T y() const { return m_V[1]; }
    T z() const { return m_V[2]; }
    T& x() { return m_V[0]; }
    T& y() { return m_V[1]; }
    T& z() { return m_V[2]; }

    // Address of the first component, for OpenGL calls that take an array.
    T* ptr() { return m_V; }
    const T* ptr() const { return m_V; }

    Vec3 operator+(const Vec3& o) const { return Vec3(m_V[0] + o.m_V[0], m_V[1] + o.m_V[1], m_V[2] + o.m_V[2]); }
    Vec3 operator-(const Vec3& o) const { return Vec3(m_V[0] - o.m_V[0], m_V[1] - o.m_V[1], m_V[2] - o.m_V[2]); }
    Vec3 operator-() const { return Vec3(-m_V[0], -m_V[1], -m_V[2]); }
    Vec3 operator*(double s) const { return Vec3(T(m_V[0] * s), T(m_V[1] * s), T(m_V[2] * s)); }

    T length2() const { return m_V[0] * m_V[0] + m_V[1] * m_V[1] + m_V[2] * m_V[2]; }
    T length() const { return std::sqrt(length2()); }

    // Scales to unit length in place. A zero vector is left unchanged rather than
    // filled with NaN.
    void normalize()
    {
        const T len = length();
        if (len == T(0))
            return;
        m_V[0] /= len;
        m_V[1] /= len;
        m_V[2] /= len;
    }

    // this * (1 - t) + to * t per component. The weight 1 - t is formed in single
    // precision and widened, exactly as the camera's scripted moves expect; t is not clamped.
    Vec3 linearInterpolation(const Vec3& to, float t) const
    {
        const double wFrom = static_cast<double>(1.0f - t);
        const double wTo = static_cast<double>(t);
        return Vec3(T(m_V[0] * wFrom + to.m_V[0] * wTo), T(m_V[1] * wFrom + to.m_V[1] * wTo),
                    T(m_V[2] * wFrom + to.m_V[2] * wTo));
    }

    bool operator==(const Vec3& o) const { return m_V[0] == o.m_V[0] && m_V[1] == o.m_V[1] && m_V[2] == o.m_V[2]; }
    bool operator!=(const Vec3& o) const { return !(*this == o); }

private:
    T m_V[3];
};
