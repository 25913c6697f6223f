#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <string>

namespace Reader
{

// The one way the engine opens a file it reads (pictures, models, shader sources, the
// normal-map probe): only a regular file is opened, without waiting on it, and its size is
// known before anything is read. A directory, FIFO, socket or device is refused with one
// line on standard output, "File refused : "<path>" is a FIFO (named pipe), not a regular
// file."; a path that does not exist or cannot be opened is refused silently, so that each
// reader prints its own line for it.
class InputFile
{
public:
    // Opens the file at `path`, or refuses it (see above) and stays closed.
    explicit InputFile(const std::string& path);
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    bool isOpen() const { return m_Descriptor >= 0; }
    // Size in bytes when the file was opened; 0 when closed.
    std::uint64_t size() const { return m_Size; }

    // Reads from the current position until `capacity` bytes are in or the file ends;
    // `filled` tells how many came. False on a read error or when closed.
    bool read(char* buffer, std::size_t capacity, std::size_t& filled);
    // A buffered, seekable stream over the file, for the picture libraries' callbacks.
    // Valid while this object lives; fails at once when the file is closed.
    std::istream& stream();

private:
    class Buffer;

    int m_Descriptor;
    std::uint64_t m_Size;
    std::unique_ptr<Buffer> m_Buffer;
    std::unique_ptr<std::istream> m_Stream;
};

} // namespace Reader
