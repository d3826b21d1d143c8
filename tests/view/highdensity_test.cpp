// The map view on a screen of two device pixels per pixel. ctest runs these cases a second time
// as view_high_density, with QT_SCALE_FACTOR=2; at one device pixel per pixel they skip.

#include "document/vantrydoc.h"
#include "model/editing.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "support/toolkit.h"
#include "view/documentlayers.h"
#include "view/vantryview.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vantry {

namespace {

// A view of 400 x 300 pixels at one pixel per logical unit and scale 100, with a slanting link
// between two numbered nodes.
class HighDensityView : public WithToolkit, public ::testing::Test {
protected:
    void SetUp() override {
        if (view.viewport()->devicePixelRatioF() != 2.0)
            GTEST_SKIP() << "needs two device pixels per pixel (QT_SCALE_FACTOR=2), as the "
                            "view_high_density test runs it";
        settings->persistOnExit = false;
        settings->backColor.value = 0xFFFFFF;
        Node* a = createNodeAt(doc.network(), {-1.0f, -0.5f});
        Node* b = createNodeAt(doc.network(), {1.0f, 0.5f});
        createLink(doc.network(), a, b, CVantryDoc::linkDefaults());
        view.showGrid = false;
        view.viewport()->resize(400, 300);
        view.setPixelsPerLogical(1.0);
        view.transform().scale = 100.0f;
        view.transform().viewCenter = {0.0f, 0.0f};
        view.OnUpdate(nullptr, ChangeKind::Redraw);
    }
    // Device pixel of a logical point in an image of `ratio` pixels per view pixel.
    QPoint device(LogicalPoint p, int ratio) const {
        const ViewTransform& t = view.transform();
        return {static_cast<int>(std::floor(t.logicalToDeviceX(p.x) * ratio + 0.5)),
                static_cast<int>(std::floor(t.logicalToDeviceY(p.y) * ratio + 0.5))};
    }
    // Two-by-two blocks in a square of `reach` logical units around p whose pixels differ: a
    // picture enlarged from half its size has none.
    static int detailedBlocks(const QImage& image, QPoint centre, int reach) {
        int blocks = 0;
        for (int y = (centre.y() - 2 * reach) & ~1; y < centre.y() + 2 * reach; y += 2)
            for (int x = (centre.x() - 2 * reach) & ~1; x < centre.x() + 2 * reach; x += 2) {
                const QRgb p = image.pixel(x, y);
                if (image.pixel(x + 1, y) != p || image.pixel(x, y + 1) != p ||
                    image.pixel(x + 1, y + 1) != p)
                    ++blocks;
            }
        return blocks;
    }

    SingletonPtr<UserDefinedSettings> settings;
    CVantryDoc doc;
    CVantryView view{&doc};
};

TEST_F(HighDensityView, TheMapIsDrawnAtTheScreensPixelsInTheSamePlaces) {
    const QImage& sharp = view.offscreen();
    ASSERT_EQ(sharp.size(), QSize(800, 600));
    EXPECT_EQ(sharp.devicePixelRatio(), 2.0);

    // The same view drawn at one pixel per view pixel, as a screen of ordinary density shows it.
    const QImage plain = renderToImage(
        doc.network(), view.transform(),
        layerRenderOptions(documentLayers(doc), {false, true, false, false}, false), nullptr);
    const QImage doubled = plain.scaled(800, 600, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    // Sizes are in logical units: the link's middle is where it was, and the grey of the node
    // around its number covers four times the pixels.
    EXPECT_EQ(sharp.pixel(device({0, 0}, 2)), plain.pixel(device({0, 0}, 1)));
    auto grey = [](const QImage& image, QPoint centre, int reach) {
        int n = 0;
        for (int y = centre.y() - reach; y <= centre.y() + reach; ++y)
            for (int x = centre.x() - reach; x <= centre.x() + reach; ++x)
                n += image.pixel(x, y) == qRgb(0xB5, 0xB5, 0xB5);
        return n;
    };
    const LogicalPoint nodeA{-100, -50};
    const int plainGrey = grey(plain, device(nodeA, 1), 15);
    ASSERT_GT(plainGrey, 50);
    EXPECT_NEAR(grey(sharp, device(nodeA, 2), 30), 4 * plainGrey, plainGrey / 2);
    for (const LogicalPoint p : {nodeA, LogicalPoint{0, 0}}) {
        EXPECT_EQ(detailedBlocks(doubled, device(p, 2), 12), 0);
        EXPECT_GT(detailedBlocks(sharp, device(p, 2), 12), 8)
            << "the edges of the node, its number and the slanting link have detail of their own";
    }

    // What is painted on the screen is the image itself, pixel for pixel.
    const QImage painted = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(painted.size(), sharp.size());
    EXPECT_TRUE(painted == sharp.convertToFormat(QImage::Format_RGB32));
}

TEST_F(HighDensityView, DragFeedbackIsDrawnAtTheScreensPixelsAndCancels) {
    const QImage clean = view.composedFrame();
    view.XorLine({0.0f, 1.0f}, {1.0f, 1.0f}, Qt::SolidLine, 1);
    const QImage frame = view.composedFrame();
    ASSERT_EQ(frame.size(), clean.size());
    // A one-unit line is two device pixels thick, centred on the line's place.
    const QPoint on = device({50, 100}, 2);
    EXPECT_EQ(frame.pixel(on), qRgb(0, 0, 0)) << "white inverted";
    EXPECT_EQ(frame.pixel(on - QPoint(0, 1)), qRgb(0, 0, 0));
    EXPECT_EQ(frame.pixel(on + QPoint(0, 1)), qRgb(255, 255, 255));
    EXPECT_EQ(frame.pixel(on - QPoint(0, 2)), qRgb(255, 255, 255));
    view.XorCircle({0.0f, 1.0f}, 20);
    view.XorCircle({0.0f, 1.0f}, 20);
    view.XorLine({0.0f, 1.0f}, {1.0f, 1.0f}, Qt::SolidLine, 1);
    EXPECT_TRUE(view.composedFrame() == clean);
}

} // namespace

} // namespace vantry
