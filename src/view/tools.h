#pragma once

#include "model/geometry.h"

#include <memory>

class CVantryView;

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
};

// Keys held with a mouse event.
struct MouseMods {
    bool ctrl = false;
    bool shift = false;
};

// One mouse tool: a small state machine fed with presses, moves and releases in world miles. It
// draws only feedback while a drag runs and makes at most one document edit (one undo step) when
// the drag ends. Shared drag state and the rectangle drag live here.
class Tool {
public:
    explicit Tool(CVantryView& view) : view_(view) {}
    virtual ~Tool() = default;

    virtual ToolMode mode() const = 0;
    // Left button. press() returns false when the press takes no mouse capture.
    virtual bool press(WorldPoint p, MouseMods mods) = 0;
    virtual void move(WorldPoint p, MouseMods mods) = 0;
    virtual void release(WorldPoint p, MouseMods mods) = 0;
    virtual void doubleClick(WorldPoint) {}
    // Ends a running drag without its edit; true when there was one.
    virtual bool cancel() { return false; }
    // Whether the mouse capture stays after a release.
    virtual bool keepsCapture() const { return dragging_; }
    bool dragging() const { return dragging_; }

protected:
    // Rectangle feedback from dragStart_ to p.
    void moveRectangle(WorldPoint p);
    void eraseRectangle();

    CVantryView& view_;
    bool dragging_ = false;
    bool firstMove_ = true;
    WorldPoint dragStart_;
    WorldPoint dragCurrent_;
};

std::unique_ptr<Tool> makeTool(ToolMode mode, CVantryView& view);
