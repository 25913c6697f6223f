#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reading and writing the engine's data files (learnt weights, solved endings), which lie
// beside the programs, may be replaced by a user and so are checked like any download.
namespace Draughts::DataFile
{

// The running program's folder, "" when unknown.
std::string programFolder();

// Reads a whole regular file of exactly `size` bytes. False with a one-line reason when it
// cannot be opened, is not a regular file (a FIFO or a device is refused without waiting),
// has another size (the reason is then `wrongSize`) or cannot be read.
bool read(const std::string& path, std::uint64_t size, std::vector<unsigned char>& bytes, std::string& error,
          const std::string& wrongSize);

// Writes a file whole: to a new file beside the path, synced, then renamed over it, so that a
// reader sees the old file or the new one. False with a one-line reason, the old file kept.
bool write(const std::string& path, const void* data, std::size_t size, std::string& error);

// FNV-1a over bytes, as the data files' checksums.
std::uint64_t checksum(const unsigned char* bytes, std::size_t size);

} // namespace Draughts::DataFile
