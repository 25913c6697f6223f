#version 120
// Per-pixel lighting of the checkers scene: this stage only hands the eye-space position
// and normal and the texture coordinates on to the fragment stage.

varying vec3 v_Position;
varying vec3 v_Normal;

void main()
{
    v_Position = vec3(gl_ModelViewMatrix * gl_Vertex);
    // Pieces are drawn scaled down: only the direction of the normal matters.
    v_Normal = gl_NormalMatrix * gl_Normal;
    gl_TexCoord[0] = gl_TextureMatrix[0] * gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
    gl_Position = ftransform();
}
