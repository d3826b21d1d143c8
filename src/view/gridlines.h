#pragma once

#include <string>

namespace vantry {

class RenderSurface;

// Grid line class of a coordinate: 0 on the axis, 1 off whole miles, 2 on whole miles, 3 on
// multiples of 10 miles, 4 on multiples of 100 miles.
int gridLineClass(float v);

// A grid label: the coordinate with the given number of decimals, never as a negative zero.
std::string gridLabel(float v, int decimals);

// The grid: lines a power of ten miles apart, at least the preferences' spacing in pixels,
// inverting what lies beneath where the surface can, and their coordinates along the top and
// left edges. Returns the readout for the status bar ("Grid: 1 miles"), empty when printing.
std::string drawGrid(RenderSurface& surface);

} // namespace vantry
