#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <new>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "core/ImageManager.h"
#include "core/Messages.h"
#include "reader/InputFile.h"
#include "rendering/Geometry.h"
#include "rendering/Image.h"
#include "rendering/Mesh.h"
#include "rendering/Primitive.h"
#include "support/PictureFiles.h"

namespace
{
using Core::MessageLevel;
using Core::Messages;
using Message = std::pair<MessageLevel, std::string>;

// Sends std::cout and std::cerr to strings while alive.
class CapturedStreams
{
public:
    CapturedStreams() : m_Out(std::cout.rdbuf(m_OutText.rdbuf())), m_Err(std::cerr.rdbuf(m_ErrText.rdbuf())) {}
    ~CapturedStreams()
    {
        std::cout.rdbuf(m_Out);
        std::cerr.rdbuf(m_Err);
    }
    std::string out() const { return m_OutText.str(); }
    std::string err() const { return m_ErrText.str(); }

private:
    std::ostringstream m_OutText, m_ErrText;
    std::streambuf* m_Out;
    std::streambuf* m_Err;
};

// Sends whatever is written on file descriptor 2 (standard error below the C++ streams) to a
// file while alive.
class CapturedErrorDescriptor
{
public:
    CapturedErrorDescriptor() : m_File(std::tmpfile()), m_Saved(dup(2))
    {
        std::fflush(stderr);
        dup2(fileno(m_File), 2);
    }
    ~CapturedErrorDescriptor()
    {
        restore();
        std::fclose(m_File);
    }
    std::string text()
    {
        restore();
        std::string bytes;
        std::rewind(m_File);
        for (int c; (c = std::fgetc(m_File)) != EOF;)
            bytes += static_cast<char>(c);
        return bytes;
    }

private:
    void restore()
    {
        if (m_Saved < 0)
            return;
        std::fflush(stderr);
        dup2(m_Saved, 2);
        close(m_Saved);
        m_Saved = -1;
    }
    std::FILE* m_File;
    int m_Saved;
};

// Collects the messages while alive, and puts the sink before it back.
class Collected
{
public:
    Collected() : m_Before(Messages::setSink([this](MessageLevel l, const std::string& t) { list.emplace_back(l, t); }))
    {
    }
    ~Collected() { Messages::setSink(m_Before); }
    std::vector<Message> list;

private:
    Messages::Sink m_Before;
};

// The code of a C++ source with its comments and its string and character literals blanked
// out (line breaks kept, so that lines keep their numbers).
std::string codeOf(const std::string& source)
{
    std::string code = source;
    std::size_t i = 0;
    auto blank = [&code](std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to && k < code.size(); ++k)
            if (code[k] != '\n')
                code[k] = ' ';
    };
    while (i < code.size()) {
        const char c = source[i];
        const char next = i + 1 < source.size() ? source[i + 1] : '\0';
        if (c == '/' && next == '/') {
            const std::size_t end = source.find('\n', i);
            blank(i, end == std::string::npos ? source.size() : end);
            i = end == std::string::npos ? source.size() : end;
        } else if (c == '/' && next == '*') {
            const std::size_t end = source.find("*/", i + 2);
            const std::size_t stop = end == std::string::npos ? source.size() : end + 2;
            blank(i, stop);
            i = stop;
        } else if (c == 'R' && next == '"' && (i == 0 || !std::isalnum(static_cast<unsigned char>(source[i - 1])))) {
            const std::size_t open = source.find('(', i);
            const std::string close = ")" + source.substr(i + 2, open - i - 2) + "\"";
            const std::size_t end = open == std::string::npos ? open : source.find(close, open);
            const std::size_t stop = end == std::string::npos ? source.size() : end + close.size();
            blank(i, stop);
            i = stop;
        } else if (c == '"' || (c == '\'' && !(i > 0 && std::isdigit(static_cast<unsigned char>(source[i - 1]))))) {
            std::size_t k = i + 1;
            while (k < source.size() && source[k] != c && source[k] != '\n')
                k += source[k] == '\\' ? 2 : 1;
            blank(i, k + 1);
            i = k + 1;
        } else {
            ++i;
        }
    }
    return code;
}

