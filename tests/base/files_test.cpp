#include "base/files.h"
#include "support/faultyfiles.h"
#include "support/fedpipe.h"
#include "support/ordinaryuser.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <functional>
#include <iterator>
#include <optional>
#include <vector>

#include <grp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vantry {

namespace {

namespace fs = std::filesystem;

// A group nobody is not in.
constexpr gid_t kUsers = 100;

bool onlyFilesIn(const TestDir& dir, std::vector<std::string> names) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        found.push_back(entry.path().filename().string());
    std::sort(found.begin(), found.end());
    std::sort(names.begin(), names.end());
    return found == names;
}

struct stat statOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st;
}

// Gives a file to the user that asOrdinaryUser runs as.
void giveToOrdinaryUser(const std::string& path) {
    if (geteuid() == 0) {
        ASSERT_EQ(chown(path.c_str(), kNobody, kNogroup), 0);
    }
}

int openDescriptors() {
    return static_cast<int>(std::distance(fs::directory_iterator("/proc/self/fd"), {}));
}

// Restores the current folder on the way out.
class InFolder {
public:
    explicit InFolder(const fs::path& folder) : old_(fs::current_path()) {
        fs::current_path(folder);
    }
    ~InFolder() { fs::current_path(old_); }

private:
    fs::path old_;
};

// ---- Safe writing -------------------------------------------------------------------------------

// What the user may not write is refused with the reason and left as it was: a read-only file, a
// file of another user whatever its mode bits, a folder the user may not write. A member of a
// file's group saves it, and the group the user could not give it stays.
TEST(SafeWrite, RefusesWhatTheUserMayNotWriteAndLeavesItAsItWas) {
    TestDir dir;
    const bool root = geteuid() == 0;
    const std::string old = std::string("KX101\r\n\0binary", 14);
    spit(dir.file("readonly.txt"), old);
    giveToOrdinaryUser(dir.file("readonly.txt"));
    fs::permissions(dir.file("readonly.txt"), fs::perms::owner_read | fs::perms::group_read);
    spit(dir.file("writable.txt"), old);
    giveToOrdinaryUser(dir.file("writable.txt"));
    fs::create_directory(dir.file("closed"));
    giveToOrdinaryUser(dir.file("closed"));
    fs::permissions(dir.file("closed"), fs::perms::owner_read | fs::perms::owner_exec);
    // Only root can make a file of another user: its own, 0644, and one its group may write.
    spit(dir.file("root.txt"), "old");
    spit(dir.file("shared.txt"), "old");
    if (root) {
        ASSERT_EQ(chown(dir.file("shared.txt").c_str(), 0, kUsers), 0);
        ASSERT_EQ(chmod(dir.file("shared.txt").c_str(), 0664), 0);
    }

    const auto complaint =
        asOrdinaryUser(dir,
                       [&]() -> std::string {
                           std::string why;
                           if (writeFileSafely(dir.file("readonly.txt"), "new", why))
                               return "a read-only file was replaced";
                           if (why.find("permission to write to it") == std::string::npos)
                               return "unclear reason for a read-only file: " + why;
                           if (isWritableFile(dir.file("readonly.txt")))
                               return "a read-only file was said to be writable";
                           if (!isWritableFile(dir.file("writable.txt")))
                               return "the user's own file was said not to be writable";
                           if (writeFileSafely(dir.file("closed/new.txt"), "new", why))
                               return "a file was made in a folder the user may not write";
                           if (why.find("permission to write to its folder") == std::string::npos)
                               return "unclear reason for a read-only folder: " + why;
                           if (!root)
                               return "";
                           if (isWritableFile(dir.file("root.txt")))
                               return "root's 0644 file was said to be writable";
                           if (writeFileSafely(dir.file("root.txt"), "new", why))
                               return "root's 0644 file was replaced";
                           if (!writeFileSafely(dir.file("shared.txt"), "new", why))
                               return "the group member could not save: " + why;
                           return "";
                       },
                       {kUsers});
    if (!complaint)
        GTEST_SKIP() << "cannot run as an ordinary user here";
    EXPECT_EQ(*complaint, "");
    EXPECT_EQ(slurp(dir.file("readonly.txt")), old);
    EXPECT_TRUE(fs::is_empty(dir.file("closed")));
    EXPECT_TRUE(
        onlyFilesIn(dir, {"readonly.txt", "writable.txt", "closed", "root.txt", "shared.txt"}));
    if (root) {
        EXPECT_EQ(slurp(dir.file("root.txt")), "old");
        EXPECT_EQ(statOf(dir.file("root.txt")).st_uid, 0u);
        EXPECT_EQ(slurp(dir.file("shared.txt")), "new");
        EXPECT_EQ(statOf(dir.file("shared.txt")).st_gid, kUsers);
        EXPECT_EQ(statOf(dir.file("shared.txt")).st_mode & 07777, 0664u);
    }
}

