#include "dialogs/bitmapdlg.h"
#include "dialogs/qtprompter.h"
#include "support/pictures.h"
#include "support/scriptedprompter.h"
#include "support/solidbmp.h"
#include "support/testdir.h"
#include "support/toolkit.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace vantry {

namespace {

PictureChoice choosing(const std::string& path, float worldWidth = 0) {
    PictureChoice choice;
    choice.path = path;
    choice.worldWidth = worldWidth;
    return choice;
}

class BitmapDialog : public WithToolkit, public ::testing::Test {
protected:
    std::string picture(int width, int height) {
        const std::string path =
            dir.file(std::to_string(width) + "x" + std::to_string(height) + ".bmp");
        spit(path, solidBmp(width, height, 200, 100, 50));
        return path;
    }
    static QLineEdit* edit(const CBitmapDlg& dlg, const char* name) {
        return dlg.findChild<QLineEdit*>(QString::fromLatin1(name));
    }
    static QString box(const CBitmapDlg& dlg, const char* name) { return edit(dlg, name)->text(); }
    // The picture's width and height in pixels and its pixels per mile, as shown.
    static QStringList numbers(const CBitmapDlg& dlg) {
        return {box(dlg, "bitmapWidth"), box(dlg, "bitmapHeight"), box(dlg, "ratio")};
    }
    static QPushButton* button(const CBitmapDlg& dlg, const QString& text) {
        for (QPushButton* b : dlg.findChildren<QPushButton*>())
            if (b->text().remove('&') == text)
                return b;
        return nullptr;
    }
    // The dialog on screen, its path box holding the text with the focus in it.
    static void typePath(CBitmapDlg& dlg, const QString& text) {
        dlg.show();
        dlg.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
        auto* path = edit(dlg, "path");
        path->setFocus(Qt::MouseFocusReason);
        path->setText(text);
    }
    const std::string& lastSaid() const { return prompter.asked.back().text; }

    TestDir dir;
    ScriptedPrompter prompter;
};

TEST_F(BitmapDialog, PixelsPerMileAreRoundedAndAMissingWidthIsOnePixelPerMile) {
    CBitmapDlg dlg(choosing(picture(1000, 480), 2.9f), prompter);
    EXPECT_EQ(numbers(dlg), QStringList({"1000", "480", "345"}));

    CBitmapDlg fresh(choosing(picture(640, 480)), prompter);
    EXPECT_EQ(box(fresh, "worldWidth"), "640");
    EXPECT_EQ(box(fresh, "ratio"), "1");
    edit(fresh, "worldWidth")->setText("2");
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
        CBitmapDlg dlg(choosing(picture(size.first, size.second)), prompter);
        EXPECT_EQ(dlg.previewRect(), rect) << size.first << "x" << size.second;
    }
}

TEST_F(BitmapDialog, PngJpegTiffGifAndWebpPicturesFillTheDialogAsABitmapDoes) {
    const QImage picture = quarteredPicture(1008, 480);
    for (const char* format : {"png", "jpg", "tif", "gif", "webp"}) {
        SCOPED_TRACE(format);
        const std::string path = dir.file(std::string("wide.") + format);
        // The toolkit writes every kind but GIF; that one was made by ImageMagick.
        if (std::string(format) == "gif")
            spit(path, slurp(std::string(VANTRY_TEST_DATA) + "/bitmap/quarters.gif"));
        else
            ASSERT_TRUE(picture.save(QString::fromStdString(path), nullptr, 100));
        CBitmapDlg dlg(choosing(path, 2.9f), prompter);
        EXPECT_TRUE(prompter.asked.empty()) << lastSaid();
        EXPECT_EQ(numbers(dlg), QStringList({"1008", "480", "348"}));
        EXPECT_EQ(dlg.previewRect(), QRect(QPoint(15, 15), QPoint(309, 146)));
        ASSERT_FALSE(dlg.preview().isNull());
        const QRgb top = dlg.preview().pixel(100, 100), want = picture.pixel(100, 100);
        EXPECT_LE(std::abs(qRed(top) - qRed(want)) + std::abs(qGreen(top) - qGreen(want)) +
                      std::abs(qBlue(top) - qBlue(want)),
                  12);
    }

    // A picture cut short or too large is refused with the reason, as a bitmap is.
    spit(dir.file("half.png"), slurp(dir.file("wide.png")).substr(0, 300));
    spit(dir.file("huge.png"), pngDeclaring(40000, 100));
    for (const char* name : {"half.png", "huge.png"}) {
        prompter.asked.clear();
        CBitmapDlg dlg(choosing(dir.file(name)), prompter);
        ASSERT_EQ(prompter.asked.size(), 1u);
        EXPECT_EQ(lastSaid().rfind("The picture \"" + dir.file(name) + "\" is ", 0), 0u)
            << lastSaid();
        EXPECT_TRUE(dlg.preview().isNull());
    }
}

