#pragma once

#include "math/Matrix.h"
#include "math/Quat.h"
#include "math/Vec3.h"

namespace Rendering
{

// The single viewpoint: an eye position and an orientation, in free flight (the eye moves
// along its own axes) or orbiting a centre (the world origin unless set) at a distance. Angles are radians, the
// field of view degrees. Moving or turning never touches OpenGL: call glPut() afterwards.
class Camera
{
public:
    Camera();

    void setIsFree(bool isFree) { m_IsFree = isFree; }
    bool isFree() const { return m_IsFree; }

    // Assigns the eye position; nothing is recomputed.
    void setPosition(const Vec3<double>& position) { m_Position = position; }
    const Vec3<double>& getPosition() const { return m_Position; }

    // Sets the orbit radius; in orbit mode the eye is put back on the sphere at once.
    void setDistanceToOrigin(double distance);
    double getDistanceToOrigin() const { return m_DistanceToOrigin; }

    Quat<double>& getOrientation() { return m_Orientation; }

    void setAspectRatio(double ratio) { m_AspectRatio = ratio; }
    // width / height of a window; a height of 0 (a minimised window) counts as 1.
    static double windowAspectRatio(unsigned int width, unsigned int height);
    double getAspectRatio() const { return m_AspectRatio; }
    void setPlanes(double nearPlane, double farPlane);
    void setFOV(double degrees) { m_FOV = degrees; }

    // Move the eye by d along the camera's own X, Y or Z axis, in either mode.
    void translateX(double d);
    void translateY(double d);
    void translateZ(double d);

    // Turn about an axis given in camera space (normalised here).
    void rotate(double angle, const Vec3<double>& axis);
    // Pitch about the camera's own X axis.
    void rotateX(double angle);
    // Yaw about the world Y axis.
    void rotateY(double angle);
    // Back to the identity orientation; the position is not recomputed.
    void resetRotation() { m_Orientation.reset(); }

    // Places the eye on the orbit sphere, looking at its centre.
    void computePosition();
    // The point the orbit turns around, in world coordinates: the origin unless set. The
    // eye is put back on the sphere at once in orbit mode.
    void setOrbitCentre(const Vec3<double>& centre);
    const Vec3<double>& getOrbitCentre() const { return m_OrbitCentre; }

    // View matrix from position and orientation. An eye below the ground plane y = 0 is
    // moved up to it first, and the clamped position is kept.
    void buildTransformationMatrix();
    // Perspective matrix from field of view, aspect ratio and clipping planes.
    void buildProjectionMatrix();
    const Matrix<double>& getTransformationMatrix() const { return m_TransformationMatrix; }
    const Matrix<double>& getProjectionMatrix() const { return m_ProjectionMatrix; }

    // Loads the view matrix into GL_MODELVIEW (left as the current matrix mode).
    void glPut();
    // Loads the perspective into GL_PROJECTION (left as the current matrix mode).
    void glUpdateProjectionMatrix();

    // One step of a scripted move: position interpolated linearly, orientation by slerp,
    // then glPut(). Call once per frame with t rising from 0 to 1.
    void linearGoTo(const Vec3<double>& fromPos, const Quat<double>& fromOrient, const Vec3<double>& toPos,
                    const Quat<double>& toOrient, float t);

private:
    bool m_IsFree;
    double m_AspectRatio;
    double m_Near;
    double m_Far;
    double m_FOV;
    double m_DistanceToOrigin;
    Vec3<double> m_Position;
    Quat<double> m_Orientation;
    Matrix<double> m_TransformationMatrix;
    Matrix<double> m_ProjectionMatrix;
    Vec3<double> m_OrbitCentre;
};

} // namespace Rendering
