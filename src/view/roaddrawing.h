#pragma once

namespace vantry {

class RenderSurface;
class TigerData;

// The road chains behind the network, each in its feature class's pen; at street zoom a one-way
// chain gets a chevron at its middle pointing the way traffic runs.
void drawRoads(RenderSurface& surface, const TigerData& tiger);

} // namespace vantry
