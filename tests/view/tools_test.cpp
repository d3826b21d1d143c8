#include "view/hittest.h"
#include "viewdriver.h"

#include <QMenu>

namespace vantry {

namespace {

using Tools = DrivenView;

TEST_F(Tools, LinksAreDrawnByDragOrByTwoClicksAndSnapToNodes) {
    view.execute(ID_TOOL_LINK);
    drag({-1.0f, 0.0f}, {1.0f, 0.0f});
    ASSERT_EQ(net().nodes().size(), 2u);
    ASSERT_EQ(net().links().size(), 1u);
    EXPECT_EQ(doc.undoDepth(), 1u);
    EXPECT_EQ(net().links()[0]->numLanes(), settings->defaultNumLanes.value);

    // Click, then click: the start snaps to node 2 (within 14 units), the end is new.
    click({1.05f, 0.05f});
    EXPECT_TRUE(view.captured()) << "the link keeps following the pointer";
    moveTo({1.5f, 1.0f});
    click({1.5f, 1.0f});
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
    click({-1.0f, 1.0f});
    EXPECT_EQ(net().links().size(), 2u);
    EXPECT_EQ(net().links()[1]->fromNode(), a);
}

TEST_F(Tools, ANewNodeOnATwoWayRoadAsksOnceAndSplitsBoth) {
    Node* a = createNodeAt(net(), {-1.0f, 0.0f});
    Node* b = createNodeAt(net(), {1.0f, 0.0f});
    connectNodes(net(), a, b, true, LinkDefaults{});
    view.execute(ID_TOOL_NODE);
    prompter.yesNo.push_back(true);
    click({0.0f, 0.0f});
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.asked[0].text, "Do you wish to split the links under the new node?");
    EXPECT_EQ(net().links().size(), 4u);
    EXPECT_EQ(doc.undoDepth(), 1u);

    prompter.yesNo.push_back(false);
    click({0.5f, 0.0f});
    EXPECT_EQ(net().links().size(), 4u) << "No keeps the node unsplit";
    EXPECT_EQ(net().nodes().size(), 4u);

    click({0.0f, 2.0f});
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

