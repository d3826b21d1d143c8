#include "document/vantrydoc.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "support/scriptedprompter.h"
#include "support/toolkit.h"
#include "view/hittest.h"
#include "view/vantryview.h"

#include <QMenu>

#include <gtest/gtest.h>

#include <cmath>

namespace vantry {

namespace {

// Two nodes joined by a link at scale 100 around the origin, driven through the mouse entry
// points in device pixels as the event handlers would.
class Tools : public WithToolkit, public ::testing::Test {
protected:
    Tools() {
        toolkit();
        settings->persistOnExit = false;
        view.resize(600, 500);
        view.OnUpdate(nullptr, ChangeKind::Redraw);
        view.transform().scale = 100.0f;
        view.transform().viewCenter = {0.0f, 0.0f};
        view.rerender();
    }

    QPointF at(WorldPoint p) const {
        const ViewTransform& t = view.transform();
        const LogicalPoint l = t.WorldToLogical(p);
        return {t.logicalToDeviceX(l.x) + 0.25, t.logicalToDeviceY(l.y) + 0.25};
    }
    void press(WorldPoint p, MouseMods m = {}) { view.mousePress(at(p), Qt::LeftButton, m); }
    void moveTo(WorldPoint p, MouseMods m = {}) { view.mouseMove(at(p), m); }
    void release(WorldPoint p, MouseMods m = {}) { view.mouseRelease(at(p), Qt::LeftButton, m); }
    void drag(WorldPoint a, WorldPoint b, MouseMods m = {}) {
        press(a, m);
        moveTo({(a.x + b.x) / 2, (a.y + b.y) / 2}, m);
        moveTo(b, m);
        release(b, m);
    }
    void rightClick(WorldPoint p) {
        view.mousePress(at(p), Qt::RightButton, {});
        view.mouseRelease(at(p), Qt::RightButton, {});
    }
    Network& net() { return doc.network(); }

    SingletonPtr<UserDefinedSettings> settings;
    ScriptedPrompter prompter;
    CVantryDoc doc{&prompter};
    CVantryView view{&doc};
};

TEST_F(Tools, LinksAreDrawnByDragOrByTwoClicksAndSnapToNodes) {
    view.execute(ID_TOOL_LINK);
    drag({-1.0f, 0.0f}, {1.0f, 0.0f});
    ASSERT_EQ(net().nodes().size(), 2u);
    ASSERT_EQ(net().links().size(), 1u);
    EXPECT_EQ(doc.undoDepth(), 1u);
    EXPECT_EQ(net().links()[0]->numLanes(), settings->defaultNumLanes.value);

    // Click, then click: the start snaps to node 2 (within 14 units), the end is new.
    press({1.05f, 0.05f});
    release({1.05f, 0.05f});
    EXPECT_TRUE(view.captured()) << "the link keeps following the pointer";
    moveTo({1.5f, 1.0f});
    press({1.5f, 1.0f});
    release({1.5f, 1.0f});
    ASSERT_EQ(net().nodes().size(), 3u);
    EXPECT_EQ(net().links()[1]->fromNode(), net().nodes()[1]);
    EXPECT_EQ(doc.undoDepth(), 2u);
}

TEST_F(Tools, LinkToolsAddOnlyWhatIsMissingAndGiveBackEmptySnapshots) {
    Node* a = createNodeAt(net(), {-1.0f, 0.0f});
    Node* b = createNodeAt(net(), {1.0f, 0.0f});
    createLink(net(), a, b, LinkDefaults{});
    view.execute(ID_TOOL_TWOWAY_LINK);
    drag({-1.0f, 0.05f}, {0.95f, 0.0f});
    ASSERT_EQ(net().links().size(), 2u);
    EXPECT_EQ(net().links()[1]->fromNode(), b);
    EXPECT_EQ(net().links()[1]->direction(), LinkDirection::Outbound);
    EXPECT_EQ(doc.undoDepth(), 1u);

    doc.OnEditUndo();
    ASSERT_TRUE(doc.canRedo());
    a = net().nodes()[0];
    b = net().nodes()[1];
    view.execute(ID_TOOL_LINK);
    drag({-1.0f, 0.0f}, {1.0f, 0.0f});
    EXPECT_EQ(net().links().size(), 1u);
    EXPECT_EQ(doc.undoDepth(), 0u) << "nothing created, snapshot given back";
    EXPECT_TRUE(doc.canRedo());

    // Both ends within 14 units of one node, more than 5 apart: no link to itself; the link
    // keeps following the pointer to the next click instead.
    drag({-1.08f, 0.0f}, {-0.92f, 0.0f});
    EXPECT_EQ(net().links().size(), 1u);
    EXPECT_EQ(doc.undoDepth(), 0u);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_TRUE(view.captured());
    press({-1.0f, 1.0f});
    release({-1.0f, 1.0f});
    EXPECT_EQ(net().links().size(), 2u);
    EXPECT_EQ(net().links()[1]->fromNode(), a);
}

TEST_F(Tools, ANewNodeOnATwoWayRoadAsksOnceAndSplitsBoth) {
    Node* a = createNodeAt(net(), {-1.0f, 0.0f});
    Node* b = createNodeAt(net(), {1.0f, 0.0f});
    connectNodes(net(), a, b, true, LinkDefaults{});
    view.execute(ID_TOOL_NODE);
    prompter.yesNo.push_back(true);
    press({0.0f, 0.0f});
    release({0.0f, 0.0f});
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.asked[0].text, "Do you wish to split the links under the new node?");
    EXPECT_EQ(net().links().size(), 4u);
    EXPECT_EQ(doc.undoDepth(), 1u);