// Lines (from 1) of a C++ source that write on standard output or error themselves: the
// standard streams, the C functions that print on them, or their descriptors. `allowed` is
// a line of code that may (spaces around it aside).
std::vector<int> directOutputLines(const std::string& source, const std::string& allowed = "")
{
    static const std::regex printing("\\b(w?cout|w?cerr|w?clog|stdout|stderr|STDOUT_FILENO|STDERR_FILENO|v?printf|puts|"
                                     "putchar|perror|v?dprintf|psignal)\\b|(^|[^\\w.>])write\\s*\\(\\s*[12]\\s*,");
    std::vector<int> lines;
    std::istringstream code(codeOf(source));
    std::string line;
    for (int number = 1; std::getline(code, line); ++number) {
        const std::size_t first = line.find_first_not_of(" \t");
        const std::string trimmed =
            first == std::string::npos ? std::string() : line.substr(first, line.find_last_not_of(" \t") + 1 - first);
        if (std::regex_search(line, printing) && (allowed.empty() || trimmed != allowed))
            lines.push_back(number);
    }
    return lines;
}

TEST(Messages, TheSourceScanFindsEveryWayOfPrintingAndNoneInCommentsOrText)
{
    for (const std::string printing :
         {"std::cout << 1;", "  cerr << x;", "std::ostream& o = std::clog;", "fprintf(stderr, \"%d\", 1);",
          "std::printf(\"x\");", "puts(\"a\");", "std::fputs(text, stdout);", "perror(\"open\");",
          "::write(2, text, size);", "write (1,text, 3);", "dup2(file, STDERR_FILENO);", "std::wcout << L'x';"})
        EXPECT_EQ(directOutputLines("int a;\n" + printing + "\n"), std::vector<int>{2}) << printing;
    for (const std::string quiet :
         {"// std::cout << 1;", "/* printf(\"x\");\n stderr */", "const char* t = \"std::cerr \\\" puts\";",
          "auto r = R\"x(puts(\"a\") )\" cout)x\";", "snprintf(b, n, \"%d\", 1);", "file.write(2, 3);",
          "char q = '\"'; int n = 1'000; // cout", "m_Output.cerrCount = 0;"})
        EXPECT_EQ(directOutputLines(quiet + "\nint b;\n"), std::vector<int>{}) << quiet;
    EXPECT_EQ(directOutputLines("/* a\nb */ int c;\n  std::cerr << c;  \n", "std::cerr << c;"), std::vector<int>{});
    EXPECT_EQ(directOutputLines("/* a\nb */ int c;\nstd::cerr << c << 1;\n", "std::cerr << c;"), std::vector<int>{3});
}

