#pragma once

#include "model/geometry.h"

#include <QCursor>
#include <qnamespace.h>

#include <memory>
#include <string>
#include <vector>

namespace vantry {

class CVantryDoc;
class Link;
class Node;
class Selection;
class ViewTransform;

// The view's tools, numbered as they have always been.
enum class ToolMode {
    Select = 0,
    Node = 1,
    Link = 2,
    TwoWayLink = 3,
    AutoPopulate = 4,
    Distance = 5,
    Pan = 6,
    ZoomIn = 7,
    ZoomOut = 8,
    Route = 9,
};

// Keys held with a mouse event.
struct MouseMods {
    bool ctrl = false;
    bool shift = false;
};

// The links drawn by a move ghost: those with at least one moving end, and which of their ends
// move, worked out once per drag so that each move only draws them.
struct GhostLinks {
    struct Entry {
        const Link* link;
        bool fromMoves;
        bool toMoves;
    };
    std::vector<Entry> links;
};

// What a tool may use of the view it works in: the document, the selection, the transform,
// the drag feedback, the status text, redrawing and changing the tool.
class ToolHost {
public:
    virtual ~ToolHost() = default;
    virtual CVantryDoc* GetDocument() const = 0;
    virtual Selection& selection() = 0;
    virtual ViewTransform& transform() = 0;

    virtual Node* clickedNode() const = 0;
    virtual Link* clickedLink() const = 0;
    virtual void setClicked(Node* node, Link* link) = 0;
    // Makes the selection exactly one object (the link when both are given).
    virtual void selectOnly(Node* node, Link* link) = 0;
    virtual void rerender() = 0;
    // Shifts the view toward the pointer when a drag has carried it out of the window.
    virtual void autoScroll() = 0;
    // The pointer readout followed by a tool's own text.
    virtual void setStatusExtra(const std::string& text) = 0;
    virtual void showProperties() = 0;
    virtual void setTool(ToolMode mode) = 0;
    // Shows the fastest route between two nodes, with the avoid options last chosen.
    virtual void routeBetween(Node*, Node*) {}

    // Feedback shapes, drawn by inverting what lies beneath. A tool adds the shapes of its
    // current state when asked to (Tool::drawFeedback); the host throws them all away before
    // asking again, so nothing drawn earlier can linger.
    virtual void XorLine(WorldPoint a, WorldPoint b, Qt::PenStyle style, int width) = 0;
    virtual void XorRect(WorldPoint a, WorldPoint b) = 0;
    virtual void XorCircle(WorldPoint p, int radius) = 0;
    // A line from a to b, drawn solid and 2 wide to the node b snaps to, else dashed to b.
    virtual void RubberLink(WorldPoint a, WorldPoint b) = 0;
    // The moving nodes shifted by an offset, with the given links.
    virtual void MoveGhost(WorldPoint offset, const GhostLinks& ghost) = 0;
};

// One mouse tool: a small state machine fed with presses, moves and releases in world miles. It
// draws only feedback while a drag runs and makes at most one document edit (one undo step) when
// the drag ends. Shared drag state and the rectangle drag live here.
class Tool {
public:
    explicit Tool(ToolHost& host) : view_(host) {}
    virtual ~Tool() = default;

    virtual ToolMode mode() const = 0;
    // Left button. press() returns false when the press takes no mouse capture.
    virtual bool press(WorldPoint p, MouseMods mods) = 0;
    virtual void move(WorldPoint p, MouseMods mods) = 0;
    virtual void release(WorldPoint p, MouseMods mods) = 0;
    virtual void doubleClick(WorldPoint) {}
    // Ends a running drag without its edit; true when there was one.
    virtual bool cancel() {
        if (!dragging_)
            return false;
        dragging_ = false;
        return true;
    }
    // The mouse went elsewhere (a popup, another window, a dialog): nothing the tool was doing
    // may go on, a selection rectangle included.
    virtual void abandon() { cancel(); }
    // Whether the mouse capture stays after a release.
    virtual bool keepsCapture() const { return dragging_; }
    bool dragging() const { return dragging_; }
    // Adds the feedback shapes of the current state to the host.
    virtual void drawFeedback() {}
    // The network changed under the tool: anything it worked out from it is stale.
    virtual void networkChanged() {}

protected:
    void pressRectangle(WorldPoint p);
    void moveRectangle(WorldPoint p);
    void drawRectangle();

    ToolHost& view_;
    bool dragging_ = false;
    bool firstMove_ = true;
    WorldPoint dragStart_;
    WorldPoint dragCurrent_;
};

// What decides whether a tool's command is enabled.
struct ToolContext {
    bool tigerShown = false;
    float scale = 100.0f;
};

// Everything that names one tool: its command, how menus, the toolbar and the status bar show
// it, its pointer, how to make it and when it may be chosen. The view, the menus and the
// context menu all read this one table.
struct ToolInfo {
    int commandId;
    ToolMode mode;
    const char* menuText; // with '&' before the access key
    const char* statusText;
    const char* toolTip;
    const char* icon; // toolbar icon resource name
    QCursor (*cursor)();
    std::unique_ptr<Tool> (*make)(ToolHost&);
    bool (*enabled)(const ToolContext&);
    // The check mark shows only while the command is enabled.
    bool checkedOnlyWhenEnabled;
};

// The tools in menu order.
const std::vector<ToolInfo>& toolTable();
const ToolInfo& toolInfo(ToolMode mode);
// The tool whose command this is, or null.
const ToolInfo* toolForCommand(int commandId);

} // namespace vantry
