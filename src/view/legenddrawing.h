#pragma once

#include "view/renderoptions.h"

#include <cstdint>

namespace vantry {

class LinkColouring;
class RenderSurface;

// A colour given as 0xRRGGBB, as the preferences store colours.
ColorRef colourRefOf(std::uint32_t rgb);

// The key to a map coloured by an attribute: the field's name, then each class's colour with
// its range or value, in a box in the bottom-left corner of the frame. It scales with the
// frame's pixels per logical unit, so a printed page shows it as the screen does.
void drawLegend(RenderSurface& surface, const LinkColouring& colouring);

} // namespace vantry
