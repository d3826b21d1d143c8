#include "exchange/exchangefields.h"
#include "exchange/gpkgspatialindex.h"
#include "exchange/ogrtables.h"
#include "exchange/stagedfiles.h"

#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

namespace vantry {

namespace {

namespace fs = std::filesystem;

// The widest text a shapefile's field holds.
constexpr std::size_t kShapefileTextBytes = 254;
constexpr std::size_t kProgressRows = 65536;

// GeoJSON files are taken to be in longitude and latitude unless they say otherwise, and GDAL
// says so only of CRSs with an EPSG code: the crs member of the format's first edition, which GIS
// programs still read, is put after the collection's name.
bool stateCrsInGeoJson(const fs::path& file, const std::string& wkt) {
    std::string member = "\"crs\": { \"type\": \"name\", \"properties\": { \"name\": \"";
    for (const char c : wkt) {
        if (c == '"' || c == '\\')
            member += '\\';
        member += c;
    }
    member += "\" } },\n";
    const fs::path stated = file.string() + ".crs";
    {
        std::ifstream in(file, std::ios::binary);
        std::ofstream out(stated, std::ios::binary);
        std::string line;
        if (!std::getline(in, line) || line != "{" || !std::getline(in, line) ||
            line.rfind("\"type\": \"FeatureCollection\"", 0) != 0)
            return false;
        out << "{\n" << line << '\n' << member << in.rdbuf();
        out.flush();
        if (!out || in.bad())
            return false;
    }
    std::error_code ec;
    fs::rename(stated, file, ec);
    return !ec;
}

// One export in progress: the files it stages, and what it says when something fails.
class TableWriter {
public:
    TableWriter(const std::string& path, const std::string& driver, std::string& why,
                const ExchangeProgress& progress, std::size_t totalRows)
        : path_(path), driver_(driver), why_(why), progress_(progress), totalRows_(totalRows) {}

    bool write(const std::string& crs, const std::vector<ExchangeMetadata>& metadata,
               const std::vector<FeatureTable>& tables);

private:
    bool fail(const std::string& file, const std::string& reason) {
        why_ = "Cannot write \"" + file + "\": " + reason + ".";
        return false;
    }
    bool oneLayerAFile() const { return driver_ != "GPKG"; }
    // Where table i goes: the file asked for, or one beside it for the second and later tables
    // of a format of one layer a file.
    std::string fileOf(std::size_t i, const std::vector<FeatureTable>& tables) const;
    Dataset create(const std::string& stagedPath, const std::string& shown);
    bool writeTable(GDALDatasetH dataset, OGRSpatialReferenceH srs, const FeatureTable& table,
                    const std::string& shown);
    bool addFields(OGRLayerH layer, const FeatureTable& table, const std::string& shown);
    // Tells the progress every so many rows and at the end of each table.
    bool tell(bool tableDone);

