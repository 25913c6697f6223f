#pragma once

#include <cstdint>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

// Helpers of the picture tests: a scratch folder, pictures written with libpng and
// libjpeg, captured standard output, child processes, and the conformance folder.
namespace TestSupport
{

// The shared conformance files, or "" when the folder is absent.
std::string conformanceDir();

// A fresh folder under /tmp, removed with its contents on destruction.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string path(const std::string& name) const { return m_Root + "/" + name; }

private:
    std::string m_Root;
};

// Writes a grey or RGB(A) PNG through the reader's ostream callbacks. `rows` holds the
// rows top-down, packed, 16-bit samples in the processor's order.
struct PNGPicture
{
    std::uint32_t width = 1;
    std::uint32_t height = 1;
    int bitDepth = 8;
    int colorType = 2;
    std::vector<std::uint8_t> rows;
};
std::string pngBytes(const PNGPicture& picture);
// The signature and a header chunk claiming any size: a file without pixels.
std::string pngHeaderOnly(std::uint32_t width, std::uint32_t height, int bitDepth, int colorType);
void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);
// An 8-bit RGBA picture of width x height with every byte zero, written as PNG.
void writeBlankRGBA(const std::string& path, std::uint32_t width, std::uint32_t height);

// Encodes width x height 8-bit samples of 1, 3 or 4 (CMYK) components (rows top-down) as JPEG
// through the reader's ostream destination manager, into `sink` when given (the result is
// then empty); a libjpeg error throws, with libjpeg's message code.
std::string jpegBytes(int width, int height, int components, const std::vector<std::uint8_t>& pixels, int quality = 95,
                      bool progressive = false, std::ostream* sink = nullptr);

// Sends std::cout to a string while alive.
class CapturedOutput
{
public:
    CapturedOutput() : m_Saved(std::cout.rdbuf(m_Text.rdbuf())) {}
    ~CapturedOutput() { std::cout.rdbuf(m_Saved); }
    std::string text() const { return m_Text.str(); }

private:
    std::ostringstream m_Text;
    std::streambuf* m_Saved;
};

// Runs `body` in a forked child with standard output captured; when the body returns the
// child ends with status 0, or 1 when an expectation failed in it.
struct ChildResult
{
    int status = -1; // exit status, or -1 when the child did not exit normally
    std::string output;
};
ChildResult runInChild(const std::function<void()>& body);

} // namespace TestSupport

// Skips the current test when the conformance files are not there.
#define REQUIRE_CONFORMANCE_DIR()                                                                                      \
    if (TestSupport::conformanceDir().empty())                                                                         \
    GTEST_SKIP() << "conformance files absent: " TESSELLON_CONFORMANCE_DIR
