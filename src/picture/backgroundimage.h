#pragma once

#include <cstdint>
#include <vector>

namespace vantry {

// The background picture a document has loaded: its pixels, top row first, as 0xFFRRGGBB values
// ready to be drawn, whatever kind of file they came from.
struct BackgroundImage {
    std::vector<std::uint32_t> pixels;
    std::int32_t width = 0;
    std::int32_t height = 0;

    bool loaded() const { return width > 0 && height > 0; }
};

} // namespace vantry