    const std::string& path_;
    const std::string& driver_;
    std::string& why_;
    const ExchangeProgress& progress_;
    std::size_t totalRows_;
    std::size_t rowsDone_ = 0;
};

std::string TableWriter::fileOf(std::size_t i, const std::vector<FeatureTable>& tables) const {
    const fs::path p(path_);
    if (i == 0 || !oneLayerAFile())
        return path_;
    return (p.parent_path() / (p.stem().string() + "_" + tables[i].name + p.extension().string()))
        .string();
}

Dataset TableWriter::create(const std::string& stagedPath, const std::string& shown) {
    GDALDriverH driver = GDALGetDriverByName(driver_.c_str());
    if (!driver) {
        fail(shown, "GDAL has no " + driver_ + " driver");
        return nullptr;
    }
    CPLErrorReset();
    Dataset dataset(GDALCreate(driver, stagedPath.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    if (!dataset)
        fail(shown, lastGdalError("it cannot be created"));
    return dataset;
}

bool TableWriter::addFields(OGRLayerH layer, const FeatureTable& table, const std::string& shown) {
    const bool shapefile = driver_ == "ESRI Shapefile";
    for (const TableColumn& column : table.columns) {
        OGRFieldType type = OFTString;
        std::size_t width = 0;
        if (column.kind == FieldKind::Integer) {
            const bool wide = std::any_of(column.integers.begin(), column.integers.end(),
                                          [](std::int64_t v) { return v != std::int32_t(v); });
            type = wide ? OFTInteger64 : OFTInteger;
            // Room for every 32-bit value and its sign, which a shapefile's default lacks.
            width = wide ? 20 : 11;
        } else if (column.kind == FieldKind::Real) {
            type = OFTReal;
        } else {
            for (const std::string& text : column.texts)
                width = std::max(width, text.size());
            if (shapefile && width > kShapefileTextBytes)
                return fail(shown, "a " + column.name + " longer than the " +
                                       std::to_string(kShapefileTextBytes) +
                                       " bytes a shapefile field holds cannot be kept");
            width = std::max<std::size_t>(width, 1);
        }
        OGRFieldDefnH field = OGR_Fld_Create(column.name.c_str(), type);
        if (shapefile && width > 0)
            OGR_Fld_SetWidth(field, static_cast<int>(width));
        const OGRErr made = OGR_L_CreateField(layer, field, TRUE);
        OGR_Fld_Destroy(field);
        if (made != OGRERR_NONE)
            return fail(shown,
                        lastGdalError(("its field " + column.name + " cannot be made").c_str()));
    }
    return true;
}

bool TableWriter::tell(bool tableDone) {
    ++rowsDone_;
    if (!progress_ || (rowsDone_ % kProgressRows != 0 && !tableDone))
        return true;
    return progress_(double(rowsDone_) / double(std::max<std::size_t>(totalRows_, 1)));
}

bool TableWriter::writeTable(GDALDatasetH dataset, OGRSpatialReferenceH srs,
                             const FeatureTable& table, const std::string& shown) {
    char** options = nullptr;
    if (driver_ == "ESRI Shapefile")
        options = CSLSetNameValue(options, "ENCODING", "UTF-8");
    // The index is packed once every row is written (gpkgspatialindex.h).
    if (driver_ == "GPKG")
        options = CSLSetNameValue(options, "SPATIAL_INDEX", "NO");
    CPLErrorReset();
    OGRLayerH layer = GDALDatasetCreateLayer(dataset, table.name.c_str(), srs,
                                             table.points ? wkbPoint : wkbLineString, options);
    CSLDestroy(options);
    if (!layer)
        return fail(shown, lastGdalError(("its layer " + table.name + " cannot be made").c_str()));
    if (!addFields(layer, table, shown))
        return false;

    Feature feature(OGR_F_Create(OGR_L_GetLayerDefn(layer)));
    OGRGeometryH shape = OGR_G_CreateGeometry(table.points ? wkbPoint : wkbLineString);
    // The feature owns the one geometry, which every row changes in place.
    OGR_F_SetGeometryDirectly(feature.get(), shape);
    const int fields = static_cast<int>(table.columns.size());
    for (std::size_t row = 0; row < table.rows(); ++row) {
        for (int f = 0; f < fields; ++f) {
            const TableColumn& column = table.columns[static_cast<std::size_t>(f)];
            if (column.isNull(row)) {
                OGR_F_SetFieldNull(feature.get(), f);
                continue;
            }
            switch (column.kind) {
            case FieldKind::Integer:
                OGR_F_SetFieldInteger64(feature.get(), f, column.integers[row]);
                break;
            case FieldKind::Real:
                OGR_F_SetFieldDouble(feature.get(), f, column.reals[row]);
                break;
            case FieldKind::Text:
                OGR_F_SetFieldString(feature.get(), f, column.texts[row].c_str());
                break;
            }
        }
        const std::size_t first = table.starts[row];
        const std::size_t count = table.starts[row + 1] - first;
        const double* xy = table.xy.data() + 2 * first;
        if (count == 0) {
            OGR_G_Empty(shape);
        } else if (table.points) {
            OGR_G_SetPoint_2D(shape, 0, xy[0], xy[1]);
        } else {
            OGR_G_SetPointCount(shape, static_cast<int>(count));
            for (std::size_t p = 0; p < count; ++p)
                OGR_G_SetPoint_2D(shape, static_cast<int>(p), xy[2 * p], xy[2 * p + 1]);
        }
        OGR_F_SetFID(feature.get(), OGRNullFID);
        if (OGR_L_CreateFeature(layer, feature.get()) != OGRERR_NONE)
            return fail(shown, lastGdalError(("its feature " + std::to_string(row + 1) + " of " +
                                              table.name + " cannot be written")
                                                 .c_str()));
        if (!tell(row + 1 == table.rows()))
            return fail(shown, "the export was cancelled");
    }
    return true;
}

bool TableWriter::write(const std::string& crs, const std::vector<ExchangeMetadata>& metadata,
                        const std::vector<FeatureTable>& tables) {
    prepareGdal();
    Srs srs(OSRNewSpatialReference(nullptr));
    if (OSRSetFromUserInput(srs.get(), crs.c_str()) != OGRERR_NONE)
        return fail(path_, "GDAL does not know the CRS " + crs);
    // Longitude first, as every GIS file of EPSG:4326 holds it.
    OSRSetAxisMappingStrategy(srs.get(), OAMS_TRADITIONAL_GIS_ORDER);

    const fs::path target(path_);
    StagedFiles staged;
    std::string reason;
    if (!staged.begin(target.has_parent_path() ? target.parent_path() : fs::path("."), reason))
        return fail(path_, reason);

    Dataset dataset;
    fs::path stagedFile;
    // Closing a dataset is where some drivers write most of it (FlatGeobuf its index).
    const auto close = [&](std::size_t i) {
        CPLErrorReset();
        dataset.reset();
        if (CPLGetLastErrorType() >= CE_Failure)
            return fail(fileOf(i, tables), lastGdalError("it cannot be completed"));
        if (driver_ == "GeoJSON" && crs != "EPSG:4326" && !stateCrsInGeoJson(stagedFile, crs))
            return fail(fileOf(i, tables), "its CRS cannot be put in it");
        return true;
    };
    for (std::size_t i = 0; i < tables.size(); ++i) {
        const std::string shown = fileOf(i, tables);
        if (i == 0 || oneLayerAFile()) {
            if (dataset && !close(i - 1))
                return false;
            stagedFile = staged.staged(fs::path(shown).filename().string());
            dataset = create(stagedFile.string(), shown);
            if (!dataset)
                return false;
            if (driver_ == "GPKG")
                for (const ExchangeMetadata& item : metadata)
                    GDALSetMetadataItem(dataset.get(), item.name.c_str(), item.value.c_str(),
                                        nullptr);
        }
        // One transaction a table: a GeoPackage that commits each row is a hundred times slower.
        const bool transaction = GDALDatasetStartTransaction(dataset.get(), FALSE) == OGRERR_NONE;
        if (!writeTable(dataset.get(), srs.get(), tables[i], shown))
            return false;
        if (transaction && GDALDatasetCommitTransaction(dataset.get()) != OGRERR_NONE)
            return fail(shown, lastGdalError("it cannot be completed"));
    }
    if (dataset && !close(tables.size() - 1))
        return false;
    if (driver_ == "GPKG" && !buildGeoPackageIndexes(stagedFile.string(), tables, reason))
        return fail(path_, "its spatial index cannot be made: " + reason);
    if (!staged.commit(reason))
        return fail(path_, reason);
    return true;
}

} // namespace

bool ogrWriteTables(const std::string& path, const std::string& driver, const std::string& crs,
                    const std::vector<ExchangeMetadata>& metadata,
                    const std::vector<FeatureTable>& tables, std::string& why,
                    const ExchangeProgress& progress) {
    std::size_t rows = 0;
    for (const FeatureTable& table : tables)
        rows += table.rows();
    TableWriter writer(path, driver, why, progress, rows);
    return writer.write(crs, metadata, tables);
}

} // namespace vantry
