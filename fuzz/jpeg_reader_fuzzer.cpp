// libFuzzer harness of the JPEG reader: every input goes through the same stream source
// manager as a file does.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "FuzzSupport.h"
#include "reader/JPEGReader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::silenceStandardOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Reader::simage_jpeg_identify(nullptr, data, static_cast<int>(size));
    std::istringstream stream(std::string(reinterpret_cast<const char*>(data), size));
    Rendering::Image image;
    if (Reader::readJPEGStream(stream, &image, "fuzz input"))
        FuzzSupport::checkDecoded(image);
    else if (image.isLoaded() || Reader::jpegerror == 0)
        std::abort();
    return 0;
}
