#include "streets/streetreader.h"
#include "streets/streetmodule.h"

#include "base/files.h"
#include "streets/streetrules.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_vsi.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <mutex>
#include <system_error>

namespace {

// The ways of an OpenStreetMap file, with the tags the rules read as fields of their own and
// nothing else, which keeps the driver from working out columns nobody reads.
constexpr const char* kOsmConfigPath = "/vsimem/vantry/osmconf.ini";
constexpr char kOsmConfig[] =
    "closed_ways_are_polygons=aeroway,amenity,boundary,building,craft,geological,historic,"
    "landuse,leisure,military,natural,office,place,shop,sport,tourism,highway=platform,"
    "public_transport=platform\n"
    "[points]\nosm_id=yes\nattributes=name\nother_tags=no\n"
    "[lines]\nosm_id=yes\n"
    "attributes=name,highway,ref,junction,oneway,lanes,lanes:forward,lanes:backward,maxspeed,"
    "railway,waterway\nother_tags=no\n"
    "[multipolygons]\nosm_id=yes\nattributes=name\nother_tags=no\n"
    "[multilinestrings]\nosm_id=yes\nattributes=name\nother_tags=no\n"
    "[other_relations]\nosm_id=yes\nattributes=name\nother_tags=no\n";
constexpr const char* kOsmWays = "lines";

void startGdal() {
    static std::once_flag once;
    std::call_once(once, [] {
        GDALAllRegister();
        VSIFCloseL(VSIFileFromMemBuffer(kOsmConfigPath,
                                        reinterpret_cast<GByte*>(const_cast<char*>(kOsmConfig)),
                                        sizeof kOsmConfig - 1, FALSE));
    });
}

// Keeps GDAL's messages off the terminal while it works on this thread; the last one is the
// reason given for a failure.
class QuietErrors {
public:
    QuietErrors() {
        CPLPushErrorHandler(CPLQuietErrorHandler);
        CPLErrorReset();
    }
    ~QuietErrors() { CPLPopErrorHandler(); }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;

    static std::string last(const std::string& fallback) {
        const char* text = CPLGetLastErrorMsg();
        return text && *text ? std::string(text) : fallback;
    }
};

struct DatasetCloser {
    void operator()(GDALDataset* ds) const { GDALClose(ds); }
};
using Dataset = std::unique_ptr<GDALDataset, DatasetCloser>;

std::string quoted(const std::string& path) {
    return "\"" + path + "\"";
}

bool isOsm(const GDALDataset& ds) {
    const GDALDriver* driver = const_cast<GDALDataset&>(ds).GetDriver();
    return driver && EQUAL(driver->GetDescription(), "OSM");
}

Dataset openDataset(const std::string& path, std::string& why) {
    startGdal();
    std::error_code ec;
    const std::filesystem::path native = pathFromUtf8(path);
    if (!std::filesystem::exists(native, ec)) {
        why = "Cannot read " + quoted(path) + ": there is no such file.";
        return nullptr;
    }
    if (std::filesystem::is_directory(native, ec)) {
        why = "Cannot read " + quoted(path) + ": it is a folder, not a file.";
        return nullptr;
    }
    if (std::filesystem::is_regular_file(native, ec) &&
        std::filesystem::file_size(native, ec) == 0) {
        why = "Cannot read " + quoted(path) + ": the file is empty.";
        return nullptr;
    }
    const unsigned flags = GDAL_OF_VECTOR | GDAL_OF_READONLY;
    GDALDriverH driver = GDALIdentifyDriverEx(path.c_str(), flags, nullptr, nullptr);
    const bool osm = driver && EQUAL(GDALGetDescription(driver), "OSM");
    const std::string config = std::string("CONFIG_FILE=") + kOsmConfigPath;
    const char* osmOptions[] = {config.c_str(), nullptr};
    Dataset ds(GDALDataset::Open(path.c_str(), flags, nullptr, osm ? osmOptions : nullptr));
    if (!ds) {
        why = "Cannot read " + quoted(path) + " as street data: " +
              QuietErrors::last("it is not in a format of lines that can be read") + ".";
        return nullptr;
    }
    // Record files have a reader of their own, which keeps only the classes that are wanted and
    // reads the pair from its type 1 file.
    if (EQUAL(ds->GetDriver()->GetDescription(), "TIGER")) {
        why = quoted(path) +
              " is a TIGER/Line record file: load its record type 1 file, whose name ends in "
              "\"1\".";
        return nullptr;
    }
    return ds;
}

bool holdsLines(OGRLayer& layer) {
    switch (wkbFlatten(layer.GetGeomType())) {
    case wkbLineString:
    case wkbMultiLineString:
    case wkbCircularString:
    case wkbCompoundCurve:
    case wkbMultiCurve:
    case wkbGeometryCollection:
    case wkbUnknown:
        return true;
    default:
        return false;
    }
}

std::vector<std::string> lineLayers(GDALDataset& ds) {
    if (isOsm(ds))
        return {kOsmWays};
    std::vector<std::string> names;
    for (OGRLayer* layer : ds.GetLayers())
        if (layer && holdsLines(*layer))
            names.emplace_back(layer->GetName());
    return names;
}

std::string listed(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& n : names)
        text += (text.empty() ? "" : ", ") + n;
    return text;
}

