#include <gtest/gtest.h>

#include <sys/stat.h>

#include <iostream>
#include <new>
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
