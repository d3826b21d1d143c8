#include "document/picturefile.h"
#include "document/vantrydoc.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "support/recordingview.h"
#include "support/scriptedprompter.h"
#include "support/solidbmp.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vantry {

namespace {

// The colour a solid picture was made with, as the document shows it; 0 without a picture.
std::uint32_t shownColour(const CVantryDoc& doc) {
    return doc.background().loaded() ? doc.background().pixels.front() : 0u;
}

constexpr std::uint32_t kRed = 0xFFC81E1Eu, kBlue = 0xFF1E1EC8u, kGreen = 0xFF1EC81Eu;

class PictureUndo : public ::testing::Test {
protected:
    PictureUndo() {
        settings->persistOnExit = false;
        doc.addView(&view);
        spit(dir.file("red.bmp"), solidBmp(64, 32, 200, 30, 30));
        spit(dir.file("blue.bmp"), solidBmp(80, 40, 30, 30, 200));
        prompter.paths.push_back(dir.file("plan.txt"));
        EXPECT_TRUE(doc.DoSave(std::nullopt)) << doc.lastError();
    }

    // Load Bitmap as the user gives it: the picture, its world width and its corner.
    void loadPicture(const std::string& name, float worldWidth = 2.0f, float left = 0.0f) {
        PictureChoice choice;
        if (!name.empty()) {
            choice.path = dir.file(name);
            choice.worldWidth = worldWidth;
            choice.left = left;
            choice.ratio = 32;
            choice.height = 32;
        }
        prompter.bitmaps.push_back(choice);
        doc.OnLoadBitmap();
    }

