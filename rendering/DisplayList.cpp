#include "rendering/DisplayList.h"

#include <GL/gl.h>
#include <GL/glx.h>

namespace Rendering
{

DisplayList::~DisplayList()
{
    const void* current = glXGetCurrentContext();
    if (m_Name && current && current == m_Context)
        glDeleteLists(m_Name, 1);
}

bool DisplayList::isCompiled() const
{
    return isNamed() && !m_Stale;
}

bool DisplayList::isNamed() const
{
    return m_Name && m_Context == glXGetCurrentContext();
}

bool DisplayList::beginCompile()
{
    const void* current = glXGetCurrentContext();
    if (!current)
        return false;
    GLint compiling = 0;
    glGetIntegerv(GL_LIST_INDEX, &compiling);
    if (compiling)
        return false;
    // A name from another context means nothing here; that list goes with its context.
    if (m_Context != current)
        m_Name = 0;
    if (!m_Name) {
        m_Name = glGenLists(1);
        if (!m_Name)
            return false;
        m_Context = current;
    }
    // Compiling again under the same name replaces the old contents.
    glNewList(m_Name, GL_COMPILE);
    m_Stale = false;
    return true;
}

void DisplayList::endCompile()
{
    glEndList();
}

void DisplayList::call() const
{
    glCallList(m_Name);
}

bool DisplayList::isRendering()
{
    GLint mode = GL_RENDER;
    glGetIntegerv(GL_RENDER_MODE, &mode);
    return mode == GL_RENDER;
}

bool DisplayList::fillsPolygons()
{
    GLint modes[2] = {GL_FILL, GL_FILL};
    glGetIntegerv(GL_POLYGON_MODE, modes);
    return modes[0] == GL_FILL && modes[1] == GL_FILL;
}

} // namespace Rendering
