#include "core/ImageManager.h"

#include <GL/gl.h>

#include <cstdlib>
#include <iostream>

#include "core/ImageManagerNewHandler.h"
#include "rendering/Image.h"
#include "rendering/Texture.h"

namespace Core
{

namespace
{
constexpr const char* c_NotEnoughMemory = "Not enought memory, This application will be closed !";
constexpr const char* c_Recovered = "Recovered memory : ";
constexpr const char* c_RecoveredUnit = " Mo.";
constexpr std::uint64_t c_MiB = 1024 * 1024;
constexpr std::uint64_t c_MinimumRecovered = 10 * c_MiB;

// Set once the cache is gone, so textures destroyed later at exit do not reach it.
bool g_ImageManagerDestroyed = false;
} // namespace

ImageManager& ImageManager::instance()
{
    static ImageManager _instance;
    return _instance;
}

ImageManager::ImageManager()
    : m_TotalMemoryUsed(0), m_PreviousNewHandler(std::set_new_handler(Core::ImagesManagerNewHandler))
{
}

ImageManager::~ImageManager()
{
    // The handler would reach this cache after its destruction.
    if (std::get_new_handler() == Core::ImagesManagerNewHandler)
        std::set_new_handler(m_PreviousNewHandler);
    for (Rendering::Texture* texture : m_Textures)
        texture->forgetImages();
    for (auto& entry : m_Images)
        delete entry.second;
    m_Images.clear();
    g_ImageManagerDestroyed = true;
}

void ImageManager::addImage(const std::string& path, Rendering::Image*& image)
{
    auto cached = m_Images.find(path);
    if (cached != m_Images.end()) {
        image = cached->second;
        return;
    }
    image = new Rendering::Image(path);
    if (!image->isLoaded()) {
        delete image;
        image = nullptr;
        return;
    }
    m_Images.emplace(path, image);
    m_TotalMemoryUsed += image->getMemoryUsage();
}

void ImageManager::removeImage(Rendering::Image* image)
{
    for (auto it = m_Images.begin(); it != m_Images.end(); ++it) {
        if (it->second != image)
            continue;
        m_TotalMemoryUsed -= image->getMemoryUsage();
        for (Rendering::Texture* texture : m_Textures)
            texture->forgetImage(image);
        const GLuint id = image->getId();
        if (id != 0)
            glDeleteTextures(1, &id);
        delete image;
        m_Images.erase(it);
        return;
    }
}

void ImageManager::initGL()
{
    for (auto& entry : m_Images)
        entry.second->initGL();
}

void ImageManager::manageMemory()
{
    // The reductions allocate too: a failure among them must fail there (that picture stays
    // as it is) instead of coming back into this policy.
    const std::new_handler handler = std::set_new_handler(nullptr);
    const std::uint64_t before = m_TotalMemoryUsed;
    for (auto& entry : m_Images) {
        m_TotalMemoryUsed -= entry.second->getMemoryUsage();
        entry.second->reduceToLimit();
        m_TotalMemoryUsed += entry.second->getMemoryUsage();
    }
    const std::uint64_t freed = before - m_TotalMemoryUsed;
    if (freed < c_MinimumRecovered) {
        std::cout << c_NotEnoughMemory << std::endl;
        std::exit(-1);
    }
    std::cout << c_Recovered << freed / c_MiB << c_RecoveredUnit << std::endl;
    std::set_new_handler(handler);
}

void ImageManager::registerTexture(Rendering::Texture* texture)
{
    m_Textures.insert(texture);
}

void ImageManager::unregisterTexture(Rendering::Texture* texture)
{
    if (!g_ImageManagerDestroyed)
        instance().m_Textures.erase(texture);
}

} // namespace Core
