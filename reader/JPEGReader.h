#pragma once

// jpeglib.h needs FILE and size_t declared before it.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <csetjmp>
#include <istream>
#include <ostream>
#include <string>

namespace Rendering
{
class Image;
}

namespace Reader
{

// Why the last simage_jpeg_load failed: 0 none, 1 error opening the file (never set by
// the loader, which works on an open stream), 2 out of memory, 3 illegal JPEG data.
extern int jpegerror;

// libjpeg's error manager with a jump buffer: errors come back to the loader instead of
// ending the process.
struct my_error_mgr
{
    jpeg_error_mgr pub;
    jmp_buf setjmp_buffer;
};

// Source manager reading from a std::istream in blocks of 4096 bytes.
struct istream_source_mgr
{
    jpeg_source_mgr pub;
    std::istream* stream;
    JOCTET* buffer;
    boolean start_of_file;
};

// Destination manager writing to a std::ostream in blocks of 4096 bytes.
struct ostream_destination_mgr
{
    jpeg_destination_mgr pub;
    std::ostream* stream;
    JOCTET* buffer;
};

// Decodes a JPEG file into 8-bit grey or RGB samples, rows bottom-up, and hands them to
// image->setData. False when the file cannot be opened (with a message on standard
// output) or decoded (silently; jpegerror tells why).
bool readJPEGFile(const std::string& path, Rendering::Image* image);
// The decoding part of readJPEGFile, on a stream that is already open; `name` stands for
// the source in messages.
bool readJPEGStream(std::istream& stream, Rendering::Image* image, const std::string& name);

// Decodes the stream: a new[] buffer of width x height x components bytes, bottom row
// first, or null with jpegerror set. Pictures larger than c_MaxPictureSide in either
// direction are refused with a line on standard output (jpegerror 2).
unsigned char* simage_jpeg_load(std::istream& stream, int* width, int* height, int* components);
// 1 when the header is at least 10 bytes long and carries "JFIF" at bytes 6 to 9, else 0.
int simage_jpeg_identify(const char* filename, const unsigned char* header, int headerlen);
// Copies the text for jpegerror into buffer (strncpy semantics: at most bufferlen bytes,
// no terminating zero when the text is as long); returns jpegerror.
int simage_jpeg_error(char* buffer, int bufferlen);
// error_exit of my_error_mgr: jumps back to its jump buffer, never returns.
[[noreturn]] void my_error_exit(j_common_ptr cinfo);
// Copies len bytes from src to dst; returns dst moved back by len (the row before it).
unsigned char* copyScanline(unsigned char* dst, unsigned char* src, int len);

// Installs the stream source manager on a decompression object (the stream is not owned).
void jpeg_istream_src(j_decompress_ptr cinfo, std::istream* stream);
void init_source(j_decompress_ptr cinfo);
// Reads the next block; at the end of the data supplies an end-of-image marker (an empty
// stream is an error).
boolean fill_input_buffer(j_decompress_ptr cinfo);
void skip_input_data(j_decompress_ptr cinfo, long num_bytes);
void term_source(j_decompress_ptr cinfo);

// Installs the stream destination manager on a compression object (the stream is not owned).
void jpeg_stream_dest(j_compress_ptr cinfo, std::ostream* stream);
void init_destination(j_compress_ptr cinfo);
// Writes the full buffer; a failing stream is libjpeg's JERR_FILE_WRITE.
boolean empty_output_buffer(j_compress_ptr cinfo);
// Writes what remains and flushes; a failing stream is libjpeg's JERR_FILE_WRITE.
void term_destination(j_compress_ptr cinfo);

} // namespace Reader
