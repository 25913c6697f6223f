#include "reader/PictureSize.h"

#include "core/MessageText.h"
#include "core/Messages.h"

#include "core/Quotable.h"

namespace Reader
{

bool acceptPictureSize(const std::string& name, std::uint64_t width, std::uint64_t height)
{
    if (width <= c_MaxPictureSide && height <= c_MaxPictureSide)
        return true;
    Core::Messages::send(Core::MessageLevel::Warning,
                         Core::messageText("Picture too large : \"", Core::quotable(name), "\" is ", width, " x ",
                                           height, " pixels (at most ", c_MaxPictureSide, " x ", c_MaxPictureSide,
                                           ")."));
    return false;
}

void refusePicture(const std::string& name, const std::string& reason)
{
    Core::Messages::send(Core::MessageLevel::Warning,
                         Core::messageText("Picture refused : \"", Core::quotable(name), "\" ", reason, "."));
}

} // namespace Reader
