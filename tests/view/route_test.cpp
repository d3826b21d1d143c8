#include "model/editing.h"
#include "viewdriver.h"

#include <QPainter>

namespace vantry {

namespace {

// A diamond of one-way links at 50 mph: A (-1,0) -> B (0,0) -> C (1,0) along the bottom, and
// A -> D (0,1) -> C over the top, 2 miles against 2.83; E (1.5,-1) stands alone.
class Routes : public DrivenView {
protected:
    Routes() {
        doc.edit("Diamond", [](Network& n) {
            for (WorldPoint p : {WorldPoint{-1, 0}, WorldPoint{0, 0}, WorldPoint{1, 0},
                                 WorldPoint{0, 1}, WorldPoint{1.5f, -1}})
                createNodeAt(n, p);
            const int ends[][2] = {{0, 1}, {1, 2}, {0, 3}, {3, 2}};
            for (const auto& e : ends)
                createLink(n, n.nodes()[e[0]], n.nodes()[e[1]], LinkDefaults{});
            return true;
        });
        QObject::connect(&view, &CVantryView::messageTextChanged,
                         [this](const QString& text) { status = text.toStdString(); });
    }
    Node* node(int id) { return net().nodes()[static_cast<std::size_t>(id - 1)]; }
    Link* link(int id) { return net().links()[static_cast<std::size_t>(id - 1)]; }
    std::vector<const Link*> routeLinks(std::initializer_list<int> ids) {
        std::vector<const Link*> links;
        for (int id : ids)
            links.push_back(link(id));
        return links;
    }
    void moveNode(int id, WorldPoint to) {
        Node* n = node(id);
        doc.editObjects("Move Nodes", {n}, {}, [&](Network& network) {
            moveNodes({n}, {to.x - n->position().x, to.y - n->position().y});
            network.recomputeBounds();
            return true;
        });
    }
    bool statusHas(const std::string& text) const { return status.find(text) != std::string::npos; }
    // Whether the painted frame has the route's colour at a world point.
    bool routeColourAt(WorldPoint p) {
        const QPointF px = at(p);
        return (view.composedFrame().pixel(px.toPoint()) & 0xffffffu) == kRouteColour;
    }