// Every message of the library goes through Core::Messages: no source of the library prints
// by itself, but for the line that prints a message when no sink is set.
TEST(Messages, NoLibrarySourcePrintsButTheMessagesWithoutASink)
{
    namespace fs = std::filesystem;
    const fs::path root = TESSELLON_SOURCE_DIR;
    std::size_t scanned = 0;
    for (const char* folder : {"core", "rendering", "reader", "math"})
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root / folder)) {
            const std::string extension = entry.path().extension().string();
            if (!entry.is_regular_file() || (extension != ".cpp" && extension != ".h"))
                continue;
            std::ifstream file(entry.path(), std::ios::binary);
            const std::string source((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            const std::string name = fs::relative(entry.path(), root).generic_string();
            const std::string allowed =
                name == "core/Messages.cpp" ? "(errorStream ? std::cerr : std::cout) << text << std::endl;" : "";
            EXPECT_EQ(directOutputLines(source, allowed), std::vector<int>{}) << name << " prints by itself";
            ++scanned;
        }
    EXPECT_GT(scanned, 50u);
}

// Makes the library say many things, from most of the places that speak: models, pictures,
// the file opener, geometry, the picture cache.
void speak(const TestSupport::TempDir& dir)
{
    TestSupport::writeFile(dir.path("bad.ase"), "*GEOMOBJECT *MESH");
    TestSupport::writeFile(dir.path("holes.obj"), "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nf 1 2 7\n");
    TestSupport::writeFile(dir.path("bad.gltf"), "{]");
    TestSupport::writeFile(dir.path("huge.png"), TestSupport::pngHeaderOnly(100000, 2, 8, 2));
    mkfifo(dir.path("pipe.png").c_str(), 0600);
    {
        Rendering::Mesh ase(dir.path("bad.ase"));
        Rendering::Mesh missing(dir.path("missing.ASE"));
        Rendering::Mesh obj(dir.path("holes.obj"));
        Rendering::Mesh gltf(dir.path("bad.gltf"));
        Rendering::Mesh other(dir.path("model.3ds"));
    }
    Rendering::Image huge(dir.path("huge.png"));
    Rendering::Image pipe(dir.path("pipe.png"));
    Rendering::Geometry geometry;
    Rendering::Primitive stranger;
    geometry.removePrimitive(&stranger);
    Rendering::Image small;
    small.setData(2, 2, 1, 0x1907, 0x1907, 0x1401, new unsigned char[12]()); // GL_RGB, GL_UNSIGNED_BYTE
    small.reduceToLimit();
    small.reduceToLimit();
}

TEST(Messages, EveryMessageGoesToTheSinkAndWithoutOneIsPrintedAsItAlwaysWas)
{
    TestSupport::TempDir dir;
    std::vector<Message> received;
    std::string sinkOut, sinkErr;
    {
        CapturedStreams streams;
        Collected collected;
        speak(dir);
        received = collected.list;
        sinkOut = streams.out();
        sinkErr = streams.err();
    }
    EXPECT_EQ(sinkOut, "");
    EXPECT_EQ(sinkErr, "");
    const std::string d = dir.path("");
    const std::vector<Message> expected = {
        {MessageLevel::Warning, "[ASEReader]> Bad structure in ASE file."},
        {MessageLevel::Info, "Mesh File : \"" + d + "bad.ase\" loaded."},
        {MessageLevel::Warning, "Couldn't find/load mesh : \"" + d + "missing.ASE\""},
        {MessageLevel::Warning, "Couldn't load Mesh file : \"" + d + "missing.ASE\""},
        {MessageLevel::Warning,
         "[OBJReader]> \"" + d + "holes.obj\" : 1 faces naming a vertex the file does not have were left out."},
        {MessageLevel::Info, "Mesh File : \"" + d + "holes.obj\" loaded."},
        {MessageLevel::Warning, "[GLTFReader]> Bad glTF file \"" + d + "bad.gltf\" : not JSON"},
        {MessageLevel::Warning, "Couldn't load Mesh file : \"" + d + "bad.gltf\""},
        {MessageLevel::Warning, "Unsupported format ... (supported format : ASE / GLTF / GLB / OBJ)"},
        {MessageLevel::Warning, "Couldn't load Mesh file : \"" + d + "model.3ds\""},
        {MessageLevel::Warning,
         "Picture too large : \"" + d + "huge.png\" is 100000 x 2 pixels (at most 16384 x 16384)."},
        {MessageLevel::Warning, "Couldn't load Image file : \"" + d + "huge.png\""},
        {MessageLevel::Warning, "File refused : \"" + d + "pipe.png\" is a FIFO (named pipe), not a regular file."},
    };
    ASSERT_GE(received.size(), expected.size() + 2);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(received[i].first, expected[i].first) << received[i].second;
        EXPECT_EQ(received[i].second, expected[i].second);
    }
    EXPECT_EQ(received[received.size() - 2], Message(MessageLevel::Warning, "Unkown primitive to remove."));
    EXPECT_EQ(received.back(), Message(MessageLevel::Warning, "Already Reduced ..."));

    // Without a sink the same messages are printed on standard output, one line each.
    CapturedStreams streams;
    speak(dir);
    std::string printed;
    for (const Message& message : received)
        printed += message.second + "\n";
    EXPECT_EQ(streams.out(), printed);
    EXPECT_EQ(streams.err(), "");
}