TEST_F(BitmapDialog, UnreadableFilesAreReportedAndBadNumbersKeepTheDialogOpen) {
    spit(dir.file("junk.bmp"), "BMnot really a bitmap");
    CBitmapDlg dlg(choosing(dir.file("junk.bmp"), 2.0f), prompter);
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(lastSaid().rfind("The bitmap \"" + dir.file("junk.bmp") + "\" cannot be read", 0), 0u)
        << lastSaid();
    EXPECT_TRUE(dlg.preview().isNull());

    // A picture that was shown, then a file that cannot be: the numbers go with the preview,
    // and the message names the file once.
    mkfifo(dir.file("pipe.png").c_str(), 0600);
    for (const std::string& name : {dir.file("absent.bmp"), dir.file("pipe.png")}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(dlg.loadIntoDialog(QString::fromStdString(picture(80, 40))));
        ASSERT_EQ(box(dlg, "bitmapWidth"), "80");
        edit(dlg, "path")->setText(QString::fromStdString(name));
        dlg.pathEditingFinished();
        EXPECT_EQ(lastSaid().rfind("Cannot read \"" + name + "\".\n", 0), 0u) << lastSaid();
        EXPECT_EQ(lastSaid().find(name), lastSaid().rfind(name)) << lastSaid();
        EXPECT_TRUE(dlg.preview().isNull());
        EXPECT_EQ(numbers(dlg), QStringList({"0", "0", "0"}));
    }
    EXPECT_EQ(lastSaid(),
              "Cannot read \"" + dir.file("pipe.png") + "\".\nIt is a pipe, not a file.\n");

    edit(dlg, "left")->setText("west");
    dlg.accept();
    EXPECT_NE(dlg.result(), QDialog::Accepted);
    EXPECT_NE(lastSaid().find("Left side alignment"), std::string::npos);
}

