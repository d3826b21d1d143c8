#include "streets/streetfilechecks.h"

#include "base/files.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace vantry {

std::string quotedName(const std::string& path) {
    return "\"" + path + "\"";
}

namespace {

// False, with why, when there is no file at path to read, or it is not a file to be read whole:
// a pipe or a device would keep a library waiting for ever.
bool checkFile(const std::string& path, std::string& why) {
    std::error_code ec;
    const std::filesystem::path native = pathFromUtf8(path);
    if (!std::filesystem::exists(native, ec)) {
        why = "Cannot read " + quotedName(path) + ": there is no such file.";
        return false;
    }
    std::string reason;
    if (!checkReadableFile(path, reason)) {
        why = "Cannot read " + quotedName(path) + ": " + reason + ".";
        return false;
    }
    if (std::filesystem::file_size(native, ec) == 0) {
        why = "Cannot read " + quotedName(path) + ": the file is empty.";
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
                why = "Cannot read " + quotedName(path) + ": its journal " + quotedName(sidePath) +
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
                why = "Cannot read " + quotedName(path) + ": its " + sidecar.what + " " +
                      quotedName(sidePath) + " cannot be read (" + reason + ").";
                return false;
            }
            const std::uintmax_t most = sidecar.most == kAsLargeAsTheShapes
                                            ? std::max<std::uintmax_t>(shapesSize, 100)
                                            : sidecar.most;
            const std::uintmax_t size = std::filesystem::file_size(side, ec);
            if (!ec && most != kAnySize && size > most) {
                why = "Cannot read " + quotedName(path) + ": its " + sidecar.what + " " +
                      quotedName(sidePath) + " is " + sizeText(size) +
                      ", more than any real one holds (" + sizeText(most) + " at most).";
                return false;
            }
        }
    }
    return true;
}

} // namespace

bool checkStreetFile(const std::string& path, std::string& why) {
    return checkFile(path, why) && checkSidecars(path, why);
}

} // namespace vantry