// The indices of the fields a schema reads, -1 for those the layer lacks.
struct Fields {
    int highway = -1, junction = -1, oneway = -1, lanes = -1, lanesForward = -1, lanesBackward = -1,
        maxspeed = -1, name = -1, ref = -1, railway = -1, waterway = -1;
    int mtfcc = -1, fullName = -1, id = -1;
};

int fieldIndex(const OGRFeatureDefn& defn, std::initializer_list<const char*> names) {
    for (const char* n : names) {
        const int i = defn.GetFieldIndex(n);
        if (i >= 0)
            return i;
    }
    return -1;
}

Fields findFields(const OGRFeatureDefn& defn, StreetSchema schema) {
    Fields f;
    switch (schema) {
    case StreetSchema::OpenStreetMap:
        f.highway = fieldIndex(defn, {"highway"});
        f.junction = fieldIndex(defn, {"junction"});
        f.oneway = fieldIndex(defn, {"oneway"});
        f.lanes = fieldIndex(defn, {"lanes"});
        f.lanesForward = fieldIndex(defn, {"lanes:forward", "lanes_forward"});
        f.lanesBackward = fieldIndex(defn, {"lanes:backward", "lanes_backward"});
        f.maxspeed = fieldIndex(defn, {"maxspeed"});
        f.name = fieldIndex(defn, {"name"});
        f.ref = fieldIndex(defn, {"ref"});
        f.railway = fieldIndex(defn, {"railway"});
        f.waterway = fieldIndex(defn, {"waterway"});
        f.id = fieldIndex(defn, {"osm_id"});
        break;
    case StreetSchema::TigerLine:
        f.mtfcc = fieldIndex(defn, {"MTFCC"});
        f.fullName = fieldIndex(defn, {"FULLNAME"});
        f.id = fieldIndex(defn, {"TLID"});
        break;
    case StreetSchema::Lines:
        // The field lookup ignores letter case.
        f.lanes = fieldIndex(defn, {"lanes"});
        f.oneway = fieldIndex(defn, {"oneway"});
        f.maxspeed = fieldIndex(defn, {"maxspeed"});
        f.name = fieldIndex(defn, {"name", "FULLNAME"});
        break;
    }
    return f;
}

