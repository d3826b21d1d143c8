#include "exchange/exporttesting.h"
#include "exchange/networkexport.h"
#include "exchange/networkimport.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace vantry {

namespace {

// Exports the network, imports what was written with the choices the import offers, and
// compares: nodes within what the output keeps of their coordinates, every link attribute equal.
void expectRoundTrip(const Network& original, ExchangeFormat format, const std::string& path,
                     double nodeTolerance) {
    SCOPED_TRACE(path);
    ExportResult exported;
    std::string why;
    ASSERT_TRUE(exportNetwork(original, path, format, exported, why)) << why;

    ImportSource source;
    ASSERT_TRUE(inspectImport(path, source, why)) << why;
    EXPECT_EQ(source.lengthUnit, LengthUnit::Miles);
    EXPECT_EQ(source.speedUnit, SpeedUnitOfSource::MilesPerHour);
    ImportChoices choices{source.mapping, source.lengthUnit, source.speedUnit};
    Network back;
    ImportResult result;
    ASSERT_TRUE(importNetwork(source, choices, back, result, why)) << why;
    EXPECT_TRUE(result.warnings.empty()) << result.warnings.front();

    EXPECT_EQ(back.georeference(), original.georeference());
    ASSERT_EQ(back.nodes().size(), original.nodes().size());
    for (std::size_t i = 0; i < original.nodes().size(); ++i) {
        EXPECT_NEAR(back.nodes()[i]->x(), original.nodes()[i]->x(), nodeTolerance) << i;
        EXPECT_NEAR(back.nodes()[i]->y(), original.nodes()[i]->y(), nodeTolerance) << i;
    }
    ASSERT_EQ(back.links().size(), original.links().size());
    for (std::size_t i = 0; i < original.links().size(); ++i) {
        const Link* a = original.links()[i];
        const Link* b = back.links()[i];
        EXPECT_EQ(b->fromNode()->id(), a->fromNode()->id()) << i;
        EXPECT_EQ(b->toNode()->id(), a->toNode()->id()) << i;
        EXPECT_EQ(b->numLanes(), a->numLanes()) << i;
        EXPECT_EQ(b->capacity(), a->capacity()) << i;
        EXPECT_EQ(b->ffSpeed(), a->ffSpeed()) << i;
        EXPECT_EQ(b->jamDensity(), a->jamDensity()) << i;
        EXPECT_EQ(b->type(), a->type()) << i;
        EXPECT_EQ(b->direction(), a->direction()) << i;
        EXPECT_EQ(b->twoWaySide(), a->twoWaySide()) << i;
        EXPECT_EQ(b->description(), a->description()) << i;
        EXPECT_EQ(b->hasAutomaticLength(), a->hasAutomaticLength()) << i;
        if (!a->hasAutomaticLength()) {
            EXPECT_EQ(b->storedLength(), a->storedLength()) << i;
        }
    }
}

TEST(ExchangeRoundTrip, GmnsAndGeoPackageGiveBackTheSameNetwork) {
    const Georeference placements[] = {
        {},
        {"EPSG:2263", 988000.0, 215000.0},
        {"+proj=tmerc +lat_0=42.48 +lon_0=-71.21 +ellps=WGS84 +units=m", 0.0, 0.0}};
    for (const Georeference& g : placements) {
        SCOPED_TRACE(g.placed() ? g.crs : "unplaced");
        const auto network = exportTestNetwork(g);
        TestDir dir;
        // Unplaced coordinates are written as the miles they are; placed ones as longitude and
        // latitude with every digit of a double, a few millionths of a mile once projected.
        const double tolerance = g.placed() ? 2e-6 : 0.0;
        expectRoundTrip(*network, ExchangeFormat::Gmns, dir.file("gmns"), tolerance);
        expectRoundTrip(*network, ExchangeFormat::GeoPackage, dir.file("net.gpkg"), tolerance);
        // GeoJSON and FlatGeobuf keep no georeference, and their nodes are in a file beside the
        // links; FlatGeobuf gives its features back in its spatial index's order.
        if (!g.placed()) {
            expectRoundTrip(*network, ExchangeFormat::GeoJson, dir.file("net.geojson"), 0.0);
            expectRoundTrip(*network, ExchangeFormat::FlatGeobuf, dir.file("net.fgb"), 0.0);
        }
    }
}

} // namespace

} // namespace vantry
