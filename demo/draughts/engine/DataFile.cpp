#include "DataFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "core/Quotable.h"

namespace Draughts::DataFile
{

std::string programFolder()
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return "";
    const std::string program(path, static_cast<std::size_t>(length));
    const std::size_t slash = program.rfind('/');
    return slash == std::string::npos ? "" : program.substr(0, slash);
}

bool read(const std::string& path, std::uint64_t size, std::vector<unsigned char>& bytes, std::string& error,
          const std::string& wrongSize)
{
    const int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        error = "cannot open " + Core::quotable(path);
        return false;
    }
    struct stat status;
    bool ok = fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
    if (!ok)
        error = Core::quotable(path) + " is not a regular file";
    else if (static_cast<std::uint64_t>(status.st_size) != size) {
        ok = false;
        error = wrongSize;
    } else {
        bytes.resize(static_cast<std::size_t>(size));
        std::size_t filled = 0;
        while (filled < bytes.size()) {
            const ssize_t got = ::read(descriptor, bytes.data() + filled, bytes.size() - filled);
            if (got <= 0)
                break;
            filled += static_cast<std::size_t>(got);
        }
        if (filled != bytes.size()) {
            ok = false;
            error = "cannot read " + Core::quotable(path);
        }
    }
    close(descriptor);
    if (!ok)
        bytes.clear();
    return ok;
}

bool write(const std::string& path, const void* data, std::size_t size, std::string& error)
{
    std::string temporary = path + ".XXXXXX";
    const int descriptor = mkstemp(&temporary[0]);
    if (descriptor < 0) {
        error = "cannot write beside " + Core::quotable(path);
        return false;
    }
    bool ok = fchmod(descriptor, 0644) == 0;
    const auto* at = static_cast<const unsigned char*>(data);
    std::size_t left = size;
    while (ok && left > 0) {
        const ssize_t put = ::write(descriptor, at, left);
        if (put <= 0)
            ok = false;
        else
            at += put, left -= static_cast<std::size_t>(put);
    }
    ok = fsync(descriptor) == 0 && ok;
    ok = close(descriptor) == 0 && ok;
    if (ok)
        ok = std::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        unlink(temporary.c_str());
        error = "cannot write " + Core::quotable(path);
    }
    return ok;
}

std::uint64_t checksum(const unsigned char* bytes, std::size_t size)
{
    std::uint64_t hash = 14695981039346656037ULL;
    for (std::size_t i = 0; i < size; ++i)
        hash = (hash ^ bytes[i]) * 1099511628211ULL;
    return hash;
}

} // namespace Draughts::DataFile
