#pragma once

#include <png.h>

#include <istream>
#include <string>

#include "reader/PNGError.h"
#include "reader/PictureSize.h"

namespace Rendering
{
class Image;
}

namespace Reader
{

// Decodes a PNG file into grey, grey-alpha, RGB or RGBA samples of 8 or 16 bits, rows
// bottom-up, and hands them to image->setData. False, with a one-line message on standard
// output and the image untouched, when the file cannot be opened or decoded, or when it
// is larger than c_MaxPictureSide in either direction.
bool readPNGFile(const std::string& path, Rendering::Image* image);
// The decoding part of readPNGFile, on a stream that is already open; `name` stands for
// the source in messages.
bool readPNGStream(std::istream& stream, Rendering::Image* image, const std::string& name);

// libpng read callback: reads `length` bytes from the std::istream registered as I/O
// pointer; fewer bytes is a libpng error.
void png_read_istream(png_structp png, png_bytep data, png_size_t length);
// libpng write callback: writes `length` bytes to the std::ostream registered as I/O pointer.
void png_write_ostream(png_structp png, png_bytep data, png_size_t length);
// libpng flush callback: flushes the std::ostream registered as I/O pointer.
void png_flush_ostream(png_structp png);
// libpng error callback: prints "PNG lib warning : " and the message, then leaves libpng
// through the structure's jump buffer; never returns.
void user_error_fn(png_structp png, png_const_charp message);
// libpng warning callback: prints "PNG lib warning : " and the message; libpng goes on.
void user_warning_fn(png_structp png, png_const_charp message);
// 1 on a little-endian processor, 0 on a big-endian one.
int getCpuByteOrder();

} // namespace Reader