TEST_F(BitmapDialog, APathStoredInCodePage1252OpensThatFileAndKeepsItsBytes) {
    // Names on disk are bytes; these were written on Windows in code page 1252.
    const std::string folder = dir.file("Stra\xDF"
                                        "e");
    std::filesystem::create_directory(folder);
    const std::string cafe = folder + "/Caf\xE9.bmp";
    spit(cafe, solidBmp(40, 20, 200, 100, 50));
    {
        CBitmapDlg dlg(choosing(cafe, 2), prompter);
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
    CBitmapDlg dlg(choosing(cafe, 2), prompter);
    auto* path = edit(dlg, "path");
    path->setText(
        path->text().replace(QString::fromUtf16(u"Caf\u00E9"), QString::fromUtf16(u"Cr\u00E8me")));
    dlg.pathEditingFinished();
    EXPECT_TRUE(prompter.asked.empty()) << "the edited name was found";
    EXPECT_EQ(box(dlg, "bitmapWidth"), "60");
    path->setText(path->text() + QLatin1Char(' '));
    dlg.accept();
    EXPECT_EQ(dlg.choice().path, creme);
}

TEST_F(BitmapDialog, ButtonsActWithoutLoadingThePathFirstAndOkLoadsItOnce) {
    const PictureChoice start = choosing(picture(64, 32), 2);
    const QString absent = QString::fromStdString(dir.file("absent.bmp"));
    {
        CBitmapDlg dlg(start, prompter);
        typePath(dlg, absent);
        QTest::mouseClick(button(dlg, "Cancel"), Qt::LeftButton);
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
        EXPECT_TRUE(prompter.asked.empty());
    }
    {
        CBitmapDlg dlg(start, prompter);
        typePath(dlg, absent);
        prompter.paths.push_back(std::nullopt);
        QTest::mouseClick(button(dlg, "Browse..."), Qt::LeftButton);
        ASSERT_EQ(prompter.asked.size(), 1u);
        EXPECT_EQ(prompter.asked[0].kind, "open") << "no message before the file dialog";
        prompter.asked.clear();
    }
    {
        // OK loads the typed file itself and says once why it cannot; pressed again, it closes.
        CBitmapDlg dlg(start, prompter);
        typePath(dlg, absent);
        QTest::mouseClick(button(dlg, "OK"), Qt::LeftButton);
        ASSERT_EQ(prompter.asked.size(), 1u);
        EXPECT_EQ(lastSaid().rfind("Cannot read", 0), 0u);
        EXPECT_TRUE(dlg.isVisible());
        QTest::mouseClick(button(dlg, "OK"), Qt::LeftButton);
        EXPECT_EQ(prompter.asked.size(), 1u);
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        prompter.asked.clear();
    }
    // Leaving the box from the keyboard loads what it holds.
    CBitmapDlg dlg(start, prompter);
    typePath(dlg, QString::fromStdString(picture(80, 40)));
    QTest::keyClick(edit(dlg, "path"), Qt::Key_Tab);
    EXPECT_EQ(box(dlg, "bitmapWidth"), "80");
    EXPECT_TRUE(prompter.asked.empty());
}

// 800 x 600 pixels of 6.6 US survey feet, the upper-left corner at 980000, 203960: a survey
// mile wide, 5000 and 5000 feet from the network's 0,0 at 975000, 195000.
TEST_F(BitmapDialog, APictureWithAWorldFileIsPlacedOnAPlacedNetworkOnly) {
    constexpr double kUsFeetPerMile = 5280.0 / 1.000002;
    const std::string path = dir.file("pic.bmp");
    spit(path, solidBmp(800, 600, 200, 100, 50));
    spit(dir.file("pic.bpw"), "6.6\n0\n0\n-6.6\n980003.3\n203956.7\n");
    const auto note = [](const CBitmapDlg& dlg) {
        const auto* label = dlg.findChild<QLabel*>(QStringLiteral("placementNote"));
        return label->isHidden() ? QString() : label->text();
    };
    const auto browse = [&](CBitmapDlg& dlg, const std::string& picture) {
        prompter.paths.push_back(picture);
        dlg.browse();
    };

    PictureChoice unplaced;
    CBitmapDlg before(unplaced, prompter);
    browse(before, path);
    EXPECT_EQ(box(before, "worldWidth"), "800");
    EXPECT_EQ(box(before, "left"), "0");
    EXPECT_EQ(note(before), QString());

    PictureChoice placed;
    placed.georeference = Georeference{"EPSG:2263", 975000.0, 195000.0};
    CBitmapDlg dlg(placed, prompter);
    browse(dlg, path);
    EXPECT_EQ(note(dlg), "Placed from pic.bpw (EPSG:2263)");
    EXPECT_EQ(box(dlg, "ratio"), "800");
    ASSERT_EQ(prompter.asked.size(), 2u) << "the two file dialogs alone";
    prompter.asked.clear();
    dlg.accept();
    ASSERT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_FLOAT_EQ(dlg.choice().worldWidth, static_cast<float>(5280 / kUsFeetPerMile));
    EXPECT_FLOAT_EQ(dlg.choice().left, static_cast<float>(5000 / kUsFeetPerMile));
    EXPECT_FLOAT_EQ(dlg.choice().bottom, static_cast<float>(5000 / kUsFeetPerMile));
    EXPECT_TRUE(prompter.asked.empty());

    // The numbers stay the user's to change, and the user's own stay when the dialog opens
    // again (shown, as ever, to six digits).
    CBitmapDlg again(dlg.choice(), prompter);
    EXPECT_EQ(note(again), QString());
    edit(again, "left")->setText("2.5");
    again.accept();
    EXPECT_EQ(again.choice().left, 2.5f);
    EXPECT_NEAR(again.choice().worldWidth, dlg.choice().worldWidth, 1e-5);
    EXPECT_NEAR(again.choice().bottom, dlg.choice().bottom, 1e-5);

    // A GeoTIFF in degrees: the rectangle's width holds, and the note says the height cannot.
    const std::string lonlat = dir.file("lonlat.tif");
    spit(lonlat, slurp(std::string(VANTRY_TEST_DATA) + "/geo/lonlat.tif"));
    CBitmapDlg degrees(placed, prompter);
    browse(degrees, lonlat);
    EXPECT_TRUE(note(degrees).startsWith("Placed from lonlat.tif (EPSG:4326); its pixels are not "
                                         "square on the network, so it covers 0.7"))
        << note(degrees).toStdString();
    EXPECT_EQ(box(degrees, "worldWidth").left(5), "1.049");

    // A turned picture is told, and leaves the numbers as they were.
    spit(dir.file("pic.bpw"), "6.6\n0.5\n0.5\n-6.6\n980003.3\n203956.7\n");
    CBitmapDlg rotated(again.choice(), prompter);
    browse(rotated, path);
    EXPECT_TRUE(note(rotated).startsWith("pic.bpw is rotated; ")) << note(rotated).toStdString();
    EXPECT_EQ(box(rotated, "left"), "2.5");
}

TEST_F(BitmapDialog, NumbersReadAndShowAlikeInEveryLocale) {
    // A locale that writes two and a half as "2,5", built for this test.
    const std::string locales = dir.file("locales");
    std::filesystem::create_directories(locales);
    [[maybe_unused]] const int built = std::system(
        ("localedef -i de_DE -f UTF-8 " + locales + "/de_DE.UTF-8 2>/dev/null").c_str());
    setenv("LOCPATH", locales.c_str(), 1);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
        unsetenv("LOCPATH");
        GTEST_SKIP() << "no locale with a decimal comma";
    }
    struct Restore {
        ~Restore() {
            std::setlocale(LC_NUMERIC, "C");
            unsetenv("LOCPATH");
        }
    } restore;

    PictureChoice start = choosing(picture(640, 480), 2.5f);
    start.left = 0.5f;
    CBitmapDlg dlg(start, prompter);
    EXPECT_EQ(box(dlg, "worldWidth"), "2.5");
    EXPECT_EQ(box(dlg, "ratio"), "256");
    EXPECT_EQ(box(dlg, "left"), "0.5");
    edit(dlg, "worldWidth")->setText("1.25");
    dlg.worldWidthEditingFinished();
    EXPECT_EQ(box(dlg, "ratio"), "512");
    dlg.accept();
    ASSERT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_FLOAT_EQ(dlg.choice().worldWidth, 1.25f);
    EXPECT_FLOAT_EQ(dlg.choice().left, 0.5f);
    EXPECT_EQ(dlg.choice().width, 640);
    EXPECT_TRUE(prompter.asked.empty());
}

