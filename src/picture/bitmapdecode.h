#pragma once

#include "picture/packedbitmap.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vantry {

// Turns a bitmap's stored pixels into BitmapWidth x BitmapHeight opaque colours 0xFFRRGGBB, the
// top row first and each row from left to right, whatever the file's depth, row order and
// compression.
//
// - Colour-table indices beyond the end of the table give black.
// - Channels narrower than 8 bits are widened by repeating their bits (a 5-bit 31 gives 255, a
//   5-bit 16 gives 132); wider channels are scaled and rounded. Alpha is not used: background
//   images are drawn opaque.
// - Run-length streams are clipped to the image: pixels that a run, an absolute run or a delta
//   would place right of a row or above the top row are dropped, and the stream carries on at the
//   next end-of-line or delta. Pixels the stream never sets get colour-table entry 0, as if the
//   stream painted onto a canvas of indices that all start at zero; other image tools show them
//   the same way. A stream that stops without an end-of-bitmap mark simply ends there.
//
// Returns false for a null image, or when there is not enough memory for the pixels; then
// `pixels` is empty and `why`, when given, says so.
bool DecodeBitmap(const PackedBitmap& bitmap, std::vector<std::uint32_t>& pixels,
                  std::string* why = nullptr);

} // namespace vantry