    prompter.yesNo.push_back(false);
    press({0.5f, 0.0f});
    release({0.5f, 0.0f});
    EXPECT_EQ(net().links().size(), 4u) << "No keeps the node unsplit";
    EXPECT_EQ(net().nodes().size(), 4u);

    press({0.0f, 2.0f});
    release({0.0f, 2.0f});
    EXPECT_EQ(prompter.asked.size(), 2u) << "no link under it, no question";
}

TEST_F(Tools, AGroupMovesByTheDragAndAClickNarrowsTheSelection) {
    Node* a = createNodeAt(net(), {-1.0f, 0.0f});
    Node* b = createNodeAt(net(), {1.0f, 0.0f});
    view.selection().addNode(a);
    view.selection().addNode(b);
    drag({1.0f, 0.0f}, {1.5f, 0.5f});
    EXPECT_NEAR(a->x(), -0.5f, 0.011f);
    EXPECT_NEAR(b->y(), 0.5f, 0.011f);
    EXPECT_EQ(view.selection().nodeCount(), 2u);
    EXPECT_EQ(doc.undoDepth(), 1u);

    press(b->position());
    release(b->position());
    ASSERT_EQ(view.selection().nodeCount(), 1u);
    EXPECT_EQ(view.selection().selectedNodes()[0], b);
    EXPECT_EQ(doc.undoDepth(), 1u);
}

TEST_F(Tools, RectanglesSelectInsideAndShiftTakesOnlyLinks) {
    Node* a = createNodeAt(net(), {-1.0f, 0.0f});
    Node* b = createNodeAt(net(), {1.0f, 0.0f});
    Node* c = createNodeAt(net(), {3.0f, 0.0f});
    createLink(net(), a, b, LinkDefaults{});
    createLink(net(), b, c, LinkDefaults{});
    drag({-1.5f, 1.0f}, {1.5f, -1.0f});
    EXPECT_EQ(view.selection().nodeCount(), 2u);
    EXPECT_EQ(view.selection().linkCount(), 1u);
    drag({-1.5f, 1.0f}, {1.5f, -1.0f}, {false, true});
    EXPECT_EQ(view.selection().nodeCount(), 0u);
    EXPECT_EQ(view.selection().linkCount(), 1u);
}

TEST_F(Tools, TheReadoutsShowCoordinatesLengthsAndBearings) {
    QString text;
    QObject::connect(&view, &CVantryView::messageTextChanged, [&](const QString& t) { text = t; });
    moveTo({1.25f, -0.5f});
    EXPECT_EQ(text, "(   1.250,   -0.500) ");

    // At scale 50 the clicks all lie inside the window.
    view.transform().scale = 50.0f;
    view.rerender();
    view.execute(ID_TOOL_DISTANCE);
    press({0.0f, 0.0f});
    release({0.0f, 0.0f});
    press({3.0f, 4.0f});
    release({3.0f, 4.0f});
    moveTo({3.0f, 0.0f});
    EXPECT_EQ(text, "(   3.000,    0.000) Length: 9.000 miles");
    view.mouseDoubleClick(at({3.0f, 0.0f}), Qt::LeftButton, {});
    EXPECT_FALSE(view.captured());

    view.execute(ID_TOOL_LINK);
    press({0.0f, 0.0f});
    moveTo({1.0f, -1.0f});
    EXPECT_EQ(text, "(   1.000,   -1.000) Length: 1.414 miles (135 degrees)");
    moveTo({-1.0f, 0.0f});
    EXPECT_TRUE(text.endsWith("(270 degrees)")) << text.toStdString();
}

TEST_F(Tools, NudgesMoveOneLogicalUnitAndOnlyWhenNodesAreSelected) {
    Node* a = createNodeAt(net(), {0.0f, 0.0f});
    Node* b = createNodeAt(net(), {1.0f, 0.0f});
    Link* l = createLink(net(), a, b, LinkDefaults{});
    view.execute(ID_VIEW_MOVE_RIGHT);
    EXPECT_EQ(doc.undoDepth(), 0u) << "nothing selected";
    view.selection().addLink(l);
    view.execute(ID_VIEW_MOVE_UP);
    EXPECT_EQ(doc.undoDepth(), 0u) << "links only";
    EXPECT_FALSE(doc.IsModified());
    view.selection().addNode(a);
    view.execute(ID_VIEW_MOVE_RIGHT);
    view.execute(ID_VIEW_MOVE_RIGHT);
    EXPECT_FLOAT_EQ(a->x(), 0.02f);
    EXPECT_EQ(doc.undoDepth(), 2u);
}

TEST_F(Tools, EscapeAndTheRightButtonReturnToSelect) {
    view.execute(ID_TOOL_LINK);
    press({0.0f, 0.0f});
    moveTo({1.0f, 0.0f});
    EXPECT_TRUE(view.hasFeedback());
    view.execute(ID_VIEW_ESCAPE);
    EXPECT_EQ(view.mode(), ToolMode::Select);
    EXPECT_FALSE(view.hasFeedback());
    EXPECT_TRUE(net().links().empty());

    view.execute(ID_TOOL_PAN);
    view.execute(ID_VIEW_ESCAPE);
    EXPECT_EQ(view.mode(), ToolMode::Select);

    view.execute(ID_TOOL_ZOOM_IN);
    rightClick({1.0f, 1.0f});
    EXPECT_EQ(view.mode(), ToolMode::Select);
    EXPECT_EQ(view.transform().scale, 100.0f);

    view.execute(ID_TOOL_NODE);
    view.execute(ID_TOOL_NODE);
    EXPECT_EQ(view.mode(), ToolMode::Select) << "the active tool's command toggles it off";
}

TEST_F(Tools, DeleteKeepsNodesWithLinksAndSaysSo) {
    Node* a = createNodeAt(net(), {0.0f, 0.0f});
    Node* b = createNodeAt(net(), {1.0f, 0.0f});
    createLink(net(), a, b, LinkDefaults{});
    Node* lone = createNodeAt(net(), {2.0f, 0.0f});
    view.selection().addNode(a);
    view.selection().addNode(lone);
    view.execute(ID_EDIT_CLEAR);
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.asked[0].text,
              "Nodes with links still attached cannot be deleted.\nThe links must be deleted as "
              "well.");
    EXPECT_EQ(net().nodes().size(), 2u);
    ASSERT_EQ(view.selection().nodeCount(), 1u);
    EXPECT_EQ(view.selection().selectedNodes()[0], a);
}

