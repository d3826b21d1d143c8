#pragma once

// Street data made for the tests: OpenStreetMap XML written as text and turned into PBF and
// compressed XML with libosmium, and line layers written with GDAL itself (shapefiles,
// GeoPackages), so that the reader meets files as other programs write them.

#include "tiger/tigerstore.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>
#include <osmium/io/any_compression.hpp>
#include <osmium/io/pbf_output.hpp>
#include <osmium/io/reader.hpp>
#include <osmium/io/writer.hpp>
#include <osmium/io/xml_input.hpp>
#include <osmium/io/xml_output.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace vantry {

namespace street_test {

// A longitude and latitude in degrees as the chains hold them.
inline TigerPoint at(double lon, double lat) {
    return {static_cast<std::int32_t>(std::lround(lat * 1e6)),
            static_cast<std::int32_t>(std::lround(lon * 1e6))};
}

// A chain's points in drawing order: start, shape points, end.
inline std::vector<TigerPoint> pointsOf(const TigerChain& c) {
    std::vector<TigerPoint> p{c.start};
    p.insert(p.end(), c.shapePoints.begin(), c.shapePoints.end());
    p.push_back(c.end);
    return p;
}

// An OpenStreetMap XML file: nodes by id at a longitude and latitude, ways over node ids. The
// text comes in the order the layout asks for, as the programs that hand such files out order
// them: by ascending id, descending (new objects in an editor), shuffled, ways first.
enum class OsmOrder { Ascending, Descending, Shuffled };
struct OsmLayout {
    OsmOrder nodes = OsmOrder::Ascending;
    bool waysFirst = false;
};

class OsmFile {
public:
    OsmFile& node(long long id, double lon, double lat) {
        char buf[160];
        std::snprintf(buf, sizeof buf,
                      "  <node id=\"%lld\" version=\"1\" lat=\"%.7f\" lon=\"%.7f\"/>\n", id, lat,
                      lon);
        nodes_.emplace_back(id, buf);
        return *this;
    }
    OsmFile& way(long long id, const std::vector<long long>& refs,
                 const std::vector<std::pair<std::string, std::string>>& tags) {
        ways_ += "  <way id=\"" + std::to_string(id) + "\" version=\"1\">\n";
        for (long long r : refs)
            ways_ += "    <nd ref=\"" + std::to_string(r) + "\"/>\n";
        for (const auto& [k, v] : tags)
            ways_ += "    <tag k=\"" + k + "\" v=\"" + v + "\"/>\n";
        ways_ += "  </way>\n";
        return *this;
    }
    // Tags written "key=value,key=value".
    OsmFile& way(long long id, const std::vector<long long>& refs, const char* tags) {
        std::vector<std::pair<std::string, std::string>> pairs;
        std::istringstream text(tags);
        for (std::string tag; std::getline(text, tag, ',');)
            pairs.emplace_back(tag.substr(0, tag.find('=')), tag.substr(tag.find('=') + 1));
        return way(id, refs, pairs);
    }
    std::string text(OsmLayout layout = {}) const {
        std::vector<std::pair<long long, std::string>> nodes = nodes_;
        switch (layout.nodes) {
        case OsmOrder::Ascending:
            std::stable_sort(nodes.begin(), nodes.end(), byId);
            break;
        case OsmOrder::Descending:
            std::stable_sort(nodes.rbegin(), nodes.rend(), byId);
            break;
        case OsmOrder::Shuffled:
            std::shuffle(nodes.begin(), nodes.end(), std::mt19937(20240521));
            break;
        }
        std::string nodeText;
        for (const auto& n : nodes)
            nodeText += n.second;
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<osm version=\"0.6\" "
               "generator=\"test\">\n" +
               (layout.waysFirst ? ways_ + nodeText : nodeText + ways_) + "</osm>\n";
    }
    void write(const std::string& path, OsmLayout layout = {}) const {
        std::ofstream(path, std::ios::binary) << text(layout);
    }

private:
    static bool byId(const std::pair<long long, std::string>& a,
                     const std::pair<long long, std::string>& b) {
        return a.first < b.first;
    }
    std::vector<std::pair<long long, std::string>> nodes_;
    std::string ways_;
};

// The same data in another OpenStreetMap encoding, chosen by the name of to (.osm.pbf, .osm.bz2,
// .osm.gz), written as other programs write it.
inline void convertOsm(const std::string& from, const std::string& to) {
    osmium::io::Reader reader(from);
    osmium::io::Writer writer(to, reader.header(), osmium::io::overwrite::allow);
    while (osmium::memory::Buffer buffer = reader.read())
        writer(std::move(buffer));
    writer.close();
    reader.close();
}

// One line feature: its points in the layer's coordinates and its text fields by name.
struct LineFeature {
    std::vector<std::pair<double, double>> points;
    std::map<std::string, std::string> fields;
};

struct DatasetCloser {
    void operator()(GDALDataset* ds) const { GDALClose(ds); }
};
using Dataset = std::unique_ptr<GDALDataset, DatasetCloser>;

inline Dataset createDataset(const std::string& driverName, const std::string& path) {
    GDALAllRegister();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driverName.c_str());
    if (!driver)
        return nullptr;
    return Dataset(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
}

// Adds a layer of line strings with the given text fields; epsg 0 writes no coordinate system.
inline void addLineLayer(GDALDataset& ds, const std::string& name, int epsg,
                         const std::vector<std::string>& fieldNames,
                         const std::vector<LineFeature>& features) {
    OGRSpatialReference srs;
    if (epsg) {
        srs.importFromEPSG(epsg);
        srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    }
    OGRLayer* layer = ds.CreateLayer(name.c_str(), epsg ? &srs : nullptr, wkbLineString, nullptr);
    ASSERT_NE(layer, nullptr);
    for (const std::string& f : fieldNames) {
        OGRFieldDefn defn(f.c_str(), OFTString);
        ASSERT_EQ(layer->CreateField(&defn), OGRERR_NONE);
    }
    for (const LineFeature& lf : features) {
        OGRFeature feature(layer->GetLayerDefn());
        for (const auto& [k, v] : lf.fields)
            feature.SetField(k.c_str(), v.c_str());
        OGRLineString line;
        for (const auto& [x, y] : lf.points)
            line.addPoint(x, y);
        feature.SetGeometry(&line);
        ASSERT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
    }
}

// A shapefile of one line layer.
inline void writeShapefile(const std::string& path, int epsg,
                           const std::vector<std::string>& fieldNames,
                           const std::vector<LineFeature>& features) {
    Dataset ds = createDataset("ESRI Shapefile", path);
    ASSERT_NE(ds, nullptr);
    std::string layer = path.substr(path.find_last_of('/') + 1);
    layer = layer.substr(0, layer.find('.'));
    addLineLayer(*ds, layer, epsg, fieldNames, features);
}

// Longitude and latitude in another coordinate system, as GIS programs would store them.
inline std::pair<double, double> projected(int epsg, double lon, double lat) {
    OGRSpatialReference from, to;
    from.SetWellKnownGeogCS("WGS84");
    from.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    to.importFromEPSG(epsg);
    to.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    std::unique_ptr<OGRCoordinateTransformation> t(OGRCreateCoordinateTransformation(&from, &to));
    double x = lon, y = lat;
    if (!t || !t->Transform(1, &x, &y))
        ADD_FAILURE() << "cannot project to EPSG " << epsg;
    return {x, y};
}

} // namespace street_test

} // namespace vantry
