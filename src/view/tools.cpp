#include "view/tools.h"

#include "document/vantrydoc.h"
#include "geo/populatedgeoreference.h"
#include "model/drawsizes.h"
#include "model/editing.h"
#include "tiger/autopopulate.h"
#include "view/commands.h"
#include "view/cursors.h"
#include "view/hittest.h"
#include "view/selection.h"
#include "view/viewtransform.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace vantry {

namespace {

WorldPoint minus(WorldPoint a, WorldPoint b) {
    return {a.x - b.x, a.y - b.y};
}

// Selecting, clicking and moving objects, and selecting by rectangle.
class SelectTool : public Tool {
public:
    using Tool::Tool;
    ToolMode mode() const override { return ToolMode::Select; }

    bool press(WorldPoint p, MouseMods mods) override {
        Selection& sel = view_.selection();
        const bool hit =
            HitTest(view_.GetDocument()->network(), sel, p, view_.transform().scale, mods.ctrl);
        bool capture = true;
        if (hit) {
            const bool wasSelected = !sel.lastAddWasNew();
            view_.setClicked(sel.lastNode(), sel.lastLink());
            if (!mods.ctrl && !wasSelected)
                view_.selectOnly(sel.lastNode(), sel.lastLink());
            dragStart_ = dragCurrent_ = p;
            dragging_ = true;
            firstMove_ = true;
            movedFar_ = false;
            ghost_.reset();
        } else if (mods.ctrl) {
            capture = false;
        } else {
            sel.clear();
            view_.setClicked(nullptr, nullptr);
            dragStart_ = dragCurrent_ = p;
            firstMove_ = true;
            rectangle_ = true;
        }
        view_.rerender();
        return capture;
    }

    void move(WorldPoint p, MouseMods) override {
        if (rectangle_) {
            moveRectangle(p);
            return;
        }
        if (!dragging_ || linksOnly())
            return;
        firstMove_ = false;
        if (distance(p, dragStart_) > kPickUnits / view_.transform().scale)
            movedFar_ = true;
        dragCurrent_ = p;
        view_.autoScroll();
    }

    void release(WorldPoint p, MouseMods mods) override {
        if (rectangle_) {
            rectangle_ = false;
            firstMove_ = true;
            Selection& sel = view_.selection();
            SelectInRect(view_.GetDocument()->network(), sel, dragStart_, p,
                         view_.transform().scale, !mods.shift);
            view_.setClicked(sel.lastNode(), sel.lastLink());
            view_.rerender();
            return;
        }
        if (!dragging_)
            return;
        dragging_ = false;
        ghost_.reset();
        if (movedFar_) {
            if (linksOnly())
                return;
            const WorldPoint offset = minus(p, dragStart_);
            const std::vector<Node*> nodes = view_.selection().selectedNodes();
            view_.GetDocument()->editObjects("Move Nodes", nodes, {}, [&](Network& net) {
                moveNodes(nodes, offset);
                net.recomputeBounds();
                return true;
            });
            return;
        }
        if (!mods.ctrl)
            view_.selectOnly(view_.clickedLink() ? nullptr : view_.clickedNode(),
                             view_.clickedLink());
        view_.rerender();
    }

    void doubleClick(WorldPoint) override { view_.showProperties(); }

    bool cancel() override {
        if (!dragging_ || view_.selection().empty())
            return false;
        dragging_ = false;
        ghost_.reset();
        return true;
    }

    void abandon() override {
        cancel();
        dragging_ = false;
        rectangle_ = false;
        firstMove_ = true;
        ghost_.reset();
    }

    void drawFeedback() override {
        if (rectangle_) {
            drawRectangle();
            return;
        }
        if (!dragging_ || firstMove_ || linksOnly())
            return;
        if (!ghost_)
            ghost_ = ghostLinks();
        view_.MoveGhost(minus(dragCurrent_, dragStart_), *ghost_);
    }