    SingletonPtr<UserDefinedSettings> settings;
    TestDir dir;
    ScriptedPrompter prompter;
    CVantryDoc doc{&prompter};
    RecordingView view;
};

// Undo and redo show the picture the network names, where it places it, without reading again a
// picture that is kept, and tell the views after the restore's own hint.
TEST_F(PictureUndo, UndoAndRedoShowThePictureTheNetworkNamesWhereItPlacesIt) {
    loadPicture("red.bmp");
    loadPicture("blue.bmp", 4.0f);
    ASSERT_EQ(shownColour(doc), kBlue);
    const std::uint32_t* bluePixels = doc.background().pixels.data();

    view.clear();
    doc.OnEditUndo();
    EXPECT_EQ(doc.network().bitmapPath(), "red.bmp");
    EXPECT_EQ(shownColour(doc), kRed);
    EXPECT_EQ(doc.background().width, 64);
    EXPECT_EQ(doc.pixelsPerMile(), 32);
    ASSERT_EQ(view.hints.size(), 2u);
    EXPECT_EQ(view.hints.back(), ChangeKind::BackgroundChanged) << "after the restore's own hint";

    doc.OnEditRedo();
    EXPECT_EQ(shownColour(doc), kBlue);
    EXPECT_EQ(doc.pixelsPerMile(), 20);
    EXPECT_EQ(doc.background().pixels.data(), bluePixels) << "kept, not decoded again";

    // Back to before any picture: nothing is shown, and the views hear of it.
    doc.OnEditUndo();
    doc.OnEditUndo();
    EXPECT_EQ(doc.network().bitmapPath(), "");
    EXPECT_FALSE(doc.background().loaded());
    EXPECT_EQ(doc.pixelsPerMile(), 0);
    EXPECT_EQ(view.hints.back(), ChangeKind::BackgroundChanged);
    EXPECT_EQ(prompter.asked.size(), 3u) << "only the three Load Bitmap dialogs";

    // The same picture placed elsewhere, and cleared: its place and pixels per mile come back.
    doc.OnEditRedo();
    loadPicture("red.bmp", 8.0f, 5.0f);
    EXPECT_EQ(doc.pixelsPerMile(), 8);
    loadPicture("");
    EXPECT_FALSE(doc.background().loaded());
    EXPECT_EQ(doc.network().bitmapRect(), WorldRect{});
    doc.OnEditUndo();
    EXPECT_EQ(shownColour(doc), kRed);
    EXPECT_EQ(doc.pixelsPerMile(), 8);
    view.clear();
    doc.OnEditUndo();
    EXPECT_EQ(doc.pixelsPerMile(), 32);
    EXPECT_EQ(doc.network().bitmapRect().left, 0.0f);
    EXPECT_EQ(view.hints.back(), ChangeKind::BackgroundChanged);

    // An edit that leaves the picture alone does not disturb it.
    doc.edit("Edit", [](Network& net) {
        net.setPrecision(2);
        return true;
    });
    view.clear();
    doc.OnEditUndo();
    EXPECT_EQ(std::count(view.hints.begin(), view.hints.end(), ChangeKind::BackgroundChanged), 0);
    EXPECT_EQ(shownColour(doc), kRed);
}

// Load Bitmap is an edit like any other: one named step when the picture or its place changes,
// none when the user confirms what the network already names.
TEST_F(PictureUndo, LoadBitmapIsOneNamedStepAndNoneWhenNothingChanges) {
    loadPicture("red.bmp");
    EXPECT_EQ(doc.undoDepth(), 1u);
    EXPECT_EQ(doc.undoName(), "Load Bitmap");
    loadPicture("red.bmp");
    EXPECT_EQ(doc.undoDepth(), 1u) << "the same picture at the same place";
    doc.OnEditUndo();
    EXPECT_FALSE(doc.IsModified()) << "back to the saved network";
    loadPicture("");
    EXPECT_EQ(doc.undoDepth(), 0u) << "clearing a network without a picture changes nothing";
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(PictureUndo, APictureChangedOnDiskOrGoneIsReadAgainOnUndo) {
    loadPicture("red.bmp");
    loadPicture("blue.bmp");
    // Another picture under the same name, one second younger so that no clock can miss it.
    spit(dir.file("red.bmp"), solidBmp(48, 32, 30, 200, 30));
    std::filesystem::last_write_time(dir.file("red.bmp"),
                                     std::filesystem::last_write_time(dir.file("red.bmp")) +
                                         std::chrono::seconds(1));
    doc.OnEditUndo();
    EXPECT_EQ(shownColour(doc), kGreen);
    EXPECT_EQ(doc.background().width, 48);

    // A picture that is gone is told once and shown as missing, as opening the network would.
    std::filesystem::remove(dir.file("blue.bmp"));
    prompter.asked.clear();
    doc.OnEditRedo();
    EXPECT_EQ(doc.network().bitmapPath(), "blue.bmp");
    EXPECT_FALSE(doc.background().loaded());
    EXPECT_EQ(doc.pixelsPerMile(), 0);
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.asked[0].text,
              "Cannot read \"" + dir.file("blue.bmp") + "\".\nFile Not Found.\n");
}

TEST_F(PictureUndo, APictureThatCannotBeReadChangesNothing) {
    loadPicture("red.bmp");
    ASSERT_TRUE(doc.OnFileSave());
    const std::size_t steps = doc.undoDepth();
    ASSERT_EQ(mkfifo(dir.file("pipe.bmp").c_str(), 0600), 0);
    spit(dir.file("notes.png"), "these are notes, not a picture");
    const struct {
        const char* name;
        std::string says;
    } cases[] = {
        {"pipe.bmp", "Cannot read \"" + dir.file("pipe.bmp") + "\".\nIt is a pipe, not a file.\n"},
        {"notes.png", "The file \"" + dir.file("notes.png") + "\" is not a picture"},
        {"gone.png", "Cannot read \"" + dir.file("gone.png") + "\".\nFile Not Found.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        prompter.asked.clear();
        view.clear();
        loadPicture(c.name);
        ASSERT_EQ(prompter.asked.size(), 2u);
        EXPECT_EQ(prompter.asked[1].text.rfind(c.says, 0), 0u) << prompter.asked[1].text;
        EXPECT_EQ(doc.network().bitmapPath(), "red.bmp");
        EXPECT_EQ(shownColour(doc), kRed) << "the picture the network names stays";
        EXPECT_EQ(doc.undoDepth(), steps);
        EXPECT_FALSE(doc.IsModified());
        EXPECT_TRUE(view.hints.empty());
    }
}

TEST_F(PictureUndo, PicturesAreReadOnlyByDocumentsThatShowThem) {
    spit(dir.file("net.txt"), "KX101\nEndNodes\nEndLinks\nred.bmp\n1 0 0 2\n");
    CVantryDoc shown(&prompter);
    ASSERT_TRUE(shown.OnOpenDocument(dir.file("net.txt")));
    EXPECT_EQ(shownColour(shown), kRed);

    prompter.asked.clear();
    std::filesystem::remove(dir.file("red.bmp"));
    CVantryDoc counted(&prompter);
    counted.setShowsPictures(false);
    ASSERT_TRUE(counted.OnOpenDocument(dir.file("net.txt")));
    EXPECT_EQ(counted.network().bitmapPath(), "red.bmp");
    EXPECT_FALSE(counted.background().loaded());
    EXPECT_TRUE(prompter.asked.empty()) << "the missing picture was not even looked for";
}

TEST_F(PictureUndo, AnAbsolutePathWrittenWithSlashesIsFoundWhereItSays) {
    std::filesystem::create_directories(dir.file("nets"));
    spit(dir.file("nets/net.txt"),
         "KX101\nEndNodes\nEndLinks\n" + dir.file("blue.bmp") + "\n1 0 0 2\n");
    CVantryDoc opened(&prompter);
    prompter.asked.clear();
    ASSERT_TRUE(opened.OnOpenDocument(dir.file("nets/net.txt")));
    EXPECT_TRUE(prompter.asked.empty()) << prompter.asked.front().text;
    EXPECT_EQ(shownColour(opened), kBlue);
    // Saved elsewhere it names the same picture, as it was written.
    ASSERT_TRUE(opened.OnSaveDocument(dir.file("moved.txt")));
    EXPECT_NE(slurp(dir.file("moved.txt")).find("\n" + dir.file("blue.bmp") + "\n"),
              std::string::npos);
}

TEST(PictureCache, KeepsPicturesForReuseWithinItsLimits) {
    TestDir dir;
    std::string why;
    spit(dir.file("dropped.bmp"), solidBmp(64, 64, 1, 2, 3));
    spit(dir.file("shown.bmp"), solidBmp(64, 64, 4, 5, 6));
    std::weak_ptr<const BackgroundImage> dropped = loadPicture(dir.file("dropped.bmp"), why);
    ASSERT_FALSE(dropped.expired()) << why;
    EXPECT_EQ(loadPicture(dir.file("dropped.bmp"), why), dropped.lock()) << "kept for reuse";
    const auto shown = loadPicture(dir.file("shown.bmp"), why);
    ASSERT_TRUE(shown) << why;

    // More pictures than are kept: the one no document holds goes, the one shown stays.
    for (std::size_t i = 0; i < kPictureCacheCount; ++i) {
        const std::string name = dir.file(std::to_string(i) + ".bmp");
        spit(name, solidBmp(8, 8, 0, 0, static_cast<std::uint8_t>(i)));
        ASSERT_TRUE(loadPicture(name, why)) << why;
    }
    EXPECT_TRUE(dropped.expired());
    EXPECT_EQ(loadPicture(dir.file("shown.bmp"), why), shown);
}

} // namespace

} // namespace vantry
