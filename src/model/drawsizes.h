#pragma once

namespace vantry {

// Sizes on the map in logical units (hundredths of an inch of the screen), shared by drawing,
// hit testing, the mouse tools and auto-populate so that what is drawn is what can be picked.
// Divide by the view's scale to get miles.

// A node circle's radius; a press inside it picks the node.
constexpr int kNodeRadiusUnits = 9;
// How near a press must come to a node to snap or attach to it, and how far a drag must go
// before it moves anything.
constexpr float kPickUnits = 14.0f;
// A press closer than this to a link's band picks the link.
constexpr float kLinkPickUnits = 2.0f;
// Below this a drag is a click.
constexpr float kClickUnits = 5.0f;
// Links shorter than this on screen are not drawn, neither on the map nor in a move ghost.
constexpr float kShortestLinkUnits = 18.0f;
// Half the width of a typed link's band (untyped links are half as wide).
constexpr int kLinkHalfWidthUnits = 4;

} // namespace vantry
