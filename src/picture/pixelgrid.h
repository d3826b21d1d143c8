#pragma once

namespace vantry {

// Where a picture's pixels lie in the coordinates of the CRS it was made in. Column and row are
// counted from the outer upper-left corner of the picture, so (0, 0) is that corner and
// (width, height) the outer lower-right one:
//   x = originX + a * column + b * row
//   y = originY + d * column + e * row
struct PixelGrid {
    double originX = 0.0;
    double originY = 0.0;
    double a = 1.0;
    double b = 0.0;
    double d = 0.0;
    double e = -1.0;

    // A turned or sheared grid has no axis-aligned rectangle that is the picture.
    bool rotated() const { return b != 0.0 || d != 0.0; }
    double x(double column, double row) const { return originX + a * column + b * row; }
    double y(double column, double row) const { return originY + d * column + e * row; }
};

} // namespace vantry
