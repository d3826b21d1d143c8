#include "picture/backgroundimage.h"
#include "support/goldenimage.h"
#include "support/testdir.h"
#include "support/toolkit.h"
#include "tiger/tigerstore.h"
#include "view/gridlines.h"
#include "view/labelfont.h"
#include "view/renderer.h"

#include <QFile>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QtEndian>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <tuple>

namespace vantry {

namespace {

// A network of nodes and links drawn in an 800 x 600 window at one pixel per logical unit.
class Canvas : public ::testing::Test {
protected:
    Canvas() {
        toolkit();
        transform.setClientSize(800, 600, 1.0);
        options.showGrid = false;
        options.showNumbers = false;
    }

    Node* node(float x, float y) {
        auto* n = new Node({x, y});
        net.addNode(n);
        return n;
    }
    Link* link(Node* a, Node* b, LinkType type) {
        auto* l = new Link;
        l->setFromNode(a);
        l->setToNode(b);
        l->setType(type);
        net.addLink(l);
        return l;
    }
    QImage draw(std::string* readout = nullptr) {
        return renderToImage(net, transform, options, &selection, readout);
    }
    // The pixel at a logical position.
    QRgb at(const QImage& image, int lx, int ly) {
        return image.pixel(static_cast<int>(transform.logicalToDeviceX(lx)),
                           static_cast<int>(transform.logicalToDeviceY(ly)));
    }

    Network net;
    Selection selection;
    ViewTransform transform;
    RenderOptions options;
};

// The extent of the pixels of one colour: left, top, right, bottom in logical units.
LogicalRect extentOf(const QImage& image, const ViewTransform& t, QRgb colour) {
    int left = INT32_MAX, right = INT32_MIN, top = INT32_MIN, bottom = INT32_MAX;
    const LogicalRect c = t.clientLogical();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == colour) {
                left = std::min(left, c.left + x);
                right = std::max(right, c.left + x);
                top = std::max(top, c.top - y);
                bottom = std::min(bottom, c.top - y);
            }
    return {left, top, right, bottom};
}

TEST_F(Canvas, NodesAreGreyCirclesEighteenUnitsAcrossWithABlackOutline) {
    node(1.0f, 0.5f);
    const QImage image = draw();
    EXPECT_EQ(at(image, 100, 50), qRgb(181, 181, 181));
    EXPECT_EQ(at(image, 100 + 5, 50 - 5), qRgb(181, 181, 181));
    // The circle's box runs from P - 9 to P + 9 without its right and bottom edge.
    EXPECT_EQ(extentOf(image, transform, qRgb(0, 0, 0)), (LogicalRect{91, 59, 108, 42}));
    EXPECT_EQ(at(image, 100 - 9, 50), qRgb(0, 0, 0));
    EXPECT_EQ(at(image, 100 + 8, 50), qRgb(0, 0, 0));
    EXPECT_EQ(at(image, 100 + 9, 50), qRgb(255, 255, 255));
}

// A link from (-1, 0) to (1, 0) at scale 100: drawn ends (-91, -3) and (91, -3), u = (9, 0),
// p = (0, -w), e = (18, 0), q = (0, -(w + 4)). The polygon is (-91, -3), (91, -3), (73, -7 - w),
// (73, -3 - w), (-91, -3 - w): a half arrow on the link's right side, filled by its type.
TEST_F(Canvas, LinksAreHalfArrowsFilledByTypeOnTheirRightSide) {
    const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255);
    const struct {
        LinkType type;
        QRgb fill;
        int w; // half width
    } cases[] = {
        {LinkType::Mainline, qRgb(87, 209, 203), 4}, {LinkType::Ramp, qRgb(87, 209, 203), 4},
        {LinkType::Workzone, qRgb(255, 0, 0), 4},    {LinkType::Detour1, qRgb(43, 43, 223), 4},
        {LinkType::Detour2, qRgb(43, 43, 223), 4},   {LinkType::None, black, 2}};
    for (const auto& [type, fill, w] : cases) {
        SCOPED_TRACE(static_cast<int>(type));
        net.clear();
        link(node(-1.0f, 0.0f), node(1.0f, 0.0f), type);
        const QImage image = draw();
        EXPECT_EQ(at(image, 0, 1), white) << "nothing north of the line";
        EXPECT_EQ(at(image, 0, -2), white);
        EXPECT_EQ(at(image, 0, -3), black) << "the centre-line edge";
        EXPECT_EQ(at(image, 0, -2 - w), fill) << "inside the band";
        EXPECT_EQ(at(image, 0, -3 - w), black) << "the outer edge";
        EXPECT_EQ(at(image, 0, -4 - w), white);
        EXPECT_EQ(at(image, 73, -7 - w), black) << "the barb's tip";
        EXPECT_EQ(at(image, 73, -8 - w), white) << "nothing beyond it";
        EXPECT_EQ(at(image, 76, -4 - w), fill) << "inside the head, below the band";
        EXPECT_EQ(at(image, 84, -4 - w), white) << "outside the barb's slanted edge";
        EXPECT_EQ(at(image, 91, -3), black) << "the point at the drawn end";
    }
    // A two-way pair draws on opposite sides.
    net.clear();
    Node* a = node(-1.0f, 0.0f);
    Node* b = node(1.0f, 0.0f);
    link(a, b, LinkType::Workzone);
    link(b, a, LinkType::Detour1);
    const QImage image = draw();
    EXPECT_EQ(at(image, 0, -5), qRgb(255, 0, 0));
    EXPECT_EQ(at(image, 0, 5), qRgb(43, 43, 223));
}