    void networkChanged() override { ghost_.reset(); }

private:
    bool linksOnly() const {
        return view_.selection().nodeCount() == 0 && view_.selection().linkCount() > 0;
    }

    std::unique_ptr<GhostLinks> ghostLinks() const {
        auto ghost = std::make_unique<GhostLinks>();
        const Selection& sel = view_.selection();
        for (const Link* l : view_.GetDocument()->network().links()) {
            if (!l->fromNode() || !l->toNode())
                continue;
            const bool from = sel.contains(l->fromNode());
            const bool to = sel.contains(l->toNode());
            if (from || to)
                ghost->links.push_back({l, from, to});
        }
        return ghost;
    }

    bool movedFar_ = false;
    bool rectangle_ = false;
    std::unique_ptr<GhostLinks> ghost_;
};

// Placing a node, and cutting the links under it when the user agrees.
class NodeTool : public Tool {
public:
    using Tool::Tool;
    ToolMode mode() const override { return ToolMode::Node; }

    bool press(WorldPoint p, MouseMods) override {
        dragCurrent_ = p;
        dragging_ = true;
        return true;
    }

    void move(WorldPoint p, MouseMods) override {
        if (dragging_)
            dragCurrent_ = p;
    }

    void release(WorldPoint p, MouseMods) override {
        if (!dragging_)
            return;
        dragging_ = false;
        const float scale = view_.transform().scale;
        const float tolerance = kNodeRadiusUnits / scale;
        CVantryDoc* doc = view_.GetDocument();
        // The question comes before the edit begins: while it is open the network is whole,
        // and nothing has been added that an answer would have to take back.
        std::vector<Link*> under;
        for (Link* l : doc->network().links())
            if (DistanceToLink(*l, p, scale) < tolerance)
                under.push_back(l);
        const bool split =
            !under.empty() && doc->prompter() &&
            doc->prompter()->askYesNo("Do you wish to split the links under the new node?",
                                      Prompter::Icon::None);
        doc->edit(split ? "Add Node and Split Links" : "Add Node", [&](Network& net) {
            Node* n = createNodeAt(net, p);
            if (split)
                splitLinksAt(net, n, under);
            return true;
        });
    }

    void drawFeedback() override {
        if (dragging_)
            view_.XorCircle(dragCurrent_, kNodeRadiusUnits);
    }
};

// Drawing a one-way or two-way link by press-drag-release or by click, then click.
class LinkTool : public Tool {
public:
    LinkTool(ToolHost& host, bool twoWay) : Tool(host), twoWay_(twoWay) {}
    ToolMode mode() const override { return twoWay_ ? ToolMode::TwoWayLink : ToolMode::Link; }

    bool press(WorldPoint p, MouseMods) override {
        if (!dragging_) {
            dragStart_ = SnapToNode(view_.GetDocument()->network(), p, view_.transform().scale);
            dragCurrent_ = dragStart_;
            dragging_ = true;
            firstMove_ = true;
        }
        return true;
    }

    void move(WorldPoint p, MouseMods) override {
        if (!dragging_)
            return;
        firstMove_ = false;
        dragCurrent_ = p;
        view_.autoScroll();
        const double dx = p.x - dragStart_.x;
        const double dy = p.y - dragStart_.y;
        // Rounded to the nearest degree on both sides of north, so that due west reads 270.
        int degrees =
            static_cast<int>(std::floor((1.570795 - std::atan2(dy, dx)) * 57.29582790879778 + 0.5));
        if (degrees < 0)
            degrees += 360;
        if (degrees == 360)
            degrees = 0;
        char text[96];
        std::snprintf(text, sizeof text, "Length: %.3f miles (%d degrees)",
                      static_cast<double>(distance(p, dragStart_)), degrees);
        view_.setStatusExtra(text);
    }

