#include "reader/InputFile.h"

#include "core/MessageText.h"
#include "core/Messages.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <streambuf>

#include "core/Quotable.h"

namespace Reader
{

namespace
{
constexpr const char* c_Refused = "File refused : \"";
constexpr const char* c_NotRegular = ", not a regular file.";

// What a path that is not a regular file names, for the refusal line.
const char* kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a directory";
    if (S_ISFIFO(mode))
        return "a FIFO (named pipe)";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISCHR(mode))
        return "a character device";
    if (S_ISBLK(mode))
        return "a block device";
    return "something else";
}

void refuse(const std::string& path, mode_t mode)
{
    Core::Messages::send(Core::MessageLevel::Warning,
                         Core::messageText(c_Refused, Core::quotable(path), "\" is ", kindOf(mode), c_NotRegular));
}
} // namespace

// Reads the descriptor in blocks; seeking moves the descriptor and drops what was buffered.
class InputFile::Buffer : public std::streambuf
{
public:
    explicit Buffer(InputFile& file) : m_File(file) { setg(m_Data, m_Data, m_Data); }

protected:
    int_type underflow() override
    {
        if (gptr() < egptr())
            return traits_type::to_int_type(*gptr());
        std::size_t got = 0;
        if (!m_File.read(m_Data, sizeof(m_Data), got) || got == 0)
            return traits_type::eof();
        setg(m_Data, m_Data, m_Data + got);
        return traits_type::to_int_type(*gptr());
    }

    pos_type seekoff(off_type offset, std::ios_base::seekdir from, std::ios_base::openmode) override
    {
        int whence = SEEK_SET;
        if (from == std::ios_base::cur) {
            whence = SEEK_CUR;
            offset -= egptr() - gptr();
        } else if (from == std::ios_base::end) {
            whence = SEEK_END;
        }
        const off_t result = lseek(m_File.m_Descriptor, offset, whence);
        setg(m_Data, m_Data, m_Data);
        return result < 0 ? pos_type(off_type(-1)) : pos_type(result);
    }

    pos_type seekpos(pos_type position, std::ios_base::openmode mode) override
    {
        return seekoff(off_type(position), std::ios_base::beg, mode);
    }

private:
    InputFile& m_File;
    char m_Data[65536];
};

InputFile::InputFile(const std::string& path) : m_Descriptor(-1), m_Size(0)
{
    // The kind is looked at before opening: opening a device may have effects of its own,
    // and opening a FIFO for reading waits for a writer.
    struct stat status;
    if (stat(path.c_str(), &status) != 0)
        return;
    if (!S_ISREG(status.st_mode)) {
        refuse(path, status.st_mode);
        return;
    }
    // Another kind of file may take the path's place in between: opened without blocking,
    // it is looked at again through the descriptor.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    const bool described = fstat(descriptor, &status) == 0;
    if (!described || !S_ISREG(status.st_mode)) {
        if (described)
            refuse(path, status.st_mode);
        ::close(descriptor);
        return;
    }
    m_Descriptor = descriptor;
    m_Size = static_cast<std::uint64_t>(status.st_size);
}

InputFile::~InputFile()
{
    m_Stream.reset();
    if (m_Descriptor >= 0)
        ::close(m_Descriptor);
}

bool InputFile::read(char* buffer, std::size_t capacity, std::size_t& filled)
{
    filled = 0;
    if (m_Descriptor < 0)
        return false;
    while (filled < capacity) {
        const ssize_t got = ::read(m_Descriptor, buffer + filled, capacity - filled);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0;
        filled += static_cast<std::size_t>(got);
    }
    return true;
}

std::istream& InputFile::stream()
{
    if (!m_Stream) {
        m_Buffer = std::make_unique<Buffer>(*this);
        m_Stream = std::make_unique<std::istream>(m_Buffer.get());
        if (m_Descriptor < 0)
            m_Stream->setstate(std::ios::failbit);
    }
    return *m_Stream;
}

} // namespace Reader