// A link 1.125 miles long is 18 logical units on screen at scale 16: from there on it is drawn,
// band and number between its nodes; a hair below, the frame is the frame without it.
TEST_F(Canvas, ALinkIsDrawnFromEighteenUnitsOnScreenAndLeftOutBelow) {
    options.showNumbers = true;
    const auto frame = [&](float scale, bool withLink) {
        net.clear();
        Node* a = node(0.0f, 0.0f);
        Node* b = node(1.125f, 0.0f);
        if (withLink)
            link(a, b, LinkType::Workzone);
        transform.scale = scale;
        transform.viewCenter = {0.0f, 0.0f};
        return draw();
    };
    EXPECT_TRUE(sameImage(frame(15.999f, true), frame(15.999f, false)));

    const QImage drawn = frame(16.0f, true), nodesOnly = frame(16.0f, false);
    // Device pixels of the logical rectangle from node a to node b, down to below the number.
    const int left = static_cast<int>(transform.logicalToDeviceX(0));
    const int right = static_cast<int>(transform.logicalToDeviceX(18));
    const int top = static_cast<int>(transform.logicalToDeviceY(0));
    const int bottom = static_cast<int>(transform.logicalToDeviceY(-7 - 20));
    int changed = 0, outside = 0, number = 0;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x) {
            if (drawn.pixel(x, y) == nodesOnly.pixel(x, y))
                continue;
            ++changed;
            outside += x < left || x > right || y < top || y > bottom;
            number += drawn.pixel(x, y) == qRgb(0x3F, 0x3F, 0x3F);
        }
    EXPECT_GT(changed, 0) << "the link at 18 units is drawn";
    EXPECT_EQ(outside, 0) << "everything it adds lies between its nodes, below the centre line";
    EXPECT_GT(number, 0) << "with its number";
}

TEST_F(Canvas, ALinkWhoseDrawnEndsMeetDrawsNothing) {
    Node* a = node(0.0f, 0.0f);
    Node* b = node(0.0f, 0.0f);
    const QImage nodesOnly = draw();
    link(a, a, LinkType::Mainline);
    link(a, b, LinkType::Mainline);
    EXPECT_TRUE(sameImage(draw(), nodesOnly));
}

TEST_F(Canvas, SelectionIsDrawnOnTopInMagenta) {
    Node* a = node(-1.0f, 0.0f);
    Node* b = node(1.0f, 0.0f);
    link(a, b, LinkType::Mainline);
    selection.addNode(a);
    const QImage image = draw();
    EXPECT_EQ(at(image, -100 - 9, 0), qRgb(255, 0, 255));
    EXPECT_EQ(at(image, 100 + 8, 0), qRgb(0, 0, 0));
}

// The bounding box of the pixels of one colour, in device pixels.
QRect inkOf(const QImage& image, QRgb colour) {
    QRect ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == colour)
                ink |= QRect(x, y, 1, 1);
    return ink;
}

