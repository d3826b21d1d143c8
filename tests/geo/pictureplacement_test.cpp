// Where pictures that say where they lie land on a placed network. The expected miles come from
// cs2cs (PROJ 9.1.1, Debian's proj-data, no grids fetched) on the pictures' corners, e.g.
//   printf "40.76 -73.99\n40.75 -73.97\n" | cs2cs -f %.6f EPSG:4326 EPSG:2263
//   printf "585000 4512000\n585200 4511850\n" | cs2cs -f %.6f EPSG:32618 EPSG:2263
// and then (X - 980000) US survey feet, or (Y - 200000), in international miles.
#include "geo/pictureplacement.h"

#include "support/testdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace vantry {

namespace {

using Kind = PicturePlacement::Kind;

constexpr double kUsFeetPerMile = 5280.0 / 1.000002; // 5280 US survey feet are a survey mile
const Georeference kLongIsland{"EPSG:2263", 980000.0, 200000.0};

// The ESRI WKT gdalsrsinfo -o wkt_esri writes for EPSG:32618 and EPSG:2263: no EPSG codes in it.
constexpr const char* kUtm18Prj =
    R"(PROJCS["WGS_1984_UTM_Zone_18N",GEOGCS["GCS_WGS_1984",DATUM["D_WGS_1984",)"
    R"(SPHEROID["WGS_1984",6378137.0,298.257223563]],PRIMEM["Greenwich",0.0],)"
    R"(UNIT["Degree",0.0174532925199433]],PROJECTION["Transverse_Mercator"],)"
    R"(PARAMETER["False_Easting",500000.0],PARAMETER["False_Northing",0.0],)"
    R"(PARAMETER["Central_Meridian",-75.0],PARAMETER["Scale_Factor",0.9996],)"
    R"(PARAMETER["Latitude_Of_Origin",0.0],UNIT["Meter",1.0]])";

std::string dataFile(const std::string& name) {
    return std::string(VANTRY_TEST_DATA) + "/geo/" + name;
}

void expectRect(const PicturePlacement& p, double left, double bottom, double right, double top,
                double tolerance) {
    ASSERT_EQ(p.kind, Kind::Placed) << p.note;
    EXPECT_NEAR(p.left, left, tolerance);
    EXPECT_NEAR(p.bottom, bottom, tolerance);
    EXPECT_NEAR(p.right, right, tolerance);
    EXPECT_NEAR(p.top, top, tolerance);
}

} // namespace

// 8 x 6 pixels of 100 US feet with the upper-left corner at 980000, 200600: 800 by 600 feet
// from the network's 0,0.
TEST(PicturePlacement, GeoTiffsInTheNetworksCrsLandOnTheirFeet) {
    for (const char* name : {"area.tif", "point.tif", "bigendian.tif"}) {
        SCOPED_TRACE(name);
        const PicturePlacement p = placePicture(dataFile(name), 8, 6, kLongIsland);
        expectRect(p, 0.0, 0.0, 800 / kUsFeetPerMile, 600 / kUsFeetPerMile, 1e-9);
        EXPECT_EQ(p.note, std::string("Placed from ") + name + " (EPSG:2263)");
    }
}

TEST(PicturePlacement, OtherCrssGoThroughLongitudeAndLatitude) {
    // -73.99..-73.97 by 40.75..40.76: the corners 987020.312775 .. 992562.185933 and
    // 212522.044784 .. 216166.634562 feet.
    const PicturePlacement lonlat = placePicture(dataFile("lonlat.tif"), 8, 6, kLongIsland);
    expectRect(lonlat, 7020.312775 / kUsFeetPerMile, 12522.044784 / kUsFeetPerMile,
               12562.185933 / kUsFeetPerMile, 16166.634562 / kUsFeetPerMile, 2e-5);
    EXPECT_EQ(lonlat.note, "Placed from lonlat.tif (EPSG:4326)");

    // A world file of 25 m pixels centred at 585012.5, 4511987.5 with a .prj of UTM zone 18
    // beside it: corners 986169.758342 .. 986831.692994 and 213686.527320 .. 214186.250213.
    TestDir dir;
    spit(dir.file("utm.png"), "");
    spit(dir.file("utm.pgw"), "25\n0\n0\n-25\n585012.5\n4511987.5\n");
    spit(dir.file("utm.prj"), kUtm18Prj);
    const PicturePlacement utm = placePicture(dir.file("utm.png"), 8, 6, kLongIsland);
    expectRect(utm, 6169.758342 / kUsFeetPerMile, 13686.527320 / kUsFeetPerMile,
               6831.692994 / kUsFeetPerMile, 14186.250213 / kUsFeetPerMile, 2e-5);
    EXPECT_EQ(utm.note, "Placed from utm.pgw (EPSG:32618)");

    // An auxiliary file's SRS overrides the .prj.
    spit(dir.file("utm.png.aux.xml"), "<PAMDataset><SRS>EPSG:2263</SRS></PAMDataset>");
    spit(dir.file("utm.pgw"), "100\n0\n0\n-100\n980050\n200550\n");
    expectRect(placePicture(dir.file("utm.png"), 8, 6, kLongIsland), 0.0, 0.0, 800 / kUsFeetPerMile,
               600 / kUsFeetPerMile, 1e-9);
}

