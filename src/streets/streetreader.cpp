#include "streets/streetreader.h"
#include "streets/streetmodule.h"

#include "base/files.h"
#include "streets/osmreader.h"
#include "streets/streetrules.h"
#include "tiger/roadclasses.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_vsi.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <system_error>

namespace {

void startGdal() {
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

// Keeps GDAL's messages off the terminal while it works on this thread, so that a refusal is the
// one line we write, and keeps the first failure it reports: a driver says what went wrong first
// (a size limit, a damaged header) and only then that it could not go on.
class QuietErrors {
public:
    QuietErrors() {
        CPLPushErrorHandler(collect);
        reset();
    }
    ~QuietErrors() { CPLPopErrorHandler(); }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;

    // Forgets what was reported so far.
    static void reset() {
        first().clear();
        CPLErrorReset();
    }
    // Whether a failure was reported since the last reset.
    static bool failed() { return !first().empty() || CPLGetLastErrorType() >= CE_Failure; }
    // The first failure reported since the last reset, on one line, or the last message of any
    // kind, or the fallback.
    static std::string last(const std::string& fallback) {
        std::string text = first();
        if (text.empty()) {
            const char* lastText = CPLGetLastErrorMsg();
            text = lastText ? lastText : "";
        }
        for (char& c : text)
            if (c == '\n' || c == '\r')
                c = ' ';
        while (!text.empty() && (text.back() == ' ' || text.back() == '.'))
            text.pop_back();
        return text.empty() ? fallback : text;
    }

private:
    static std::string& first() {
        thread_local std::string text;
        return text;
    }
    static void CPL_STDCALL collect(CPLErr kind, CPLErrorNum, const char* message) {
        if (kind >= CE_Failure && first().empty() && message && *message)
            first() = message;
    }
};

struct DatasetCloser {
    void operator()(GDALDataset* ds) const { GDALClose(ds); }
};
using Dataset = std::unique_ptr<GDALDataset, DatasetCloser>;

std::string quoted(const std::string& path) {
    return "\"" + path + "\"";
}

// False, with why, when there is no file at path to read, or it is not a file to be read whole:
// a pipe or a device would keep a library waiting for ever.
bool checkFile(const std::string& path, std::string& why) {
    std::error_code ec;
    const std::filesystem::path native = pathFromUtf8(path);
    if (!std::filesystem::exists(native, ec)) {
        why = "Cannot read " + quoted(path) + ": there is no such file.";
        return false;
    }
    std::string reason;
    if (!checkReadableFile(path, reason)) {
        why = "Cannot read " + quoted(path) + ": " + reason + ".";
        return false;
    }
    if (std::filesystem::file_size(native, ec) == 0) {
        why = "Cannot read " + quoted(path) + ": the file is empty.";
        return false;
    }
    return true;
}

// The files a shapefile's reader may open beside it, with the most any real one holds: a
// coordinate system is a line of text of a few hundred bytes, a code page a word, and the index
// 8 bytes for each record of at least 12 in the main file, so never more than the main file.
// GDAL reads some of them whole and gives up the process when one is absurdly large, so they
// are looked at first; the others need only be ordinary files.
constexpr std::uintmax_t kAsLargeAsTheShapes = 0;
constexpr std::uintmax_t kAnySize = UINTMAX_MAX;
struct Sidecar {
    const char* extension;
    const char* what;
    std::uintmax_t most;
};
constexpr Sidecar kShapefileSidecars[] = {
    {"shp", "shapes file", kAnySize},     {"prj", "coordinate system file", 1u << 20},
    {"cpg", "code page file", 64u << 10}, {"shx", "index file", kAsLargeAsTheShapes},
    {"dbf", "attribute table", kAnySize}, {"qix", "spatial index", kAnySize},
    {"sbn", "spatial index", kAnySize},   {"sbx", "spatial index", kAnySize},
};

std::string sizeText(std::uintmax_t bytes) {
    char text[64];
    if (bytes >= (1u << 20))
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1u << 20));
    else if (bytes >= (1u << 10))
        std::snprintf(text, sizeof text, "%.1f KB", static_cast<double>(bytes) / (1u << 10));
    else
        std::snprintf(text, sizeof text, "%ju bytes", bytes);
    return text;
}

