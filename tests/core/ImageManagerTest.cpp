#include <gtest/gtest.h>

#include <png.h>
#include <sys/resource.h>

#include <fstream>
#include <memory>
#include <new>
#include <vector>

#include "core/ImageManager.h"
#include "core/ImageManagerNewHandler.h"
#include "reader/ASEReader.h"
#include "rendering/Image.h"
#include "rendering/Mesh.h"
#include "support/PictureFiles.h"

using Core::ImageManager;
using TestSupport::CapturedOutput;

namespace
{
constexpr std::uint64_t c_MiB = 1024 * 1024;

// The address space this process has mapped, in bytes.
std::uint64_t mappedBytes()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    std::uint64_t kB = 0;
    while (status >> key)
        if (key == "VmSize:" && status >> kB)
            break;
    return kB * 1024;
}

// Lets the process map only `extra` more bytes from now on.
void limitAddressSpace(std::uint64_t extra)
{
    const rlim_t limit = mappedBytes() + extra;
    const rlimit value{limit, limit};
    ASSERT_EQ(setrlimit(RLIMIT_AS, &value), 0);
}

std::string outputAfterLoading(const std::string& output)
{
    const std::size_t end = output.rfind("loaded.\n");
    return end == std::string::npos ? output : output.substr(end + 8);
}

#if defined(__SANITIZE_ADDRESS__)
#define SKIP_UNDER_ASAN() GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit allows"
#else
#define SKIP_UNDER_ASAN()
#endif
} // namespace

TEST(ImageManager, APathIsDecodedOnceAndShared)
{
    ImageManager& cache = ImageManager::instance();
    EXPECT_EQ(std::get_new_handler(), &Core::ImagesManagerNewHandler);
    TestSupport::TempDir dir;
    TestSupport::writeFile(dir.path("rgb.png"),
                           TestSupport::pngBytes({256, 128, 8, PNG_COLOR_TYPE_RGB, std::vector<std::uint8_t>(98304)}));
    TestSupport::writeBlankRGBA(dir.path("rgba.png"), 256, 128);
    const std::uint64_t before = cache.getTotalMemoryUsed();
    Rendering::Image *first = nullptr, *second = nullptr, *rgba = nullptr;
    {
        CapturedOutput captured;
        cache.addImage(dir.path("rgb.png"), first);
        cache.addImage(dir.path("rgb.png"), second);
        cache.addImage(dir.path("rgba.png"), rgba);
        EXPECT_EQ(captured.text(), "Image File : \"" + dir.path("rgb.png") + "\" loaded.\nImage File : \"" +
                                       dir.path("rgba.png") + "\" loaded.\n");
    }
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(cache.getTotalMemoryUsed(), before + 98304 + 131072);

    Rendering::Image stranger;
    cache.removeImage(&stranger);
    cache.removeImage(first);
    EXPECT_EQ(cache.getTotalMemoryUsed(), before + 131072);
    cache.removeImage(rgba);
    EXPECT_EQ(cache.getTotalMemoryUsed(), before);

    // A picture that fails is not cached: it is tried again.
    for (int attempt = 0; attempt < 2; ++attempt) {
        Rendering::Image* image = &stranger;
        CapturedOutput captured;
        cache.addImage(dir.path("missing.png"), image);
        EXPECT_EQ(image, nullptr);
        EXPECT_EQ(captured.text(), "Couldn't open/find file : \"" + dir.path("missing.png") +
                                       "\"\nCouldn't load Image file : \"" + dir.path("missing.png") + "\"\n");
    }
}

// 48 MiB of pictures: the first exhaustion frees three quarters; the second finds every
// picture reduced already and ends the process.
TEST(ImageManager, MemoryPolicyHalvesOnceThenGivesUp)
{
    TestSupport::TempDir dir;
    for (const char* name : {"a.png", "b.png", "c.png"})
        TestSupport::writeBlankRGBA(dir.path(name), 2048, 2048);
    const TestSupport::ChildResult child = TestSupport::runInChild([&] {
        ImageManager& cache = ImageManager::instance();
        Rendering::Image* images[3];
        for (int i = 0; i < 3; ++i)
            cache.addImage(dir.path(std::string(1, static_cast<char>('a' + i)) + ".png"), images[i]);
        ASSERT_EQ(cache.getTotalMemoryUsed(), 48 * c_MiB);
        cache.manageMemory();
        EXPECT_EQ(cache.getTotalMemoryUsed(), 12 * c_MiB);
        for (Rendering::Image* image : images)
            EXPECT_EQ(image->getWidth() * 10000 + image->getHeight(), 1024 * 10000 + 1024);
        cache.manageMemory();
    });
    EXPECT_EQ(child.status, 255);
    EXPECT_EQ(outputAfterLoading(child.output), "Recovered memory : 36 Mo.\nAlready Reduced ...\nAlready Reduced "
                                                "...\nAlready Reduced ...\nNot enought memory, This application "
                                                "will be closed !\n");
}

