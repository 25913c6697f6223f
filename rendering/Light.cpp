#include "rendering/Light.h"

#include <GL/gl.h>

namespace Rendering
{

Light::Light()
    : m_Id(0), m_ConstantAttenuation(1.0f), m_LinearAttenuation(0.0f), m_QuadraticAttenuation(0.0f),
      m_SpotExponent(0.0f), m_SpotCutOff(180.0f)
{
}

void Light::setId(unsigned int id)
{
    m_Id = id;
    init();
}

void Light::init()
{
    glEnable(GL_LIGHT0 + m_Id);
    m_AmbientColor.w() = 1.0f;
    m_DiffuseColor.w() = 1.0f;
    m_SpecularColor.w() = 1.0f;
}

void Light::apply()
{
    const GLenum light = GL_LIGHT0 + m_Id;
    glLightfv(light, GL_POSITION, m_Position.ptr());
    glLightfv(light, GL_AMBIENT, m_AmbientColor.ptr());
    glLightfv(light, GL_DIFFUSE, m_DiffuseColor.ptr());
    glLightfv(light, GL_SPECULAR, m_SpecularColor.ptr());
    glLightfv(light, GL_SPOT_DIRECTION, m_Direction.ptr());
    glLightf(light, GL_CONSTANT_ATTENUATION, m_ConstantAttenuation);
    glLightf(light, GL_LINEAR_ATTENUATION, m_LinearAttenuation);
    glLightf(light, GL_QUADRATIC_ATTENUATION, m_QuadraticAttenuation);
    // OpenGL rejects these outside its ranges with an error and keeps the value it has;
    // skipping them keeps that value without raising the error.
    if ((m_SpotCutOff >= 0.0f && m_SpotCutOff <= 90.0f) || m_SpotCutOff == 180.0f)
        glLightf(light, GL_SPOT_CUTOFF, m_SpotCutOff);
    if (m_SpotExponent >= 0.0f && m_SpotExponent <= 128.0f)
        glLightf(light, GL_SPOT_EXPONENT, m_SpotExponent);
}

} // namespace Rendering
