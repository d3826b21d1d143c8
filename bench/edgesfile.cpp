#include "edgesfile.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <cmath>
#include <memory>
#include <random>

namespace vantry {

namespace {

struct DatasetCloser {
    void operator()(GDALDataset* ds) const { GDALClose(ds); }
};

// The EDGES attribute table as the Census Bureau publishes it.
const char* const kTextFields[] = {"STATEFP", "COUNTYFP", "MTFCC",   "FULLNAME", "LFROMADD",
                                   "LTOADD",  "RFROMADD", "RTOADD",  "ZIPL",     "ZIPR",
                                   "FEATCAT", "HYDROFLG", "RAILFLG", "ROADFLG",  "OLFFLG",
                                   "PASSFLG", "DIVROAD",  "EXTTYP",  "TTYP",     "DECKEDROAD",
                                   "ARTPATH", "PERSIST",  "GCSEFLG", "OFFSETL",  "OFFSETR"};
const char* const kNumberFields[] = {"TLID", "TFIDL", "TFIDR", "SMID", "TNIDF", "TNIDT"};

} // namespace

bool writeEdgesShapefile(const std::string& path, int edges, std::string& why) {
    GDALAllRegister();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile");
    std::unique_ptr<GDALDataset, DatasetCloser> ds(
        driver ? driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr) : nullptr);
    if (!ds) {
        why = "cannot create " + path;
        return false;
    }
    OGRSpatialReference nad83;
    nad83.importFromEPSG(4269);
    nad83.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    OGRLayer* layer = ds->CreateLayer("edges", &nad83, wkbLineString, nullptr);
    if (!layer) {
        why = "cannot create the layer of " + path;
        return false;
    }
    for (const char* name : kTextFields) {
        OGRFieldDefn f(name, OFTString);
        f.SetWidth(std::string(name) == "FULLNAME" ? 100 : 12);
        layer->CreateField(&f);
    }
    for (const char* name : kNumberFields) {
        OGRFieldDefn f(name, OFTInteger64);
        f.SetWidth(10);
        layer->CreateField(&f);
    }
    // n intersections a side give 2 n (n - 1) edges between them.
    const int n = static_cast<int>(std::ceil((1 + std::sqrt(1 + 2.0 * edges)) / 2));
    std::mt19937 random(14);
    std::uniform_real_distribution<double> jitter(-0.00008, 0.00008);
    const double west = -86.9, south = 33.4, step = 0.0015;
    std::vector<double> lon(static_cast<std::size_t>(n * n)), lat(lon.size());
    for (std::size_t i = 0; i < lon.size(); ++i) {
        lon[i] =
            west + step * static_cast<double>(i % static_cast<std::size_t>(n)) + jitter(random);
        lat[i] =
            south + step * static_cast<double>(i / static_cast<std::size_t>(n)) + jitter(random);
    }
    long long tlid = 100000000;
    int written = 0;
    const auto edge = [&](int a, int b, int row, bool horizontal) {
        if (written >= edges)
            return true;
        OGRFeature feature(layer->GetLayerDefn());
        const char* mtfcc = row % 40 == 0   ? "S1100"
                            : row % 10 == 0 ? "S1200"
                            : row % 17 == 0 ? "H3010"
                            : row % 23 == 0 ? "P0001"
                            : row % 29 == 0 ? "S1630"
                                            : "S1400";
        const std::string name = std::string(horizontal ? "E " : "N ") + std::to_string(row) +
                                 (horizontal ? " St" : " Ave");
        feature.SetField("STATEFP", "01");
        feature.SetField("COUNTYFP", "073");
        feature.SetField("MTFCC", mtfcc);
        feature.SetField("FULLNAME", mtfcc[0] == 'S' ? name.c_str() : "");
        feature.SetField("LFROMADD", "100");
        feature.SetField("LTOADD", "198");
        feature.SetField("RFROMADD", "101");
        feature.SetField("RTOADD", "199");
        feature.SetField("ZIPL", "35203");
        feature.SetField("ZIPR", "35203");
        feature.SetField("FEATCAT", "");
        feature.SetField("ROADFLG", mtfcc[0] == 'S' ? "Y" : "N");
        feature.SetField("PERSIST", "");
        feature.SetField("TLID", ++tlid);
        feature.SetField("TFIDL", 200000000 + written);
        feature.SetField("TFIDR", 200000001 + written);
        feature.SetField("TNIDF", 300000000 + a);
        feature.SetField("TNIDT", 300000000 + b);
        OGRLineString line;
        const std::size_t ia = static_cast<std::size_t>(a), ib = static_cast<std::size_t>(b);
        line.addPoint(lon[ia], lat[ia]);
        // Two shape points bend each block a little, as real streets bend.
        for (double t : {0.33, 0.67})
            line.addPoint(lon[ia] + (lon[ib] - lon[ia]) * t + jitter(random) / 4,
                          lat[ia] + (lat[ib] - lat[ia]) * t + jitter(random) / 4);
        line.addPoint(lon[ib], lat[ib]);
        feature.SetGeometry(&line);
        if (layer->CreateFeature(&feature) != OGRERR_NONE)
            return false;
        ++written;
        return true;
    };
    for (int r = 0; r < n; ++r)
        for (int c = 0; c + 1 < n; ++c)
            if (!edge(r * n + c, r * n + c + 1, r, true) ||
                !edge(c * n + r, (c + 1) * n + r, r, false)) {
                why = "cannot write " + path;
                return false;
            }
    return true;
}

} // namespace vantry