TEST(SafeWrite, ReplacesTheWholeFileKeepingModeOwnerAndGroup) {
    TestDir dir;
    const std::string path = dir.file("net.txt");
    spit(path, std::string(5000, 'x'));
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(path.c_str(), kNobody, kNogroup), 0);
    }
    std::string why;
    ASSERT_TRUE(writeFileSafely(path, "new", why)) << why;
    EXPECT_EQ(slurp(path), "new");
    EXPECT_TRUE(onlyFilesIn(dir, {"net.txt"}));
    const struct stat st = statOf(path);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_uid, root ? kNobody : geteuid());
    EXPECT_EQ(st.st_gid, root ? kNogroup : getegid());
}

TEST(SafeWrite, WritesThroughSymbolicLinks) {
    TestDir dir;
    std::string why;

    // A live link, named by its absolute target.
    spit(dir.file("real.txt"), "old");
    fs::create_symlink(dir.file("real.txt"), dir.file("link.txt"));
    ASSERT_TRUE(writeFileSafely(dir.file("link.txt"), "new", why)) << why;
    EXPECT_TRUE(fs::is_symlink(dir.file("link.txt")));
    EXPECT_EQ(slurp(dir.file("real.txt")), "new");

    // A dangling link gets its file, found from the link's folder and not the current one.
    fs::create_directory(dir.file("sub"));
    fs::create_symlink("../made.txt", dir.file("sub/dangling.txt"));
    ASSERT_TRUE(writeFileSafely(dir.file("sub/dangling.txt"), "made", why)) << why;
    EXPECT_TRUE(fs::is_symlink(dir.file("sub/dangling.txt")));
    EXPECT_EQ(slurp(dir.file("made.txt")), "made");

    // A chain of links, each relative to its own folder.
    fs::create_symlink("sub/dangling.txt", dir.file("chain.txt"));
    ASSERT_TRUE(writeFileSafely(dir.file("chain.txt"), "again", why)) << why;
    EXPECT_EQ(slurp(dir.file("made.txt")), "again");
    EXPECT_TRUE(fs::is_symlink(dir.file("chain.txt")));

    // A loop is refused, and nothing is made.
    fs::create_symlink("loop-b", dir.file("loop-a"));
    fs::create_symlink("loop-a", dir.file("loop-b"));
    EXPECT_FALSE(writeFileSafely(dir.file("loop-a"), "x", why));
    EXPECT_NE(why.find("loop"), std::string::npos) << why;
    EXPECT_TRUE(onlyFilesIn(
        dir, {"real.txt", "link.txt", "sub", "made.txt", "chain.txt", "loop-a", "loop-b"}));
}

TEST(SafeWrite, AFileMarkedReadOnlyIsReplacedOnlyWhenTheUserSaidSo) {
    // No write bit at all: its owner marked it read-only. Root may write any file, and is held
    // back all the same; others are refused by the permissions themselves.
    TestDir dir;
    const std::string path = dir.file("locked.txt");
    spit(path, "old");
    fs::create_symlink("locked.txt", dir.file("link.txt"));
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    std::string why;
    EXPECT_FALSE(isWritableFile(path));
    EXPECT_FALSE(writeFileSafely(path, "new", why));
    EXPECT_FALSE(writeFileSafely(dir.file("link.txt"), "new", why));
    EXPECT_EQ(slurp(path), "old");
    if (geteuid() != 0) {
        EXPECT_NE(why.find("permission to write to it"), std::string::npos) << why;
        EXPECT_FALSE(isReadOnlyButReplaceable(path));
        return;
    }
    EXPECT_EQ(why, "it is read-only: no one has permission to write to it");
    EXPECT_TRUE(isReadOnlyButReplaceable(path));
    EXPECT_TRUE(isReadOnlyButReplaceable(dir.file("link.txt")));
    ASSERT_TRUE(writeFileSafely(dir.file("link.txt"), "new", why, ReadOnlyFiles::Replace)) << why;
    EXPECT_EQ(slurp(path), "new");
    EXPECT_EQ(statOf(path).st_mode & 07777, 0444u);
    EXPECT_TRUE(fs::is_symlink(dir.file("link.txt")));

    // A file that only some may write is not marked read-only.
    ASSERT_EQ(chmod(path.c_str(), 0464), 0);
    EXPECT_FALSE(isReadOnlyButReplaceable(path));
    EXPECT_TRUE(writeFileSafely(path, "again", why)) << why;
    EXPECT_TRUE(onlyFilesIn(dir, {"locked.txt", "link.txt"}));
}