// Every other field is left unread, which saves most of the work on wide attribute tables.
void ignoreOtherFields(OGRLayer& layer, const Fields& f) {
    const OGRFeatureDefn& defn = *layer.GetLayerDefn();
    const int used[] = {f.highway,       f.junction, f.oneway,   f.lanes, f.lanesForward,
                        f.lanesBackward, f.maxspeed, f.name,     f.ref,   f.railway,
                        f.waterway,      f.mtfcc,    f.fullName, f.id};
    std::vector<const char*> ignored;
    for (int i = 0; i < defn.GetFieldCount(); ++i)
        if (std::find(std::begin(used), std::end(used), i) == std::end(used))
            ignored.push_back(defn.GetFieldDefn(i)->GetNameRef());
    ignored.push_back("OGR_STYLE");
    ignored.push_back(nullptr);
    layer.SetIgnoredFields(ignored.data());
}

std::string text(const OGRFeature& f, int index) {
    if (index < 0 || !f.IsFieldSetAndNotNull(index))
        return {};
    return f.GetFieldAsString(index);
}

TigerChain attributesOf(const OGRFeature& f, const Fields& fields, StreetSchema schema) {
    TigerChain chain;
    chain.sourceId = fields.id >= 0 && f.IsFieldSetAndNotNull(fields.id)
                         ? static_cast<std::int64_t>(f.GetFieldAsInteger64(fields.id))
                         : static_cast<std::int64_t>(f.GetFID());
    switch (schema) {
    case StreetSchema::OpenStreetMap: {
        OsmTags tags;
        tags.highway = text(f, fields.highway);
        tags.junction = text(f, fields.junction);
        tags.oneway = text(f, fields.oneway);
        tags.lanes = text(f, fields.lanes);
        tags.lanesForward = text(f, fields.lanesForward);
        tags.lanesBackward = text(f, fields.lanesBackward);
        tags.maxspeed = text(f, fields.maxspeed);
        tags.name = text(f, fields.name);
        tags.ref = text(f, fields.ref);
        tags.railway = text(f, fields.railway);
        tags.waterway = text(f, fields.waterway);
        applyOsmTags(tags, chain);
        break;
    }
    case StreetSchema::TigerLine:
        applyMtfcc(text(f, fields.mtfcc), text(f, fields.fullName), chain);
        break;
    case StreetSchema::Lines:
        applyLineFields({text(f, fields.lanes), text(f, fields.oneway), text(f, fields.maxspeed),
                         text(f, fields.name)},
                        chain);
        break;
    }
    return chain;
}

// Longitude and latitude from the layer's own coordinates.
class ToLonLat {
public:
    // False, with why, when the layer's system cannot be taken to longitude and latitude, or
    // when a layer without one has coordinates that cannot be longitudes and latitudes.
    bool prepare(OGRLayer& layer, const std::string& path, std::string& why) {
        const OGRSpatialReference* srs = layer.GetSpatialRef();
        if (!srs) {
            OGREnvelope box;
            if (layer.GetExtent(&box, TRUE) == OGRERR_NONE &&
                !(box.MinX >= -180 && box.MaxX <= 180 && box.MinY >= -90 && box.MaxY <= 90)) {
                char range[160];
                std::snprintf(range, sizeof range, "x from %g to %g, y from %g to %g", box.MinX,
                              box.MaxX, box.MinY, box.MaxY);
                why = "Cannot place " + quoted(path) + " on the map: layer \"" + layer.GetName() +
                      "\" names no coordinate system, and its coordinates (" + range +
                      ") are not longitudes and latitudes.";
                return false;
            }
            return true;
        }
        OGRSpatialReference source(*srs);
        source.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        OGRSpatialReference target;
        target.SetWellKnownGeogCS("WGS84");
        target.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        transform_.reset(OGRCreateCoordinateTransformation(&source, &target));
        if (!transform_) {
            why = "Cannot place " + quoted(path) +
                  " on the map: the coordinate system of layer \"" + layer.GetName() +
                  "\" cannot be converted to longitude and latitude (" +
                  QuietErrors::last("no conversion is known") + ").";
            return false;
        }
        return true;
    }