// A node's number is centred on the node; a link's sits centred under the band of a link heading
// east, its top on the band's outer edge (3 + 4 units below the line), in the background's
// colour with the two high bits of each channel flipped, so that it reads on any background.
TEST_F(Canvas, NumbersSitInTheirBoxesInColoursThatReadOnTheBackground) {
    options.showNumbers = true;
    Node* a = node(-1.0f, 0.0f);
    Node* b = node(1.0f, 0.0f);
    a->setId(47);
    b->setId(5);
    link(a, b, LinkType::Mainline)->setId(308);
    const QFontMetricsF metrics(labelFont(1.0));
    const int labelHeight = static_cast<int>(std::lround(metrics.height()));
    // The box the toolkit lays the text out in, centred on logical x with its top at logical y,
    // a pixel wider on each side for a glyph reaching past its advance.
    const auto box = [&](const char* text, int lx, int ly) {
        const double width = metrics.horizontalAdvance(QString::fromLatin1(text));
        const double x = transform.logicalToDeviceX(lx), y = transform.logicalToDeviceY(ly);
        return QRect(QPoint(static_cast<int>(std::floor(x - width / 2)) - 1, static_cast<int>(y)),
                     QPoint(static_cast<int>(std::ceil(x + width / 2)),
                            static_cast<int>(std::ceil(y + metrics.ascent() + metrics.descent()))));
    };
    const QRgb nodeNumber = qRgb(255, 255, 0), linkNumber = qRgb(0x3F, 0x3F, 0x3F);
    const QImage onWhite = draw();
    const QRect linkInk = inkOf(onWhite, linkNumber);
    const QRect linkBox = box("308", 0, -7);
    EXPECT_TRUE(linkBox.contains(linkInk)) << "link number off its box";
    EXPECT_GT(linkInk.width(), linkBox.width() / 2) << "three digits wide";
    EXPECT_GT(linkInk.height(), labelHeight / 2);
    // Node numbers, cut in two at the window's middle.
    const int middle = static_cast<int>(transform.logicalToDeviceX(0));
    const QRect leftInk = inkOf(onWhite.copy(0, 0, middle, 600), nodeNumber);
    const QRect rightInk =
        inkOf(onWhite.copy(middle, 0, 800 - middle, 600), nodeNumber).translated(middle, 0);
    EXPECT_TRUE(box("47", -100, labelHeight / 2).contains(leftInk)) << "node 47";
    EXPECT_TRUE(box("5", 100, labelHeight / 2).contains(rightInk)) << "node 5";
    EXPECT_GT(leftInk.width(), rightInk.width()) << "two digits against one";

    // On other backgrounds the very same pixels, in other colours.
    const auto mask = [](const QImage& image, QRgb colour) {
        return image.createMaskFromColor(colour, Qt::MaskInColor);
    };
    for (const auto& [back, backRgb, number] :
         {std::tuple{0x000000u, qRgb(0, 0, 0), qRgb(0xC0, 0xC0, 0xC0)},
          std::tuple{0x336699u, qRgb(0x99, 0x66, 0x33), qRgb(0x59, 0xA6, 0xF3)}}) {
        SCOPED_TRACE(back);
        options.backColor = back;
        const QImage image = draw();
        EXPECT_EQ(at(image, 0, 200), backRgb) << "background";
        EXPECT_EQ(mask(image, number), mask(onWhite, linkNumber));
        EXPECT_EQ(mask(image, nodeNumber), mask(onWhite, nodeNumber));
    }
}

// The sample network as vantry-cli draws it, fitted to a 400 x 300 window with grid and numbers,
// must be the very picture kept with the tests: no change to the drawing moves a pixel unseen.
TEST_F(Canvas, TheSampleNetworkLooksAsItAlwaysHas) {
    const std::string sample =
        slurp(std::string(VANTRY_TEST_DATA) + "/../../examples/corridor-work-zone.txt");
    ASSERT_TRUE(net.readText(sample));
    transform.setClientSize(400, 300, 1.0);
    transform.ShowEntireNetwork(net.bounds());
    options.showGrid = true;
    options.showNumbers = true;
    const QImage expected(
        QString::fromStdString(std::string(VANTRY_TEST_DATA) + "/render/corridor-work-zone.png"));
    ASSERT_FALSE(expected.isNull());
    EXPECT_TRUE(sameImage(draw(), expected));
}