TEST_F(Tools, OtherViewsForgetObjectsThatWereDeleted) {
    Node* a = createNodeAt(net(), {0.0f, 0.0f});
    CVantryView other(&doc);
    other.selection().addNode(a);
    view.selection().addNode(a);
    view.execute(ID_EDIT_CLEAR);
    EXPECT_TRUE(other.selection().empty());
    EXPECT_EQ(other.selection().lastNode(), nullptr);
}

TEST_F(Tools, TheContextMenuFollowsTheHitAndTheSelection) {
    Node* a = createNodeAt(net(), {-1.0f, 0.0f});
    Node* b = createNodeAt(net(), {1.0f, 0.0f});
    createNodeAt(net(), {1.0f, 1.0f});
    Link* l1 = createLink(net(), a, b, LinkDefaults{});
    Link* l2 = createLink(net(), b, a, LinkDefaults{});
    view.rerender();
    EXPECT_EQ(view.contextMenuAt(at({0.0f, 2.0f}))->title(), "Background");
    view.selection().addNode(a);
    view.selection().addNode(b);
    EXPECT_EQ(view.contextMenuAt(at({1.0f, 0.0f}))->title(), "Multiple Object");
    view.selection().clear();
    view.selection().addLink(l1);
    view.selection().addLink(l2);
    view.mousePress(at({0.0f, -0.04f}), Qt::RightButton, {});
    EXPECT_EQ(view.selection().linkCount(), 2u) << "a right press on a selected link keeps all";
    EXPECT_EQ(view.contextMenuAt(at({0.0f, -0.04f}))->title(), "Object");
}

