#include "geo/pictureplacement.h"

#include "base/files.h"
#include "geo/crspoints.h"
#include "geo/geotransform.h"
#include "picture/geotiffkeys.h"
#include "picture/worldfile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

namespace vantry {

namespace {

constexpr double kMetresPerMile = 1609.344;
constexpr double kFarthest = std::numeric_limits<float>::max();

PicturePlacement refused(std::string note) {
    PicturePlacement p;
    p.kind = PicturePlacement::Kind::Refused;
    p.note = std::move(note);
    return p;
}

std::string fileName(const std::string& path) {
    return utf8FromPath(pathFromUtf8(path).filename());
}

bool isFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(pathFromUtf8(path), ec);
}

std::string lowerExtension(const std::string& path) {
    std::string ext = pathFromUtf8(path).extension().string();
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

// The CRS a file beside the picture gives for its world file; empty when none does. A file that
// cannot be read is taken as saying nothing: the world file itself is what was asked for.
std::string sidecarCrs(const std::string& picturePath) {
    std::string text, why;
    const std::string aux = picturePath + ".aux.xml";
    if (isFile(aux) && readWholeFile(aux, text, why)) {
        std::string crs = auxiliaryCrs(text);
        if (!crs.empty())
            return crs;
    }
    const std::string ext = pathFromUtf8(picturePath).extension().string();
    const std::string stem = picturePath.substr(0, picturePath.size() - ext.size());
    for (const char* prj : {".prj", ".PRJ"}) {
        if (isFile(stem + prj) && readWholeFile(stem + prj, text, why)) {
            while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
                text.pop_back();
            if (!text.empty())
                return text;
        }
    }
    return {};
}

} // namespace

PicturePlacement placeGrid(const PixelGrid& grid, std::int32_t width, std::int32_t height,
                           const std::string& crs, const Georeference& network,
                           const std::string& source) {
    if (!network.placed())
        return {};
    if (grid.rotated())
        return refused(source + " is rotated; the picture cannot be turned to fit it, so the "
                                "numbers are left as they are");
    // The background is drawn as it is stored, upper row at the top, never mirrored.
    if (grid.a < 0.0 || grid.e > 0.0)
        return refused(source + " mirrors the picture; it cannot be drawn turned over, so the "
                                "numbers are left as they are");
    std::string why;
    const auto transform = GeoTransform::make(network, why);
    if (!transform)
        return refused(source + " cannot be placed: " + why);

    const std::array<std::array<double, 2>, 4> corners{
        {{0.0, 0.0}, {double(width), 0.0}, {0.0, double(height)}, {double(width), double(height)}}};
    std::array<std::array<double, 2>, 4> miles{};
    std::string label = network.crs;
    std::optional<CrsPoints> own;
    if (!crs.empty()) {
        own = CrsPoints::make(crs, why);
        if (!own)
            return refused(source + " cannot be placed: " + why);
        if (own->sameAs(network.crs))
            own.reset();
        else
            label = own->label();
    }
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const double x = grid.x(corners[i][0], corners[i][1]);
        const double y = grid.y(corners[i][0], corners[i][1]);
        if (own) {
            const WorldPoint p = transform->fromLonLat(own->toLonLat(x, y));
            miles[i] = {p.x, p.y};
        } else {
            const double milesPerUnit = transform->metresPerUnit() / kMetresPerMile;
            miles[i] = {(x - network.originX) * milesPerUnit, (y - network.originY) * milesPerUnit};
        }
        // What a float cannot hold no file can keep.
        if (!(std::abs(miles[i][0]) <= kFarthest) || !(std::abs(miles[i][1]) <= kFarthest))
            return refused(source + " places the picture beyond what the network's " + network.crs +
                           " can reach; the numbers are left as they are");
    }
    PicturePlacement p;
    p.kind = PicturePlacement::Kind::Placed;
    p.left = p.right = miles[0][0];
    p.bottom = p.top = miles[0][1];
    for (const auto& [x, y] : miles) {
        p.left = std::min(p.left, x);
        p.right = std::max(p.right, x);
        p.bottom = std::min(p.bottom, y);
        p.top = std::max(p.top, y);
    }
    p.note = "Placed from " + source + " (" + label + ")";
    return p;
}

PicturePlacement placePicture(const std::string& picturePath, std::int32_t width,
                              std::int32_t height, const Georeference& network) {
    if (!network.placed() || width <= 0 || height <= 0)
        return {};
    // A GeoTIFF's tags that cannot be read leave the world file beside it to say where it lies.
    PicturePlacement unreadTags;
    const std::string ext = lowerExtension(picturePath);
    if (ext == ".tif" || ext == ".tiff") {
        std::string why;
        GeoTiffKeys keys;
        const std::string name = fileName(picturePath);
        std::ifstream file;
        if (checkReadableFile(picturePath, why))
            file.open(pathFromUtf8(picturePath), std::ios::binary);
        if (!file.is_open())
            unreadTags = refused(why.empty() ? name + " could not be read" : why);
        else if (!readGeoTiffKeys(file, name, keys, why))
            unreadTags = refused(why);
        else if (keys.placed)
            return placeGrid(keys.grid, width, height,
                             keys.epsg != 0 ? "EPSG:" + std::to_string(keys.epsg)
                                            : sidecarCrs(picturePath),
                             network, name);
    }
    for (const std::string& candidate : worldFileNames(picturePath)) {
        if (!isFile(candidate))
            continue;
        const std::string name = fileName(candidate);
        std::string text, why;
        PixelGrid grid;
        if (!readWholeFile(candidate, text, why) || !parseWorldFile(text, name, grid, why))
            return refused(why);
        return placeGrid(grid, width, height, sidecarCrs(picturePath), network, name);
    }
    return unreadTags;
}

} // namespace vantry