// The picture libraries speak too: a JPEG without its end marker makes libjpeg warn. The
// warning reaches the sink and nothing else; without a sink it is printed on standard error
// as libjpeg prints it.
TEST(Messages, TheJPEGLibrarysWarningsGoToTheSinkToo)
{
    TestSupport::TempDir dir;
    const std::string jpeg = TestSupport::jpegBytes(16, 16, 1, std::vector<std::uint8_t>(256, 128));
    ASSERT_EQ(jpeg.substr(jpeg.size() - 2), "\xFF\xD9");
    TestSupport::writeFile(dir.path("rubbish.jpg"), jpeg.substr(0, jpeg.size() - 2));
    const std::string warning = "Premature end of JPEG file";
    std::vector<Message> received;
    {
        CapturedErrorDescriptor descriptor;
        CapturedStreams streams;
        {
            Collected collected;
            Rendering::Image picture(dir.path("rubbish.jpg"));
            received = collected.list;
        }
        EXPECT_EQ(streams.err(), "");
        EXPECT_EQ(descriptor.text(), "");
    }
    EXPECT_NE(std::find(received.begin(), received.end(), Message(MessageLevel::Warning, warning)), received.end());

    CapturedErrorDescriptor descriptor;
    CapturedStreams streams;
    Rendering::Image picture(dir.path("rubbish.jpg"));
    EXPECT_EQ(streams.err(), warning + "\n");
    EXPECT_EQ(descriptor.text(), "");
}

TEST(Messages, SinksChainAndMaySpeakThemselvesAndTheirExceptionsStayInside)
{
    std::vector<std::string> outer;
    const Messages::Sink before =
        Messages::setSink([&outer](MessageLevel, const std::string& text) { outer.push_back(text); });
    EXPECT_FALSE(before); // printing
    {
        // A sink that passes messages on to the one before, after sending one of its own.
        Messages::Sink previous;
        previous = Messages::setSink([&previous](MessageLevel level, const std::string& text) {
            if (text != "relayed")
                Messages::send(MessageLevel::Info, "relayed");
            previous(level, text + " (seen)");
        });
        Messages::send(MessageLevel::Warning, "hello");
        Messages::setSink(previous);
    }
    EXPECT_EQ(outer, (std::vector<std::string>{"relayed (seen)", "hello (seen)"}));
    Messages::setSink([](MessageLevel, const std::string&) { throw std::runtime_error("sink broke"); });
    EXPECT_NO_THROW(Messages::send(MessageLevel::Error, "to a broken sink", true));
    Messages::setSink(before);
    CapturedStreams streams;
    Messages::send(MessageLevel::Error, "on the error stream", true);
    EXPECT_EQ(streams.err(), "on the error stream\n");
    EXPECT_EQ(streams.out(), "");
}

TEST(Messages, TheMemoryStopReachesTheSinkBeforeTheProcessEnds)
{
    const TestSupport::ChildResult child = TestSupport::runInChild([] {
        Messages::setSink([](MessageLevel level, const std::string& text) {
            std::cout << "sink " << static_cast<int>(level) << ": " << text << std::endl;
        });
        Core::ImageManager::instance();
        // Nothing cached to reduce: the handler gives up, and nothing catches it.
        []() noexcept { std::get_new_handler()(); }();
    });
    EXPECT_EQ(child.status, 255);
    EXPECT_EQ(child.output, "sink 3: Not enought memory, This application will be closed !\n");
}

} // namespace
