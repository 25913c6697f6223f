#include "reader/PictureSize.h"

#include <iostream>

#include "core/Quotable.h"

namespace Reader
{

bool acceptPictureSize(const std::string& name, std::uint64_t width, std::uint64_t height)
{
    if (width <= c_MaxPictureSide && height <= c_MaxPictureSide)
        return true;
    std::cout << "Picture too large : \"" << Core::quotable(name) << "\" is " << width << " x " << height
              << " pixels (at most " << c_MaxPictureSide << " x " << c_MaxPictureSide << ")." << std::endl;
    return false;
}

void refusePicture(const std::string& name, const std::string& reason)
{
    std::cout << "Picture refused : \"" << Core::quotable(name) << "\" " << reason << "." << std::endl;
}

} // namespace Reader
