#pragma once

namespace vantry {

struct BackgroundImage;
class RenderSurface;

// The part of the background picture under the frame, each picture pixel scaled to whole device
// pixels, on the world rectangle and at the pixels per mile the options give.
void drawBackground(RenderSurface& surface, const BackgroundImage& image);

} // namespace vantry