// False, with why, when a file the reader would open beside path (in either letter case, as
// GDAL looks for them) is no ordinary file or is larger than any real one could be.
bool checkSidecars(const std::string& path, std::string& why) {
    const std::filesystem::path native = pathFromUtf8(path);
    std::string extension = native.extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::error_code ec;
    if (extension == ".gpkg") {
        // SQLite opens its journals beside the database.
        for (const char* suffix : {"-wal", "-shm", "-journal"}) {
            const std::string sidePath = path + suffix;
            std::string reason;
            if (std::filesystem::exists(pathFromUtf8(sidePath), ec) &&
                !checkReadableFile(sidePath, reason)) {
                why = "Cannot read " + quoted(path) + ": its journal " + quoted(sidePath) +
                      " cannot be read (" + reason + ").";
                return false;
            }
        }
        return true;
    }
    if (extension != ".shp" && extension != ".dbf")
        return true;
    std::uintmax_t shapesSize = kAnySize;
    for (const char* ext : {".shp", ".SHP"}) {
        std::filesystem::path shapes = native;
        shapes.replace_extension(ext);
        if (std::filesystem::is_regular_file(shapes, ec))
            shapesSize = std::filesystem::file_size(shapes, ec);
    }
    for (const Sidecar& sidecar : kShapefileSidecars) {
        std::string upper = sidecar.extension;
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (const std::string& ext : {std::string(sidecar.extension), upper}) {
            std::filesystem::path side = native;
            side.replace_extension(ext);
            if (side == native || !std::filesystem::exists(side, ec))
                continue;
            const std::string sidePath = utf8FromPath(side);
            std::string reason;
            if (!checkReadableFile(sidePath, reason)) {
                why = "Cannot read " + quoted(path) + ": its " + sidecar.what + " " +
                      quoted(sidePath) + " cannot be read (" + reason + ").";
                return false;
            }
            const std::uintmax_t most = sidecar.most == kAsLargeAsTheShapes
                                            ? std::max<std::uintmax_t>(shapesSize, 100)
                                            : sidecar.most;
            const std::uintmax_t size = std::filesystem::file_size(side, ec);
            if (!ec && most != kAnySize && size > most) {
                why = "Cannot read " + quoted(path) + ": its " + sidecar.what + " " +
                      quoted(sidePath) + " is " + sizeText(size) +
                      ", more than any real one holds (" + sizeText(most) + " at most).";
                return false;
            }
        }
    }
    return true;
}

// OpenStreetMap files never come here: they have a reader of their own.
Dataset openDataset(const std::string& path, std::string& why) {
    startGdal();
    const unsigned flags = GDAL_OF_VECTOR | GDAL_OF_READONLY;
    Dataset ds(GDALDataset::Open(path.c_str(), flags, nullptr, nullptr));
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
        maxspeed = -1, name = -1, ref = -1, railway = -1, waterway = -1, natural = -1;
    int mtfcc = -1, fullName = -1, id = -1;
    int roadClass = -1;
    // Whether the layer holds OpenStreetMap data, whose lines that are not highways have an
    // empty class field.
    bool openStreetMap = false;
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
    case StreetSchema::OpenStreetMap: // read by the OpenStreetMap reader, never as a layer
        break;
    case StreetSchema::TigerLine:
        f.mtfcc = fieldIndex(defn, {"MTFCC"});
        f.fullName = fieldIndex(defn, {"FULLNAME"});
        f.id = fieldIndex(defn, {"TLID"});
        break;
    case StreetSchema::Lines:
        // The field lookup ignores letter case. Shapefiles cut field names at ten characters.
        f.roadClass = fieldIndex(defn, {"highway", "fclass", "class", "type"});
        f.lanes = fieldIndex(defn, {"lanes"});
        f.lanesForward =
            fieldIndex(defn, {"lanes:forward", "lanes_forward", "lanes_forw", "lanes_fwd"});
        f.lanesBackward =
            fieldIndex(defn, {"lanes:backward", "lanes_backward", "lanes_back", "lanes_bwd"});
        f.oneway = fieldIndex(defn, {"oneway", "one_way", "dir_travel"});
        f.maxspeed =
            fieldIndex(defn, {"maxspeed", "speed", "speed_limit", "speedlimit", "spd_limit"});
        f.name = fieldIndex(defn, {"name", "FULLNAME", "street", "st_name"});
        f.ref = fieldIndex(defn, {"ref"});
        f.id = fieldIndex(defn, {"osm_id"});
        // Where the class field is empty, these say what a line of OpenStreetMap data is.
        f.waterway = fieldIndex(defn, {"waterway"});
        f.railway = fieldIndex(defn, {"railway"});
        f.natural = fieldIndex(defn, {"natural"});
        f.openStreetMap =
            f.roadClass >= 0 && fieldIndex(defn, {"osm_id", "other_tags", "waterway", "railway",
                                                  "natural", "barrier", "power"}) >= 0;
        break;
    }
    return f;
}

