// libFuzzer harness of the PNG reader: every input goes through the same stream code as
// a file does.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "FuzzSupport.h"
#include "reader/PNGReader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::silenceStandardOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream stream(std::string(reinterpret_cast<const char*>(data), size));
    Rendering::Image image;
    if (Reader::readPNGStream(stream, &image, "fuzz input"))
        FuzzSupport::checkDecoded(image);
    else if (image.isLoaded())
        std::abort();
    return 0;
}
