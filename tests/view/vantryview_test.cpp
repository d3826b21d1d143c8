#include "document/vantrydoc.h"
#include "model/drawsizes.h"
#include "model/editing.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "support/goldenimage.h"
#include "support/toolkit.h"
#include "view/documentlayers.h"
#include "view/hittest.h"
#include "view/vantryview.h"

#include <QScrollBar>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace vantry {

namespace {

// A view of 400 x 300 pixels at one pixel per logical unit, scale 100, centred on the origin.
class ViewFeedback : public WithToolkit, public ::testing::Test {
protected:
    ViewFeedback() {
        toolkit();
        settings->persistOnExit = false;
        settings->backColor.value = 0xFFFFFF;
        settings->gridPixels.value = 50;
        a = createNodeAt(doc.network(), {-1.0f, 0.0f});
        b = createNodeAt(doc.network(), {1.0f, 0.0f});
        view.showGrid = false;
        view.showNumbers = false;
        view.viewport()->resize(400, 300);
        view.setPixelsPerLogical(1.0);
        view.transform().scale = 100.0f;
        view.transform().viewCenter = {0.0f, 0.0f};
        view.OnUpdate(nullptr, ChangeKind::Redraw);
    }
    QRgb at(const QImage& image, int lx, int ly) const {
        const ViewTransform& t = view.transform();
        return image.pixel(static_cast<int>(std::floor(t.logicalToDeviceX(lx) + 0.5)),
                           static_cast<int>(std::floor(t.logicalToDeviceY(ly) + 0.5)));
    }

    SingletonPtr<UserDefinedSettings> settings;
    CVantryDoc doc;
    Node* a;
    Node* b;
    CVantryView view{&doc};
};

// The box of the pixels that differ between two frames, or of those not white in one.
QRect changedBox(const QImage& image, const QImage* clean = nullptr) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (clean ? image.pixel(x, y) != clean->pixel(x, y)
                      : image.pixel(x, y) != qRgb(255, 255, 255))
                box |= QRect(x, y, 1, 1);
    return box;
}

TEST_F(ViewFeedback, ShapesInvertWhatIsBeneathAndTwoDrawingsCancel) {
    const QImage clean = view.composedFrame();
    view.XorLine({0.0f, 1.0f}, {1.0f, 1.0f}, Qt::SolidLine, 1);
    QImage frame = view.composedFrame();
    EXPECT_EQ(at(frame, 50, 100), qRgb(0, 0, 0)) << "white inverted";
    EXPECT_EQ(at(frame, 50, 101), qRgb(255, 255, 255));
    const QImage withLine = frame;
    view.XorRect({-1.2f, -0.5f}, {-0.2f, 0.5f});
    frame = view.composedFrame();
    EXPECT_EQ(at(frame, -100, 0), at(clean, -100, 0)) << "the inside is left as it is";
    // The rectangle covers -120 to -20 across and 50 down to -50, without its right and
    // bottom edge; the dashes start at the top left corner.
    EXPECT_EQ(at(frame, -119, 50), qRgb(0, 0, 0));
    EXPECT_EQ(at(frame, -120, 47), qRgb(0, 0, 0));
    EXPECT_EQ(changedBox(frame, &withLine), QRect(QPoint(80, 100), QPoint(179, 199)));
    view.XorRect({-1.2f, -0.5f}, {-0.2f, 0.5f});
    view.XorLine({0.0f, 1.0f}, {1.0f, 1.0f}, Qt::SolidLine, 1);
    EXPECT_EQ(view.composedFrame(), clean);

    view.XorCircle({0.0f, 1.0f}, 20);
    view.OnUpdate(nullptr, ChangeKind::Redraw);
    EXPECT_FALSE(view.hasFeedback())
        << "a render draws the clean image and the idle tool adds nothing";
}

// Within 14 units of a node the rubber link snaps to it and is drawn solid and 2 wide to the
// node's centre; farther away it is dashed to the pointer.
TEST_F(ViewFeedback, ARubberLinkSnapsToANearbyNode) {
    const auto frameOf = [&](auto draw) {
        draw();
        const QImage frame = view.composedFrame();
        draw();
        return frame;
    };
    const QImage clean = view.composedFrame();
    const QImage snapped = frameOf([&] { view.RubberLink({-1.0f, 0.0f}, {1.0f, 0.1f}); });
    EXPECT_EQ(view.composedFrame(), clean);
    EXPECT_TRUE(sameImage(snapped, frameOf([&] {
                              view.XorLine({-1.0f, 0.0f}, b->position(), Qt::SolidLine, 2);
                          })));
    EXPECT_TRUE(sameImage(frameOf([&] {
                              view.RubberLink({-1.0f, 1.0f}, {1.0f, 1.2f});
                          }),
                          frameOf([&] {
                              view.XorLine({-1.0f, 1.0f}, {1.0f, 1.2f}, Qt::DashLine, 1);
                          })));
    EXPECT_NE(snapped, clean) << "something was drawn";
}

