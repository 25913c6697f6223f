#pragma once

#include "math/Vec3.h"
#include "math/Vec4.h"

namespace Rendering
{

// Parameters of one fixed-function OpenGL light (GL_LIGHT0 + id), handed to OpenGL by
// apply(). Position and direction are taken in the coordinates of the model-view matrix
// in force when apply() runs.
class Light
{
public:
    // Colours, position and direction zero; attenuation and spot as OpenGL starts a light
    // (constant 1, linear 0, quadratic 0, exponent 0, cut-off 180); light number 0.
    Light();

    // Stores the light number, then init().
    void setId(unsigned int id);
    // Enables the OpenGL light and sets the alpha of the three colours to 1.
    void init();

    void setDiffuseColor(Vec4<float>& color) { m_DiffuseColor = color; }
    void setSpecularColor(Vec4<float>& color) { m_SpecularColor = color; }
    void setPosition(Vec4<float>& position) { m_Position = position; }
    void setDirection(Vec3<float>& direction) { m_Direction = direction; }
    void setSpotExponent(float exponent) { m_SpotExponent = exponent; }
    void setSpotCutOff(float degrees) { m_SpotCutOff = degrees; }

    // Passes position, colours, direction, attenuation, cut-off and exponent to OpenGL, in
    // that order. A cut-off outside [0, 90] other than 180, or an exponent outside
    // [0, 128], is not passed: OpenGL keeps the value it has.
    void apply();

private:
    unsigned int m_Id;
    Vec4<float> m_AmbientColor;
    Vec4<float> m_DiffuseColor;
    Vec4<float> m_SpecularColor;
    Vec4<float> m_Position;
    Vec3<float> m_Direction;
    float m_ConstantAttenuation;
    float m_LinearAttenuation;
    float m_QuadraticAttenuation;
    float m_SpotExponent;
    float m_SpotCutOff;
};

} // namespace Rendering
