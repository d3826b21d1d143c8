// The readers of what a picture says of where it lies, on arbitrary bytes: a GeoTIFF's tags, a
// world file and a GDAL auxiliary file. What is refused is refused with a reason naming the
// file; what is accepted is a grid whose pixels have an area.

#include "fuzzcheck.h"
#include "picture/geotiffkeys.h"
#include "picture/worldfile.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

using namespace vantry;

namespace {

void checkGrid(const PixelGrid& g) {
    FUZZ_CHECK(std::isfinite(g.originX) && std::isfinite(g.originY));
    FUZZ_CHECK(g.a * g.e - g.b * g.d != 0.0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    std::istringstream file(bytes);
    GeoTiffKeys keys;
    std::string why;
    if (readGeoTiffKeys(file, "fuzz.tif", keys, why)) {
        FUZZ_CHECK(keys.epsg >= 0);
        if (keys.placed)
            checkGrid(keys.grid);
    } else {
        FUZZ_CHECK(why.rfind("fuzz.tif: ", 0) == 0);
        FUZZ_CHECK(why.find('\n') == std::string::npos);
    }

    PixelGrid grid;
    why.clear();
    if (parseWorldFile(bytes, "fuzz.pgw", grid, why))
        checkGrid(grid);
    else
        FUZZ_CHECK(why.rfind("fuzz.pgw", 0) == 0);

    const std::string crs = auxiliaryCrs(bytes);
    FUZZ_CHECK(crs.size() <= bytes.size());
    return 0;
}
