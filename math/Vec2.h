#pragma once

// Two-component value vector (grid coordinates, window sizes, texture coordinates).
template <typename T>
class Vec2
{
public:
    Vec2() : m_V{T(), T()} {}
    Vec2(T x, T y) : m_V{x, y} {}

    Vec2& operator=(const Vec2& other)
    {
        m_V[0] = other.m_V[0];
        m_V[1] = other.m_V[1];
        return *this;
    }
    Vec2(const Vec2& other) = default;

    T x() const { return m_V[0]; }
    T y() const { return m_V[1]; }
    T& x() { return m_V[0]; }
    T& y() { return m_V[1]; }

    // Address of the first component, for OpenGL calls that take an array.
    T* ptr() { return m_V; }
    const T* ptr() const { return m_V; }

    bool operator==(const Vec2& o) const { return m_V[0] == o.m_V[0] && m_V[1] == o.m_V[1]; }
    bool operator!=(const Vec2& o) const { return !(*this == o); }

private:
    T m_V[2];
};