TEST(SafeWrite, TheTemporaryFilesOfKilledSavesGoAtTheNextSaveAndNothingElseDoes) {
    TestDir dir;
    spit(dir.file("net.txt"), "old");
    // A save killed half way: the process may write at most 1000 bytes to a file and dies when
    // it tries to write more.
    std::fflush(nullptr);
    const pid_t killed = fork();
    ASSERT_GE(killed, 0);
    if (killed == 0) {
        std::signal(SIGXFSZ, SIG_DFL);
        const rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        const rlimit limit{1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string why;
        writeFileSafely(dir.file("net.txt"), std::string(100000, 'y'), why);
        _exit(0);
    }
    int status = 0;
    waitpid(killed, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ);
    EXPECT_EQ(slurp(dir.file("net.txt")), "old");
    std::string left;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        if (entry.path().filename() != "net.txt")
            left = entry.path().filename().string();
    // The name tells which process wrote it.
    const std::string pidPart = "." + std::to_string(killed) + "-";
    const auto at = left.find(pidPart);
    ASSERT_NE(at, std::string::npos) << left;
    ASSERT_EQ(left.rfind(".vantry-save-", 0), 0u) << left;

    // The same name from this process, which is running, and from another machine; an older
    // name that says no process; and others' files.
    const std::string live = left.substr(0, at) + "." + std::to_string(getpid()) + "-" +
                             left.substr(at + pidPart.size());
    const std::string elsewhere = ".vantry-save-elsewhere" + left.substr(at);
    const std::string folder = left.substr(0, at + pidPart.size()) + "00000000.tmp";
    spit(dir.file(live), "being written");
    spit(dir.file(elsewhere), "being written elsewhere");
    spit(dir.file(".vantry-save-0123abcd.tmp"), "unknown");
    spit(dir.file("notes.tmp"), "the user's");
    fs::create_directory(dir.file(folder));
    std::string why;
    ASSERT_TRUE(writeFileSafely(dir.file("other.txt"), "new", why)) << why;
    EXPECT_TRUE(onlyFilesIn(dir, {"net.txt", "other.txt", live, elsewhere,
                                  ".vantry-save-0123abcd.tmp", "notes.tmp", folder}));
    EXPECT_EQ(slurp(dir.file(live)), "being written");
}

TEST(SafeWrite, RefusesFoldersAndMissingFoldersWithAReason) {
    TestDir dir;
    std::string why;
    EXPECT_FALSE(writeFileSafely(dir.path().string(), "x", why));
    EXPECT_EQ(why, "it is a folder, not a file");
    fs::create_directory(dir.file("folder"));
    fs::create_directory_symlink(dir.file("folder"), dir.file("to-folder"));
    EXPECT_FALSE(writeFileSafely(dir.file("to-folder"), "x", why));
    EXPECT_EQ(why, "it is a folder, not a file");
    EXPECT_FALSE(writeFileSafely(dir.file("no/such/folder/net.txt"), "x", why));
    EXPECT_EQ(why, "its folder does not exist");
    EXPECT_FALSE(writeFileSafely("", "x", why));
    EXPECT_EQ(why, "no file name was given");
    EXPECT_FALSE(isWritableFile(dir.file("folder")));
    EXPECT_FALSE(isWritableFile(dir.file("missing.txt")));
    EXPECT_TRUE(fs::is_empty(dir.file("folder")));
}

// Whichever step of a save the system fails, the reason names that step, the old file is as it
// was, nothing is made where there was no file, and neither a temporary file nor an open file
// is left behind.
TEST(SafeWrite, ASystemCallThatFailsLeavesTheOldFileAndNoTemporary) {
    const struct {
        const char* step;
        FileCalls (*calls)();
        const char* reason;
    } cases[] = {
        {"create", [] { return faulty::createFails(ENOSPC); }, "no space left on device"},
        {"every name taken", [] { return faulty::createFails(EEXIST); }, "file exists"},
        {"write", [] { return faulty::writeFailsAfter(3000); },
         "it could not be written completely: no space left on device"},
        {"fsync", [] { return faulty::flushFails(); },
         "it could not be written to the disk: input/output error"},
        {"close", [] { return faulty::closeFails(); },
         "it could not be written to the disk: input/output error"},
        {"rename", [] { return faulty::renameFails(); },
         "it cannot be replaced: input/output error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step);
        TestDir dir;
        spit(dir.file("net.txt"), "KX101\nold\n");
        const int descriptors = openDescriptors();
        for (const char* name : {"net.txt", "new.txt"}) {
            std::string why;
            const ScopedFileCalls faults(c.calls());
            EXPECT_FALSE(writeFileSafely(dir.file(name), std::string(10000, 'n'), why));
            EXPECT_EQ(why, c.reason);
        }
        EXPECT_EQ(slurp(dir.file("net.txt")), "KX101\nold\n");
        EXPECT_TRUE(onlyFilesIn(dir, {"net.txt"}));
        EXPECT_EQ(openDescriptors(), descriptors);
    }
}

// ---- Reading ------------------------------------------------------------------------------------

// Bytes of every value, repeating with a period prime to the page size, so that a page put in the
// wrong place shows.
std::string patternOf(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 13 % 257);
    return bytes;
}

// Every reader gives the file's bytes: megabytes over the large pages' boundary, then empty (where
// none of the last file's may stay), shorter than a page, just over one and an exact number of
// pages. Only a file with bytes is mapped.
TEST(ReadWholeFile, EveryReaderGivesTheFilesBytesAcrossPages) {
    TestDir dir;
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    std::string why, text;
    FileBytes bytes;
    MappedFile mapped;
    for (const std::size_t size :
         {std::size_t{5'000'001}, std::size_t{0}, std::size_t{100}, page + 1, page * 3}) {
        SCOPED_TRACE(size);
        const std::string expected = patternOf(size);
        spit(dir.file("data.bin"), expected);
        ASSERT_TRUE(readWholeFile(dir.file("data.bin"), text, why)) << why;
        EXPECT_TRUE(text == expected);
        ASSERT_TRUE(readWholeFile(dir.file("data.bin"), bytes, why)) << why;
        EXPECT_TRUE(bytes.view() == expected);
        ASSERT_TRUE(mapped.open(dir.file("data.bin"), why)) << why;
        EXPECT_EQ(mapped.mapped(), size > 0);
        EXPECT_TRUE(mapped.view() == expected);
    }
}

TEST(ReadWholeFile, ReadsFilesWhoseSizeSaysNothing) {
    // Files of the system, like pipes, report a size of 0 yet have contents: the reader's room
    // grows as it reads, in large pages too.
    if (!fs::exists("/proc/self/status"))
        GTEST_SKIP() << "no /proc";
    std::string contents, why;
    ASSERT_TRUE(readWholeFile("/proc/self/status", contents, why)) << why;
    EXPECT_NE(contents.find("Pid:"), std::string::npos);
    FileBytes bytes;
    ASSERT_TRUE(readWholeFile("/proc/self/status", bytes, why)) << why;
    EXPECT_NE(bytes.view().find("Pid:"), std::string::npos);
    // Nor can such a file be mapped; it is read whole instead.
    MappedFile file;
    ASSERT_TRUE(file.open("/proc/self/status", why)) << why;
    EXPECT_FALSE(file.mapped());
    EXPECT_NE(file.view().find("Pid:"), std::string::npos);
}

TEST(MappedFile, RefusesWhatReadingRefusesForTheSameReasons) {
    TestDir dir;
    spit(dir.file("full.txt"), "KX101\n");
    MappedFile file;
    std::string why;
    ASSERT_TRUE(file.open(dir.file("full.txt"), why)) << why;
    EXPECT_FALSE(file.open(dir.file("missing.txt"), why));
    EXPECT_EQ(file.view(), "") << "a failed open must not leave the last file's bytes";

    spit(dir.file("secret.txt"), "private");
    giveToOrdinaryUser(dir.file("secret.txt"));
    fs::permissions(dir.file("secret.txt"), fs::perms::owner_write);
    const auto complaint = asOrdinaryUser(dir, [&]() -> std::string {
        MappedFile secret;
        std::string mapWhy, wholeWhy, text;
        if (secret.open(dir.file("secret.txt"), mapWhy))
            return "a file the user may not read was opened";
        if (readWholeFile(dir.file("secret.txt"), text, wholeWhy))
            return "a file the user may not read was read";
        if (mapWhy != wholeWhy || mapWhy.find("permission") == std::string::npos)
            return "unclear reason for an unreadable file: " + mapWhy + " / " + wholeWhy;
        return "";
    });
    if (!complaint)
        GTEST_SKIP() << "cannot run as an ordinary user here";
    EXPECT_EQ(*complaint, "");
}

// ---- What is not a file -------------------------------------------------------------------------

// A socket bound to a path, as a running program leaves one.
class BoundSocket {
public:
    explicit BoundSocket(const std::string& path) : fd_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~BoundSocket() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool ready() const { return fd_ >= 0; }

private:
    int fd_;
};

// Every reader refuses the path for the reason given, and leaves nothing open.
void expectEveryReaderRefuses(const std::string& path, const std::string& reason) {
    SCOPED_TRACE(path);
    const int descriptors = openDescriptors();
    std::string why, text = "stale";
    ASSERT_FALSE(readWholeFile(path, text, why));
    EXPECT_EQ(why, reason);
    EXPECT_EQ(text, "");
    why.clear();
    FileBytes bytes;
    ASSERT_FALSE(readWholeFile(path, bytes, why));
    EXPECT_EQ(why, reason);
    why.clear();
    MappedFile mapped;
    ASSERT_FALSE(mapped.open(path, why));
    EXPECT_EQ(why, reason);
    EXPECT_EQ(mapped.view(), "");
    why.clear();
    InputFile input;
    ASSERT_FALSE(input.open(path, why));
    EXPECT_EQ(why, reason);
    EXPECT_EQ(openDescriptors(), descriptors);
}

TEST(NotAFile, WhatIsNoFileIsRefusedByEveryReaderWithoutWaiting) {
    // A reader that opened the pipe would be fed these bytes and succeed; one that opened a
    // device would read without end, so the pipe comes first and the endless device last.
    TestDir dir;
    const FedPipe pipe(dir.file("pipe.txt"), "KX101\n");
    ASSERT_TRUE(pipe.ready());
    const BoundSocket socket(dir.file("socket.txt"));
    ASSERT_TRUE(socket.ready());
    fs::create_symlink("/dev/zero", dir.file("zero.txt"));
    const struct {
        std::string path;
        std::string reason;
    } cases[] = {
        {dir.file("pipe.txt"), "it is a pipe, not a file"},
        {dir.file("socket.txt"), "it is a socket, not a file"},
        {"/dev/null", "it is a device, not a file"},
        {dir.path().string(), "it is a folder, not a file"},
        {dir.file("missing.txt"), "no such file or directory"},
        {dir.file("zero.txt"), "it is a device, not a file"},
    };
    for (const auto& c : cases) {
        std::string why;
        EXPECT_FALSE(checkReadableFile(c.path, why));
        EXPECT_EQ(why, c.reason);
        expectEveryReaderRefuses(c.path, c.reason);
    }
}

// A pipe put in a file's place between the look at it and the opening (or a file system that
// says one thing and opens another) is still refused before any byte is read.
TEST(NotAFile, APipeThatTakesTheFilesPlaceOnceItWasLookedAtIsRefused) {
    TestDir dir;
    spit(dir.file("net.txt"), "KX101\n");
    const FedPipe pipe(dir.file("pipe.txt"), "KX101\n");
    ASSERT_TRUE(pipe.ready());
    const ScopedFileCalls swapped(faulty::openGives(dir.file("pipe.txt")));
    expectEveryReaderRefuses(dir.file("net.txt"), "it is a pipe, not a file");
}

TEST(InputFile, ReadsAnyPartAndLessOnlyWhereTheFileEnds) {
    TestDir dir;
    const std::string bytes = patternOf(10'000);
    spit(dir.file("data.bin"), bytes);
    InputFile file;
    std::string why;
    ASSERT_TRUE(file.open(dir.file("data.bin"), why)) << why;
    EXPECT_EQ(file.size(), bytes.size());
    std::string part(3000, '\0');
    std::size_t got = 0;
    ASSERT_TRUE(file.readAt(4000, part.data(), part.size(), got, why)) << why;
    EXPECT_EQ(got, 3000u);
    EXPECT_EQ(part, bytes.substr(4000, 3000));
    ASSERT_TRUE(file.readAt(9000, part.data(), part.size(), got, why)) << why;
    EXPECT_EQ(got, 1000u);
    EXPECT_EQ(part.substr(0, got), bytes.substr(9000));
    ASSERT_TRUE(file.readAt(20'000, part.data(), part.size(), got, why)) << why;
    EXPECT_EQ(got, 0u);
}

// A drive that fails part way through a file: the reading fails with the system's reason rather
// than handing back the part it got as if it were the whole file.
TEST(ReadWholeFile, AReadErrorPartWayIsAFailureNotAShortFile) {
    TestDir dir;
    spit(dir.file("data.bin"), patternOf(100'000));
    const std::string reason = "it could not be read completely: input/output error";
    const ScopedFileCalls faults(faulty::readFailsAfter(5000));
    std::string text = "stale", why;
    EXPECT_FALSE(readWholeFile(dir.file("data.bin"), text, why));
    EXPECT_EQ(why, reason);
    EXPECT_EQ(text, "");

    faulty::bytesLeft = 5000;
    FileBytes bytes;
    EXPECT_FALSE(readWholeFile(dir.file("data.bin"), bytes, why));
    EXPECT_EQ(why, reason);

    faulty::bytesLeft = 5000;
    InputFile input;
    ASSERT_TRUE(input.open(dir.file("data.bin"), why)) << why;
    std::string part(8000, '\0');
    std::size_t got = 0;
    EXPECT_FALSE(input.readAt(1000, part.data(), part.size(), got, why));
    EXPECT_EQ(why, reason);
}

TEST(MappedFile, KeepsItsBytesWhenTheFileIsReplacedOrRemoved) {
    // Saving writes a new file and renames it over the old one; a view of the old one stands.
    TestDir dir;
    const std::string bytes = patternOf(100'000);
    spit(dir.file("net.txt"), bytes);
    MappedFile file;
    std::string why;
    ASSERT_TRUE(file.open(dir.file("net.txt"), why)) << why;
    ASSERT_TRUE(writeFileSafely(dir.file("net.txt"), "new", why)) << why;
    EXPECT_TRUE(file.view() == bytes);
    fs::remove(dir.file("net.txt"));
    EXPECT_TRUE(file.view() == bytes);
}

// ---- Paths --------------------------------------------------------------------------------------

TEST(Paths, NamesInUtf8SurviveTheRoundTrip) {
    TestDir dir;
    const std::string name = "Stra\xC3\x9F"
                             "e \xE6\x97\xA5\xE6\x9C\xAC.txt";
    const std::string path = utf8FromPath(dir.path()) + "/" + name;
    std::string why, contents;
    ASSERT_TRUE(writeFileSafely(path, "net", why)) << why;
    ASSERT_TRUE(readWholeFile(path, contents, why)) << why;
    EXPECT_EQ(contents, "net");
    const fs::directory_entry entry = *fs::directory_iterator(dir.path());
    EXPECT_EQ(utf8FromPath(entry.path().filename()), name);
    EXPECT_EQ(pathFromUtf8(path), entry.path());
}

TEST(Paths, AbsolutePathIsLexicalAndTakenAgainstTheCurrentFolder) {
    TestDir dir;
    fs::create_directories(dir.path() / "sub");
    fs::create_directories(dir.path() / "elsewhere/deep");
    fs::create_directory_symlink(dir.path() / "elsewhere/deep", dir.path() / "sub/link");
    const InFolder in(dir.path() / "sub");
    const std::string here = utf8FromPath(fs::current_path());
    const std::string above = utf8FromPath(fs::current_path().parent_path());

    EXPECT_EQ(absolutePath("a/./b/../c.txt"), here + "/a/c.txt");
    EXPECT_EQ(absolutePath("../x.txt"), above + "/x.txt");
    EXPECT_EQ(absolutePath("."), here);
    EXPECT_EQ(absolutePath("a/.."), here);
    // The link is not followed: its ".." is the folder holding the link.
    EXPECT_EQ(absolutePath("link/../f.txt"), here + "/f.txt");
    EXPECT_EQ(absolutePath("/x/./y/../z.txt"), "/x/z.txt");
    EXPECT_EQ(absolutePath("/.."), "/");
    EXPECT_EQ(absolutePath(""), "");
}

} // namespace

} // namespace vantry
