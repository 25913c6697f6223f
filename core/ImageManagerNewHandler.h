#pragma once

namespace Core
{

class ImageManager;

// The function object behind the cache's new-handler: it runs the cache's memory policy.
class ImageManagerNewHandler
{
public:
    // The one handler object, created on first use.
    static ImageManagerNewHandler& instance();

    ImageManagerNewHandler(const ImageManagerNewHandler&) = delete;
    ImageManagerNewHandler& operator=(const ImageManagerNewHandler&) = delete;

    // Runs ImageManager::manageMemory().
    void operator()();

private:
    ImageManagerNewHandler();

    ImageManager* m_ImageManager;
};

// The function installed with std::set_new_handler: calls ImageManagerNewHandler::instance()().
void ImagesManagerNewHandler();

} // namespace Core