// The title, default suffix and filters of the file dialog `ask` opens, which is then cancelled.
QStringList fileDialogOf(const std::function<std::optional<std::string>()>& ask) {
    toolkit();
    QStringList seen;
    QTimer::singleShot(0, [&seen] {
        if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            seen << d->windowTitle() << d->defaultSuffix() << d->nameFilters();
            d->reject();
        }
    });
    EXPECT_FALSE(ask()) << "cancelled";
    return seen;
}

// Load TIGER Data reads every kind of road data: the dialog offers them all at once first, then
// each kind, and its title says what it loads.
TEST(FileDialogs, BrowsingForAPictureOrRoadDataOffersEveryKindTheProgramReads) {
    QtPrompter prompter;
    EXPECT_EQ(fileDialogOf([&] { return prompter.choosePictureFile(); }),
              QStringList({"Select Bitmap File", "bmp",
                           "Picture Files (*.bmp *.png *.jpg *.jpeg *.tif *.tiff *.gif *.webp)",
                           "Bitmap Files (*.bmp)", "All Files (*)"}));
    EXPECT_EQ(fileDialogOf([&] { return prompter.chooseRoadDataFile(); }),
              QStringList({"Load Road Data", "",
                           "Road Data (*.??1 *.osm *.osm.bz2 *.osm.gz *.pbf *.shp *.gpkg "
                           "*.geojson *.json *.fgb)",
                           "TIGER/Line Record Files (*.??1)",
                           "OpenStreetMap (*.osm *.osm.bz2 *.osm.gz *.pbf)", "Shapefiles (*.shp)",
                           "GeoPackage (*.gpkg)", "GeoJSON (*.geojson *.json)",
                           "FlatGeobuf (*.fgb)", "All Files (*)"}));
}

} // namespace

} // namespace vantry
