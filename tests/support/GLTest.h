#pragma once

#include <gtest/gtest.h>

#include <GL/glew.h>
#include <GL/gl.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "math/Matrix.h"
#include "math/Vec3.h"

// Fails the current test when OpenGL has recorded an error.
#define EXPECT_NO_GL_ERROR() EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR))

namespace TestSupport
{

// One integer of OpenGL's state.
inline GLint current(GLenum what)
{
    GLint value = -1;
    glGetIntegerv(what, &value);
    return value;
}

// Fixture of every test that needs OpenGL. It gets the shared window (failing when CI is
// set and there is no display, skipping otherwise) and puts the engine back into its
// start-up state: start-up view, no board, no overlay, no callbacks, no GLSL program,
// shown angle 0. A test that leaves an OpenGL error fails.
class GLTest : public ::testing::Test
{
public:
    // Runs the render's start-up again from the start-up view (it builds the GLSL program
    // named by setShaderFiles); returns what it wrote to standard output and error.
    static std::string startUp();

protected:
    void SetUp() override;
    void TearDown() override;

    static Matrix<double> readModelView();
    // OpenGL keeps matrices in single precision: a matrix read back equals the loaded one
    // rounded to float, element by element.
    static void expectLoaded(const Matrix<double>& readBack, const Matrix<double>& loaded);
    static Matrix<double> readProjection();
    // RGBA bytes of a w x h block whose lower left corner is window pixel (x, y),
    // GL's convention (y upward), read from the back buffer.
    static std::vector<std::uint8_t> readPixels(int x, int y, int w, int h);
    // Window position (y downward) where a point lands under the current matrices.
    static Vec3<double> project(const Vec3<double>& point);
    // Window position (y downward) where the frame draws a board point.
    static Vec3<double> onScreen(double gridX, double gridY, double height = 0.001);
    // Rests the pointer over a board point and draws one frame (the pick pass finds it).
    static void pointAt(double gridX, double gridY, double height = 0.001);
};

} // namespace TestSupport
