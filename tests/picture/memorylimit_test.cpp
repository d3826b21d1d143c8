// Bitmaps read in a child process whose address space is held to about 1.5 GB, as on a small
// machine: a tiny file that declares a huge picture is refused before memory is taken for what it
// declares, a picture at the pixel limit still decodes, and memory that runs out is reported.

#include "picture/bitmapdecode.h"
#include "picture/packedbitmap.h"

#include "bmpwriter.h"
#include "support/addressspace.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace vantry {

namespace {

constexpr rlim_t kSmallMachine = rlim_t{kSmallMachineKiB} * 1024;

// Runs `body` in a child process limited to `addressSpace` bytes and returns what it returned,
// or 100 plus the number of the signal that ended it.
int InChildLimitedTo(rlim_t addressSpace, const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const rlimit limit{addressSpace, addressSpace};
        _exit(setrlimit(RLIMIT_AS, &limit) == 0 ? body() : 99);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

class UnderAMemoryLimit : public testing::Test {
protected:
    void SetUp() override {
        if (kAddressSanitizer)
            GTEST_SKIP() << "needs the whole address space under AddressSanitizer";
    }
};

TEST_F(UnderAMemoryLimit, TinyFilesDeclaringHugePicturesAreRefusedAsTooLarge) {
    const std::vector<std::string> files = {
        TrueColourBmp(30000, 30000, 256),
        TrueColourBmp(30000, -30000, 256),
        RunLengthBmp(30000, 30000),
        RunLengthBmp(30000, 4474),
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(i);
        // 1: accepted; 2: refused for another reason.
        const int outcome = InChildLimitedTo(kSmallMachine, [&] {
            std::string why;
            const PackedBitmap b = ReadBytes(files[i], &why, "huge.bmp");
            if (!b.isNull())
                return 1;
            return why.rfind("The bitmap \"huge.bmp\" is too large: ", 0) == 0 ? 0 : 2;
        });
        EXPECT_EQ(outcome, 0);
    }
}

TEST_F(UnderAMemoryLimit, APictureAtThePixelLimitDecodesAndMemoryThatRunsOutIsReported) {
    constexpr std::int32_t kRows = 8192;
    const std::string file =
        RunLengthBmp(static_cast<std::int32_t>(kMaxPicturePixels / kRows), kRows);
    // 1: refused; 2: not decoded; 3: wrong pixels; 4: decoded where it could not be; 5: wrong
    // message.
    auto decode = [&] {
        std::string why;
        const PackedBitmap b = ReadBytes(file, &why, "limit.bmp");
        if (b.isNull())
            return 1;
        std::vector<std::uint32_t> pixels;
        if (!DecodeBitmap(b, pixels, &why))
            return why == "There is not enough memory to show the bitmap \"limit.bmp\" (16384 x "
                          "8192 pixels)."
                       ? 2
                       : 5;
        return pixels.size() == kMaxPicturePixels && pixels.back() == 0xFF336699u ? 0 : 3;
    };
    EXPECT_EQ(InChildLimitedTo(kSmallMachine, decode), 0);
    // A quarter of a gigabyte cannot hold the half gigabyte of decoded pixels.
    EXPECT_EQ(InChildLimitedTo(rlim_t{1} << 28, decode), 2);
}

} // namespace

} // namespace vantry