// The vertical line through the centre, sampled away from the labels and the x axis; a line two
// units wide covers the unit left of it too.
TEST_F(Canvas, GridLinesHaveTheirClassColourAndWidthAtEachZoom) {
    options.showGrid = true;
    const struct {
        float scale;
        const char* readout;
        float lineAt;
        QRgb colour;
        int width;
    } cases[] = {{100.0f, "Grid: 1 miles", 0.0f, qRgb(144, 112, 57), 2},
                 {100.0f, "Grid: 1 miles", 1.0f, qRgb(192, 192, 192), 1},
                 {100.0f, "Grid: 1 miles", 10.0f, qRgb(64, 64, 64), 2},
                 {1000.0f, "Grid: 0.1 miles", 1.0f, qRgb(192, 192, 192), 1},
                 {1000.0f, "Grid: 0.1 miles", 0.3f, qRgb(64, 64, 64), 1},
                 {1.0f, "Grid: 100 miles", 100.0f, qRgb(192, 192, 192), 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.lineAt << " at scale " << c.scale);
        transform.scale = c.scale;
        transform.viewCenter = {c.lineAt, 0.0f};
        std::string readout;
        const QImage image = draw(&readout);
        EXPECT_EQ(readout, c.readout);
        EXPECT_EQ(at(image, 0, -150), c.colour);
        EXPECT_EQ(at(image, 1, -150), qRgb(255, 255, 255));
        EXPECT_EQ(at(image, -1, -150), c.width == 2 ? c.colour : qRgb(255, 255, 255));
    }
}

TEST_F(Canvas, GridOverAColouredBackgroundStillShowsTheTableColour) {
    options.showGrid = true;
    options.backColor = 0x00FF00; // pure green
    const QImage image = draw();
    EXPECT_EQ(at(image, 0, -150), qRgb(144, 112, 57));
    EXPECT_EQ(at(image, 50, -150), qRgb(0, 255, 0));
}

TEST_F(Canvas, GridStaysBoundedForAnyGridSpacingAndPosition) {
    options.showGrid = true;
    for (int pixels : {0, -5, 1}) {
        options.gridPixels = pixels;
        transform.viewCenter = {5.0e6f, -3.0e6f};
        transform.scale = 0.01f;
        std::string readout;
        draw(&readout);
        EXPECT_FALSE(readout.empty());
        transform.scale = 10000.0f;
        draw(&readout);
        EXPECT_EQ(readout, "Grid: 0.001 miles");
    }
}

TEST(GridLineClass, ByTheLargestPowerOfTenThatDividesTheThousandths) {
    EXPECT_EQ(gridLineClass(0.0f), 0);
    EXPECT_EQ(gridLineClass(-0.0004f), 0);
    EXPECT_EQ(gridLineClass(0.1f), 1);
    EXPECT_EQ(gridLineClass(2.5f), 1);
    EXPECT_EQ(gridLineClass(-3.0f), 2);
    EXPECT_EQ(gridLineClass(20.0f), 3);
    EXPECT_EQ(gridLineClass(300.0f), 4);
    EXPECT_EQ(gridLineClass(1.0e30f), 4);
}

TEST(GridLabel, NeverShowsANegativeZero) {
    EXPECT_EQ(gridLabel(-0.0001f, 0), "0");
    EXPECT_EQ(gridLabel(-1.49e-8f, 1), "0.0");
    EXPECT_EQ(gridLabel(-0.3f, 1), "-0.3");
    EXPECT_EQ(gridLabel(2.0f, 0), "2");
}

