#pragma once

#include "picture/pixelgrid.h"

#include <istream>
#include <string>

namespace vantry {

// What a GeoTIFF's first image directory says of where its pixels lie, read from its own tags
// (the model's pixel scale, tie points and transformation, and the GeoKey directory) without a
// GIS library.
struct GeoTiffKeys {
    // False for a TIFF that carries no placement: an ordinary picture.
    bool placed = false;
    PixelGrid grid;
    // The EPSG code of the projected or geographic CRS the keys name; 0 when they name none.
    int epsg = 0;
};

// Reads the GeoTIFF tags of a classic TIFF of either byte order. False, with a one-line reason
// naming `name`, when the file is no TIFF, is a BigTIFF, or its tags are damaged or describe
// what cannot become a grid (tie points without a scale, a CRS of the file's own definition).
// Only the tags are read, never the pixels, whatever the file's size.
bool readGeoTiffKeys(std::istream& file, const std::string& name, GeoTiffKeys& keys,
                     std::string& why);

} // namespace vantry
