#pragma once

#include <ostream>
#include <string>

namespace Reader
{

// A failure reported by libpng while a PNG file is decoded; readPNGFile writes it on
// standard output before it gives up on the file.
class PNGError
{
public:
    explicit PNGError(const std::string& message) : m_Message(message) {}

    const std::string& getMessage() const { return m_Message; }

private:
    std::string m_Message;
};

// Writes the error's message, without a line end.
std::ostream& operator<<(std::ostream& stream, const PNGError& error);

} // namespace Reader
