#include "core/ImageManagerNewHandler.h"

#include <new>

#include "core/ImageManager.h"

namespace Core
{

ImageManagerNewHandler& ImageManagerNewHandler::instance()
{
    static ImageManagerNewHandler _instance;
    return _instance;
}

ImageManagerNewHandler::ImageManagerNewHandler() : m_ImageManager(&ImageManager::instance()) {}

void ImageManagerNewHandler::operator()()
{
    if (!m_ImageManager->relieveMemory())
        throw std::bad_alloc();
}

void ImagesManagerNewHandler()
{
    ImageManagerNewHandler::instance()();
}

} // namespace Core
