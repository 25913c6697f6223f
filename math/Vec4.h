#pragma once

// Four-component value vector: RGBA colours, homogeneous light positions.
template <typename T>
class Vec4
{
public:
    Vec4() : m_V{T(), T(), T(), T()} {}
    Vec4(T x, T y, T z, T w) : m_V{x, y, z, w} {}
    Vec4(const Vec4& other) = default;

    Vec4& operator=(const Vec4& other)
    {
        for (int i = 0; i < 4; ++i)
            m_V[i] = other.m_V[i];
        return *this;
    }

    T x() const { return m_V[0]; }
    T y() const { return m_V[1]; }
    T z() const { return m_V[2]; }
    T w() const { return m_V[3]; }
    T& x() { return m_V[0]; }
    T& y() { return m_V[1]; }
    T& z() { return m_V[2]; }
    T& w() { return m_V[3]; }

    // Address of the first component, for OpenGL calls that take an array.
    T* ptr() { return m_V; }
    const T* ptr() const { return m_V; }

    bool operator==(const Vec4& o) const
    {
        return m_V[0] == o.m_V[0] && m_V[1] == o.m_V[1] && m_V[2] == o.m_V[2] && m_V[3] == o.m_V[3];
    }
    bool operator!=(const Vec4& o) const { return !(*this == o); }

private:
    T m_V[4];
};