TEST_F(Tools, TigerLinesAreDrawnAndPopulatedWithOneUndoStep) {
    EXPECT_FALSE(view.query(ID_VIEW_TIGER)->enabled);
    EXPECT_FALSE(view.query(ID_TOOL_AUTO_POPULATE)->enabled);
    ASSERT_TRUE(doc.loadTigerData(std::string(VANTRY_TEST_DATA) + "/tiger/TGR99001.RT1"));
    doc.UpdateAllViews(nullptr, ChangeKind::StreetsLoaded);
    EXPECT_TRUE(view.showTiger);
    EXPECT_TRUE(view.query(ID_VIEW_TIGER)->checked);
    // Chain 40001002 (a local road, A41) runs north near x = 1.70 from y = 0.69.
    view.transform().viewCenter = {1.70f, 1.0f};
    view.rerender();
    const ViewTransform& t = view.transform();
    const WorldPoint onRoad{1.7f, 0.9f};
    const LogicalPoint l = t.WorldToLogical(onRoad);
    int grey = 0;
    for (int dx = -3; dx <= 3; ++dx)
        grey += view.offscreen().pixel(static_cast<int>(t.logicalToDeviceX(l.x + dx)),
                                       static_cast<int>(t.logicalToDeviceY(l.y))) ==
                qRgb(128, 128, 128);
    EXPECT_GT(grey, 0);

    view.execute(ID_TOOL_AUTO_POPULATE);
    ASSERT_EQ(view.mode(), ToolMode::AutoPopulate);
    drag({-1.0f, -1.0f}, {3.0f, 3.0f});
    EXPECT_EQ(net().links().size(), 8u);
    EXPECT_EQ(doc.undoDepth(), 1u);
    drag({-1.0f, -1.0f}, {3.0f, 3.0f});
    EXPECT_EQ(doc.undoDepth(), 1u) << "a second pass adds nothing and keeps no step";

    view.execute(ID_VIEW_TIGER);
    EXPECT_EQ(view.mode(), ToolMode::Select);
    EXPECT_FALSE(view.query(ID_TOOL_AUTO_POPULATE)->enabled);
}

