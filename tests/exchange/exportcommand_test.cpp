#include "cli/vantrycli.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace vantry {

namespace {

struct CliRun {
    int code = 0;
    std::string out, err;
};

CliRun cli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    CliRun run;
    run.code = runVantryCli(args, out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
}

std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

} // namespace

TEST(ExportCommand, WritesTheFormatItsExtensionOrItsOptionNames) {
    TestDir dir;
    const std::string network = std::string(VANTRY_EXAMPLES) + "/corridor-work-zone.txt";
    const CliRun gpkg = cli({"export", network, dir.file("out.gpkg")});
    EXPECT_EQ(gpkg.code, 0) << gpkg.err;
    EXPECT_EQ(gpkg.out, "Wrote 40 links and 29 nodes to \"" + dir.file("out.gpkg") +
                            "\" as GeoPackage, in Vantry network miles\n");
    const CliRun named = cli({"export", network, dir.file("folder.v2"), "--format", "gmns"});
    EXPECT_EQ(named.code, 0) << named.err;
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.file("folder.v2/link.csv")));
    const CliRun fgb = cli({"export", network, dir.file("lines.FGB")});
    EXPECT_EQ(fgb.code, 0) << fgb.err;
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.file("lines_nodes.FGB")));
}

TEST(ExportCommand, RefusesWhatItCannotDoWithoutWritingAnything) {
    TestDir dir;
    const std::string network = std::string(VANTRY_EXAMPLES) + "/corridor-work-zone.txt";
    const CliRun extension = cli({"export", network, dir.file("out.xyz")});
    EXPECT_EQ(extension.code, 2);
    EXPECT_NE(firstLine(extension.err).find("gmns, gpkg, geojson, shp or fgb"), std::string::npos)
        << extension.err;
    const CliRun format = cli({"export", network, dir.file("out.gpkg"), "--format", "kml"});
    EXPECT_EQ(format.code, 2);
    EXPECT_NE(firstLine(format.err).find("\"kml\""), std::string::npos) << format.err;
    const CliRun missing = cli({"export", dir.file("none.txt"), dir.file("out.gpkg")});
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.err.find("none.txt"), std::string::npos) << missing.err;
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

} // namespace vantry