TEST_F(ViewFeedback, MoveGhostShowsTheSelectedNodesAndTheirLinksDisplaced) {
    createLink(doc.network(), a, b, LinkDefaults{});
    view.selection().addNode(b);
    GhostLinks ghost;
    ghost.links.push_back({doc.network().links()[0], false, true});
    view.MoveGhost({0.0f, 1.0f}, ghost);
    const QImage frame = view.composedFrame();
    EXPECT_EQ(at(frame, 108, 100), qRgb(0, 0, 0)) << "circle of radius 9 around the new place";
    EXPECT_EQ(at(frame, 109, 100), qRgb(255, 255, 255));
    EXPECT_EQ(at(frame, 100, 100), qRgb(255, 255, 255)) << "its inside is unchanged";
}

TEST_F(ViewFeedback, AGhostCircleCoversTheNodeItStandsFor) {
    const QImage clean = view.composedFrame();
    const QRect node = changedBox(clean.copy(250, 0, 150, 300)).translated(250, 0);
    ASSERT_FALSE(node.isEmpty()) << "node b is drawn right of the centre";
    view.XorCircle(b->position(), kNodeRadiusUnits);
    EXPECT_EQ(changedBox(view.composedFrame(), &clean), node);
}

TEST_F(ViewFeedback, ScrollBarsMoveTheDrawnNetworkByTheirStepAndStopAtTheExtent) {
    // Node a in the middle of the window, node b far right of it; at this scale a step is a
    // whole number of binary fractions of a mile, so no rounding blurs it. A line step is a
    // tenth of the window: 40 pixels across, 30 down.
    view.transform().scale = 320.0f;
    view.transform().viewCenter = a->position();
    view.rerender();
    QScrollBar* h = view.horizontalScrollBar();
    QScrollBar* v = view.verticalScrollBar();
    const QRect before = changedBox(view.offscreen());
    ASSERT_TRUE(before.contains(200, 150));
    h->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    v->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(changedBox(view.offscreen()), before.translated(-40, -30));

    h->triggerAction(QAbstractSlider::SliderToMaximum);
    const QImage atEnd = view.offscreen();
    const int right = changedBox(atEnd).right();
    EXPECT_LT(right, 400) << "node b, the network's east end, is in the window";
    EXPECT_GT(right, 400 - 2 * kNodeRadiusUnits - 27)
        << "with no more than the fit margin after it";
    h->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(view.offscreen(), atEnd) << "a page step at the end stays there";
    EXPECT_EQ(h->value(), h->maximum());
}

// After an edit of named objects, or its Undo, the view draws only around them: the image must
// still be exactly what drawing everything gives, at any device pixel ratio.
void checkThePartDrawnAgain() {
    toolkit();
    SingletonPtr<UserDefinedSettings> settings;
    settings->persistOnExit = false;
    CVantryDoc doc;
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> coordinate(-5.0f, 5.0f);
    Network& net = doc.network();
    for (int i = 0; i < 800; ++i)
        createNodeAt(net, {coordinate(rng), coordinate(rng)});
    for (int i = 0; i < 1600; ++i) {
        auto* l = new Link;
        l->setFromNode(net.nodes()[rng() % 800]);
        l->setToNode(net.nodes()[rng() % 800]);
        l->setType(static_cast<LinkType>(rng() % 6));
        net.addLink(l);
    }
    CVantryView view(&doc);
    view.viewport()->resize(900, 700);
    view.setPixelsPerLogical(1.0);
    view.transform().scale = 90.0f;
    view.OnUpdate(nullptr, ChangeKind::Redraw);
    const auto same = [&](const char* step) {
        const QImage part = view.offscreen().copy();
        view.OnUpdate(nullptr, ChangeKind::Redraw);
        EXPECT_TRUE(part == view.offscreen()) << step;
    };

    Node* moved = net.nodes()[17];
    Link* link = net.links()[40];
    view.selection().addNode(moved);
    view.selection().addLink(link);
    view.OnUpdate(nullptr, ChangeKind::Redraw);
    doc.editObjects("Edit", {moved}, {}, [&](Network& n) {
        moveNodes({moved}, {0.37f, -0.21f});
        n.recomputeBounds();
        return true;
    });
    same("a node moved");
    doc.editObjects("Edit", {}, {link}, [&](Network&) {
        link->setType(link->type() == LinkType::Workzone ? LinkType::Mainline : LinkType::Workzone);
        return true;
    });
    same("a link's type changed");
    EXPECT_EQ(view.areaRenders(), 2u);
    doc.OnEditUndo();
    EXPECT_TRUE(view.selection().empty()) << "Undo ends the selection, as always";
    same("the type change undone");
    doc.OnEditUndo();
    same("the move undone");
    doc.OnEditRedo();
    same("the move redone");
    EXPECT_EQ(view.areaRenders(), 5u);

    // An edit that moves the view's extent far still leaves a right image.
    doc.editObjects("Edit", {moved}, {}, [&](Network& n) {
        moveNodes({moved}, {400.0f, 0.0f});
        n.recomputeBounds();
        return true;
    });
    same("a node moved far out of the window");
}

