#include "document/fileio.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

bool onlyFileIn(const TestDir& dir, const std::string& name) {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        ++count;
        if (entry.path().filename() != name)
            return false;
    }
    return count == 1;
}

TEST(SafeWrite, ReplacesTheWholeFileAndLeavesNothingElseBehind) {
    TestDir dir;
    spit(dir.file("net.txt"), std::string(5000, 'x'));
    std::string why;
    ASSERT_TRUE(writeFileSafely(dir.file("net.txt"), "short", why)) << why;
    EXPECT_EQ(slurp(dir.file("net.txt")), "short");
    EXPECT_TRUE(onlyFileIn(dir, "net.txt"));
}

TEST(SafeWrite, AFailedWriteKeepsTheOldFileIntact) {
    TestDir dir;
    const std::string old = "KX101\nthe user's network\n";
    spit(dir.file("net.txt"), old);
    // The child process may write at most 1000 bytes to any file, so the write fails part way.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string why;
        const bool ok = writeFileSafely(dir.file("net.txt"), std::string(100000, 'y'), why);
        _exit(!ok && !why.empty() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write should have failed with a reason";
    EXPECT_EQ(slurp(dir.file("net.txt")), old);
    EXPECT_TRUE(onlyFileIn(dir, "net.txt"));
}

TEST(SafeWrite, KeepsPermissionsAndSymbolicLinks) {
    TestDir dir;
    spit(dir.file("real.txt"), "old");
    fs::permissions(dir.file("real.txt"),
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(dir.file("real.txt"), dir.file("link.txt"));
    std::string why;
    ASSERT_TRUE(writeFileSafely(dir.file("link.txt"), "new", why)) << why;
    EXPECT_TRUE(fs::is_symlink(dir.file("link.txt")));
    EXPECT_EQ(slurp(dir.file("real.txt")), "new");
    EXPECT_EQ(fs::status(dir.file("real.txt")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(SafeWrite, RefusesFoldersAndMissingFoldersWithAReason) {
    TestDir dir;
    std::string why;
    EXPECT_FALSE(writeFileSafely(dir.path().string(), "x", why));
    EXPECT_NE(why.find("folder"), std::string::npos);
    EXPECT_FALSE(writeFileSafely(dir.file("no/such/folder/net.txt"), "x", why));
    EXPECT_NE(why.find("no such file"), std::string::npos) << why;

    std::string contents;
    EXPECT_FALSE(readWholeFile(dir.path().string(), contents, why));
    EXPECT_NE(why.find("folder"), std::string::npos);
}

} // namespace
