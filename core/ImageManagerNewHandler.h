#pragma once

namespace Core
{

class ImageManager;

// The function object behind the cache's new-handler: it runs the cache's memory policy and,
// when that cannot free enough, throws std::bad_alloc as a new-handler that cannot make
// memory available must (std::nothrow allocations then give null).
class ImageManagerNewHandler
{
public:
    // The one handler object, created on first use.
    static ImageManagerNewHandler& instance();

    ImageManagerNewHandler(const ImageManagerNewHandler&) = delete;
    ImageManagerNewHandler& operator=(const ImageManagerNewHandler&) = delete;

    // Runs ImageManager::relieveMemory(); throws std::bad_alloc when it freed too little.
    void operator()();

private:
    ImageManagerNewHandler();

    ImageManager* m_ImageManager;
};

// The function installed with std::set_new_handler: calls ImageManagerNewHandler::instance()().
void ImagesManagerNewHandler();

} // namespace Core
