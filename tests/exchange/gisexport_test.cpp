#include "exchange/exchangefields.h"
#include "exchange/exchangeformats.h"
#include "exchange/exchangemodule.h"
#include "exchange/networkexport.h"
#include "exporttesting.h"
#include "support/ordinaryuser.h"
#include "support/testdir.h"

#include <cpl_conv.h>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

namespace vantry {

namespace {

namespace fs = std::filesystem;

// One layer as GDAL reads it back, with the fields by name.
struct ReadLayer {
    std::size_t features = 0;
    std::string crsWkt;
    double metresPerUnit = 0.0; // of a projected or local CRS; 0 for a geographic one
    bool geographic = false;
    std::vector<std::map<std::string, std::string>> fields;
    std::vector<std::vector<std::pair<double, double>>> points;
    std::string metadata; // the georeference item, of the dataset
};

ReadLayer readLayer(const std::string& path, const char* layerName) {
    GDALAllRegister();
    ReadLayer read;
    GDALDatasetH dataset =
        GDALOpenEx(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
    if (!dataset) {
        ADD_FAILURE() << "GDAL cannot open " << path;
        return read;
    }
    OGRLayerH layer =
        layerName ? GDALDatasetGetLayerByName(dataset, layerName) : GDALDatasetGetLayer(dataset, 0);
    if (!layer) {
        ADD_FAILURE() << path << " has no layer " << (layerName ? layerName : "");
        GDALClose(dataset);
        return read;
    }
    if (const char* item = GDALGetMetadataItem(dataset, kGeoreferenceMetadata, nullptr))
        read.metadata = item;
    if (OGRSpatialReferenceH srs = OGR_L_GetSpatialRef(layer)) {
        char* wkt = nullptr;
        OSRExportToWkt(srs, &wkt);
        read.crsWkt = wkt ? wkt : "";
        CPLFree(wkt);
        read.geographic = OSRIsGeographic(srs);
        if (!read.geographic)
            read.metresPerUnit = OSRGetLinearUnits(srs, nullptr);
    }
    OGRFeatureDefnH defn = OGR_L_GetLayerDefn(layer);
    OGR_L_ResetReading(layer);
    while (OGRFeatureH feature = OGR_L_GetNextFeature(layer)) {
        auto& row = read.fields.emplace_back();
        for (int f = 0; f < OGR_FD_GetFieldCount(defn); ++f)
            row[OGR_Fld_GetNameRef(OGR_FD_GetFieldDefn(defn, f))] =
                OGR_F_GetFieldAsString(feature, f);
        auto& points = read.points.emplace_back();
        if (OGRGeometryH shape = OGR_F_GetGeometryRef(feature))
            for (int p = 0; p < OGR_G_GetPointCount(shape); ++p)
                points.emplace_back(OGR_G_GetX(shape, p), OGR_G_GetY(shape, p));
        OGR_F_Destroy(feature);
        ++read.features;
    }
    GDALClose(dataset);
    return read;
}

std::set<std::string> filesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

bool exportTo(const Network& network, const std::string& path, ExchangeFormat format,
              std::string& why, const ExchangeProgress& progress = {}) {
    ExportResult result;
    return exportNetwork(network, path, format, result, why, progress);
}

} // namespace

TEST(GisExport, APlacedNetworkGoesToAGeoPackageInLongitudeAndLatitude) {
    TestDir dir;
    const Georeference g{"EPSG:2263", 988000.0, 215000.0};
    const auto network = exportTestNetwork(g);
    const std::string path = dir.file("placed.gpkg");
    ExportResult result;
    std::string why;
    ASSERT_TRUE(exportNetwork(*network, path, ExchangeFormat::GeoPackage, result, why)) << why;
    EXPECT_EQ(result.crs, "EPSG:4326");
    EXPECT_EQ(result.files, std::vector<std::string>{path});

    ReadLayer links = readLayer(path, kLinksLayer);
    ASSERT_EQ(links.features, network->links().size());
    EXPECT_TRUE(links.geographic) << links.crsWkt;
    EXPECT_NE(links.crsWkt.find("WGS 84"), std::string::npos) << links.crsWkt;
    Georeference back;
    ASSERT_TRUE(parseGeoreference(links.metadata, back, &why)) << links.metadata;
    EXPECT_EQ(back, g);
    // Link 1 runs from node 1, the origin, to node 2, whose CRS point cs2cs places here.
    ASSERT_EQ(links.points[0].size(), 2u);
    EXPECT_NEAR(links.points[0][1].first, -73.957895196995, 1e-9);
    EXPECT_NEAR(links.points[0][1].second, 40.727809585519, 1e-9);
    EXPECT_EQ(links.points[1][0], links.points[0][1]) << "link 2 starts where link 1 ends";

    auto row = links.fields[2];
    EXPECT_EQ(row["link_id"], "3");
    EXPECT_EQ(row["from_node_id"], "2");
    EXPECT_EQ(row["to_node_id"], "3");
    EXPECT_EQ(row["directed"], "1");
    EXPECT_EQ(std::stof(row["length"]), 1.23456789f);
    EXPECT_EQ(row["length_auto"], "0");
    EXPECT_EQ(row["lanes"], "1");
    EXPECT_EQ(row["capacity"], "1500");
    EXPECT_EQ(row["free_speed"], "45");
    EXPECT_EQ(row["jam_density"], "170");
    EXPECT_EQ(row["facility_type"], "detour 1");
    EXPECT_EQ(row["link_type"], "D1");
    EXPECT_EQ(row["direction"], "O");
    EXPECT_EQ(row["name"], "first line\nsecond line");
    EXPECT_EQ(links.fields[1]["length_auto"], "1");
    EXPECT_EQ(std::stof(links.fields[1]["length"]), network->links()[1]->effectiveLength());
    EXPECT_EQ(links.fields[1]["two_way_side"], "2");

    ReadLayer nodes = readLayer(path, kNodesLayer);
    ASSERT_EQ(nodes.features, 4u);
    EXPECT_EQ(nodes.fields[3]["node_id"], "4");
    EXPECT_EQ(nodes.points[1], std::vector{links.points[0][1]});
}

// The spatial index is packed by the export rather than grown by GDAL: GIS programs must find
// features through it, SQLite must find it whole, and its triggers must keep it so when the file
// is edited.
TEST(GisExport, AGeoPackagesSpatialIndexFindsTheFeaturesAndFollowsEdits) {
    TestDir dir;
    const auto network = exportTestNetwork();
    const std::string path = dir.file("indexed.gpkg");
    std::string why;
    ExportResult result;
    ASSERT_TRUE(exportNetwork(*network, path, ExchangeFormat::GeoPackage, result, why)) << why;
    GDALAllRegister();
    GDALDatasetH dataset =
        GDALOpenEx(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE, nullptr, nullptr, nullptr);
    ASSERT_NE(dataset, nullptr);
    const auto check = [&](const char* table) {
        const std::string sql = std::string("SELECT rtreecheck('rtree_") + table + "_geom')";
        OGRLayerH answer = GDALDatasetExecuteSQL(dataset, sql.c_str(), nullptr, nullptr);
        std::string text = "no answer";
        if (answer) {
            if (OGRFeatureH row = OGR_L_GetNextFeature(answer)) {
                text = OGR_F_GetFieldAsString(row, 0);
                OGR_F_Destroy(row);
            }
            GDALDatasetReleaseResultSet(dataset, answer);
        }
        return text;
    };
    OGRLayerH links = GDALDatasetGetLayerByName(dataset, kLinksLayer);
    ASSERT_NE(links, nullptr);
    // The links at node 2, (1.5, -2), and only those.
    const auto near = [&] {
        std::set<GIntBig> found;
        OGR_L_SetSpatialFilterRect(links, 1.49, -2.01, 1.51, -1.99);
        OGR_L_ResetReading(links);
        while (OGRFeatureH feature = OGR_L_GetNextFeature(links)) {
            found.insert(OGR_F_GetFID(feature));
            OGR_F_Destroy(feature);
        }
        OGR_L_SetSpatialFilter(links, nullptr);
        return found;
    };
    EXPECT_TRUE(OGR_L_TestCapability(links, OLCFastSpatialFilter));
    EXPECT_EQ(check("links"), "ok");
    EXPECT_EQ(check("nodes"), "ok");
    EXPECT_EQ(near(), (std::set<GIntBig>{1, 2, 3}));
    EXPECT_EQ(OGR_L_DeleteFeature(links, 1), OGRERR_NONE);
    EXPECT_EQ(near(), (std::set<GIntBig>{2, 3}));
    EXPECT_EQ(check("links"), "ok");
    GDALClose(dataset);
}

// Thousands of links make a tree of several levels; a window finds exactly the links whose
// boxes meet it.
TEST(GisExport, AGeoPackagesSpatialIndexOfSeveralLevelsIsWhole) {
    TestDir dir;
    Network network;
    constexpr int kSide = 60;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            network.addNode(new Node(WorldPoint{0.1f * float(x), 0.1f * float(y)}));
    for (int i = 0; i + 1 < kSide * kSide; ++i) {
        auto* link = new Link;
        link->setFromNode(network.nodes()[static_cast<std::size_t>(i)]);
        link->setToNode(network.nodes()[static_cast<std::size_t>(i + 1)]);
        network.addLink(link);
    }
    const std::string path = dir.file("grid.gpkg");
    std::string why;
    ExportResult result;
    ASSERT_TRUE(exportNetwork(network, path, ExchangeFormat::GeoPackage, result, why)) << why;
    GDALAllRegister();
    GDALDatasetH dataset =
        GDALOpenEx(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
    ASSERT_NE(dataset, nullptr);
    OGRLayerH answer = GDALDatasetExecuteSQL(
        dataset,
        "SELECT rtreecheck('rtree_links_geom'), (SELECT count(*) FROM rtree_links_geom), "
        "(SELECT max(nodeno) FROM rtree_links_geom_node), "
        "(SELECT count(*) FROM rtree_links_geom WHERE maxx >= 2.05 AND minx <= 3.05 AND "
        "maxy >= 1.05 AND miny <= 2.05)",
        nullptr, nullptr);
    ASSERT_NE(answer, nullptr);
    OGRFeatureH row = OGR_L_GetNextFeature(answer);
    ASSERT_NE(row, nullptr);
    EXPECT_STREQ(OGR_F_GetFieldAsString(row, 0), "ok");
    EXPECT_EQ(OGR_F_GetFieldAsInteger(row, 1), kSide * kSide - 1);
    EXPECT_GT(OGR_F_GetFieldAsInteger(row, 2), 51) << "more than a root and its leaves";
    // Within each row of the grid, the links between x = 2.0 .. 3.1 whose boxes meet the window
    // (x 2.05 .. 3.05 in rows y = 1.1 .. 2.0); the links that wrap to the next row span it.
    int expected = 0;
    for (const Link* link : network.links()) {
        const WorldPoint a = link->fromNode()->position(), b = link->toNode()->position();
        if (std::max(a.x, b.x) >= 2.05f && std::min(a.x, b.x) <= 3.05f &&
            std::max(a.y, b.y) >= 1.05f && std::min(a.y, b.y) <= 2.05f)
            ++expected;
    }
    EXPECT_EQ(OGR_F_GetFieldAsInteger(row, 3), expected);
    OGR_F_Destroy(row);
    GDALDatasetReleaseResultSet(dataset, answer);
    GDALClose(dataset);
}

// Every format says the local miles CRS, so that a GIS program measures an unplaced network in
// miles rather than taking its miles for degrees; the formats of one layer a file put the nodes
// beside the links.
TEST(GisExport, AnUnplacedNetworkIsInTheLocalMilesCrsInEveryFormat) {
    TestDir dir;
    const auto network = exportTestNetwork();
    for (const ExchangeFormatInfo& info : exchangeFormats()) {
        if (info.format == ExchangeFormat::Gmns)
            continue;
        SCOPED_TRACE(info.name);
        const std::string path = dir.file(std::string("plane") + info.extension);
        ExportResult result;
        std::string why;
        ASSERT_TRUE(exportNetwork(*network, path, info.format, result, why)) << why;
        EXPECT_EQ(result.crs, kLocalMilesCrsName);
        const bool beside = info.format != ExchangeFormat::GeoPackage;
        const std::string nodesPath =
            beside ? dir.file(std::string("plane_nodes") + info.extension) : path;
        EXPECT_EQ(result.files.size(), beside ? 2u : 1u);
        EXPECT_EQ(result.files.back(), nodesPath);

        ReadLayer links = readLayer(path, beside ? nullptr : kLinksLayer);
        ReadLayer nodes = readLayer(nodesPath, beside ? nullptr : kNodesLayer);
        EXPECT_EQ(links.features, 6u);
        ASSERT_EQ(nodes.features, 4u);
        EXPECT_TRUE(isLocalMilesCrs(links.crsWkt)) << links.crsWkt;
        EXPECT_TRUE(isLocalMilesCrs(nodes.crsWkt)) << nodes.crsWkt;
        EXPECT_DOUBLE_EQ(links.metresPerUnit, 1609.344);
        // A spatial index may put the features in an order of its own: they are found by id.
        std::map<std::string, std::vector<std::pair<double, double>>> placeOf;
        for (std::size_t i = 0; i < nodes.features; ++i)
            placeOf[nodes.fields[i]["node_id"]] = nodes.points[i];
        EXPECT_EQ(placeOf["2"], (std::vector<std::pair<double, double>>{{1.5, -2.0}}));
        EXPECT_EQ(placeOf["4"], (std::vector<std::pair<double, double>>{{-1.25, 0.125}}));
        std::map<std::string, std::string> nameOf;
        for (auto& row : links.fields)
            nameOf[row["link_id"]] = row["name"];
        // Text past a shapefile's default width, and not in ASCII, comes back whole.
        EXPECT_EQ(nameOf["6"], "Ünïcode Straße");
        EXPECT_EQ(nameOf["1"], "Main St, north");
    }
}

TEST(GisExport, ChoosesTheFormatByNameOrExtension) {
    EXPECT_EQ(exchangeFormatOfPath("a/b.GPKG"), ExchangeFormat::GeoPackage);
    EXPECT_EQ(exchangeFormatOfPath("b.json"), ExchangeFormat::GeoJson);
    EXPECT_EQ(exchangeFormatOfPath("b.shp"), ExchangeFormat::Shapefile);
    EXPECT_EQ(exchangeFormatOfPath("b.fgb"), ExchangeFormat::FlatGeobuf);
    EXPECT_EQ(exchangeFormatOfPath("network"), ExchangeFormat::Gmns);
    EXPECT_EQ(exchangeFormatOfPath("gmns/"), ExchangeFormat::Gmns);
    EXPECT_EQ(exchangeFormatOfPath("gmns/link.csv"), ExchangeFormat::Gmns);
    EXPECT_EQ(exchangeFormatOfPath("b.csv"), std::nullopt);
    EXPECT_EQ(exchangeFormatOfPath("b.xls"), std::nullopt);
    EXPECT_EQ(exchangeFormatNamed("fgb"), ExchangeFormat::FlatGeobuf);
    EXPECT_EQ(exchangeFormatNamed("GPKG"), std::nullopt);
}

// A failed export names the file and leaves the folder as it was: an earlier export of the same
// name whole, and no temporary file.
TEST(GisExport, AFailureNamesTheFileAndLeavesNothingBehind) {
    TestDir dir;
    const auto network = exportTestNetwork();
    std::string why;
    ASSERT_TRUE(exportTo(*network, dir.file("kept.gpkg"), ExchangeFormat::GeoPackage, why)) << why;
    ASSERT_TRUE(exportTo(*network, dir.file("kept.shp"), ExchangeFormat::Shapefile, why)) << why;
    const std::string keptGpkg = slurp(dir.file("kept.gpkg"));
    const std::string keptDbf = slurp(dir.file("kept.dbf"));
    const std::set<std::string> before = filesIn(dir.path());

    const auto bigger = exportTestNetwork();
    bigger->links().front()->setNumLanes(9);
    const ExchangeProgress cancel = [](double) { return false; };
    for (const auto& [name, format] : {std::pair{"kept.gpkg", ExchangeFormat::GeoPackage},
                                       std::pair{"kept.shp", ExchangeFormat::Shapefile},
                                       std::pair{"kept", ExchangeFormat::Gmns}}) {
        SCOPED_TRACE(name);
        // Cancelled at its first report of progress.
        why.clear();
        EXPECT_FALSE(exportTo(*bigger, dir.file(name), format, why, cancel));
        EXPECT_NE(why.find(dir.file(name)), std::string::npos) << why;
        EXPECT_EQ(filesIn(dir.path()), before);
    }
    EXPECT_EQ(slurp(dir.file("kept.gpkg")), keptGpkg);
    EXPECT_EQ(slurp(dir.file("kept.dbf")), keptDbf);

    // A folder that is a file, and a CRS PROJ does not know.
    spit(dir.file("plain"), "x");
    EXPECT_FALSE(exportTo(*network, dir.file("plain/out.gpkg"), ExchangeFormat::GeoPackage, why));
    EXPECT_NE(why.find(dir.file("plain/out.gpkg")), std::string::npos) << why;
    EXPECT_FALSE(exportTo(*network, dir.file("plain/gmns"), ExchangeFormat::Gmns, why));
    EXPECT_NE(why.find(dir.file("plain/gmns")), std::string::npos) << why;
    const auto unknown = exportTestNetwork(Georeference{"EPSG:999999", 0.0, 0.0});
    EXPECT_FALSE(exportTo(*unknown, dir.file("unknown.gpkg"), ExchangeFormat::GeoPackage, why));
    EXPECT_NE(why.find("unknown.gpkg"), std::string::npos) << why;
    std::set<std::string> expected = before;
    expected.insert("plain");
    EXPECT_EQ(filesIn(dir.path()), expected);
}

TEST(GisExport, AFolderTheUserMayNotWriteIsRefusedByName) {
    TestDir dir;
    fs::create_directories(dir.file("locked"));
    const auto network = exportTestNetwork();
    // Its owner may write to it; the ordinary user below is not its owner.
    fs::permissions(dir.file("locked"), fs::perms::owner_all | fs::perms::group_read |
                                            fs::perms::group_exec | fs::perms::others_read |
                                            fs::perms::others_exec);
    const std::optional<std::string> complaint = asOrdinaryUser(dir, [&] {
        std::string failures;
        for (const auto& [name, format] : {std::pair{"locked/a.gpkg", ExchangeFormat::GeoPackage},
                                           std::pair{"locked/a.fgb", ExchangeFormat::FlatGeobuf},
                                           std::pair{"locked/gmns", ExchangeFormat::Gmns}}) {
            std::string why;
            if (exportTo(*network, dir.file(name), format, why))
                failures += std::string(name) + " was written; ";
            else if (why.find(dir.file(name)) == std::string::npos)
                failures += why + "; ";
        }
        if (!fs::is_empty(dir.file("locked")))
            failures += "something was left in the folder";
        return failures;
    });
    if (!complaint)
        GTEST_SKIP() << "no ordinary user to run as";
    EXPECT_EQ(*complaint, "");
}

TEST(GisExport, AModuleThatCannotBeFoundIsNamedWithEveryPlaceTried) {
    const ExchangeModule none = loadExchangeModule({"/no/such/module.so"});
    EXPECT_EQ(none.api, nullptr);
    EXPECT_EQ(none.failure, "the GIS exchange module (libvantry_exchange_gdal.so) could not be "
                            "loaded: /no/such/module.so: no such file or directory");
    EXPECT_NE(exchangeModule().api, nullptr) << exchangeModule().failure;
}

} // namespace vantry
