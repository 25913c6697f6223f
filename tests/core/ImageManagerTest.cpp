#include <gtest/gtest.h>

#include <png.h>
#include <sys/resource.h>

#include <fstream>
#include <new>

#include "core/ImageManager.h"
#include "core/ImageManagerNewHandler.h"
#include "rendering/Image.h"
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
        EXPECT_EQ(blocks.size(), 3u);
        EXPECT_EQ(ImageManager::instance().getTotalMemoryUsed(), 8 * c_MiB);
    });
    EXPECT_EQ(child.status, 0);
    EXPECT_EQ(outputAfterLoading(child.output), "Recovered memory : 24 Mo.\n");
}

// While the policy runs, a reduction that cannot get its own smaller buffer leaves that
// picture whole; the policy goes on with the next instead of calling itself again.
TEST(ImageManager, AReductionWithoutMemoryLeavesItsPictureWhole)
{
    SKIP_UNDER_ASAN();
    TestSupport::TempDir dir;
    TestSupport::writeBlankRGBA(dir.path("a.png"), 4096, 4096);
    TestSupport::writeBlankRGBA(dir.path("b.png"), 2048, 2048);
    const TestSupport::ChildResult child = TestSupport::runInChild([&] {
        Rendering::Image *a = nullptr, *b = nullptr;
        ImageManager::instance().addImage(dir.path("a.png"), a);
        ImageManager::instance().addImage(dir.path("b.png"), b);
        limitAddressSpace(8 * c_MiB);
        ImageManager::instance().manageMemory();
        EXPECT_FALSE(a->isReduced());
        EXPECT_EQ(a->getWidth(), 4096);
        EXPECT_TRUE(b->isReduced());
    });
    EXPECT_EQ(child.status, 0);
    EXPECT_EQ(outputAfterLoading(child.output), "Recovered memory : 12 Mo.\n");
}