    void release(WorldPoint p, MouseMods) override {
        if (!dragging_)
            return;
        const float scale = view_.transform().scale;
        // A click, or a drag shorter than 5 units, leaves the link running to the next click.
        if (distance(p, dragStart_) <= kClickUnits / scale)
            return;
        // So does a release that snaps to the node the link starts at: a link from a node to
        // itself could neither be seen nor selected.
        const Network& net = view_.GetDocument()->network();
        const Node* from = FindNearestNode(net, dragStart_, kPickUnits / scale);
        if (from && from == FindNearestNode(net, p, kPickUnits / scale))
            return;
        dragging_ = false;
        const WorldPoint start = dragStart_;
        const bool twoWay = twoWay_;
        const bool changed = view_.GetDocument()->edit("Add Link", [&](Network& net) {
            Node* a = FindNearestNode(net, start, kPickUnits / scale);
            Node* b = FindNearestNode(net, p, kPickUnits / scale);
            bool created = false;
            if (!a) {
                a = createNodeAt(net, start);
                created = true;
            }
            if (!b) {
                b = createNodeAt(net, p);
                created = true;
            }
            return connectNodes(net, a, b, twoWay, CVantryDoc::linkDefaults()) || created;
        });
        if (!changed)
            view_.rerender();
    }

    void drawFeedback() override {
        if (dragging_ && !firstMove_)
            view_.RubberLink(dragStart_, dragCurrent_);
    }

private:
    bool twoWay_;
};

// Measuring a path of straight segments; a double-click ends the measurement.
class DistanceTool : public Tool {
public:
    using Tool::Tool;
    ToolMode mode() const override { return ToolMode::Distance; }

    bool press(WorldPoint p, MouseMods) override {
        if (firstMove_) {
            dragStart_ = p;
            soFar_ = 0.0f;
            firstMove_ = false;
        } else {
            soFar_ += distance(p, dragStart_);
            dragStart_ = p;
        }
        dragCurrent_ = p;
        return true;
    }

    void move(WorldPoint p, MouseMods) override {
        if (firstMove_)
            return;
        char text[64];
        std::snprintf(text, sizeof text, "Length: %.3f miles",
                      static_cast<double>(soFar_ + distance(p, dragStart_)));
        view_.setStatusExtra(text);
        dragCurrent_ = p;
    }

    void release(WorldPoint, MouseMods) override {}
    bool keepsCapture() const override { return !firstMove_; }

    void doubleClick(WorldPoint) override { firstMove_ = true; }

    bool cancel() override {
        if (firstMove_)
            return false;
        firstMove_ = true;
        return true;
    }

    void drawFeedback() override {
        if (!firstMove_ && !(dragCurrent_ == dragStart_))
            view_.XorLine(dragStart_, dragCurrent_, Qt::DotLine, 1);
    }

private:
    float soFar_ = 0.0f;
};

// Re-centring on the release point.
class PanTool : public Tool {
public:
    using Tool::Tool;
    ToolMode mode() const override { return ToolMode::Pan; }
    bool press(WorldPoint, MouseMods) override { return true; }
    void move(WorldPoint, MouseMods) override {}
    void release(WorldPoint p, MouseMods) override {
        view_.transform().CenterOn(p);
        view_.rerender();
    }
};

// A drag that spans a rectangle, shown while the button is down; the tool acts on release.
class RectangleTool : public Tool {
public:
    using Tool::Tool;

    bool press(WorldPoint p, MouseMods) override {
        pressRectangle(p);
        dragging_ = true;
        return true;
    }

    void move(WorldPoint p, MouseMods) override {
        if (dragging_)
            moveRectangle(p);
    }

    void release(WorldPoint p, MouseMods) override {
        if (!dragging_)
            return;
        dragging_ = false;
        finish(dragStart_, p);
    }

