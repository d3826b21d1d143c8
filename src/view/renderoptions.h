#pragma once

#include "model/geometry.h"

#include <QRect>

#include <cstdint>

namespace vantry {

struct BackgroundImage;
class LinkColouring;
class TigerData;

// A Windows colour value 0x00BBGGRR, as the preferences store it.
using ColorRef = std::uint32_t;

// What to draw and how.
struct RenderOptions {
    // The background picture, or null when it is hidden, with the world rectangle it covers and
    // its whole pixels per mile.
    const BackgroundImage* bitmap = nullptr;
    WorldRect bitmapRect;
    std::int32_t pixelsPerMile = 0;
    // The TIGER/Line layer to draw behind the network, or null when it is hidden.
    const TigerData* tiger = nullptr;
    bool showGrid = true;
    bool showNumbers = true;
    // Printing leaves the paper white, draws no selection and reports no grid readout.
    bool printing = false;
    ColorRef backColor = 0xFFFFFF;
    int gridPixels = 50;
    // Only the frame's pixels in this rectangle are drawn, exactly as drawing the whole frame
    // draws them; null draws everything.
    QRect area;
    // Links filled by the class of an attribute, with a legend in a corner; null fills them by
    // their type.
    const LinkColouring* colouring = nullptr;

    friend bool operator==(const RenderOptions&, const RenderOptions&) = default;
};

} // namespace vantry