TEST(ChangedArea, ThePartDrawnAgainLeavesTheImageAWholeRenderWouldGive) {
    checkThePartDrawnAgain();
}

// Run by the high-density test with two device pixels per pixel.
TEST(HighDensityChangedArea, ThePartDrawnAgainLeavesTheImageAWholeRenderWouldGive) {
    checkThePartDrawnAgain();
}

TEST(SelectionOrder, KeepsTheOrderOfAddingThroughRemovalsAndRetains) {
    Network net;
    std::vector<Node*> nodes;
    for (int i = 0; i < 6; ++i)
        nodes.push_back(createNodeAt(net, {static_cast<float>(i), 0.0f}));
    Selection sel;
    for (int i : {3, 1, 4, 5, 1})
        sel.addNode(nodes[static_cast<std::size_t>(i)]);
    EXPECT_FALSE(sel.lastAddWasNew()) << "node 1 was already selected";
    EXPECT_EQ(sel.lastNode(), nodes[1]);
    sel.addNode(nodes[0]);
    EXPECT_TRUE(sel.lastAddWasNew());
    sel.removeNode(nodes[4]);
    EXPECT_EQ(sel.selectedNodes(), (std::vector<Node*>{nodes[3], nodes[1], nodes[5], nodes[0]}));
    EXPECT_FALSE(sel.contains(nodes[4]));
    sel.retain([&](const Node* n) { return n != nodes[0]; }, [](const Link*) { return true; });
    EXPECT_EQ(sel.selectedNodes(), (std::vector<Node*>{nodes[3], nodes[1], nodes[5]}));
    EXPECT_EQ(sel.lastNode(), nullptr) << "the last node was dropped";
    EXPECT_TRUE(sel.contains(nodes[5]));
    EXPECT_FALSE(sel.contains(nodes[0]));
}

TEST(NearestNode, StrictlyWithinTheToleranceAndTheEarlierOnATie) {
    Network net;
    Node* first = createNodeAt(net, {1.0f, 0.0f});
    Node* second = createNodeAt(net, {-1.0f, 0.0f});
    createNodeAt(net, {0.0f, 3.0f});
    EXPECT_EQ(FindNearestNode(net, {0.0f, 0.0f}, 1.5f), first);
    EXPECT_EQ(FindNearestNode(net, {-0.9f, 0.0f}, 1.5f), second);
    EXPECT_EQ(FindNearestNode(net, {0.0f, 0.0f}, 1.0f), nullptr) << "strictly below";
    const WorldPoint snapped = SnapToNode(net, {0.9f, 0.1f}, 100.0f);
    EXPECT_EQ(snapped, (WorldPoint{0.9f, 0.1f})) << "14 units is 0.14 miles at scale 100";
    EXPECT_EQ(SnapToNode(net, {0.95f, 0.05f}, 100.0f), (WorldPoint{1.0f, 0.0f}));
}

} // namespace

namespace {

// The editor's views and vantry-cli take their layers, colours and extent from one place.
TEST(DocumentLayers, ShowOnlyWhatIsLoadedAndWidenTheExtentByIt) {
    SingletonPtr<UserDefinedSettings> settings;
    settings->persistOnExit = false;
    settings->backColor.value = 0x102030;
    CVantryDoc doc;
    createNodeAt(doc.network(), {1.0f, 1.0f});
    createNodeAt(doc.network(), {2.0f, 3.0f});
    doc.network().recomputeBounds();
    const WorldRect network = doc.network().bounds();

    const LayerVisibility everything{false, false, true, true};
    RenderOptions o = layerRenderOptions(documentLayers(doc), everything, false);
    EXPECT_EQ(o.bitmap, nullptr) << "switched on, but no picture is loaded";
    EXPECT_EQ(o.tiger, nullptr);
    EXPECT_FALSE(o.showGrid);
    EXPECT_FALSE(o.showNumbers);
    EXPECT_EQ(o.backColor, 0x102030u);
    EXPECT_EQ(layerExtent(documentLayers(doc), everything), network);

    ASSERT_TRUE(doc.loadTigerData(std::string(VANTRY_TEST_DATA) + "/tiger/TGR99001.RT1"));
    o = layerRenderOptions(documentLayers(doc), everything, true);
    EXPECT_EQ(o.tiger, &doc.tiger());
    EXPECT_TRUE(o.printing);
    WorldRect both = network;
    both.unite(doc.tiger().tigerExtent());
    EXPECT_EQ(layerExtent(documentLayers(doc), everything), both);
    EXPECT_EQ(layerExtent(documentLayers(doc), LayerVisibility{}), network)
        << "the layer is hidden";
}

} // namespace

} // namespace vantry