TEST_F(Canvas, PrintingLeavesThePaperBlankBehindTheNetworkAndDrawsNoSelection) {
    Node* a = node(0.0f, 0.0f);
    selection.addNode(a);
    options.printing = true;
    options.showGrid = true;
    options.backColor = 0x000000;
    QImage image(800, 600, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    NetworkRenderer renderer(painter, transform, options);
    EXPECT_EQ(renderer.draw(net, &selection), "");
    painter.end();
    EXPECT_EQ(at(image, 250, 150), qRgb(255, 255, 255));
    EXPECT_EQ(at(image, 8, 0), qRgb(0, 0, 0)) << "normal outline, not the selection's";
}

class Stamps : public Canvas, public ::testing::WithParamInterface<double> {};

TEST_P(Stamps, DrawExactlyWhatDirectDrawingDraws) {
    transform.setClientSize(800, 600, GetParam());
    options.showNumbers = true;
    options.showGrid = true;
    transform.scale = 37.0f;
    Node* a = node(-3.0f, -2.0f);
    Node* b = node(4.5f, 1.25f);
    Node* c = node(0.3f, 3.7f);
    link(a, b, LinkType::Mainline);
    link(b, c, LinkType::Workzone);
    for (int i = 0; i < 1200; ++i)
        node(-9.0f + 0.015f * i, -6.0f + 0.0107f * i);
    selection.addNode(c);
    const QImage stamped = draw();

    // Premultiplied images are drawn without the copying shortcut.
    QImage direct(800, 600, QImage::Format_ARGB32_Premultiplied);
    direct.fill(Qt::black);
    {
        QPainter painter(&direct);
        NetworkRenderer(painter, transform, options).draw(net, &selection);
    }
    EXPECT_TRUE(sameImage(stamped, direct));
}

INSTANTIATE_TEST_SUITE_P(PixelsPerUnit, Stamps, ::testing::Values(1.0, 1.44));

// Numbers are drawn in the font compiled into the program, under a name no installed font has,
// never in whatever the machine's font configuration offers (view_label_font runs this where it
// offers no font at all).
TEST(LabelFont, IsTheCompiledInLiberationSansUnderANameOfItsOwn) {
    toolkit();
    QFile file(QStringLiteral(":/fonts/LiberationSans-Regular.ttf"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    const QRawFont shipped(data, 12);
    ASSERT_TRUE(shipped.isValid());
    EXPECT_EQ(shipped.familyName(), "Liberation Sans");
    EXPECT_EQ(labelFontFamily(), "Vantry Label Sans");
    for (double f : {1.0, 1.44, 3.0}) {
        const QFont font = labelFont(f);
        EXPECT_EQ(QFontInfo(font).family(), labelFontFamily());
        const QRawFont used = QRawFont::fromFont(font);
        ASSERT_TRUE(used.isValid());
        for (const char* table : {"glyf", "loca", "hmtx", "cmap", "kern", "OS/2"})
            EXPECT_EQ(used.fontTable(table), shipped.fontTable(table)) << table;
    }
}

TEST(LabelFont, RenamingKeepsEverythingButTheNamesAndLeavesDamagedDataAlone) {
    toolkit();
    QFile file(QStringLiteral(":/fonts/LiberationSans-Regular.ttf"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    const QByteArray renamed = renameFontFamily(data, QStringLiteral("Some Sans"));
    const QRawFont before(data, 12), after(renamed, 12);
    ASSERT_TRUE(after.isValid());
    EXPECT_EQ(after.familyName(), "Some Sans");
    EXPECT_EQ(after.styleName(), "Regular");
    EXPECT_EQ(renamed.size() % 4, 0);
    for (const char* table : {"glyf", "GPOS", "kern", "post"})
        EXPECT_EQ(after.fontTable(table), before.fontTable(table)) << table;
    // A font's checksums sum to the constant the format fixes.
    quint32 sum = 0;
    for (qsizetype i = 0; i < renamed.size(); i += 4)
        sum += qFromBigEndian<quint32>(renamed.constData() + i);
    EXPECT_EQ(sum, 0xB1B0AFBAu);

    // Cut anywhere up to the end of its name table, or not a font at all.
    for (qsizetype length : {0, 5, 12, 100, 301356, 301356 + 100})
        EXPECT_EQ(renameFontFamily(data.left(length), QStringLiteral("X")), data.left(length))
            << length;
    QByteArray lying = data;
    lying[5] = '\x7f'; // far more tables than there are
    EXPECT_EQ(renameFontFamily(lying, QStringLiteral("X")), lying);
}

TEST_F(Canvas, AVeryLongLinkStillDrawsItsBandThroughTheWindow) {
    transform.scale = 10000.0f;
    // A million miles east, and one across the window from far west to far east.
    link(node(-0.01f, 0.0f), node(1000000.0f, 0.0f), LinkType::Mainline);
    link(node(-1000000.0f, 0.02f), node(1000000.0f, 0.02f), LinkType::Workzone);
    const QImage image = draw();
    EXPECT_EQ(at(image, 200, -5), qRgb(87, 209, 203));
    EXPECT_EQ(at(image, 300, -1), qRgb(255, 255, 255)) << "nothing north of the band";
    EXPECT_EQ(at(image, -350, 195), qRgb(255, 0, 0));
    EXPECT_EQ(at(image, 350, 195), qRgb(255, 0, 0));
    EXPECT_EQ(at(image, 0, 205), qRgb(255, 255, 255));
}

// A local street 0.2 miles long on the equator, drawn grey, its middle at the window's: a one-way
// street's chevron, six pixels long with its tip on the line's middle, points the way traffic
// runs; a two-way street, or any street below street zoom, has none.
TEST_F(Canvas, OneWayChainsShowTheirDirectionAtStreetZoomOnly) {
    // The grey pixels off the line near its middle, as rows of '#' and '.'.
    const auto drawChain = [&](ChainTraffic traffic, float scale) {
        TigerChain chain;
        chain.cfcc = "A41";
        chain.traffic = traffic;
        chain.end = {0, 2899};
        TigerData tiger;
        EXPECT_TRUE(tiger.add({chain}));
        options.tiger = &tiger;
        transform.scale = scale;
        transform.viewCenter = {tiger.TigerToWorld(chain.end).x / 2, 0.0f};
        const QImage image = draw();
        options.tiger = nullptr;
        std::string rows;
        for (int ly = 5; ly >= -5; --ly) {
            for (int lx = -10; lx <= 10; ++lx)
                rows += ly != 0 && at(image, lx, ly) == qRgb(128, 128, 128) ? '#' : '.';
            rows += '\n';
        }
        return rows;
    };
    const std::string forward = ".....................\n"
                                ".....................\n"
                                "....##...............\n"
                                "......##.............\n"
                                "........##...........\n"
                                ".....................\n"
                                ".......##............\n"
                                ".....##..............\n"
                                "....#................\n"
                                ".....................\n"
                                ".....................\n";
    EXPECT_EQ(drawChain(ChainTraffic::Forward, 1000), forward);
    // Backward: the same chevron turned round its tip.
    std::string backward;
    for (std::size_t row = 0; row < forward.size(); row += 22) {
        std::string line = forward.substr(row, 21);
        std::reverse(line.begin(), line.end());
        backward += line + '\n';
    }
    EXPECT_EQ(drawChain(ChainTraffic::Backward, 1000), backward);
    std::string blank = forward;
    std::replace(blank.begin(), blank.end(), '#', '.');
    EXPECT_EQ(drawChain(ChainTraffic::TwoWay, 1000), blank);
    EXPECT_EQ(drawChain(ChainTraffic::Forward, 500), blank) << "below street zoom";
}

// A large random network over a picture and TIGER/Line streets, with grid, numbers and a
// selection, for comparing the ways one frame can be drawn.
class Areas : public Canvas, public ::testing::WithParamInterface<double> {
protected:
    Areas() {
        transform.setClientSize(1600, 1000, GetParam());
        transform.scale = 60.0f;
        options.showGrid = true;
        options.showNumbers = true;
        std::mt19937 rng(97);
        std::uniform_real_distribution<float> coordinate(-16.0f, 16.0f);
        std::vector<Node*> nodes;
        for (int i = 0; i < 3000; ++i)
            nodes.push_back(node(coordinate(rng), coordinate(rng) * 0.7f));
        for (int i = 0; i < 6000; ++i) {
            Node* a = nodes[rng() % nodes.size()];
            // Mostly short links, some across the whole window and beyond it.
            Node* b = rng() % 10 ? nodes[(rng() % 40 + (a->id() - 1)) % nodes.size()]
                                 : nodes[rng() % nodes.size()];
            Link* l = link(a, b, static_cast<LinkType>(rng() % 6));
            if (rng() % 50 == 0)
                selection.addLink(l);
        }
        for (int i = 0; i < 30; ++i)
            selection.addNode(nodes[rng() % nodes.size()]);

        picture.width = 311;
        picture.height = 157;
        for (int i = 0; i < picture.width * picture.height; ++i)
            picture.pixels.push_back(0xFF000000u | (rng() & 0xFFFFFFu));
        options.bitmap = &picture;
        options.pixelsPerMile = 13;
        options.bitmapRect = {5.0f, 5.0f - 157.0f / 13, -11.0f, -11.0f + 311.0f / 13};
        options.backColor = 0x336699;
        if (tiger.load(std::string(VANTRY_TEST_DATA) + "/tiger/TGR99001.RT1"))
            options.tiger = &tiger;
    }

    // The frame drawn in one piece, the way the plain renderer draws it.
    QImage whole() {
        QImage image(transform.clientWidthPixels(), transform.clientHeightPixels(),
                     QImage::Format_RGB32);
        renderArea(image, net, transform, options, &selection);
        return image;
    }

    QImage area(const QRect& rect) {
        RenderOptions o = options;
        o.area = rect;
        QImage image(transform.clientWidthPixels(), transform.clientHeightPixels(),
                     QImage::Format_RGB32);
        image.fill(Qt::green);
        renderArea(image, net, transform, o, &selection);
        return image.copy(rect);
    }

    BackgroundImage picture;
    TigerData tiger;
};

// The frame drawn in bands on several threads, and any part of it drawn alone (as the view
// does after an edit), must be the very pixels the whole frame has there.
TEST_P(Areas, BandsAndPartsDrawTheSamePixelsAsTheWholeFrame) {
    const QImage reference = whole();
    ASSERT_NE(options.tiger, nullptr);
    EXPECT_TRUE(sameImage(renderToImage(net, transform, options, &selection), reference));

    std::mt19937 rng(5);
    std::vector<QRect> parts = {QRect(0, 0, 1600, 333), QRect(0, 333, 1600, 667),
                                QRect(1599, 999, 1, 1), QRect(0, 0, 1, 1000)};
    for (int i = 0; i < 30; ++i) {
        const int x = static_cast<int>(rng() % 1600), y = static_cast<int>(rng() % 1000);
        const int w = 1 + static_cast<int>(rng() % 300), h = 1 + static_cast<int>(rng() % 300);
        parts.push_back(QRect(x, y, w, h) & QRect(0, 0, 1600, 1000));
    }
    for (const QRect& part : parts)
        EXPECT_TRUE(sameImage(area(part), reference.copy(part)))
            << part.x() << "," << part.y() << " " << part.width() << "x" << part.height();
}

INSTANTIATE_TEST_SUITE_P(PixelsPerUnit, Areas, ::testing::Values(1.0, 1.44));

// A failed comparison says how many pixels differ and where the first is, and leaves the
// pictures in the folder it names; a tolerance lets small differences of colour pass.
TEST(SameImage, AFailureLeavesThePicturesToLookAt) {
    toolkit();
    TestDir dir;
    setenv("VANTRY_TEST_OUTPUT", dir.path().c_str(), 1);
    QImage expected(4, 3, QImage::Format_RGB32);
    expected.fill(qRgb(10, 20, 30));
    QImage actual = expected;
    actual.setPixel(2, 1, qRgb(12, 20, 30));
    EXPECT_TRUE(sameImage(actual, expected, 2));
    actual.setPixel(3, 2, qRgb(10, 20, 33));
    const ::testing::AssertionResult result = sameImage(actual, expected, 2);
    unsetenv("VANTRY_TEST_OUTPUT");
    ASSERT_FALSE(result);
    const std::string message = result.message();
    EXPECT_NE(message.find("1 of 4x3 pixels differ by more than 2, the first at (3, 2): #0a1421 "
                           "instead of #0a141e"),
              std::string::npos)
        << message;
    const std::string folder = message.substr(message.find(dir.path().string()));
    EXPECT_TRUE(sameImage(QImage(QString::fromStdString(folder + "/actual.png")), actual));
    EXPECT_TRUE(sameImage(QImage(QString::fromStdString(folder + "/expected.png")), expected));
    const QImage diff(QString::fromStdString(folder + "/diff.png"));
    EXPECT_EQ(diff.pixel(3, 2), qRgb(255, 0, 0));
    EXPECT_NE(diff.pixel(2, 1), qRgb(255, 0, 0)) << "within the tolerance";
    EXPECT_FALSE(sameImage(actual.copy(0, 0, 4, 2), expected)) << "another size";
}

} // namespace

} // namespace vantry
