#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <map>
#include <new>
#include <set>
#include <string>

namespace Rendering
{
class Image;
class Texture;
} // namespace Rendering

namespace Core
{

// The process-wide cache of decoded pictures, keyed by file path: a picture used by many
// textures is decoded once and shared (no reference count). It owns the pictures, counts
// their pixel bytes, and answers memory exhaustion: its new-handler halves every cached
// picture once; when that frees less than 10 MiB the failed allocation throws
// std::bad_alloc, so that code which handles its own failure (new (std::nothrow), a caught
// exception) goes on. An uncaught std::bad_alloc ends the process with "Not enought memory,
// This application will be closed !" and status -1 (the cache's terminate handler).
class ImageManager
{
public:
    // The cache, created on first use (which installs its new-handler and terminate handler)
    // and destroyed at process exit (which deletes every picture and puts the previous
    // handlers back).
    static ImageManager& instance();

    ImageManager(const ImageManager&) = delete;
    ImageManager& operator=(const ImageManager&) = delete;

    // Sets `image` to the picture cached for `path`, decoding and caching it on first
    // request. A file that does not decode gives null and is not cached.
    void addImage(const std::string& path, Rendering::Image*& image);
    // The same for a PNG or JPEG file held in memory (a picture inside a model file),
    // cached under `name`: the bytes are decoded on the first request for that name only.
    void addImage(const std::string& name, const unsigned char* data, std::size_t size, Rendering::Image*& image);
    // Deletes a cached picture and its texture object; textures that showed it then show
    // none. A picture not in the cache is left alone.
    void removeImage(Rendering::Image* image);
    // Uploads every cached picture to a new texture object (needs a current context).
    void initGL();
    // Bytes of decoded pixels held by the cached pictures.
    std::uint64_t getTotalMemoryUsed() const { return m_TotalMemoryUsed; }
    // Halves every cached picture once. Prints "Recovered memory : N Mo." when at least
    // 10 MiB were freed; otherwise prints "Not enought memory, This application will be
    // closed !" and ends the process with status -1.
    void manageMemory();
    // The same halving, for the new-handler: true (with the "Recovered memory" line) when at
    // least 10 MiB were freed, false and silent otherwise.
    bool relieveMemory();

    // Textures register themselves so that they stop pointing at a picture the cache
    // deletes; unregistering is safe during process exit, after the cache is gone.
    void registerTexture(Rendering::Texture* texture);
    static void unregisterTexture(Rendering::Texture* texture);

private:
    ImageManager();
    ~ImageManager();

    std::map<std::string, Rendering::Image*> m_Images;
    std::uint64_t m_TotalMemoryUsed;
    std::new_handler m_PreviousNewHandler;
    std::terminate_handler m_PreviousTerminateHandler;
    std::set<Rendering::Texture*> m_Textures;
};

} // namespace Core