TEST(PicturePlacement, WorldFileWithoutCrsIsInTheNetworksOwn) {
    TestDir dir;
    std::filesystem::create_directories(dir.file("maps"));
    const std::string picture = dir.file("maps/pic.jpeg");
    spit(picture, "");
    spit(dir.file("maps/pic.jgw"), "10\n0\n0\n-10\n979005\n201995\n");
    // 200 x 100 pixels of 10 feet span 979000..981000 by 201000..202000.
    expectRect(placePicture(picture, 200, 100, kLongIsland), -1000 / kUsFeetPerMile,
               1000 / kUsFeetPerMile, 1000 / kUsFeetPerMile, 2000 / kUsFeetPerMile, 1e-9);
    EXPECT_EQ(placePicture(picture, 200, 100, kLongIsland).note, "Placed from pic.jgw (EPSG:2263)");
}

TEST(PicturePlacement, SaysWhyAPictureCannotBePlaced) {
    TestDir dir;
    const std::string picture = dir.file("pic.png");
    spit(picture, "");
    const auto note = [&](const Georeference& g) {
        const PicturePlacement p = placePicture(picture, 8, 6, g);
        EXPECT_EQ(p.kind, Kind::Refused);
        return p.note;
    };
    spit(dir.file("pic.pgw"), "100\n5\n5\n-100\n980050\n200550\n");
    EXPECT_EQ(note(kLongIsland).rfind("pic.pgw is rotated; ", 0), 0u);
    spit(dir.file("pic.pgw"), "100\n0\n0\n100\n980050\n200550\n");
    EXPECT_EQ(note(kLongIsland).rfind("pic.pgw mirrors the picture; ", 0), 0u);
    spit(dir.file("pic.pgw"), "1e300\n0\n0\n-1e300\n980050\n200550\n");
    EXPECT_EQ(note(kLongIsland).rfind("pic.pgw places the picture beyond ", 0), 0u);
    spit(dir.file("pic.pgw"), "100\n0\n0\n-100\n980050\n");
    EXPECT_EQ(note(kLongIsland), "pic.pgw holds 5 of the six numbers of a world file");
    spit(dir.file("pic.pgw"), "100\n0\n0\n-100\n980050\n200550\n");
    EXPECT_NE(note({"EPSG:99999999", 0, 0}).find("PROJ does not know the CRS"), std::string::npos);
    spit(dir.file("pic.prj"), "not a CRS at all");
    EXPECT_NE(note(kLongIsland).find("\"not a CRS at all\""), std::string::npos);

    const auto bigtiff = placePicture(dataFile("bigtiff.tif"), 8, 6, kLongIsland);
    EXPECT_EQ(bigtiff.kind, Kind::Refused);
    EXPECT_NE(bigtiff.note.find("bigtiff.tif: a BigTIFF"), std::string::npos);
    // A world file beside it says instead.
    std::filesystem::copy_file(dataFile("bigtiff.tif"), dir.file("big.tif"));
    spit(dir.file("big.tfw"), "100\n0\n0\n-100\n980050\n200550\n");
    EXPECT_EQ(placePicture(dir.file("big.tif"), 8, 6, kLongIsland).note,
              "Placed from big.tfw (EPSG:2263)");
    EXPECT_EQ(placePicture(dataFile("rotated.tif"), 8, 6, kLongIsland).kind, Kind::Refused);
}

TEST(PicturePlacement, NothingToSayWithoutAPlaceOnEitherSide) {
    TestDir dir;
    spit(dir.file("pic.png"), "");
    EXPECT_EQ(placePicture(dir.file("pic.png"), 8, 6, kLongIsland).kind, Kind::None);
    EXPECT_EQ(placePicture(dataFile("plain.tif"), 8, 6, kLongIsland).kind, Kind::None);
    spit(dir.file("pic.pgw"), "100\n0\n0\n-100\n980050\n200550\n");
    const PicturePlacement unplaced = placePicture(dir.file("pic.png"), 8, 6, Georeference{});
    EXPECT_EQ(unplaced.kind, Kind::None);
    EXPECT_TRUE(unplaced.note.empty());
}

} // namespace vantry
