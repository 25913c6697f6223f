#version 120
// Phong lighting per pixel from fixed-function light 0 and the current material, with
// the diffuse picture on unit 0 and an optional tangent-space normal map on unit 1.
//
// It follows the fixed pipeline (global ambient, light ambient, diffuse and specular,
// attenuation, spot cone; the lit colour modulates the picture and its alpha is the
// material's diffuse alpha times the picture's), with two deliberate differences that
// brighten a dim scene without leaving the light and material state:
// - the diffuse response uses the stronger of the light's diffuse and specular colours,
//   so that a light set up with a bright specular lights surfaces as brightly;
// - a material without specular colour or shininess gets a faint sheen, so that pieces
//   and boards show where the light falls.
// The specular term is added after the picture, as with a separate specular colour.

uniform sampler2D TextureID;
uniform sampler2D NormalsID;

varying vec3 v_Position;
varying vec3 v_Normal;

const vec3 c_Sheen = vec3(0.15);
const float c_SheenShininess = 24.0;

// Tangent (s direction) and bitangent (t direction) of the surface at this pixel, from
// the screen-space change of position and texture coordinates: no tangent attribute is
// needed. Zero vectors where the coordinates do not vary (no texture coordinates given).
void tangentFrame(vec3 n, vec3 p, vec2 uv, out vec3 t, out vec3 b)
{
    vec3 dp1 = dFdx(p);
    vec3 dp2 = dFdy(p);
    vec2 duv1 = dFdx(uv);
    vec2 duv2 = dFdy(uv);
    vec3 dp2perp = cross(dp2, n);
    vec3 dp1perp = cross(n, dp1);
    t = dp2perp * duv1.x + dp1perp * duv2.x;
    b = dp2perp * duv1.y + dp1perp * duv2.y;
}

void main()
{
    vec3 n = normalize(v_Normal);
#ifdef TESSELLON_NO_PICTURES
    // The engine's build for drawing without pictures: both units hold one white texel,
    // which leaves the colour as it is and is no normal map.
    vec4 texel = vec4(1.0);
#else
    vec2 uv = gl_TexCoord[0].st;
    vec3 t;
    vec3 b;
    tangentFrame(n, v_Position, uv, t, b);

    vec4 texel = texture2D(TextureID, uv);
    vec3 bump = texture2D(NormalsID, uv).rgb;
    // Where no normal map is bound the unit samples all white (or all black for a texture
    // without image); neither is a tangent-space normal.
    bool hasMap = any(lessThan(bump, vec3(0.99))) && any(greaterThan(bump, vec3(0.01)));
    float frameSize = max(dot(t, t), dot(b, b));
    if (hasMap && frameSize > 1e-20) {
        vec3 m = bump * 2.0 - 1.0;
        n = normalize((t * m.x + b * m.y) * inversesqrt(frameSize) + n * m.z);
    }
#endif

    gl_LightSourceParameters light = gl_LightSource[0];
    vec3 toLight;
    float attenuation = 1.0;
    if (light.position.w == 0.0) {
        toLight = normalize(light.position.xyz);
    } else {
        toLight = light.position.xyz - v_Position;
        float d = length(toLight);
        toLight /= d;
        attenuation = 1.0 / (light.constantAttenuation + light.linearAttenuation * d +
                             light.quadraticAttenuation * d * d);
        if (light.spotCutoff <= 90.0) {
            float spot = dot(-toLight, normalize(light.spotDirection));
            attenuation *= spot < light.spotCosCutoff ? 0.0 : pow(spot, light.spotExponent);
        }
    }

    float lambert = max(dot(n, toLight), 0.0);
    vec3 lightDiffuse = max(light.diffuse.rgb, light.specular.rgb);
    vec3 lit = gl_LightModel.ambient.rgb * gl_FrontMaterial.ambient.rgb + gl_FrontMaterial.emission.rgb +
               attenuation * (light.ambient.rgb * gl_FrontMaterial.ambient.rgb +
                              lightDiffuse * gl_FrontMaterial.diffuse.rgb * lambert);

    vec3 specular = vec3(0.0);
    if (lambert > 0.0) {
        bool plain = dot(gl_FrontMaterial.specular.rgb, vec3(1.0)) <= 0.0;
        vec3 materialSpecular = plain ? c_Sheen : gl_FrontMaterial.specular.rgb;
        float shininess = gl_FrontMaterial.shininess > 0.0 ? gl_FrontMaterial.shininess : c_SheenShininess;
        vec3 halfway = normalize(toLight + normalize(-v_Position));
        specular = attenuation * light.specular.rgb * materialSpecular *
                   pow(max(dot(n, halfway), 0.0), shininess);
    }

    vec3 colour = min(lit, vec3(1.0)) * texel.rgb + specular;
    gl_FragColor = vec4(min(colour, vec3(1.0)), gl_FrontMaterial.diffuse.a * texel.a);
}
