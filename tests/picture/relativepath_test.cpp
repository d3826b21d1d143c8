#include "picture/relativepath.h"

#include <gtest/gtest.h>

namespace vantry {

namespace {

using Parts = std::vector<std::string>;

TEST(SameTextIgnoringCase, ComparesLengthsAndLettersWithoutCase) {
    const struct {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"", "", true},           {"NETS", "nets", true}, {R"(C:\Maps)", R"(c:\mAPS)", true},
        {"nets", "nets2", false}, {"a-b", "A_B", false},  {"", "a", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SameTextIgnoringCase(c.a, c.b), c.same) << c.a << " / " << c.b;
        EXPECT_EQ(SameTextIgnoringCase(c.b, c.a), c.same) << c.b << " / " << c.a;
    }
}

TEST(IsAbsolutePath, KnowsDrivesServersAndTheRoot) {
    // A leading backslash is the root of the current drive, or a stored '/' path; paths that
    // begin with '/' were written by hand or by a program on a system whose separator is '/'.
    for (const char* path : {"", R"(C:\maps\x.bmp)", R"(d:\)", R"(\\srv\share\x.bmp)",
                             R"(\maps\x.bmp)", "/home/ann/x.bmp", "/x.bmp"})
        EXPECT_TRUE(IsAbsolutePath(path)) << path;
    for (const char* path :
         {"C:x.bmp", "C:", R"(maps\x.bmp)", R"(..\x.bmp)", "x.bmp", "maps/x.bmp", "./x.bmp"})
        EXPECT_FALSE(IsAbsolutePath(path)) << path;
}

TEST(SplitPath, CutsAtEveryBackslash) {
    const struct {
        const char* path;
        Parts parts;
    } cases[] = {
        {R"(C:\a\b.bmp)", {"C:", "a", "b.bmp"}},
        {R"(\\srv\share\x.bmp)", {"", "", "srv", "share", "x.bmp"}},
        {R"(C:\a\\b.bmp)", {"C:", "a", "", "b.bmp"}},
        {R"(C:\a\)", {"C:", "a"}},
        {R"(\)", {""}},
        {"x.bmp", {"x.bmp"}},
        {"a/b.bmp", {"a/b.bmp"}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitPath(c.path), c.parts) << c.path;
}

struct PathCase {
    const char* document;
    const char* path;
    const char* expected;
};

TEST(MakeRelativePath, StartsFromTheDocumentsFolder) {
    const PathCase cases[] = {
        {R"(C:\nets\a\net.txt)", R"(C:\nets\maps\area.bmp)", R"(..\maps\area.bmp)"},
        {R"(C:\nets\net.txt)", R"(c:\NETS\area.bmp)", "area.bmp"},
        {R"(C:\net.txt)", R"(C:\maps\x.bmp)", R"(maps\x.bmp)"},
        {R"(C:\a\b\c\net.txt)", R"(C:\x.bmp)", R"(..\..\..\x.bmp)"},
        {R"(C:\nets\a\net.txt)", R"(C:\nets)", ".."},
        {R"(\\srv1\share\net.txt)", R"(\\srv1\share\a.bmp)", "a.bmp"},
        {R"(\\srv1\share\net.txt)", R"(\\SRV1\Share\maps\a.bmp)", R"(maps\a.bmp)"},
        {R"(\\srv1\share\net.txt)", R"(\\srv1\other\a.bmp)", R"(..\other\a.bmp)"},
        // A typed relative target passes the drive test and climbs out of every folder.
        {R"(C:\nets\net.txt)", R"(c-maps\x.bmp)", R"(..\..\c-maps\x.bmp)"},
        // Dots, doubled backslashes and forward slashes are ordinary components.
        {R"(C:\nets\net.txt)", R"(C:\nets\maps\\x.bmp)", R"(maps\\x.bmp)"},
        {R"(C:\nets\net.txt)", R"(C:\nets\.\x.bmp)", R"(.\x.bmp)"},
        {R"(C:\nets\net.txt)", R"(C:\nets/maps\x.bmp)", R"(..\nets/maps\x.bmp)"},
        // Stored paths from systems with '/' separators.
        {R"(\home\ann\nets\net.txt)", R"(\home\ann\maps\area.bmp)", R"(..\maps\area.bmp)"},
#if !defined(_WIN32) && !defined(__APPLE__)
        // Where file names tell case apart, Data and data are two folders.
        {R"(\srv\proj\Data\net.txt)", R"(\srv\proj\data\maps\a.bmp)", R"(..\data\maps\a.bmp)"},
        {R"(\srv\proj\Data\net.txt)", R"(\srv\proj\Data\maps\a.bmp)", R"(maps\a.bmp)"},
#else
        {R"(\srv\proj\Data\net.txt)", R"(\srv\proj\data\maps\a.bmp)", R"(maps\a.bmp)"},
#endif
    };
    for (const auto& c : cases)
        EXPECT_EQ(MakeRelativePath(c.document, c.path), c.expected)
            << c.document << " -> " << c.path;
}

TEST(MakeRelativePath, GivesTheTargetBackWhenNoRelativePathFits) {
    const PathCase cases[] = {
        {R"(C:\nets\net.txt)", R"(D:\maps\area.bmp)", nullptr},
        {R"(\\srv1\share\net.txt)", R"(\\srv2\share\a.bmp)", nullptr},
        {R"(\\srv\share\net.txt)", R"(\\srv)", nullptr}, // "srv\" against "srv"
        {R"(C:\nets\net.txt)", R"(\\srv\share\a.bmp)", nullptr},
        {"", R"(C:\maps\area.bmp)", nullptr},
        {R"(C:\nets\net.txt)", "", nullptr},
        // The document's own folder.
        {R"(C:\nets\net.txt)", R"(C:\nets)", nullptr},
        {R"(C:\nets\net.txt)", R"(c:\NETS\)", nullptr},
        {R"(\\srv\share\net.txt)", R"(\\srv\share)", nullptr},
        // What follows the shared folders would read as an absolute path, or as none at all.
        {R"(C:\ne.txt)", R"(C:\\x.bmp)", nullptr},
        {R"(C:\nets\net.txt)", R"(C:\nets\\maps\x.bmp)", nullptr},
        {R"(\home\ann\net.txt)", R"(\home\ann\C:\x.bmp)", nullptr},
        {R"(C:\nets\net.txt)", R"(C:\nets\\)", nullptr},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MakeRelativePath(c.document, c.path), c.path) << c.document << " -> " << c.path;
}

TEST(ResolvePath, AppendsRelativePathsToTheDocumentsFolder) {
    const PathCase cases[] = {
        {R"(C:\nets\a\net.txt)", R"(..\maps\area.bmp)", R"(C:\nets\maps\area.bmp)"},
        {R"(C:\nets\net.txt)", R"(maps\x.bmp)", R"(C:\nets\maps\x.bmp)"},
        {R"(C:\nets\net.txt)", "x.bmp", R"(C:\nets\x.bmp)"},
        {R"(C:\a\b\c\net.txt)", R"(..\..\..\x.bmp)", R"(C:\x.bmp)"},
        // The folder list C:, a is used up after two ".." and the third stays.
        {R"(C:\a\net.txt)", R"(..\..\..\x.bmp)", R"(..\x.bmp)"},
        {R"(\\srv\share\nets\net.txt)", R"(..\maps\a.bmp)", R"(\\srv\share\maps\a.bmp)"},
        // Only leading ".." climb, and only when spelt exactly so.
        {R"(C:\nets\net.txt)", R"(maps\..\x.bmp)", R"(C:\nets\maps\..\x.bmp)"},
        {R"(C:\nets\net.txt)", R"(.\x.bmp)", R"(C:\nets\.\x.bmp)"},
        {R"(C:\nets\net.txt)", R"(maps\\x.bmp)", R"(C:\nets\maps\\x.bmp)"},
        // A document that was never saved, or has no folder: the path as stored.
        {"", R"(maps\x.bmp)", R"(maps\x.bmp)"},
        {"", R"(..\x.bmp)", R"(..\x.bmp)"},
        {"net.txt", R"(..\x.bmp)", R"(..\x.bmp)"},
        // Absolute paths stay as they are.
        {R"(C:\nets\net.txt)", R"(D:\maps\x.bmp)", R"(D:\maps\x.bmp)"},
        {R"(C:\nets\net.txt)", R"(\\srv\share\x.bmp)", R"(\\srv\share\x.bmp)"},
        {R"(C:\nets\net.txt)", R"(\home\ann\x.bmp)", R"(\home\ann\x.bmp)"},
        {R"(\home\ann\nets\net.txt)", "/srv/maps/x.png", "/srv/maps/x.png"},
        {R"(\home\ann\nets\net.txt)", R"(/srv/maps\x.png)", R"(/srv/maps\x.png)"},
        {R"(C:\nets\net.txt)", "", ""},
        // Forward slashes inside a relative path are left for the system to read.
        {R"(\home\ann\nets\net.txt)", "maps/x.png", R"(\home\ann\nets\maps/x.png)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolvePath(c.document, c.path), c.expected) << c.document << " <- " << c.path;
}

TEST(NativePath, TurnsStoredPathsIntoThisSystemsFormAndStoredPathBack) {
    const struct {
        const char* stored;
        const char* elsewhere; // on systems other than Windows
    } cases[] = {
        {R"(maps\x.bmp)", "maps/x.bmp"},
        {R"(..\maps\x.bmp)", "../maps/x.bmp"},
        {R"(\home\ann\x.bmp)", "/home/ann/x.bmp"},
        {"x.bmp", "x.bmp"},
        {"", ""},
        // Places that only exist on Windows keep their form, so the message shows it.
        {R"(C:\maps\x.bmp)", R"(C:\maps\x.bmp)"},
        {R"(\\srv\share\x.bmp)", R"(\\srv\share\x.bmp)"},
    };
    for (const auto& c : cases) {
#ifdef _WIN32
        EXPECT_EQ(NativePath(c.stored), c.stored);
#else
        EXPECT_EQ(NativePath(c.stored), c.elsewhere);
#endif
        EXPECT_EQ(StoredPath(c.elsewhere), c.stored);
    }
    EXPECT_EQ(StoredPath("C:/maps/x.bmp"), R"(C:\maps\x.bmp)");
}

// What the Load Bitmap command and the loader do with the paths a system with '/' separators
// gives them.
TEST(RelativePaths, PathsWithForwardSlashesTravelInTheStoredForm) {
    const std::string document = StoredPath("/home/ann/nets/net.txt");
    const std::string bitmap = StoredPath("/home/ann/maps/area.bmp");
    const std::string moved = StoredPath("/srv/archive/nets/net.txt");

    const std::string relative = MakeRelativePath(document, bitmap);
    EXPECT_EQ(relative, R"(..\maps\area.bmp)");
    EXPECT_EQ(ResolvePath(moved, relative), R"(\srv\archive\maps\area.bmp)");

    // Chosen while the document was still unsaved: stored absolute, and absolute it stays.
    const std::string absolute = MakeRelativePath("", bitmap);
    EXPECT_EQ(ResolvePath(moved, absolute), R"(\home\ann\maps\area.bmp)");
#ifndef _WIN32
    EXPECT_EQ(NativePath(ResolvePath(moved, relative)), "/srv/archive/maps/area.bmp");
    EXPECT_EQ(NativePath(ResolvePath(moved, absolute)), "/home/ann/maps/area.bmp");
#endif
}

} // namespace

} // namespace vantry
