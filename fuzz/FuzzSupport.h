#pragma once

#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <streambuf>

#include "rendering/Image.h"

namespace FuzzSupport
{

// Swallows the readers' messages: printing one line per input would dominate the run.
class NullBuffer : public std::streambuf
{
protected:
    int overflow(int c) override { return c; }
};

inline void silenceStandardOutput()
{
    static NullBuffer discard;
    std::cout.rdbuf(&discard);
}

// A decoded picture must hold exactly the pixels its size and format announce: reading
// its first and last byte lets AddressSanitizer check the buffer's extent.
inline void checkDecoded(const Rendering::Image& image)
{
    const std::uint64_t size = image.getMemoryUsage();
    if (!image.getData() || image.getWidth() <= 0 || image.getHeight() <= 0 || size == 0)
        std::abort();
    volatile unsigned char sink = image.getData()[0];
    sink = image.getData()[size - 1];
    (void)sink;
}

} // namespace FuzzSupport
