#include "core/ImageManagerNewHandler.h"

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
    m_ImageManager->manageMemory();
}

void ImagesManagerNewHandler()
{
    ImageManagerNewHandler::instance()();
}

} // namespace Core
