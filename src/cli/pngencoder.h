#pragma once

#include <string>

class QImage;

namespace vantry {

// Encodes an RGB32 picture as a PNG file's bytes, fast: every row filtered by its left
// neighbour (a map is mostly flat colour, which that turns into runs of zeros), compressed at
// zlib's fastest level a few rows at a time, the two halves of the picture on two threads into
// one zlib stream. Other formats are converted first. False when memory or zlib fail.
bool encodePng(const QImage& image, std::string& png);

} // namespace vantry
