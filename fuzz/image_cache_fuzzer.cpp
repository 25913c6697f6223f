// libFuzzer harness of the whole picture path: the input is written to a file named after
// what it starts with (".png" or ".PNG" for the PNG signature, ".jpg" or ".JPEG" for a JPEG
// start marker, by the input's length) or else by its first byte (one of those names or an
// unsupported one), so that real pictures seed the run as they are; a texture is made
// from it (the file opener, the reader, the picture cache with its new-handler and
// terminate handler installed, the normal-map probe), the cache's memory policy halves
// what was decoded, and the picture is removed again. A decoded picture must hold exactly
// the bytes its size and format announce, before and after the halving, and the cache's
// count must come back to where it was.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "FuzzSupport.h"
#include "core/ImageManager.h"
#include "rendering/Image.h"
#include "rendering/Texture.h"

namespace
{
std::string g_Folder;

void check(bool condition)
{
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::silenceStandardOutput();
    g_Folder = (std::filesystem::temp_directory_path() / ("image_cache_fuzzer_" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(g_Folder);
    Core::ImageManager::instance();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    static const char* const c_Names[] = {"picture.png", "picture.PNG", "picture.jpg", "picture.JPEG", "picture.gif"};
    int name = data[0] % 5;
    if (size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0)
        name = size % 2;
    else if (data[0] == 0xFF && data[1] == 0xD8)
        name = 2 + size % 2;
    const std::string path = g_Folder + "/" + c_Names[name];
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<long>(size));

    Core::ImageManager& cache = Core::ImageManager::instance();
    const std::uint64_t before = cache.getTotalMemoryUsed();
    {
        Rendering::Texture texture(path);
        Rendering::Image* image = texture.getImage();
        check(texture.isLoaded() == (image != nullptr));
        if (image) {
            FuzzSupport::checkDecoded(*image);
            check(cache.getTotalMemoryUsed() == before + image->getMemoryUsage());
            const std::uint64_t whole = image->getMemoryUsage();
            cache.relieveMemory();
            check(image->isReduced() && image->getMemoryUsage() * 4 <= whole);
            if (image->getMemoryUsage() > 0)
                FuzzSupport::checkDecoded(*image);
            check(cache.getTotalMemoryUsed() == before + image->getMemoryUsage());
            cache.removeImage(image);
            check(!texture.isLoaded());
        }
    }
    check(cache.getTotalMemoryUsed() == before);
    std::remove(path.c_str());
    return 0;
}
