// The GeoTIFF tag reader on files GDAL wrote (tests/data/geo/generate.sh), and on damage.
#include "picture/geotiffkeys.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace vantry {

namespace {

std::string dataFile(const std::string& name) {
    return std::string(VANTRY_TEST_DATA) + "/geo/" + name;
}

std::string bytesOf(const std::string& name) {
    std::ifstream in(dataFile(name), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool readBytes(const std::string& bytes, GeoTiffKeys& keys, std::string& why) {
    std::istringstream in(bytes);
    return readGeoTiffKeys(in, "pic.tif", keys, why);
}

} // namespace

// GDAL placed all three over 980000..980800 x 200000..200600 US feet, 100 feet a pixel; the
// pixel-is-point one ties the centre of the first pixel, half a pixel in from the corner.
TEST(GeoTiffKeys, ReadsTheCornerWhateverTheByteOrderOrRasterType) {
    for (const char* name : {"area.tif", "point.tif", "bigendian.tif"}) {
        SCOPED_TRACE(name);
        GeoTiffKeys keys;
        std::string why;
        ASSERT_TRUE(readBytes(bytesOf(name), keys, why)) << why;
        ASSERT_TRUE(keys.placed);
        EXPECT_EQ(keys.epsg, 2263);
        EXPECT_FALSE(keys.grid.rotated());
        EXPECT_DOUBLE_EQ(keys.grid.x(0, 0), 980000.0);
        EXPECT_DOUBLE_EQ(keys.grid.y(0, 0), 200600.0);
        EXPECT_DOUBLE_EQ(keys.grid.x(8, 6), 980800.0);
        EXPECT_DOUBLE_EQ(keys.grid.y(8, 6), 200000.0);
    }
}

TEST(GeoTiffKeys, GeographicRotatedAndPlainPictures) {
    GeoTiffKeys keys;
    std::string why;
    ASSERT_TRUE(readBytes(bytesOf("lonlat.tif"), keys, why)) << why;
    EXPECT_TRUE(keys.placed);
    EXPECT_EQ(keys.epsg, 4326);
    EXPECT_DOUBLE_EQ(keys.grid.x(8, 6), -73.97);
    EXPECT_DOUBLE_EQ(keys.grid.y(8, 6), 40.75);

    // GeoTransform 980000, 100, 20, 200600, 20, -100 as a ModelTransformation tag.
    ASSERT_TRUE(readBytes(bytesOf("rotated.tif"), keys, why)) << why;
    EXPECT_TRUE(keys.placed);
    EXPECT_TRUE(keys.grid.rotated());
    EXPECT_DOUBLE_EQ(keys.grid.x(1, 1), 980120.0);
    EXPECT_DOUBLE_EQ(keys.grid.y(1, 1), 200520.0);

    ASSERT_TRUE(readBytes(bytesOf("plain.tif"), keys, why)) << why;
    EXPECT_FALSE(keys.placed);
}

TEST(GeoTiffKeys, RefusesWhatItCannotReadNamingTheFile) {
    const std::string area = bytesOf("area.tif");
    ASSERT_GT(area.size(), 300u);
    struct Case {
        const char* what;
        std::string bytes;
        const char* says;
    };
    const Case cases[] = {
        {"a BigTIFF", bytesOf("bigtiff.tif"), "BigTIFF"},
        {"a PNG", "\x89PNG\r\n\x1a\n", "not a TIFF"},
        {"an empty file", "", "not a TIFF"},
        {"a header alone", area.substr(0, 8), "beyond the end"},
        // Cut inside the values of the placement tags, which GDAL writes after the directory.
        {"a cut file", area.substr(0, area.size() - 120), "beyond the end of the file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GeoTiffKeys keys;
        std::string why;
        EXPECT_FALSE(readBytes(c.bytes, keys, why));
        EXPECT_EQ(why.rfind("pic.tif: ", 0), 0u) << why;
        EXPECT_NE(why.find(c.says), std::string::npos) << why;
    }
}

} // namespace vantry
