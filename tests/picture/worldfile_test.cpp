#include "picture/worldfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace vantry {

// A world file places the centre of the upper-left pixel; the picture begins half a pixel out.
TEST(WorldFile, PlacesThePictureEdgesHalfAPixelBeyondTheCentres) {
    PixelGrid grid;
    std::string why;
    ASSERT_TRUE(parseWorldFile("2.5\r\n0\r\n0.0\r\n-2.5\r\n+1001.25\r\n2.99875E3\r\n\r\n",
                               "pic.pgw", grid, why))
        << why;
    EXPECT_DOUBLE_EQ(grid.x(0, 0), 1000.0);
    EXPECT_DOUBLE_EQ(grid.y(0, 0), 3000.0);
    EXPECT_DOUBLE_EQ(grid.x(4, 2), 1010.0);
    EXPECT_DOUBLE_EQ(grid.y(4, 2), 2995.0);
    EXPECT_FALSE(grid.rotated());

    // Rotation terms move the corner as they move every pixel.
    ASSERT_TRUE(parseWorldFile("2\n1\n1\n-2\n100\n200\n", "pic.pgw", grid, why)) << why;
    EXPECT_TRUE(grid.rotated());
    EXPECT_DOUBLE_EQ(grid.x(0.5, 0.5), 100.0);
    EXPECT_DOUBLE_EQ(grid.y(0.5, 0.5), 200.0);
}

TEST(WorldFile, RefusesWhatIsNotSixNumbersNamingTheFile) {
    const std::pair<const char*, const char*> cases[] = {
        {"1\n0\n0\n-1\n5\n", "holds 5 of the six numbers"},
        {"", "holds 0 of the six numbers"},
        {"1\n0\n0\n-1\n5\n6\n7\n", "more than the six numbers"},
        {"1\n0\n0\n-1\n5x\n6\n", "line 5 of the world file is not a number"},
        {"1\n0\n0\nnan\n5\n6\n", "line 4"},
        {"1\n0\n0\n1e999\n5\n6\n", "line 4"},
        {"0\n0\n0\n-1\n5\n6\n", "no area"},
    };
    for (const auto& [text, says] : cases) {
        SCOPED_TRACE(text);
        PixelGrid grid;
        std::string why;
        EXPECT_FALSE(parseWorldFile(text, "pic.pgw", grid, why));
        EXPECT_EQ(why.rfind("pic.pgw", 0), 0u) << why;
        EXPECT_NE(why.find(says), std::string::npos) << why;
    }
}

TEST(WorldFile, LooksForEveryConventionalName) {
    const auto has = [](const std::vector<std::string>& names, const std::string& name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    const auto png = worldFileNames("/maps/pic.png");
    ASSERT_FALSE(png.empty());
    EXPECT_EQ(png.front(), "/maps/pic.pgw");
    for (const char* name : {"/maps/pic.PGW", "/maps/pic.pngw", "/maps/pic.wld", "/maps/pic.WLD"})
        EXPECT_TRUE(has(png, name)) << name;
    EXPECT_EQ(worldFileNames("/maps/pic.JPEG").front(), "/maps/pic.JGW");
    const auto tif = worldFileNames("a.b/pic.tif");
    EXPECT_TRUE(has(tif, "a.b/pic.tfw"));
    EXPECT_TRUE(has(tif, "a.b/pic.tifw"));
    EXPECT_TRUE(has(worldFileNames("pic.bmp"), "pic.bpw"));
    EXPECT_TRUE(has(worldFileNames("pic.bmp"), "pic.bmpw"));
    EXPECT_TRUE(worldFileNames("/maps/noextension").empty());
}

TEST(WorldFile, AuxiliaryFileGivesItsSrs) {
    EXPECT_EQ(auxiliaryCrs("<PAMDataset>\n  <SRS dataAxisToSRSAxisMapping=\"1,2\">PROJCS[&quot;"
                           "NAD83&quot;,UNIT[&quot;m&quot;,1]] </SRS>\n</PAMDataset>"),
              "PROJCS[\"NAD83\",UNIT[\"m\",1]]");
    EXPECT_EQ(auxiliaryCrs("<PAMDataset><Metadata/></PAMDataset>"), "");
    EXPECT_EQ(auxiliaryCrs("<PAMDataset><SRS/></PAMDataset>"), "");
    EXPECT_EQ(auxiliaryCrs("<PAMDataset><SRS>EPSG:4326"), "");
}

} // namespace vantry
