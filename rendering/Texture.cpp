#include "rendering/Texture.h"

#include "core/ImageManager.h"
#include "reader/InputFile.h"
#include "rendering/Image.h"
#include "rendering/Shader.h"

namespace Rendering
{

namespace
{
constexpr const char* c_NormalSuffix = "_normal";
}

Texture::Texture(const std::string& fileName) : m_Image(nullptr), m_NormalImage(nullptr), m_FileName(fileName)
{
    Core::ImageManager& cache = Core::ImageManager::instance();
    cache.registerTexture(this);
    cache.addImage(m_FileName, m_Image);
    if (!m_Image)
        return;
    // Probing first keeps a texture without normal map free of load-failure messages; a
    // normal map that is no regular file (a FIFO would block the reader) is refused here.
    const std::string normalPath = normalMapPath(m_FileName);
    if (Reader::InputFile(normalPath).isOpen())
        cache.addImage(normalPath, m_NormalImage);
}

Texture::Texture(const std::string& name, const unsigned char* data, std::size_t size)
    : m_Image(nullptr), m_NormalImage(nullptr), m_FileName(name)
{
    Core::ImageManager& cache = Core::ImageManager::instance();
    cache.registerTexture(this);
    cache.addImage(m_FileName, data, size, m_Image);
}

Texture::~Texture()
{
    Core::ImageManager::unregisterTexture(this);
}

bool Texture::isLoaded() const
{
    return m_Image && m_Image->isLoaded();
}

bool Texture::isOpaque() const
{
    return !m_Image || m_Image->isOpaque();
}

void Texture::apply()
{
    if (!m_Image) {
        unApply();
        return;
    }
    if (Shader* shader = Image::drawingShader()) {
        unsigned int normals = 0;
        if (m_NormalImage) {
            if (m_NormalImage->getId() == 0 && m_NormalImage->isLoaded())
                m_NormalImage->initGL();
            normals = m_NormalImage->getId();
        }
        shader->setTexture2DParameter("NormalsID", normals, 1);
    }
    m_Image->apply();
}

void Texture::unApply()
{
    Image::unApply();
}

std::string Texture::normalMapPath(const std::string& fileName)
{
    const std::string::size_type dot = fileName.rfind('.');
    if (dot == std::string::npos)
        return fileName + c_NormalSuffix;
    return fileName.substr(0, dot) + c_NormalSuffix + fileName.substr(dot);
}

void Texture::forgetImage(const Image* image)
{
    if (m_Image == image)
        m_Image = nullptr;
    if (m_NormalImage == image)
        m_NormalImage = nullptr;
}

void Texture::forgetImages()
{
    m_Image = nullptr;
    m_NormalImage = nullptr;
}

} // namespace Rendering