    // Appends the points of a line, dropping repeats of the point before; false when a point
    // cannot be converted or lies outside the globe.
    bool convert(const OGRLineString& line, std::vector<TigerPoint>& points) {
        const int n = line.getNumPoints();
        x_.resize(static_cast<std::size_t>(n));
        y_.resize(static_cast<std::size_t>(n));
        line.getPoints(x_.data(), sizeof(double), y_.data(), sizeof(double));
        if (transform_ && n > 0 && !transform_->Transform(n, x_.data(), y_.data()))
            return false;
        for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
            const double lon = x_[i], lat = y_[i];
            if (!(lon >= -180 && lon <= 180 && lat >= -90 && lat <= 90))
                return false;
            const TigerPoint p{static_cast<std::int32_t>(std::lround(lat * 1e6)),
                               static_cast<std::int32_t>(std::lround(lon * 1e6))};
            if (points.empty() || !(points.back() == p))
                points.push_back(p);
        }
        return true;
    }

private:
    std::unique_ptr<OGRCoordinateTransformation> transform_;
    std::vector<double> x_, y_;
};

// The lines of one geometry: each part of a multi-line on its own, curves as line strings.
void addLines(const OGRGeometry& g, const TigerChain& attributes, ToLonLat& convert,
              std::vector<StreetLine>& lines, bool& usable, bool& broken) {
    switch (wkbFlatten(g.getGeometryType())) {
    case wkbLineString: {
        StreetLine line{attributes, {}};
        if (!convert.convert(*g.toLineString(), line.points)) {
            broken = true;
        } else if (line.points.size() >= 2) {
            lines.push_back(std::move(line));
            usable = true;
        }
        return;
    }
    case wkbMultiLineString:
    case wkbGeometryCollection:
    case wkbMultiCurve:
        for (const OGRGeometry* part : *g.toGeometryCollection())
            if (part)
                addLines(*part, attributes, convert, lines, usable, broken);
        return;
    case wkbCircularString:
    case wkbCompoundCurve: {
        const std::unique_ptr<OGRGeometry> linear(g.getLinearGeometry());
        if (linear)
            addLines(*linear, attributes, convert, lines, usable, broken);
        return;
    }
    default:
        return;
    }
}

// Reading takes most of the time; cutting lines into chains the rest.
constexpr double kReadShare = 0.9;

// Hands GDAL's own progress reports on to the caller, and the caller's cancelling back.
struct DriverProgress {
    const StreetProgress* progress = nullptr;
    bool cancelled = false;

    static int CPL_STDCALL report(double complete, const char*, void* data) {
        auto* self = static_cast<DriverProgress*>(data);
        if (!self->cancelled && !(*self->progress)(std::clamp(complete, 0.0, 1.0) * kReadShare))
            self->cancelled = true;
        return self->cancelled ? FALSE : TRUE;
    }
};

} // namespace