    void drawFeedback() override {
        if (dragging_)
            drawRectangle();
    }

protected:
    virtual void finish(WorldPoint start, WorldPoint end) = 0;
};

// Zooming in at a click, or to a dragged rectangle.
class ZoomInTool : public RectangleTool {
public:
    using RectangleTool::RectangleTool;
    ToolMode mode() const override { return ToolMode::ZoomIn; }

protected:
    void finish(WorldPoint start, WorldPoint p) override {
        ViewTransform& t = view_.transform();
        const float width = std::fabs(p.x - start.x) * t.scale;
        const float height = std::fabs(p.y - start.y) * t.scale;
        bool capped;
        if (width < kClickUnits && height < kClickUnits) {
            t.CenterOn(p);
            capped = t.ZoomInToCenter(false);
        } else {
            capped = t.ZoomToRect(WorldRect{std::max(p.y, start.y), std::min(p.y, start.y),
                                            std::min(p.x, start.x), std::max(p.x, start.x)});
        }
        view_.rerender();
        if (capped)
            view_.setTool(ToolMode::Select);
    }
};

// Turning the TIGER/Line road chains under a click, or inside a rectangle, into nodes and links.
class AutoPopulateTool : public RectangleTool {
public:
    using RectangleTool::RectangleTool;
    ToolMode mode() const override { return ToolMode::AutoPopulate; }

protected:
    void finish(WorldPoint start, WorldPoint p) override {
        CVantryDoc* doc = view_.GetDocument();
        const TigerData& tiger = doc->tiger();
        const float scale = view_.transform().scale;
        const PopulateOptions options = CVantryDoc::populateOptions();
        const bool changed = doc->edit("Auto-Populate", [&](Network& net) {
            const bool added =
                AutoPopulateAt(net, tiger.store(), tiger.tigerOrigin(), start, p, scale, options);
            if (added)
                placePopulated(net, tiger.tigerOrigin());
            return added;
        });
        if (!changed)
            view_.rerender();
    }
};

// Re-centring on the click and zooming out.
class ZoomOutTool : public Tool {
public:
    using Tool::Tool;
    ToolMode mode() const override { return ToolMode::ZoomOut; }
    bool press(WorldPoint, MouseMods) override { return true; }
    void move(WorldPoint, MouseMods) override {}
    void release(WorldPoint p, MouseMods) override {
        view_.transform().CenterOn(p);
        const bool floor = view_.transform().ZoomOutFromCenter(false);
        view_.rerender();
        if (floor)
            view_.setTool(ToolMode::Select);
    }
};

// Choosing a route's two nodes: a click on the node it starts at, then one on the node it ends
// at, and the view shows the fastest route between them. Clicks away from nodes do nothing.
class RouteTool : public Tool {
public:
    using Tool::Tool;
    ToolMode mode() const override { return ToolMode::Route; }

    bool press(WorldPoint p, MouseMods) override {
        const Network& net = view_.GetDocument()->network();
        Node* node = FindNearestNode(net, p, kPickUnits / view_.transform().scale);
        if (!startPresent())
            start_ = nullptr;
        if (!node) {
            view_.setStatusExtra(start_ ? "Click the node the route ends at"
                                        : "Click the node the route starts at");
        } else if (!start_) {
            start_ = node;
            view_.setStatusExtra("Route from node " + std::to_string(node->id()) +
                                 ": click the node it ends at");
        } else if (node != start_) {
            Node* from = start_;
            start_ = nullptr;
            view_.setStatusExtra(std::string());
            view_.routeBetween(from, node);
        }
        // Nothing is dragged: the tool never takes the mouse.
        return false;
    }
    void move(WorldPoint, MouseMods) override {}
    void release(WorldPoint, MouseMods) override {}

    bool cancel() override {
        if (!start_)
            return false;
        start_ = nullptr;
        return true;
    }

    void drawFeedback() override {
        if (start_ && startPresent())
            view_.XorCircle(start_->position(), kNodeRadiusUnits + 4);
    }

private:
    // Whether the start node is still in the network (edits may have deleted it): compared by
    // address only.
    bool startPresent() const {
        if (!start_)
            return false;
        const auto& nodes = view_.GetDocument()->network().nodes();
        return std::find(nodes.begin(), nodes.end(), start_) != nodes.end();
    }