    std::string status;
};

TEST_F(Routes, TheRouteFollowsMovedNodesWithOneSearchPerEdit) {
    view.showRoute({node(1), node(3), {}, {}});
    ASSERT_TRUE(view.route().route());
    EXPECT_EQ(view.route().links(), routeLinks({1, 2}));
    EXPECT_TRUE(statusHas("Route from node 1 to node 3: 2 links, 2.000 mi, 2.40 min")) << status;
    EXPECT_TRUE(routeColourAt({-0.5f, 0.0f}));
    EXPECT_FALSE(routeColourAt({-0.5f, 0.5f}));

    // B moved up a little: the same links, longer.
    std::size_t searches = view.route().searches();
    moveNode(2, {0.0f, 0.5f});
    EXPECT_EQ(view.route().searches(), searches + 1) << "one search for one edit";
    EXPECT_EQ(view.route().links(), routeLinks({1, 2}));
    EXPECT_NEAR(view.route().route()->miles, 2 * std::sqrt(1.25), 1e-4);
    EXPECT_TRUE(statusHas("2 links, 2.236 mi")) << status;

    // B moved far down: the top way is faster now, and is drawn instead.
    moveNode(2, {0.0f, -2.0f});
    EXPECT_EQ(view.route().links(), routeLinks({3, 4}));
    EXPECT_NEAR(view.route().route()->miles, 2 * std::sqrt(2.0), 1e-4);
    EXPECT_TRUE(routeColourAt({-0.5f, 0.5f}));
    EXPECT_FALSE(routeColourAt({-0.5f, -1.0f}));

    // Undo brings B back, and the route with it; redrawing alone searches nothing.
    doc.OnEditUndo();
    EXPECT_EQ(view.route().links(), routeLinks({1, 2}));
    searches = view.route().searches();
    view.ShowEntireNetwork();
    view.rerender();
    EXPECT_EQ(view.route().searches(), searches);
}

TEST_F(Routes, AvoidedLinksAndNodesAreFollowedByIdentityAndADeletedEndClearsTheRoute) {
    // Link 2 avoided; deleting E (node 5) and adding nodes changes no link of the route.
    view.showRoute({node(1), node(3), {}, {link(2)}});
    EXPECT_EQ(view.route().links(), routeLinks({3, 4}));
    doc.edit("Delete", [](Network& n) {
        std::vector<Link*> links;
        std::vector<Node*> nodes{n.nodes()[4]};
        return deleteSelection(n, links, nodes);
    });
    EXPECT_EQ(view.route().links(), routeLinks({3, 4})) << "link 2 is still avoided";
    // An undo that removes objects replaces them all: the route takes its nodes and avoided
    // link again by their numbers.
    doc.edit("Add Node", [](Network& n) { return createNodeAt(n, {3, 3}) != nullptr; });
    doc.OnEditUndo();
    ASSERT_TRUE(view.route().shown());
    EXPECT_EQ(view.route().request()->from, node(1));
    EXPECT_EQ(view.route().request()->avoidLinks, std::vector<const Link*>{link(2)});
    EXPECT_EQ(view.route().links(), routeLinks({3, 4}));

    // Avoiding a type: the top way made Ramp and avoided leaves no route; the text says so.
    doc.edit("Ramp", [](Network& n) {
        n.links()[2]->setType(LinkType::Ramp);
        return true;
    });
    view.showRoute({node(1), node(3), {LinkType::Ramp}, {link(2)}});
    EXPECT_FALSE(view.route().route());
    EXPECT_TRUE(view.route().shown());
    EXPECT_TRUE(statusHas("No route from node 1 to node 3")) << status;

    // Deleting the end node and its links takes the route away.
    doc.edit("Delete", [](Network& n) {
        std::vector<Link*> links{n.links()[1], n.links()[3]};
        std::vector<Node*> nodes{n.nodes()[2]};
        return deleteSelection(n, links, nodes);
    });
    EXPECT_FALSE(view.route().shown());
    EXPECT_FALSE(statusHas("route")) << status;
}

TEST_F(Routes, TheRouteToolTakesTwoNodesAndEscapeClearsTheRoute) {
    view.execute(ID_TOOL_ROUTE);
    EXPECT_EQ(view.mode(), ToolMode::Route);
    click({-0.4f, 0.4f}); // no node here
    EXPECT_FALSE(view.route().shown());
    click({-1.02f, 0.0f});
    EXPECT_TRUE(view.hasFeedback()) << "the start node is ringed";
    click({-1.0f, 0.0f}); // the same node again: still waiting for the end
    EXPECT_FALSE(view.route().shown());
    click({1.03f, 0.01f});
    ASSERT_TRUE(view.route().shown());
    EXPECT_EQ(view.route().request()->from, node(1));
    EXPECT_EQ(view.route().request()->to, node(3));
    EXPECT_EQ(view.route().links(), routeLinks({1, 2}));
    EXPECT_FALSE(view.hasFeedback());

    // Escape in the tool goes back to Select and takes the route and its text away.
    view.execute(ID_VIEW_ESCAPE);
    EXPECT_EQ(view.mode(), ToolMode::Select);
    EXPECT_FALSE(view.route().shown());
    EXPECT_FALSE(statusHas("Route from")) << status;
    EXPECT_FALSE(routeColourAt({-0.5f, 0.0f}));

    // A start clicked and then escaped leaves no route behind.
    view.execute(ID_TOOL_ROUTE);
    click({-1.0f, 0.0f});
    view.execute(ID_VIEW_ESCAPE);
    EXPECT_EQ(view.mode(), ToolMode::Select);
    EXPECT_FALSE(view.hasFeedback());
}

} // namespace

} // namespace vantry
