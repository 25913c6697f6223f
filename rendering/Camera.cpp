#include "rendering/Camera.h"

#include <GL/gl.h>

#include <cmath>

namespace Rendering
{

namespace
{
// The engine's value of pi, used for degrees-to-radians in the projection.
constexpr double c_Pi = 3.14159;
} // namespace

Camera::Camera()
    : m_IsFree(true), m_AspectRatio(0.0), m_Near(0.0), m_Far(0.0), m_FOV(0.0), m_DistanceToOrigin(0.0),
      m_Position(0.0, 0.0, 0.0), m_Orientation(), m_TransformationMatrix(Matrix<double>::identity()),
      m_ProjectionMatrix(Matrix<double>::identity()), m_OrbitCentre(0.0, 0.0, 0.0)
{
}

void Camera::setDistanceToOrigin(double distance)
{
    m_DistanceToOrigin = distance;
    if (!m_IsFree)
        computePosition();
}

double Camera::windowAspectRatio(unsigned int width, unsigned int height)
{
    return static_cast<double>(width) / static_cast<double>(height == 0 ? 1 : height);
}

void Camera::setPlanes(double nearPlane, double farPlane)
{
    m_Near = nearPlane;
    m_Far = farPlane;
}

void Camera::translateX(double d)
{
    m_Position = m_Position + m_Orientation * Vec3<double>(d, 0.0, 0.0);
}

void Camera::translateY(double d)
{
    m_Position = m_Position + m_Orientation * Vec3<double>(0.0, d, 0.0);
}

void Camera::translateZ(double d)
{
    m_Position = m_Position + m_Orientation * Vec3<double>(0.0, 0.0, d);
}

void Camera::rotate(double angle, const Vec3<double>& axis)
{
    Vec3<double> unitAxis(axis);
    unitAxis.normalize();
    m_Orientation = m_Orientation * Quat<double>(angle, unitAxis);
    if (!m_IsFree)
        computePosition();
}

void Camera::rotateX(double angle)
{
    rotate(angle, Vec3<double>(1.0, 0.0, 0.0));
}

void Camera::rotateY(double angle)
{
    m_Orientation = Quat<double>(angle, Vec3<double>(0.0, 1.0, 0.0)) * m_Orientation;
    if (!m_IsFree)
        computePosition();
}

void Camera::computePosition()
{
    m_Position = m_OrbitCentre + (m_Orientation * Vec3<double>(0.0, 0.0, 1.0)) * m_DistanceToOrigin;
}

void Camera::setOrbitCentre(const Vec3<double>& centre)
{
    m_OrbitCentre = centre;
    if (!m_IsFree)
        computePosition();
}

void Camera::buildTransformationMatrix()
{
    if (m_Position.y() < 0.0)
        m_Position.y() = 0.0;
    const Matrix<double> rotation = m_Orientation.getMatrix();
    const Matrix<double> translation = Matrix<double>::translation(-m_Position);
    m_TransformationMatrix = translation * rotation;
}

void Camera::buildProjectionMatrix()
{
    const double a = c_Pi * m_FOV / 180.0;
    const double f = std::cos(a / 2.0) / std::sin(a / 2.0);
    Matrix<double> p;
    p[0] = f / m_AspectRatio;
    p[5] = f;
    p[10] = (m_Near + m_Far) / (m_Near - m_Far);
    p[11] = -1.0;
    p[14] = 2.0 * m_Far * m_Near / (m_Near - m_Far);
    m_ProjectionMatrix = p;
}

void Camera::glPut()
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    buildTransformationMatrix();
    glLoadMatrixd(m_TransformationMatrix.getPtr());
}

void Camera::glUpdateProjectionMatrix()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    buildProjectionMatrix();
    glLoadMatrixd(m_ProjectionMatrix.getPtr());
}

void Camera::linearGoTo(const Vec3<double>& fromPos, const Quat<double>& fromOrient, const Vec3<double>& toPos,
                        const Quat<double>& toOrient, float t)
{
    m_Position = fromPos.linearInterpolation(toPos, t);
    m_Orientation = fromOrient.slerp(toOrient, t);
    glPut();
}

} // namespace Rendering
