#pragma once

#include <string>

#include "math/Vec3.h"
#include "rendering/HUD.h"

namespace Rendering
{

// Bitmap text (8 x 13 font) in the top left corner of the window. Each line of the text
// starts 13 pixels below the previous one.
class HUDText final : public HUD
{
public:
    // Empty white text.
    HUDText();

    // Shown from the next frame; one byte per character, '\n' starts a new line.
    void setText(const std::string& text) { m_Text = text; }
    const std::string& getText() const { return m_Text; }
    // RGB in 0..1.
    void setColor(const Vec3<double>& color) { m_Color = color; }

    // Draws the text; leaves lighting, depth test and 2D texturing enabled.
    void draw() override;

private:
    std::string m_Text;
    Vec3<double> m_Color;
    int m_OffsetX;
    int m_OffsetY;
};

} // namespace Rendering
