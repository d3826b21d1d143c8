#include "dialogs/bitmapdlg.h"
#include "support/scriptedprompter.h"
#include "support/solidbmp.h"
#include "support/testdir.h"
#include "support/toolkit.h"

#include <QLineEdit>

#include <filesystem>

#include <gtest/gtest.h>

namespace {

class BitmapDialog : public WithToolkit, public ::testing::Test {
protected:
    std::string picture(int width, int height) {
        const std::string path =
            dir.file(std::to_string(width) + "x" + std::to_string(height) + ".bmp");
        spit(path, solidBmp(width, height, 200, 100, 50));
        return path;
    }
    QString box(const CBitmapDlg& dlg, const char* name) {
        return dlg.findChild<QLineEdit*>(QString::fromLatin1(name))->text();
    }

    TestDir dir;
    ScriptedPrompter prompter;
};

TEST_F(BitmapDialog, PixelsPerMileAreRoundedAndAMissingWidthIsOnePixelPerMile) {
    BitmapChoice start;
    start.path = picture(1000, 480);
    start.worldWidth = 2.9f;
    CBitmapDlg dlg(start, prompter);
    EXPECT_EQ(box(dlg, "bitmapWidth"), "1000");
    EXPECT_EQ(box(dlg, "bitmapHeight"), "480");
    EXPECT_EQ(box(dlg, "ratio"), "345");

    BitmapChoice bare;
    bare.path = picture(640, 480);
    CBitmapDlg fresh(bare, prompter);
    EXPECT_EQ(box(fresh, "worldWidth"), "640");
    EXPECT_EQ(box(fresh, "ratio"), "1");
    fresh.findChild<QLineEdit*>("worldWidth")->setText("2");
    fresh.worldWidthEditingFinished();
    EXPECT_EQ(box(fresh, "ratio"), "320");
    fresh.accept();
    EXPECT_EQ(fresh.result(), QDialog::Accepted);
    EXPECT_EQ(fresh.choice().ratio, 320);
    EXPECT_EQ(fresh.choice().height, 480);
    EXPECT_TRUE(prompter.asked.empty());
}

TEST_F(BitmapDialog, ThePreviewKeepsThePicturesShape) {
    const std::pair<std::pair<int, int>, QRect> cases[] = {
        {{800, 400}, QRect(QPoint(15, 15), QPoint(309, 154))},
        {{400, 800}, QRect(QPoint(15, 15), QPoint(154, 309))},
        {{300, 300}, QRect(QPoint(15, 15), QPoint(309, 309))},
    };
    for (const auto& [size, rect] : cases) {
        BitmapChoice start;
        start.path = picture(size.first, size.second);
        CBitmapDlg dlg(start, prompter);
        EXPECT_EQ(dlg.previewRect(), rect) << size.first << "x" << size.second;
    }
}

TEST_F(BitmapDialog, UnreadableFilesAreReportedAndBadNumbersKeepTheDialogOpen) {
    spit(dir.file("junk.bmp"), "BMnot really a bitmap");
    BitmapChoice start;
    start.path = dir.file("junk.bmp");
    CBitmapDlg dlg(start, prompter);
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.asked[0].text.rfind("Cannot read bitmap \"" + start.path + "\".\n", 0), 0u);
    EXPECT_TRUE(dlg.preview().isNull());

    dlg.loadIntoDialog(QString::fromStdString(dir.file("absent.bmp")));
    EXPECT_EQ(prompter.asked.back().text,
              "Cannot open \"" + dir.file("absent.bmp") + "\".\nFile Not Found.\n");

    dlg.findChild<QLineEdit*>("left")->setText("west");
    dlg.accept();
    EXPECT_NE(dlg.result(), QDialog::Accepted);
    EXPECT_NE(prompter.asked.back().text.find("Left side alignment"), std::string::npos);
}

TEST_F(BitmapDialog, APathStoredInCodePage1252OpensThatFileAndKeepsItsBytes) {
    // Names on disk are bytes; these were written on Windows in code page 1252.
    const std::string folder = dir.file("Stra\xDF"
                                        "e");
    std::filesystem::create_directory(folder);
    const std::string cafe = folder + "/Caf\xE9.bmp";
    spit(cafe, solidBmp(40, 20, 200, 100, 50));
    BitmapChoice start;
    start.path = cafe;
    start.worldWidth = 2;
    {
        CBitmapDlg dlg(start, prompter);
        EXPECT_TRUE(prompter.asked.empty()) << "the file was found";
        EXPECT_EQ(box(dlg, "bitmapWidth"), "40");
        EXPECT_EQ(box(dlg, "path"), QString::fromStdString(dir.file("Stra")) +
                                        QString::fromUtf16(u"\u00DFe/Caf\u00E9.bmp"));
        dlg.accept();
        ASSERT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_EQ(dlg.choice().path, cafe);
    }

    // An edited name is written in the path's own code page, and the bytes around it stay.
    const std::string creme = folder + "/Cr\xE8me.bmp";
    spit(creme, solidBmp(60, 20, 200, 100, 50));
    CBitmapDlg dlg(start, prompter);
    auto* path = dlg.findChild<QLineEdit*>("path");
    path->setText(
        path->text().replace(QString::fromUtf16(u"Caf\u00E9"), QString::fromUtf16(u"Cr\u00E8me")));
    dlg.pathEditingFinished();
    EXPECT_TRUE(prompter.asked.empty()) << "the edited name was found";
    EXPECT_EQ(box(dlg, "bitmapWidth"), "60");
    path->setText(path->text() + QLatin1Char(' '));
    dlg.accept();
    EXPECT_EQ(dlg.choice().path, creme);
}

} // namespace
