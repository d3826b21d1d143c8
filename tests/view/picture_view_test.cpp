#include "document/vantrydoc.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "support/scriptedprompter.h"
#include "support/solidbmp.h"
#include "support/testdir.h"
#include "support/toolkit.h"
#include "view/vantryview.h"

#include <gtest/gtest.h>

#include <string>

namespace vantry {

namespace {

// A view of 400 x 300 pixels, scale 100, centred on the origin, of a saved network whose
// background pictures cover the whole view.
class PictureView : public WithToolkit, public ::testing::Test {
protected:
    PictureView() {
        toolkit();
        settings->persistOnExit = false;
        settings->backColor.value = 0xFFFFFF;
        spit(dir.file("red.bmp"), solidBmp(64, 48, 200, 30, 30));
        spit(dir.file("blue.bmp"), solidBmp(64, 48, 30, 30, 200));
        prompter.paths.push_back(dir.file("plan.txt"));
        EXPECT_TRUE(doc.DoSave(std::nullopt)) << doc.lastError();
        view.showGrid = false;
        view.showNumbers = false;
        view.viewport()->resize(400, 300);
        view.setPixelsPerLogical(1.0);
        view.transform().scale = 100.0f;
        view.transform().viewCenter = {0.0f, 0.0f};
        view.OnUpdate(nullptr, ChangeKind::Redraw);
    }

    void loadPicture(const std::string& name) {
        PictureChoice choice;
        if (!name.empty()) {
            choice.path = dir.file(name);
            choice.worldWidth = 8.0f;
            choice.left = -4.0f;
            choice.bottom = -3.0f;
            choice.ratio = 8;
            choice.height = 48;
        }
        prompter.bitmaps.push_back(choice);
        doc.OnLoadBitmap();
    }

    QRgb middle() const { return view.offscreen().pixel(200, 150); }
    // Whether View > Bitmap Background is enabled, and checked.
    std::pair<bool, bool> bitmapSwitch() const {
        const auto state = view.query(ID_VIEW_BITMAP);
        return {state && state->enabled, state && state->checked};
    }

    SingletonPtr<UserDefinedSettings> settings;
    TestDir dir;
    ScriptedPrompter prompter;
    CVantryDoc doc{&prompter};
    CVantryView view{&doc};
};

const QRgb kRed = qRgb(200, 30, 30), kBlue = qRgb(30, 30, 200), kPaper = qRgb(255, 255, 255);

TEST_F(PictureView, UndoAndRedoOfLoadBitmapDrawThePictureTheNetworkNames) {
    loadPicture("red.bmp");
    loadPicture("blue.bmp");
    ASSERT_EQ(middle(), kBlue);
    doc.OnEditUndo();
    EXPECT_EQ(middle(), kRed);
    doc.OnEditRedo();
    EXPECT_EQ(middle(), kBlue);
    doc.OnEditUndo();
    doc.OnEditUndo();
    EXPECT_EQ(doc.network().bitmapPath(), "");
    EXPECT_EQ(middle(), kPaper);
    EXPECT_EQ(bitmapSwitch(), std::make_pair(false, false));
    doc.OnEditRedo();
    EXPECT_EQ(middle(), kRed);
    EXPECT_EQ(bitmapSwitch(), std::make_pair(true, true));

    // Undoing a cleared background draws it again and enables its switch.
    loadPicture("");
    ASSERT_EQ(middle(), kPaper);
    ASSERT_EQ(bitmapSwitch(), std::make_pair(false, false));
    doc.OnEditUndo();
    EXPECT_EQ(doc.network().bitmapPath(), "red.bmp");
    EXPECT_EQ(middle(), kRed);
    EXPECT_EQ(bitmapSwitch(), std::make_pair(true, true));
}

} // namespace

} // namespace vantry
