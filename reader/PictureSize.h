#pragma once

#include <cstdint>
#include <string>

namespace Reader
{

// Pictures wider or higher than this many pixels are refused before any pixel memory is
// reserved: a hostile header cannot make a reader ask for gigabytes.
constexpr std::uint32_t c_MaxPictureSide = 16384;

// True when a picture of width x height pixels may be decoded; otherwise writes one line
// naming the source and the size on standard output and returns false.
bool acceptPictureSize(const std::string& name, std::uint64_t width, std::uint64_t height);

// Writes "Picture refused : "<name>" <reason>." on standard output: a picture whose
// decoding would cost more memory or work than the data of its file can describe.
void refusePicture(const std::string& name, const std::string& reason);

} // namespace Reader