struct BandCase {
    float offset; // logical units right of the centre line (negative: left)
    bool hits;
};

class LinkBand : public ::testing::TestWithParam<BandCase> {};

TEST_P(LinkBand, ClicksHitTheDrawnBandPlusTwoUnits) {
    Network net;
    Node* a = createNodeAt(net, {-1.0f, 0.0f});
    Node* b = createNodeAt(net, {1.0f, 0.0f});
    createLink(net, a, b, LinkDefaults{})->setType(LinkType::Mainline);
    // The drawn ends sit 22.5 degrees right of the centre line on the node circles.
    const float centre = -9.0f * static_cast<float>(std::sin(0.39269875));
    Selection sel;
    const WorldPoint p{0.0f, (centre - GetParam().offset) / 100.0f};
    EXPECT_EQ(HitTest(net, sel, p, 100.0f, false), GetParam().hits);
}

INSTANTIATE_TEST_SUITE_P(Offsets, LinkBand,
                         ::testing::Values(BandCase{1.0f, true}, BandCase{5.9f, true},
                                           BandCase{6.1f, false}, BandCase{-1.9f, true},
                                           BandCase{-2.1f, false}));

TEST(HitTesting, NodesWinOverLinksAndTheLastDrawnWins) {
    Network net;
    Node* a = createNodeAt(net, {0.0f, 0.0f});
    Node* b = createNodeAt(net, {0.05f, 0.0f});
    Selection sel;
    EXPECT_TRUE(HitTest(net, sel, {0.02f, 0.0f}, 100.0f, false));
    EXPECT_EQ(sel.lastNode(), b);
    sel.clear();
    EXPECT_FALSE(HitTest(net, sel, {-0.09f, 0.0f}, 100.0f, false)) << "9 units is outside";
    EXPECT_TRUE(HitTest(net, sel, {-0.0899f, 0.0f}, 100.0f, false));
    EXPECT_FALSE(HitTest(net, sel, {-0.0899f, 0.0f}, 100.0f, true)) << "toggled off";
    EXPECT_TRUE(sel.empty());
    (void)a;
}

} // namespace

namespace {

TEST_F(Tools, EveryToolInTheTableIsChosenCheckedToggledAndListedInTheBackgroundMenu) {
    ASSERT_TRUE(doc.loadTigerData(std::string(VANTRY_TEST_DATA) + "/tiger/TGR99001.RT1"));
    doc.UpdateAllViews(nullptr, ChangeKind::StreetsLoaded);
    for (const ToolInfo& tool : toolTable()) {
        SCOPED_TRACE(tool.menuText);
        EXPECT_EQ(toolForCommand(tool.commandId), &tool);
        EXPECT_EQ(&toolInfo(tool.mode), &tool);
        view.execute(tool.commandId);
        EXPECT_EQ(view.mode(), tool.mode);
        EXPECT_TRUE(view.query(tool.commandId)->checked);
        view.execute(tool.commandId);
        EXPECT_EQ(view.mode(), ToolMode::Select) << "chosen again: back to Select";
    }
    const auto menu = view.contextMenuAt(at({0.0f, 2.0f}));
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), static_cast<qsizetype>(toolTable().size() + 2));
    for (std::size_t i = 0; i < toolTable().size(); ++i)
        EXPECT_EQ(actions[static_cast<qsizetype>(i)]->text(),
                  QString::fromLatin1(toolTable()[i].menuText));
    EXPECT_TRUE(actions[static_cast<qsizetype>(toolTable().size())]->isSeparator());
    EXPECT_EQ(actions.back()->text(), "&Copy Image");
}

} // namespace

} // namespace vantry
