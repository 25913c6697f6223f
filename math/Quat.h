#pragma once

#include <cmath>

#include "math/Matrix.h"
#include "math/Vec3.h"

// Rotation quaternion stored x, y, z (vector part), w (scalar part).
template <typename T>
class Quat
{
public:
    Quat() : m_Q{T(0), T(0), T(0), T(1)} {}
    Quat(T x, T y, T z, T w) : m_Q{x, y, z, w} {}
    // Rotation by angle (radians) about axis; the axis is used as given (not normalised).
    Quat(double angle, const Vec3<double>& axis)
    {
        const double s = std::sin(angle / 2.0);
        m_Q[0] = T(axis.x() * s);
        m_Q[1] = T(axis.y() * s);
        m_Q[2] = T(axis.z() * s);
        m_Q[3] = T(std::cos(angle / 2.0));
    }
    Quat(const Quat& other) = default;
    Quat& operator=(const Quat& other) = default;

    T x() const { return m_Q[0]; }
    T y() const { return m_Q[1]; }
    T z() const { return m_Q[2]; }
    T w() const { return m_Q[3]; }

    void reset()
    {
        m_Q[0] = m_Q[1] = m_Q[2] = T(0);
        m_Q[3] = T(1);
    }

    T length2() const { return m_Q[0] * m_Q[0] + m_Q[1] * m_Q[1] + m_Q[2] * m_Q[2] + m_Q[3] * m_Q[3]; }
    T length() const { return std::sqrt(length2()); }

    // Scales to unit length in place. The zero quaternion is left unchanged.
    void normalize()
    {
        const T len = length();
        if (len == T(0))
            return;
        for (T& c : m_Q)
            c /= len;
    }

    Quat operator/(double s) const { return Quat(T(m_Q[0] / s), T(m_Q[1] / s), T(m_Q[2] / s), T(m_Q[3] / s)); }
    Quat operator*(double s) const { return Quat(T(m_Q[0] * s), T(m_Q[1] * s), T(m_Q[2] * s), T(m_Q[3] * s)); }
    Quat operator+(const Quat& o) const
    {
        return Quat(m_Q[0] + o.m_Q[0], m_Q[1] + o.m_Q[1], m_Q[2] + o.m_Q[2], m_Q[3] + o.m_Q[3]);
    }

    Quat conjuguate() const { return Quat(-m_Q[0], -m_Q[1], -m_Q[2], m_Q[3]); }

    // Conjugate of a normalised copy; this quaternion is not changed.
    Quat inverse() const
    {
        Quat n(*this);
        n.normalize();
        return n.conjuguate();
    }

    // Dot product of the vector parts only (three products; w takes no part).
    T dot(const Quat& q) const { return m_Q[0] * q.m_Q[0] + m_Q[1] * q.m_Q[1] + m_Q[2] * q.m_Q[2]; }

    // Hamilton product this * b, normalised, so composed orientations stay unit length.
    Quat operator*(const Quat& b) const
    {
        Quat r = hamilton(*this, b);
        r.normalize();
        return r;
    }

    // v turned by this rotation, keeping its length.
    Vec3<double> operator*(const Vec3<double>& v) const
    {
        Quat n(*this);
        n.normalize();
        const Quat p(T(v.x()), T(v.y()), T(v.z()), T(0));
        const Quat r = hamilton(hamilton(n, p), n.conjuguate());
        return Vec3<double>(r.m_Q[0], r.m_Q[1], r.m_Q[2]);
    }

    // Interpolation from this (t = 0) to `to` (t = 1). Uses the three-product dot, takes no
    // shorter arc and does not normalise the result; t is not clamped. When the vector
    // parts are parallel (sin theta = 0) the result is `to` at t >= 0.5 and this before.
    Quat slerp(const Quat& to, float t) const
    {
        const double d = dot(to);
        const double theta = std::asin(std::sqrt(1.0 - std::pow(d, 2.0)));
        const double sinTheta = std::sin(theta);
        if (!(sinTheta > 0.0))
            return t < 0.5f ? *this : to;
        const double wTo = std::sin(t * theta) / sinTheta;
        const double wFrom = std::sin(static_cast<double>(1.0f - t) * theta) / sinTheta;
        return to * wTo + *this * wFrom;
    }

    // Rotation matrix R (for column vectors) stored row by row. OpenGL, reading it
    // column-major, applies the inverse rotation: the view rotation of a camera whose
    // orientation this is.
    Matrix<double> getMatrix() const
    {
        Quat n(*this);
        n.normalize();
        const double x = n.m_Q[0], y = n.m_Q[1], z = n.m_Q[2], w = n.m_Q[3];
        const double xx = x * x, yy = y * y, zz = z * z;
        const double xy = x * y, xz = x * z, xw = x * w, yz = y * z, yw = y * w, zw = z * w;
        return Matrix<double>(1 - 2 * yy - 2 * zz, 2 * xy - 2 * zw, 2 * xz + 2 * yw, 0, //
                              2 * xy + 2 * zw, 1 - 2 * xx - 2 * zz, 2 * yz - 2 * xw, 0, //
                              2 * xz - 2 * yw, 2 * yz + 2 * xw, 1 - 2 * xx - 2 * yy, 0, //
                              0, 0, 0, 1);
    }

private:
    static Quat hamilton(const Quat& a, const Quat& b)
    {
        const T ax = a.m_Q[0], ay = a.m_Q[1], az = a.m_Q[2], aw = a.m_Q[3];
        const T bx = b.m_Q[0], by = b.m_Q[1], bz = b.m_Q[2], bw = b.m_Q[3];
        return Quat(aw * bx + ax * bw + ay * bz - az * by, //
                    aw * by + ay * bw + az * bx - ax * bz, //
                    aw * bz + az * bw + ax * by - ay * bx, //
                    aw * bw - (ax * bx + ay * by + az * bz));
    }

    T m_Q[4];
};
