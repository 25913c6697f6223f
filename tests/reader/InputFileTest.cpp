#include <gtest/gtest.h>

#include <png.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include "rendering/Image.h"
#include "rendering/Mesh.h"
#include "rendering/Shader.h"
#include "rendering/Texture.h"
#include "support/PictureFiles.h"

namespace
{
std::string refused(const std::string& path, const std::string& kind)
{
    return "File refused : \"" + path + "\" is " + kind + ", not a regular file.\n";
}

void makeSocket(const std::string& path)
{
    const int s = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    close(s);
}
} // namespace

// Opening a FIFO for reading waits for a writer, and a device never ends: every reader,
// the normal-map probe and the shader loader refuse them (and directories and sockets)
// at once, saying what the path names, and the process goes on. The child gives up after
// a minute, so a reader that waits fails the test instead of hanging it.
TEST(InputFile, EveryReaderRefusesWhatIsNotARegularFile)
{
    TestSupport::TempDir dir;
    const std::string fifo = dir.path("pipe.png"), fifoJpeg = dir.path("pipe.jpg"), fifoAse = dir.path("pipe.ase"),
                      fifoShader = dir.path("pipe.vert"), zero = dir.path("model.ase"), folder = dir.path("folder.jpg"),
                      sock = dir.path("sock.png"), wood = dir.path("wood.png"), woodNormal = dir.path("wood_normal.png");
    for (const std::string& path : {fifo, fifoJpeg, fifoAse, fifoShader, woodNormal})
        ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", zero.c_str()), 0);
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    makeSocket(sock);
    TestSupport::writeBlankRGBA(wood, 2, 2);

    const TestSupport::ChildResult child = TestSupport::runInChild([&] {
        alarm(60);
        for (const std::string& path : {fifo, fifoJpeg, folder, sock})
            EXPECT_FALSE(Rendering::Image(path).isLoaded());
        for (const std::string& path : {fifoAse, zero})
            EXPECT_TRUE(Rendering::Mesh(path).getGeometries().empty());
        EXPECT_EQ(std::unique_ptr<char[]>(Rendering::Shader::load(fifoShader)), nullptr);
        Rendering::Texture texture(wood);
        EXPECT_TRUE(texture.isLoaded());
        EXPECT_EQ(texture.getNormalImage(), nullptr);
    });
    EXPECT_EQ(child.status, 0);
    const std::string fifoKind = "a FIFO (named pipe)";
    EXPECT_EQ(child.output,
              refused(fifo, fifoKind) + "Couldn't open/find file : \"" + fifo + "\"\nCouldn't load Image file : \"" +
                  fifo + "\"\n" + refused(fifoJpeg, fifoKind) + "Couldn't find/load texture : \"" + fifoJpeg +
                  "\nCouldn't load Image file : \"" + fifoJpeg + "\"\n" + refused(folder, "a directory") +
                  "Couldn't find/load texture : \"" + folder + "\nCouldn't load Image file : \"" + folder + "\"\n" +
                  refused(sock, "a socket") + "Couldn't open/find file : \"" + sock +
                  "\"\nCouldn't load Image file : \"" + sock + "\"\n" + refused(fifoAse, fifoKind) +
                  "Couldn't find/load mesh : \"" + fifoAse + "\"\nCouldn't load Mesh file : \"" + fifoAse + "\"\n" +
                  refused(zero, "a character device") + "Couldn't find/load mesh : \"" + zero +
                  "\"\nCouldn't load Mesh file : \"" + zero + "\"\n" + refused(fifoShader, fifoKind) +
                  "Couldn't find/load Shader : \"" + fifoShader + "\"\nImage File : \"" + wood + "\" loaded.\n" +
                  refused(woodNormal, fifoKind));
}
