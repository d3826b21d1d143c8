#include "geo/geotransform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>

namespace vantry {

namespace {

constexpr double kMetresPerMile = 1609.344;
constexpr double kUsSurveyFoot = 1200.0 / 3937.0;

// A network point, its CRS coordinates and the longitude and latitude cs2cs (PROJ 9.1.1 with
// Debian's proj-data, no grids fetched) gives them:
//   echo "995919.984160 204440.021120" | cs2cs -f %.12f EPSG:2263 EPSG:4326
//   echo "578729.632000 4515167.384000" | cs2cs -f %.12f EPSG:32618 EPSG:4326
// and the other way, for a place of our choosing:
//   echo "40.7 -74.1" | cs2cs -f %.6f EPSG:4326 EPSG:2263     (956521.923236 194321.165971)
//   echo "40.7 -74.1" | cs2cs -f %.6f EPSG:4326 EPSG:32618    (576034.005799 4505844.515772)
struct Reference {
    Georeference georeference;
    double metresPerUnit;
    WorldPoint miles;
    LonLat place;
    double placeX, placeY; // the CRS coordinates of (-74.1, 40.7)
};

const Reference kReferences[] = {
    // New York Long Island State Plane, in US survey feet: 1.5 miles is 7919.98416 of them.
    {{"EPSG:2263", 988000.0, 215000.0},
     kUsSurveyFoot,
     {1.5f, -2.0f},
     {-73.957895196995, 40.727809585519},
     956521.923236,
     194321.165971},
    // UTM zone 18 north, in metres.
    {{"EPSG:32618", 583960.0, 4507523.0},
     1.0,
     {-3.25f, 4.75f},
     {-74.066923488121, 40.783722108835},
     576034.005799,
     4505844.515772},
};

TEST(GeoTransform, ConvertsMilesInTheCrsUnitBothWaysAsPROJsOwnToolsDo) {
    for (const Reference& r : kReferences) {
        std::string why;
        auto t = GeoTransform::make(r.georeference, why);
        ASSERT_TRUE(t) << why;
        EXPECT_DOUBLE_EQ(t->metresPerUnit(), r.metresPerUnit) << r.georeference.crs;

        const LonLat got = t->toLonLat(r.miles);
        EXPECT_NEAR(got.longitude, r.place.longitude, 1e-9) << r.georeference.crs;
        EXPECT_NEAR(got.latitude, r.place.latitude, 1e-9) << r.georeference.crs;

        const WorldPoint back = t->fromLonLat({-74.1, 40.7});
        const double unitsPerMile = kMetresPerMile / r.metresPerUnit;
        EXPECT_NEAR(back.x, (r.placeX - r.georeference.originX) / unitsPerMile, 1e-5);
        EXPECT_NEAR(back.y, (r.placeY - r.georeference.originY) / unitsPerMile, 1e-5);
    }
}

TEST(GeoTransform, KeepsItsOwnPROJAndMovesWithIt) {
    std::string why;
    auto made = GeoTransform::make(kReferences[1].georeference, why);
    ASSERT_TRUE(made) << why;
    GeoTransform moved = std::move(*made);
    made.reset();
    GeoTransform other = std::move(*GeoTransform::make(kReferences[0].georeference, why));
    other = std::move(moved);
    EXPECT_EQ(other.georeference(), kReferences[1].georeference);
    EXPECT_NEAR(other.toLonLat(kReferences[1].miles).latitude, kReferences[1].place.latitude, 1e-9);

    // A PROJ string without "+type=crs" names the same CRS, and a projected CRS bound to WGS 84
    // keeps its plane.
    for (const char* crs : {"+proj=utm +zone=18 +datum=WGS84 +units=m +no_defs",
                            "+proj=utm +zone=18 +ellps=WGS84 +towgs84=0,0,0 +units=m"}) {
        auto t = GeoTransform::make({crs, 583960.0, 4507523.0}, why);
        ASSERT_TRUE(t) << crs << ": " << why;
        const LonLat got = t->toLonLat(kReferences[1].miles);
        EXPECT_NEAR(got.longitude, kReferences[1].place.longitude, 1e-9) << crs;
        EXPECT_NEAR(got.latitude, kReferences[1].place.latitude, 1e-9) << crs;
    }
}

TEST(GeoTransform, RefusesWhatIsNoProjectedCrsSayingWhich) {
    const std::pair<Georeference, std::string> refused[] = {
        {{}, "the network is not placed: it has no CRS"},
        {{"EPSG:999999", 0, 0}, "PROJ does not know the CRS \"EPSG:999999\""},
        {{"+proj=nonsense +units=m", 0, 0},
         "PROJ does not know the CRS \"+proj=nonsense +units=m\""},
        {{"Main Street", 0, 0}, "PROJ does not know the CRS \"Main Street\""},
        {{"EPSG:4326", 0, 0},
         "\"EPSG:4326\" is a geographic CRS, in degrees: a network's miles "
         "need a projected CRS, with a linear unit"},
        {{"+proj=longlat +datum=WGS84", 0, 0},
         "\"+proj=longlat +datum=WGS84\" is a geographic CRS, in degrees: a network's miles need "
         "a projected CRS, with a linear unit"},
        {{"EPSG:5703", 0, 0},
         "\"EPSG:5703\" is not a projected CRS: a network's miles need one "
         "with a linear unit"}};
    for (const auto& [g, message] : refused) {
        std::string why;
        EXPECT_FALSE(GeoTransform::make(g, why)) << g.crs;
        EXPECT_EQ(why, message);
    }
}

TEST(GeoTransform, APointBeyondTheProjectionIsNotANumber) {
    std::string why;
    auto t = GeoTransform::make(kReferences[1].georeference, why);
    ASSERT_TRUE(t) << why;
    const LonLat far = t->toLonLat({1e30f, 1e30f});
    EXPECT_TRUE(std::isnan(far.longitude) && std::isnan(far.latitude));
    const WorldPoint pole = t->fromLonLat({-74.0, 95.0});
    EXPECT_TRUE(std::isnan(pole.x) && std::isnan(pole.y));
}

} // namespace

} // namespace vantry
