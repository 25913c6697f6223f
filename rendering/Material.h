#pragma once

#include "math/Vec4.h"

namespace Rendering
{

// The colours of a model's material as its file gives them, for the pieces that draw
// their model in its own colours (Core::Object::setUseMaterialColors).
struct Material
{
    Vec4<double> m_Ambient = Vec4<double>(0.2, 0.2, 0.2, 1.0);
    Vec4<double> m_Diffuse = Vec4<double>(0.8, 0.8, 0.8, 1.0);
    Vec4<double> m_Specular = Vec4<double>(0.0, 0.0, 0.0, 1.0);
    // Specular exponent, 0 to 128.
    double m_Shininess = 0.0;

    // Sets the front and back material and the current colour (the diffuse colour). With
    // `textured`, the diffuse colour is white, so that the picture shows as it is.
    void apply(bool textured) const;
};

} // namespace Rendering
