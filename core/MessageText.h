#pragma once

#include <sstream>
#include <string>

namespace Core
{

// The text of a message made of parts, each written as an output stream writes it.
template <typename... Parts>
std::string messageText(const Parts&... parts)
{
    std::ostringstream text;
    (text << ... << parts);
    return text.str();
}

} // namespace Core