// Every other field is left unread, which saves most of the work on wide attribute tables.
void ignoreOtherFields(OGRLayer& layer, const Fields& f) {
    const OGRFeatureDefn& defn = *layer.GetLayerDefn();
    const int used[] = {f.highway,      f.junction,      f.oneway,   f.lanes,
                        f.lanesForward, f.lanesBackward, f.maxspeed, f.name,
                        f.ref,          f.railway,       f.waterway, f.natural,
                        f.mtfcc,        f.fullName,      f.id,       f.roadClass};
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

// Layers in the widely used OpenStreetMap shapefile layout write 0 for a road whose speed is not
// known.
std::string zeroIsUnknown(std::string value) {
    return value == "0" ? std::string() : value;
}

// The tags a line of OpenStreetMap data in a layer keeps outside its class field.
OsmTags otherTags(const OGRFeature& f, const Fields& fields) {
    OsmTags tags;
    tags.waterway = text(f, fields.waterway);
    tags.railway = text(f, fields.railway);
    tags.natural = text(f, fields.natural);
    tags.name = text(f, fields.name);
    tags.ref = text(f, fields.ref);
    return tags;
}

// What a feature's line is: by its MTFCC, by its class field, or when that is empty in
// OpenStreetMap data (its lines that are not highways) by its waterway, railway and natural
// fields. A line that says nothing of its class is taken for a road, so that a layer without
// a class field is taken whole.
LineKind kindOf(const OGRFeature& f, const Fields& fields, StreetSchema schema) {
    switch (schema) {
    case StreetSchema::OpenStreetMap: // read by the OpenStreetMap reader, never as a layer
        return LineKind::None;
    case StreetSchema::TigerLine:
        return classLineKind(text(f, fields.mtfcc));
    case StreetSchema::Lines:
        break;
    }
    const std::string value = text(f, fields.roadClass);
    if (!trimmed(value).empty()) {
        const LineKind kind = classLineKind(value);
        // A layer of a county's own (class "Arterial", "Collector") uses words no table knows:
        // its lines are drawn, never populated, unless the word names something that is no way.
        if (kind == LineKind::None && !fields.openStreetMap && !namesNoWay(value))
            return LineKind::Way;
        return kind;
    }
    return fields.openStreetMap ? osmLineKind(otherTags(f, fields)) : LineKind::Road;
}

TigerChain attributesOf(const OGRFeature& f, const Fields& fields, StreetSchema schema,
                        bool bareSpeedIsMph) {
    TigerChain chain;
    chain.sourceId = fields.id >= 0 && f.IsFieldSetAndNotNull(fields.id)
                         ? static_cast<std::int64_t>(f.GetFieldAsInteger64(fields.id))
                         : static_cast<std::int64_t>(f.GetFID());
    switch (schema) {
    case StreetSchema::OpenStreetMap: // read by the OpenStreetMap reader, never as a layer
        break;
    case StreetSchema::TigerLine:
        applyMtfcc(text(f, fields.mtfcc), text(f, fields.fullName), chain);
        break;
    case StreetSchema::Lines:
        if (fields.openStreetMap && trimmed(text(f, fields.roadClass)).empty()) {
            applyOsmTags(otherTags(f, fields), chain);
            break;
        }
        applyLineFields({.roadClass = text(f, fields.roadClass),
                         .lanes = text(f, fields.lanes),
                         .lanesForward = text(f, fields.lanesForward),
                         .lanesBackward = text(f, fields.lanesBackward),
                         .oneway = text(f, fields.oneway),
                         .maxspeed = zeroIsUnknown(text(f, fields.maxspeed)),
                         .name = text(f, fields.name),
                         .ref = text(f, fields.ref)},
                        bareSpeedIsMph, chain);
        break;
    }
    return chain;
}

// Whether a bare number in a layer's speed field is in miles per hour: as the user says, or, left
// to guess, kilometres per hour for layers that come from OpenStreetMap and miles otherwise.
bool bareSpeedIsMph(const OGRFeatureDefn& defn, SpeedUnit unit) {
    if (unit != SpeedUnit::Guess)
        return unit == SpeedUnit::MilesPerHour;
    for (const char* name : {"osm_id", "fclass", "highway"})
        if (defn.GetFieldIndex(name) >= 0)
            return false;
    return true;
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

} // namespace

namespace {

bool gdalListLayers(const std::string& path, std::vector<std::string>& layers, std::string& why) {
    if (!checkFile(path, why) || !checkSidecars(path, why))
        return false;
    if (isOsmFile(path)) {
        if (!checkOsmFile(path, why))
            return false;
        layers = {kOsmLayer};
        return true;
    }
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

bool gdalReadChains(const std::string& path, const std::string& layerName,
                    const StreetReadOptions& options, StreetRead& result, std::string& why,
                    const StreetProgress& progress) {
    result = StreetRead{};
    if (!checkFile(path, why) || !checkSidecars(path, why))
        return false;
    if (isOsmFile(path)) {
        if (!layerName.empty() && layerName != kOsmLayer) {
            why = quoted(path) + " holds no layer of lines named \"" + layerName + "\" (it holds " +
                  kOsmLayer + ").";
            return false;
        }
        return readOsmChains(path, options, result, why, progress);
    }
    QuietErrors quiet;
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
    if (layer->GetLayerDefn()->GetFieldIndex("MTFCC") >= 0)
        result.schema = StreetSchema::TigerLine;
    else
        result.schema = StreetSchema::Lines;

    ToLonLat convert;
    // What the drivers said while the file was opened is no reason for what follows.
    QuietErrors::reset();
    if (!convert.prepare(*layer, path, why))
        return false;
    const Fields fields = findFields(*layer->GetLayerDefn(), result.schema);
    const bool mph = bareSpeedIsMph(*layer->GetLayerDefn(), options.speedUnit);
    ignoreOtherFields(*layer, fields);

    const GIntBig total = layer->GetFeatureCount(FALSE);
    layer->ResetReading();
    QuietErrors::reset();

    std::vector<StreetLine> lines;
    double fraction = 0;
    while (true) {
        const std::unique_ptr<OGRFeature> feature(layer->GetNextFeature());
        if (!feature)
            break;
        if (total > 0)
            fraction = static_cast<double>(result.features + 1) / static_cast<double>(total);
        ++result.features;
        const LineKind kind = kindOf(*feature, fields, result.schema);
        const bool wanted =
            kind != LineKind::None && (kind != LineKind::Railway || options.railways);
        bool usable = false, broken = false;
        if (!wanted)
            ++result.others;
        else if (const OGRGeometry* g = feature->GetGeometryRef())
            addLines(*g, attributesOf(*feature, fields, result.schema, mph), convert, lines, usable,
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
    if (QuietErrors::failed()) {
        why = "Cannot read " + quoted(path) +
              " to its end: " + QuietErrors::last("the file is damaged") + ".";
        return false;
    }
    if (lines.empty()) {
        why = quoted(path) + " holds no lines in layer \"" + chosen + "\"" +
              (result.others > 0 ? " but " + std::to_string(result.others) +
                                       " of things that are neither roads nor water."
                                 : ".");
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
