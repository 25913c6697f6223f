#pragma once

namespace Rendering
{

// One OpenGL display list holding fixed geometry, compiled at its first use with a context
// current and replayed from then on. State that changes from frame to frame (colours,
// materials, picking names, transforms) stays outside the list, issued around the call.
//
// Every frame's selection pass must take its geometry from lists like this one. Mesa 22.3
// (st_feedback_draw_vbo, its selection and feedback path) takes a reference on each buffer
// object it reads vertices from and never drops it, so such a buffer is never freed.
// Immediate-mode vertices go to a 512 KiB buffer that is replaced whenever it fills: drawn
// in selection, every one of those buffers stays, about 48 KiB a frame for the demo. A
// list's vertices sit in a buffer that lives as long as the list anyway. So the pick pass
// draws no glBegin/glEnd geometry and no arrays from buffer objects, and lists are compiled
// once, not every frame (a list replaced after selection drew it keeps its old buffer).
class DisplayList
{
public:
    DisplayList() = default;
    // Deletes the list when the context it was compiled in is current; otherwise the list
    // goes with its context.
    ~DisplayList();
    DisplayList(const DisplayList&) = delete;
    DisplayList& operator=(const DisplayList&) = delete;

    // Replays the list. When it is not compiled for the current context, or was
    // invalidated, what `emit` issues is compiled first. While another list is being
    // compiled, `emit` is issued directly so that it lands in that list.
    template <typename Emit>
    void draw(Emit&& emit)
    {
        if (!isCompiled() && !compile(emit))
            return;
        call();
    }

    // Compiles what `emit` issues now, replacing what the list held (under the same name
    // when it has one in the current context). False when nothing could be compiled: no
    // context, or another list being compiled, in which case `emit` is issued directly so
    // that it lands in that list.
    template <typename Emit>
    bool compile(Emit&& emit)
    {
        if (!beginCompile()) {
            emit();
            return false;
        }
        emit();
        endCompile();
        return true;
    }

    // Marks the geometry as changed: the next draw compiles it again. Needs no context.
    void invalidate() { m_Stale = true; }
    // True when the list holds the current geometry in the current context.
    bool isCompiled() const;
    // The list's name in the context it was compiled in; 0 before the first compilation.
    unsigned int getName() const { return m_Name; }
    // True when the list has a name in the current context (compiled, perhaps stale).
    bool isNamed() const;

    // Which list reproduces a drawable's immediate-mode drawing can depend on how the
    // current context draws: in render mode (not selection or feedback) and with filled
    // polygons (glPolygonMode GL_FILL on both faces).
    static bool isRendering();
    static bool fillsPolygons();

private:
    bool beginCompile();
    void endCompile();
    void call() const;

    unsigned int m_Name = 0;
    // The GLXContext that owns m_Name.
    const void* m_Context = nullptr;
    bool m_Stale = false;
};

} // namespace Rendering
