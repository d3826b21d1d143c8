#include "base/files.h"
#include "exchange/ogrtables.h"

#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <memory>

namespace vantry {

namespace {

constexpr std::size_t kProgressRows = 65536;

bool fail(const std::string& path, const std::string& reason, std::string& why) {
    why = "Cannot read \"" + path + "\": " + reason + ".";
    return false;
}

FieldKind kindOf(OGRFieldType type) {
    switch (type) {
    case OFTInteger:
    case OFTInteger64:
        return FieldKind::Integer;
    case OFTReal:
        return FieldKind::Real;
    default:
        return FieldKind::Text;
    }
}

void appendValue(TableColumn& column, OGRFeatureH feature, int field, std::size_t row) {
    const bool null = !OGR_F_IsFieldSetAndNotNull(feature, field);
    if (null && column.nulls.empty())
        column.nulls.assign(row, false);
    if (!column.nulls.empty())
        column.nulls.push_back(null);
    switch (column.kind) {
    case FieldKind::Integer:
        column.integers.push_back(null ? 0 : OGR_F_GetFieldAsInteger64(feature, field));
        break;
    case FieldKind::Real:
        column.reals.push_back(null ? 0.0 : OGR_F_GetFieldAsDouble(feature, field));
        break;
    case FieldKind::Text:
        column.texts.emplace_back(null ? "" : OGR_F_GetFieldAsString(feature, field));
        break;
    }
}

// Appends a geometry's points: a point's one, a line's in order, the parts of a multi-part
// line joined in order.
void appendPoints(OGRGeometryH geometry, std::vector<double>& xy) {
    if (!geometry)
        return;
    const int parts = OGR_G_GetGeometryCount(geometry);
    if (parts > 0) {
        for (int i = 0; i < parts; ++i)
            appendPoints(OGR_G_GetGeometryRef(geometry, i), xy);
        return;
    }
    const int points = OGR_G_GetPointCount(geometry);
    for (int i = 0; i < points; ++i) {
        xy.push_back(OGR_G_GetX(geometry, i));
        xy.push_back(OGR_G_GetY(geometry, i));
    }
}

bool isPointLayer(OGRLayerH layer) {
    const OGRwkbGeometryType type = wkbFlatten(OGR_L_GetGeomType(layer));
    return type == wkbPoint || type == wkbMultiPoint;
}

void readMetadata(GDALDatasetH dataset, std::vector<ExchangeMetadata>& metadata) {
    char** items = GDALGetMetadata(dataset, nullptr);
    for (char** item = items; item && *item; ++item) {
        char* name = nullptr;
        const char* value = CPLParseNameValue(*item, &name);
        if (name && value)
            metadata.push_back({name, value});
        CPLFree(name);
    }
}

} // namespace

bool ogrReadTable(const std::string& path, const std::string& layerName, FeatureTable& table,
                  std::string& crs, std::vector<ExchangeMetadata>& metadata, std::string& why,
                  const ExchangeProgress& progress) {
    table = FeatureTable{};
    crs.clear();
    metadata.clear();
    if (!checkReadableFile(path, why))
        return fail(path, why, why);
    prepareGdal();
    CPLErrorReset();
    Dataset dataset(
        GDALOpenEx(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
    if (!dataset)
        return fail(path, lastGdalError("it is not a GIS file GDAL knows"), why);
    OGRLayerH layer = layerName.empty()
                          ? GDALDatasetGetLayer(dataset.get(), 0)
                          : GDALDatasetGetLayerByName(dataset.get(), layerName.c_str());
    if (!layer)
        return fail(
            path, layerName.empty() ? "it has no layers" : "it has no layer \"" + layerName + "\"",
            why);
    table.name = OGR_L_GetName(layer);
    table.points = isPointLayer(layer);
    if (OGRSpatialReferenceH srs = OGR_L_GetSpatialRef(layer)) {
        char* wkt = nullptr;
        if (OSRExportToWkt(srs, &wkt) == OGRERR_NONE && wkt)
            crs = wkt;
        CPLFree(wkt);
    }
    readMetadata(dataset.get(), metadata);

    OGRFeatureDefnH definition = OGR_L_GetLayerDefn(layer);
    const int fields = OGR_FD_GetFieldCount(definition);
    for (int f = 0; f < fields; ++f) {
        OGRFieldDefnH field = OGR_FD_GetFieldDefn(definition, f);
        TableColumn column;
        column.name = OGR_Fld_GetNameRef(field);
        column.kind = kindOf(OGR_Fld_GetType(field));
        table.columns.push_back(std::move(column));
    }
    const GIntBig total = OGR_L_GetFeatureCount(layer, FALSE);
    CPLErrorReset();
    OGR_L_ResetReading(layer);
    std::size_t row = 0;
    for (Feature feature(OGR_L_GetNextFeature(layer)); feature;
         feature.reset(OGR_L_GetNextFeature(layer)), ++row) {
        for (int f = 0; f < fields; ++f)
            appendValue(table.columns[static_cast<std::size_t>(f)], feature.get(), f, row);
        appendPoints(OGR_F_GetGeometryRef(feature.get()), table.xy);
        table.starts.push_back(table.xy.size() / 2);
        if (progress && row % kProgressRows == 0 && total > 0 &&
            !progress(static_cast<double>(row) / static_cast<double>(total)))
            return fail(path, "the import was cancelled", why);
    }
    if (CPLGetLastErrorType() >= CE_Failure)
        return fail(path, lastGdalError("a feature cannot be read"), why);
    return true;
}

} // namespace vantry
