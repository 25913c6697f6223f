#include "core/ImageManager.h"

#include "core/MessageText.h"
#include "core/Messages.h"

#include <GL/gl.h>

#include <cstdlib>

#include "core/ImageManagerNewHandler.h"
#include "rendering/Image.h"
#include "rendering/Texture.h"

namespace Core
{

namespace
{
// Made before memory runs out: delivering it then allocates nothing.
const std::string c_NotEnoughMemory = "Not enought memory, This application will be closed !";
constexpr const char* c_Recovered = "Recovered memory : ";
constexpr const char* c_RecoveredUnit = " Mo.";
constexpr std::uint64_t c_MiB = 1024 * 1024;
constexpr std::uint64_t c_MinimumRecovered = 10 * c_MiB;

// Set once the cache is gone, so textures destroyed later at exit do not reach it.
bool g_ImageManagerDestroyed = false;
std::terminate_handler g_PreviousTerminateHandler = nullptr;

[[noreturn]] void endWithoutMemory()
{
    Core::Messages::send(Core::MessageLevel::Fatal, c_NotEnoughMemory);
    std::exit(-1);
}

// Memory exhaustion that nothing handled ends the process as the memory policy always has;
// any other reason to terminate is left to the handler installed before.
[[noreturn]] void terminateHandler()
{
    if (const std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::bad_alloc&) {
            endWithoutMemory();
        } catch (...) {
        }
    }
    if (g_PreviousTerminateHandler)
        g_PreviousTerminateHandler();
    std::abort();
}

// No new-handler while the pictures are halved: a reduction that cannot get memory fails
// there (its picture stays whole) instead of coming back into the policy.
class NewHandlerPause
{
public:
    NewHandlerPause() : m_Handler(std::set_new_handler(nullptr)) {}
    ~NewHandlerPause() { std::set_new_handler(m_Handler); }
    NewHandlerPause(const NewHandlerPause&) = delete;
    NewHandlerPause& operator=(const NewHandlerPause&) = delete;

private:
    std::new_handler m_Handler;
};
} // namespace

ImageManager& ImageManager::instance()
{
    static ImageManager _instance;
    return _instance;
}

ImageManager::ImageManager()
    : m_TotalMemoryUsed(0), m_PreviousNewHandler(std::set_new_handler(Core::ImagesManagerNewHandler)),
      m_PreviousTerminateHandler(std::set_terminate(terminateHandler))
{
    g_PreviousTerminateHandler = m_PreviousTerminateHandler;
}

ImageManager::~ImageManager()
{
    // The handler would reach this cache after its destruction.
    if (std::get_new_handler() == Core::ImagesManagerNewHandler)
        std::set_new_handler(m_PreviousNewHandler);
    if (std::get_terminate() == terminateHandler)
        std::set_terminate(m_PreviousTerminateHandler);
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

void ImageManager::addImage(const std::string& name, const unsigned char* data, std::size_t size,
                            Rendering::Image*& image)
{
    auto cached = m_Images.find(name);
    if (cached != m_Images.end()) {
        image = cached->second;
        return;
    }
    image = new Rendering::Image(name, data, size);
    if (!image->isLoaded()) {
        delete image;
        image = nullptr;
        return;
    }
    m_Images.emplace(name, image);
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
    if (!relieveMemory())
        endWithoutMemory();
}

bool ImageManager::relieveMemory()
{
    const NewHandlerPause pause;
    const std::uint64_t before = m_TotalMemoryUsed;
    for (auto& entry : m_Images) {
        m_TotalMemoryUsed -= entry.second->getMemoryUsage();
        entry.second->reduceToLimit();
        m_TotalMemoryUsed += entry.second->getMemoryUsage();
    }
    const std::uint64_t freed = before - m_TotalMemoryUsed;
    if (freed < c_MinimumRecovered)
        return false;
    Core::Messages::send(Core::MessageLevel::Info, Core::messageText(c_Recovered, freed / c_MiB, c_RecoveredUnit));
    return true;
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