    click(b->position());
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
    click({0.0f, 0.0f});
    click({3.0f, 4.0f});
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

// The place of (1.5, -2) miles from an origin in New York's state plane, as cs2cs gives it:
//   echo "995919.984160 204440.021120" | cs2cs -f %.12f EPSG:2263 EPSG:4326
TEST_F(Tools, APlacedNetworksReadoutAddsThePlaceOnEarthUntilItsCrsIsRefused) {
    QString text;
    QObject::connect(&view, &CVantryView::messageTextChanged, [&](const QString& t) { text = t; });
    const auto place = [&](Georeference g) {
        ASSERT_TRUE(doc.edit("Georeference", [&](Network& n) { return n.setGeoreference(g); }));
    };
    place({"EPSG:2263", 988000.0, 215000.0});
    moveTo({1.5f, -2.0f});
    EXPECT_EQ(text,
              QString::fromUtf8("(   1.500,   -2.000) 40.727810\u00b0 N, 73.957895\u00b0 W  "));

    // Five miles further east (26400 US survey feet) the readout follows the new origin.
    place({"EPSG:2263", 1014400.0, 215000.0});
    moveTo({1.5f, -2.0f});
    EXPECT_TRUE(text.contains(QString::fromUtf8("73.86"))) << text.toStdString();

    place({"EPSG:999999", 0.0, 0.0});
    moveTo({1.5f, -2.0f});
    EXPECT_EQ(text, "(   1.500,   -2.000) ") << "a CRS PROJ refuses shows no place";
    moveTo({1.0f, -2.0f});
    EXPECT_TRUE(prompter.asked.empty()) << "and nothing is said of it while the pointer moves";

    doc.OnEditUndo();
    doc.OnEditUndo();
    doc.OnEditUndo();
    moveTo({1.25f, -0.5f});
    EXPECT_EQ(text, "(   1.250,   -0.500) ");
    EXPECT_EQ(formatLonLat({151.2, -33.9}), "33.900000\u00b0 S, 151.200000\u00b0 E");
}

TEST_F(Tools, GeoreferenceIsOneNamedUndoStepAndNoneWhenNothingChanges) {
    const Georeference nyc{"EPSG:2263", 988000.0, 215000.0};
    prompter.georeferences = {nyc, nyc, std::nullopt, Georeference{}};
    CommandTarget& commands = view.documentCommands();
    ASSERT_TRUE(commands.execute(ID_NETWORK_GEOREFERENCE));
    EXPECT_EQ(net().georeference(), nyc);
    EXPECT_EQ(doc.undoName(), "Georeference");
    EXPECT_TRUE(doc.IsModified());

    commands.execute(ID_NETWORK_GEOREFERENCE);
    EXPECT_EQ(prompter.asked.back().text, "988000 215000 EPSG:2263") << "offers what is set";
    EXPECT_EQ(doc.undoDepth(), 1u) << "the same place again is no step";
    commands.execute(ID_NETWORK_GEOREFERENCE);
    EXPECT_EQ(doc.undoDepth(), 1u) << "cancelled";

    commands.execute(ID_NETWORK_GEOREFERENCE);
    EXPECT_FALSE(net().georeference().placed());
    EXPECT_EQ(doc.undoDepth(), 2u);
    doc.OnEditUndo();
    EXPECT_EQ(net().georeference(), nyc);
    doc.OnEditUndo();
    EXPECT_FALSE(net().georeference().placed());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(prompter.unexpected, 0);
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

    ASSERT_FALSE(net().georeference().placed());
    view.execute(ID_TOOL_AUTO_POPULATE);
    ASSERT_EQ(view.mode(), ToolMode::AutoPopulate);
    drag({-1.0f, -1.0f}, {3.0f, 3.0f});
    EXPECT_EQ(net().links().size(), 8u);
    EXPECT_EQ(doc.undoDepth(), 1u);
    EXPECT_TRUE(net().georeference().placed()) << "populating places the network";
    drag({-1.0f, -1.0f}, {3.0f, 3.0f});
    EXPECT_EQ(doc.undoDepth(), 1u) << "a second pass adds nothing and keeps no step";
    // The one step takes back the links and the place together.
    doc.OnEditUndo();
    EXPECT_EQ(net().links().size(), 0u);
    EXPECT_FALSE(net().georeference().placed());
    doc.OnEditRedo();
    EXPECT_TRUE(net().georeference().placed());

    view.execute(ID_VIEW_TIGER);
    EXPECT_EQ(view.mode(), ToolMode::Select);
    EXPECT_FALSE(view.query(ID_TOOL_AUTO_POPULATE)->enabled);
}

// A link from (-1, 0) to (1, 0) at scale 100: its drawn ends sit 3.4442 units below the centre
// line, its band reaches 4 units (2 for None) further, and a click two units beyond either edge
// still hits it.
TEST(HitTesting, ALinkIsHitOnItsBandAndTwoUnitsAround) {
    const struct {
        LinkType type;
        float y;
        bool hits;
    } cases[] = {{LinkType::Mainline, -0.0143f, false}, {LinkType::Mainline, -0.0146f, true},
                 {LinkType::Mainline, -0.0943f, true},  {LinkType::Mainline, -0.0946f, false},
                 {LinkType::None, -0.0146f, true},      {LinkType::None, -0.0743f, true},
                 {LinkType::None, -0.0746f, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << static_cast<int>(c.type) << " at " << c.y);
        Network net;
        createLink(net, createNodeAt(net, {-1.0f, 0.0f}), createNodeAt(net, {1.0f, 0.0f}),
                   LinkDefaults{})
            ->setType(c.type);
        Selection sel;
        EXPECT_EQ(HitTest(net, sel, {0.0f, c.y}, 100.0f, false), c.hits);
    }
}

TEST(HitTesting, NodesWinOverLinksAndTheLastDrawnWins) {
    Network net;
    Node* a = createNodeAt(net, {0.0f, 0.0f});
    Node* b = createNodeAt(net, {0.05f, 0.0f});
    const Link* link = createLink(net, a, b, LinkDefaults{});
    ASSERT_EQ(DistanceToLink(*link, {0.02f, -0.03f}, 100.0f), 0.0f) << "on the link's band";
    Selection sel;
    EXPECT_TRUE(HitTest(net, sel, {0.02f, -0.03f}, 100.0f, false));
    EXPECT_EQ(sel.lastNode(), b);
    EXPECT_EQ(sel.linkCount(), 0u);
    sel.clear();
    EXPECT_FALSE(HitTest(net, sel, {-0.09f, 0.0f}, 100.0f, false)) << "9 units is outside";
    EXPECT_TRUE(HitTest(net, sel, {-0.0899f, 0.0f}, 100.0f, false));
    EXPECT_FALSE(HitTest(net, sel, {-0.0899f, 0.0f}, 100.0f, true)) << "toggled off";
    EXPECT_TRUE(sel.empty());
}

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
