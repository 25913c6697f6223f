#pragma once

#include <string>

namespace Rendering
{

// One GLSL program built from a vertex and a fragment shader source file. It owns its
// three GL objects. Uniforms are reached by name; a name that the linked program does not
// have ends the process (status 1), because the engine cannot draw without it.
// Every GL entry point comes through GLEW: glewInit must have run before init().
class Shader
{
public:
    // No source files named yet.
    Shader();
    // Names both source files; nothing is read before init().
    Shader(const std::string& vertexFile, const std::string& fragmentFile);
    // Deletes the vertex shader, the fragment shader, then the program.
    ~Shader();

    Shader(const Shader&) = delete;
    Shader& operator=(const Shader&) = delete;

    // Replace a source file name; takes effect at the next init().
    void setVertexFile(const std::string& vertexFile) { m_VertexFile = vertexFile; }
    void setFragmentFile(const std::string& fragmentFile) { m_FragmentFile = fragmentFile; }
    const std::string& getVertexFile() const { return m_VertexFile; }
    const std::string& getFragmentFile() const { return m_FragmentFile; }

    // True when the driver offers GLSL program objects (the four ARB shader extensions).
    static bool shaderIsAvailable();
    // The whole file as a NUL-terminated text in a new[] array owned by the caller; null,
    // with a message on standard output, when the file cannot be read (a directory, FIFO or
    // device is refused without waiting on it, with a line saying what it is).
    static char* load(const std::string& path);

    // Reads, compiles and links both sources. On a missing file, a compile or a link
    // failure it reports on standard output or error and leaves no program (false).
    // A fragment source that names c_NoPictures is also built as the program without
    // pictures (see applyNoPictures).
    bool init();
    // True once init() has built a linked program.
    bool isLinked() const { return m_Program != 0; }
    // The GL names of the program and its two shaders; 0 when absent.
    unsigned int getProgram() const { return m_Program; }
    unsigned int getVertexShader() const { return m_VertexShader; }
    unsigned int getFragmentShader() const { return m_FragmentShader; }

    // Draws with this program from now on; without a program, with the fixed pipeline.
    void apply();
    // Back to the fixed pipeline. Does nothing when the driver has no program support.
    static void unApply();

    // The program without pictures: both sources compiled again with "#define " followed
    // by this name inserted after their #version line (at the top without one), when the
    // fragment source names it and the program has no uniforms but its two samplers
    // "TextureID" and "NormalsID". It draws what is drawn while units 0 and 1 hold
    // texture 0 (one white texel, see Render::initGL) and may skip sampling them, and so
    // their pictures' work.
    static constexpr const char* c_NoPictures = "TESSELLON_NO_PICTURES";
    bool hasNoPicturesProgram() const { return m_NoPicturesProgram != 0; }
    unsigned int getNoPicturesProgram() const { return m_NoPicturesProgram; }
    // While this shader's program is in use and units 0 and 1 hold texture 0: draws with
    // the program without pictures from now on, and true; otherwise nothing changes
    // (false). apply() goes back to the program.
    bool applyNoPictures();

    // Location of a uniform of the program. Ends the process (status 1) with a message on
    // standard error when there is no such uniform or no linked program.
    int getParameterHandle(const char* name);

    // Uniform setters: they reach the program in use (between apply() and unApply()).
    void setParameter1f(const char* name, float a);
    void setParameter2f(const char* name, float a, float b);
    void setParameter3f(const char* name, float a, float b, float c);
    void setParameter4f(const char* name, float a, float b, float c, float d);
    void setParameter1fv(const char* name, const float* v);
    void setParameter2fv(const char* name, const float* v);
    void setParameter3fv(const char* name, const float* v);
    void setParameter4fv(const char* name, const float* v);
    void setParameterArray1f(const char* name, unsigned int count, const float* v);
    void setParameterArray2f(const char* name, unsigned int count, const float* v);
    void setParameterArray3f(const char* name, unsigned int count, const float* v);
    void setParameterArray4f(const char* name, unsigned int count, const float* v);
    // 4 x 4 matrices given row by row (transposed on upload) or column by column.
    void setParameter4x4fr(const char* name, const float* m);
    void setParameter4x4fc(const char* name, const float* m);
    void setParameterArray4x4fr(const char* name, unsigned int count, const float* m);
    void setParameterArray4x4fc(const char* name, unsigned int count, const float* m);

    // Make `unit` the active texture unit, bind `texture` there and point the sampler
    // `name` at the unit. The unit stays active afterwards.
    void setTexture1DParameter(const char* name, unsigned int texture, unsigned int unit);
    void setTexture2DParameter(const char* name, unsigned int texture, unsigned int unit);
    void setTexture3DParameter(const char* name, unsigned int texture, unsigned int unit);
    void setTextureRectangleParameter(const char* name, unsigned int texture, unsigned int unit);

    // Uniform getters: read the value of the uniform (all its floats, for an array the
    // first element only) from this program. They never transpose a matrix.
    void getParameter1f(const char* name, float* out);
    void getParameter2f(const char* name, float* out);
    void getParameter3f(const char* name, float* out);
    void getParameter4f(const char* name, float* out);
    void getParameter4x4fr(const char* name, float* out);
    void getParameter4x4fc(const char* name, float* out);
    void getParameterArray1f(const char* name, unsigned int count, float* out);
    void getParameterArray2f(const char* name, unsigned int count, float* out);
    void getParameterArray3f(const char* name, unsigned int count, float* out);
    void getParameterArray4f(const char* name, unsigned int count, float* out);
    void getParameterArray4x4fr(const char* name, unsigned int count, float* out);
    void getParameterArray4x4fc(const char* name, unsigned int count, float* out);

private:
    // Compiles one stage; reports and deletes the object on failure (returns 0).
    static unsigned int compile(unsigned int type, const char* source, const std::string& file);
    void bindTexture(unsigned int target, const char* name, unsigned int texture, unsigned int unit);
    void getUniform(const char* name, float* out);
    void release();

    // Links the program without pictures from both texts, when the program allows it.
    void buildNoPictures(const char* vertexText, const char* fragmentText);

    unsigned int m_Program;
    unsigned int m_VertexShader;
    unsigned int m_FragmentShader;
    unsigned int m_NoPicturesProgram;
    std::string m_VertexFile;
    std::string m_FragmentFile;
};

} // namespace Rendering