// A real exhaustion: with the address space limited, allocations of 20 MiB go on until
// one fails; the cache's handler halves both pictures and that allocation then succeeds.
TEST(ImageManager, NewHandlerRelievesARealExhaustion)
{
    SKIP_UNDER_ASAN();
    TestSupport::TempDir dir;
    TestSupport::writeBlankRGBA(dir.path("a.png"), 2048, 2048);
    TestSupport::writeBlankRGBA(dir.path("b.png"), 2048, 2048);
    const TestSupport::ChildResult child = TestSupport::runInChild([&] {
        Rendering::Image *a = nullptr, *b = nullptr;
        ImageManager::instance().addImage(dir.path("a.png"), a);
        ImageManager::instance().addImage(dir.path("b.png"), b);
        std::vector<char*> blocks;
        blocks.reserve(64);
        limitAddressSpace(50 * c_MiB);
        while (!a->isReduced() && blocks.size() < 64)
            blocks.push_back(new char[20 * c_MiB]);
        EXPECT_TRUE(a->isReduced() && b->isReduced());
        EXPECT_LT(blocks.size(), 64u);
        EXPECT_EQ(ImageManager::instance().getTotalMemoryUsed(), 8 * c_MiB);
    });
    EXPECT_EQ(child.status, 0);
    EXPECT_EQ(outputAfterLoading(child.output), "Recovered memory : 24 Mo.\n");
}

// A 64 MiB picture and 8 MiB of headroom: the reduction needs no smaller buffer first, so
// a 40 MiB request succeeds once the picture is halved.
TEST(ImageManager, AReductionNeedsNoNewMemory)
{
    SKIP_UNDER_ASAN();
    TestSupport::TempDir dir;
    TestSupport::writeBlankRGBA(dir.path("a.png"), 4096, 4096);
    const TestSupport::ChildResult child = TestSupport::runInChild([&] {
        Rendering::Image* a = nullptr;
        ImageManager::instance().addImage(dir.path("a.png"), a);
        limitAddressSpace(8 * c_MiB);
        // Kept in a volatile, so that the compiler cannot leave the request out.
        char* volatile block = new char[40 * c_MiB];
        EXPECT_EQ(a->getWidth(), 2048);
        delete[] block;
    });
    EXPECT_EQ(child.status, 0);
    EXPECT_EQ(outputAfterLoading(child.output), "Recovered memory : 48 Mo.\n");
}

// An allocation that cannot be met fails where it was asked for when the caller handles
// it (a caught exception, new (std::nothrow), a reader's own out-of-memory path); only a
// failure that nobody handles ends the process as the memory policy always has.
TEST(ImageManager, HandledFailuresLeaveTheProcessRunning)
{
    SKIP_UNDER_ASAN();
    TestSupport::TempDir dir;
    TestSupport::writeBlankRGBA(dir.path("small.png"), 3, 3);
    // A 16-bit 16384 x 16384 picture (2 GiB of pixels) whose data never comes.
    TestSupport::writeFile(dir.path("big.png"),
                           TestSupport::pngHeaderOnly(16384, 16384, 16, PNG_COLOR_TYPE_RGBA) +
                               std::string("\0\0\0\x10IDAT\x78\x9c", 10));
    const TestSupport::ChildResult child = TestSupport::runInChild([&] {
        Rendering::Image *small = nullptr, *big = nullptr;
        ImageManager::instance().addImage(dir.path("small.png"), small);
        const std::size_t huge = std::size_t(16) << 40;
        EXPECT_THROW(std::vector<char>().reserve(huge), std::bad_alloc);
        EXPECT_EQ(std::unique_ptr<char[]>(new (std::nothrow) char[huge]), nullptr);
        limitAddressSpace(512 * c_MiB);
        ImageManager::instance().addImage(dir.path("big.png"), big);
        EXPECT_EQ(big, nullptr);
        // A vertex list with room for 2 million vertices: a 46 MiB block of its own.
        const std::string model = "*GEOMOBJECT { *MESH { *MESH_NUMVERTEX 4000000 *MESH_VERTEX_LIST {" +
                                  std::string(40 << 20, ' ') + "*MESH_VERTEX 0 1 2 3 } } }";
        Rendering::Mesh mesh;
        limitAddressSpace(c_MiB);
        EXPECT_FALSE(Reader::ASEReader().loadFromMemory(model.data(), model.size(), "big.ase", &mesh));
    });
    EXPECT_EQ(child.status, 0);
    EXPECT_NE(child.output.find("PNG lib warning : Out of memory\n"), std::string::npos) << child.output;
    EXPECT_NE(child.output.find("[ASEReader]> Not enough memory to read \"big.ase\".\n"), std::string::npos);
    EXPECT_EQ(child.output.find("Not enought memory"), std::string::npos);
}

TEST(ImageManager, AnUnhandledFailureEndsTheProcess)
{
    const TestSupport::ChildResult child = TestSupport::runInChild([] {
        ImageManager::instance();
        // Nothing cached to reduce: the handler gives up, and nothing catches it.
        []() noexcept { std::get_new_handler()(); }();
    });
    EXPECT_EQ(child.status, 255);
    EXPECT_EQ(child.output, "Not enought memory, This application will be closed !\n");
}
