#include "streets/streetreader.h"
#include "streets/streetmodule.h"

#include "streets/gdalmessages.h"
#include "streets/layerfields.h"
#include "streets/layergeometry.h"
#include "streets/linesplitter.h"
#include "streets/osmreader.h"
#include "streets/streetfilechecks.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <memory>
#include <mutex>

namespace vantry {

namespace {

void startGdal() {
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

struct DatasetCloser {
    void operator()(GDALDataset* ds) const { GDALClose(ds); }
};
using Dataset = std::unique_ptr<GDALDataset, DatasetCloser>;

// OpenStreetMap files never come here: they have a reader of their own.
Dataset openDataset(const std::string& path, std::string& why) {
    startGdal();
    const unsigned flags = GDAL_OF_VECTOR | GDAL_OF_READONLY;
    Dataset ds(GDALDataset::Open(path.c_str(), flags, nullptr, nullptr));
    if (!ds) {
        why = "Cannot read " + quotedName(path) + " as street data: " +
              QuietErrors::last("it is not in a format of lines that can be read") + ".";
        return nullptr;
    }
    // Record files have a reader of their own, which keeps only the classes that are wanted and
    // reads the pair from its type 1 file.
    if (EQUAL(ds->GetDriver()->GetDescription(), "TIGER")) {
        why = quotedName(path) +
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

// The names of the layers that hold lines, in the file's order; false, with why, when there are
// none.
bool lineLayers(GDALDataset& ds, const std::string& path, std::vector<std::string>& names,
                std::string& why) {
    names.clear();
    for (OGRLayer* layer : ds.GetLayers())
        if (layer && holdsLines(*layer))
            names.emplace_back(layer->GetName());
    if (names.empty()) {
        why = "Cannot read " + quotedName(path) + " as street data: it holds no layer of lines.";
        return false;
    }
    return true;
}

std::string listed(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& n : names)
        text += (text.empty() ? "" : ", ") + n;
    return text;
}

// The line layer named, or the file's only one when none is; nullptr, with why, when the file
// holds no such layer, or several and none was named.
OGRLayer* chooseLayer(GDALDataset& ds, const std::string& path, const std::string& named,
                      std::string& why) {
    std::vector<std::string> names;
    if (!lineLayers(ds, path, names, why))
        return nullptr;
    std::string chosen = named;
    if (chosen.empty()) {
        if (names.size() > 1) {
            why = quotedName(path) + " holds several layers of lines (" + listed(names) +
                  "): say which one to read.";
            return nullptr;
        }
        chosen = names.front();
    } else if (std::find(names.begin(), names.end(), chosen) == names.end()) {
        why = quotedName(path) + " holds no layer of lines named \"" + chosen + "\" (it holds " +
              listed(names) + ").";
        return nullptr;
    }
    OGRLayer* layer = ds.GetLayerByName(chosen.c_str());
    if (!layer)
        why = "Cannot read layer \"" + chosen + "\" of " + quotedName(path) + ".";
    return layer;
}

// Reading takes most of the time; cutting lines into chains the rest.
constexpr double kReadShare = 0.9;

bool gdalListLayers(const std::string& path, std::vector<std::string>& layers, std::string& why) {
    if (!checkStreetFile(path, why))
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
    return lineLayers(*ds, path, layers, why);
}

bool gdalReadChains(const std::string& path, const std::string& layerName,
                    const StreetReadOptions& options, StreetRead& result, std::string& why,
                    const StreetProgress& progress) {
    result = StreetRead{};
    if (!checkStreetFile(path, why))
        return false;
    if (isOsmFile(path)) {
        if (!layerName.empty() && layerName != kOsmLayer) {
            why = quotedName(path) + " holds no layer of lines named \"" + layerName +
                  "\" (it holds " + kOsmLayer + ").";
            return false;
        }
        return readOsmChains(path, options, result, why, progress);
    }
    QuietErrors quiet;
    const Dataset ds = openDataset(path, why);
    if (!ds)
        return false;
    OGRLayer* layer = chooseLayer(*ds, path, layerName, why);
    if (!layer)
        return false;
    const std::string chosen = layer->GetName();
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
    const LayerFields fields = findLayerFields(*layer->GetLayerDefn(), result.schema);
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
        const LineKind kind = lineKindOf(*feature, fields, result.schema);
        const bool wanted =
            kind != LineKind::None && (kind != LineKind::Railway || options.railways);
        bool usable = false, broken = false;
        if (!wanted)
            ++result.others;
        else if (const OGRGeometry* g = feature->GetGeometryRef())
            addLines(*g, chainAttributesOf(*feature, fields, result.schema, mph), convert, lines,
                     usable, broken);
        if (broken)
            ++result.broken;
        if (usable)
            ++result.lines;
        else
            ++result.skipped;
        if (progress && result.features % 4096 == 0 &&
            !progress(std::clamp(fraction, 0.0, 1.0) * kReadShare)) {
            result.cancelled = true;
            why = "Reading " + quotedName(path) + " was cancelled.";
            return false;
        }
    }
    if (QuietErrors::failed()) {
        why = "Cannot read " + quotedName(path) +
              " to its end: " + QuietErrors::last("the file is damaged") + ".";
        return false;
    }
    if (lines.empty()) {
        why = quotedName(path) + " holds no lines in layer \"" + chosen + "\"" +
              (result.others > 0 ? " but " + std::to_string(result.others) +
                                       " of things that are neither roads nor water."
                                 : ".");
        return false;
    }
    if (progress && !progress(kReadShare)) {
        result.cancelled = true;
        why = "Reading " + quotedName(path) + " was cancelled.";
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

} // namespace vantry