namespace {

bool gdalListLayers(const std::string& path, std::vector<std::string>& layers, std::string& why) {
    QuietErrors quiet;
    const Dataset ds = openDataset(path, why);
    if (!ds)
        return false;
    layers = lineLayers(*ds);
    if (layers.empty()) {
        why = "Cannot read " + quoted(path) + " as street data: it holds no layer of lines.";
        return false;
    }
    return true;
}

bool gdalReadChains(const std::string& path, const std::string& layerName, StreetRead& result,
                    std::string& why, const StreetProgress& progress) {
    QuietErrors quiet;
    result = StreetRead{};
    const Dataset ds = openDataset(path, why);
    if (!ds)
        return false;
    const std::vector<std::string> names = lineLayers(*ds);
    if (names.empty()) {
        why = "Cannot read " + quoted(path) + " as street data: it holds no layer of lines.";
        return false;
    }
    std::string chosen = layerName;
    if (chosen.empty()) {
        if (names.size() > 1) {
            why = quoted(path) + " holds several layers of lines (" + listed(names) +
                  "): say which one to read.";
            return false;
        }
        chosen = names.front();
    } else if (std::find(names.begin(), names.end(), chosen) == names.end()) {
        why = quoted(path) + " holds no layer of lines named \"" + chosen + "\" (it holds " +
              listed(names) + ").";
        return false;
    }
    OGRLayer* layer = ds->GetLayerByName(chosen.c_str());
    if (!layer) {
        why = "Cannot read layer \"" + chosen + "\" of " + quoted(path) + ".";
        return false;
    }
    result.layer = chosen;
    const bool osm = isOsm(*ds);
    if (osm)
        result.schema = StreetSchema::OpenStreetMap;
    else if (layer->GetLayerDefn()->GetFieldIndex("MTFCC") >= 0)
        result.schema = StreetSchema::TigerLine;
    else
        result.schema = StreetSchema::Lines;

    ToLonLat convert;
    if (!convert.prepare(*layer, path, why))
        return false;
    const Fields fields = findFields(*layer->GetLayerDefn(), result.schema);
    ignoreOtherFields(*layer, fields);

    // OpenStreetMap files are read in one pass over every kind of feature; told that only the
    // ways matter, the driver builds nothing else, and it knows how far through the file it is.
    if (osm)
        ds->ExecuteSQL(("SET interest_layers = " + chosen).c_str(), nullptr, nullptr);
    const GIntBig total = osm ? -1 : layer->GetFeatureCount(FALSE);
    layer->ResetReading();
    CPLErrorReset();

    std::vector<StreetLine> lines;
    double fraction = 0;
    // The driver goes through every node of an OpenStreetMap file before the first way comes
    // out, and tells how far it is meanwhile only through this.
    DriverProgress driverProgress{progress ? &progress : nullptr};
    while (true) {
        std::unique_ptr<OGRFeature> feature;
        if (osm) {
            OGRLayer* from = nullptr;
            double percent = 0;
            feature.reset(ds->GetNextFeature(
                &from, &percent, progress ? DriverProgress::report : nullptr, &driverProgress));
            if (feature && from != layer)
                continue;
            fraction = percent;
        } else {
            feature.reset(layer->GetNextFeature());
            if (total > 0)
                fraction = static_cast<double>(result.features + 1) / static_cast<double>(total);
        }
        if (!feature || driverProgress.cancelled)
            break;
        ++result.features;
        bool usable = false, broken = false;
        if (const OGRGeometry* g = feature->GetGeometryRef())
            addLines(*g, attributesOf(*feature, fields, result.schema), convert, lines, usable,
                     broken);
        if (broken)
            ++result.broken;
        if (usable)
            ++result.lines;
        else
            ++result.skipped;
        if (progress && result.features % 4096 == 0 &&
            !progress(std::clamp(fraction, 0.0, 1.0) * kReadShare)) {
            result.cancelled = true;
            why = "Reading " + quoted(path) + " was cancelled.";
            return false;
        }
    }
    if (driverProgress.cancelled) {
        result.cancelled = true;
        why = "Reading " + quoted(path) + " was cancelled.";
        return false;
    }
    if (CPLGetLastErrorType() >= CE_Failure) {
        why = "Cannot read " + quoted(path) +
              " to its end: " + QuietErrors::last("the file is damaged") + ".";
        return false;
    }
    if (lines.empty()) {
        why = quoted(path) + " holds no lines in layer \"" + chosen + "\".";
        return false;
    }
    if (progress && !progress(kReadShare)) {
        result.cancelled = true;
        why = "Reading " + quoted(path) + " was cancelled.";
        return false;
    }
    splitIntoChains(lines, result.chains);
    if (progress)
        progress(1.0);
    return true;
}

} // namespace

extern "C" VANTRY_STREETS_EXPORT const StreetReaderApi* vantryStreetReader() {
    static const StreetReaderApi api{kStreetReaderApiVersion, gdalListLayers, gdalReadChains};
    return &api;
}