    Node* start_ = nullptr;
};

QCursor routeCursor() {
    return QCursor(Qt::CrossCursor);
}

} // namespace

void Tool::pressRectangle(WorldPoint p) {
    dragStart_ = dragCurrent_ = p;
    firstMove_ = true;
}

void Tool::moveRectangle(WorldPoint p) {
    firstMove_ = false;
    dragCurrent_ = p;
}

void Tool::drawRectangle() {
    if (!firstMove_)
        view_.XorRect(dragStart_, dragCurrent_);
}

namespace {

template <class T> std::unique_ptr<Tool> make(ToolHost& host) {
    return std::make_unique<T>(host);
}

std::unique_ptr<Tool> makeLink(ToolHost& host) {
    return std::make_unique<LinkTool>(host, false);
}

std::unique_ptr<Tool> makeTwoWayLink(ToolHost& host) {
    return std::make_unique<LinkTool>(host, true);
}

bool always(const ToolContext&) {
    return true;
}

bool whileTigerShown(const ToolContext& c) {
    return c.tigerShown;
}

bool belowMaxScale(const ToolContext& c) {
    return c.scale < ViewTransform::kMaxScale;
}

bool aboveMinScale(const ToolContext& c) {
    return c.scale > ViewTransform::kMinScale;
}

} // namespace

const std::vector<ToolInfo>& toolTable() {
    static const std::vector<ToolInfo> table = {
        {ID_TOOL_SELECT, ToolMode::Select, "&Select", "Selection mode", "Select", "select",
         arrowCursor, make<SelectTool>, always, false},
        {ID_TOOL_NODE, ToolMode::Node, "&Node", "Create Nodes", "Node", "node", nodeCursor,
         make<NodeTool>, always, false},
        {ID_TOOL_LINK, ToolMode::Link, "&Link", "Create Links", "Link", "link", linkCursor,
         makeLink, always, false},
        {ID_TOOL_TWOWAY_LINK, ToolMode::TwoWayLink, "&2-Way Link", "Create Two-Way Link",
         "Two-Way Link", "link-2way", twoWayLinkCursor, makeTwoWayLink, always, false},
        {ID_TOOL_AUTO_POPULATE, ToolMode::AutoPopulate, "&Auto-Populate",
         "Populate network from Tiger data", "Auto-populate", "auto-populate", autoPopulateCursor,
         make<AutoPopulateTool>, whileTigerShown, true},
        {ID_TOOL_DISTANCE, ToolMode::Distance, "&Distance", "Distance calculation", "Distance",
         "distance", distanceToolCursor, make<DistanceTool>, always, false},
        {ID_TOOL_PAN, ToolMode::Pan, "&Pan", "Pan", "Pan", "pan", panToolCursor, make<PanTool>,
         always, false},
        {ID_TOOL_ZOOM_IN, ToolMode::ZoomIn, "Zoom &In", "Zoom In", "Zoom In", "zoom-in",
         zoomInCursor, make<ZoomInTool>, belowMaxScale, false},
        {ID_TOOL_ZOOM_OUT, ToolMode::ZoomOut, "Zoom &Out", "Zoom Out", "Zoom Out", "zoom-out",
         zoomOutCursor, make<ZoomOutTool>, aboveMinScale, false},
        {ID_TOOL_ROUTE, ToolMode::Route, "R&oute Tool",
         "Show the fastest route: click the node it starts at, then the node it ends at", "Route",
         "route", routeCursor, make<RouteTool>, always, false},
    };
    return table;
}

const ToolInfo& toolInfo(ToolMode mode) {
    for (const ToolInfo& t : toolTable())
        if (t.mode == mode)
            return t;
    return toolTable().front();
}

const ToolInfo* toolForCommand(int commandId) {
    for (const ToolInfo& t : toolTable())
        if (t.commandId == commandId)
            return &t;
    return nullptr;
}

} // namespace vantry
