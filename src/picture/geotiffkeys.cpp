#include "picture/geotiffkeys.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vantry {

namespace {

constexpr std::uint16_t kModelPixelScale = 33550;
constexpr std::uint16_t kModelTiepoint = 33922;
constexpr std::uint16_t kModelTransformation = 34264;
constexpr std::uint16_t kGeoKeyDirectory = 34735;
// The keys, and the values, that say where the pixels are and in which CRS.
constexpr double kRasterType = 1025;
constexpr double kGeographicType = 2048;
constexpr double kProjectedType = 3072;
constexpr double kPixelIsPoint = 2;
constexpr double kUserDefined = 32767;
enum FieldType : std::uint16_t { kShort = 3, kLong = 4, kDouble = 12 };
// Far more than any GeoTIFF needs; a count beyond it is damage, not data.
constexpr std::uint32_t kMaxValues = 1u << 16;

// One directory entry: where its values are, read when asked for.
struct Entry {
    std::uint16_t type = 0;
    std::uint32_t count = 0;
    std::uint64_t offset = 0; // of the values, inline ones included
};

// The first image directory of a classic TIFF, every read checked against the file's end.
class TiffReader {
public:
    TiffReader(std::istream& file, const std::string& name, std::string& why)
        : file_(file), name_(name), why_(why) {}

    bool fail(const std::string& what) {
        why_ = name_ + ": " + what;
        return false;
    }

    bool start(std::uint64_t& directory) {
        file_.seekg(0, std::ios::end);
        const std::streamoff end = file_.tellg();
        if (!file_ || end < 0)
            return fail("the file could not be read");
        size_ = static_cast<std::uint64_t>(end);
        unsigned char header[8];
        if (!bytes(0, header, sizeof header))
            return fail("not a TIFF file");
        if (header[0] == 'I' && header[1] == 'I')
            bigEndian_ = false;
        else if (header[0] == 'M' && header[1] == 'M')
            bigEndian_ = true;
        else
            return fail("not a TIFF file");
        const std::uint16_t version = number(header + 2, 2);
        if (version == 43)
            return fail("a BigTIFF file, whose placement is not read: save it as a classic TIFF "
                        "or give it a world file");
        if (version != 42)
            return fail("not a TIFF file");
        directory = number(header + 4, 4);
        return true;
    }

    bool entries(std::uint64_t directory, std::vector<std::pair<std::uint16_t, Entry>>& out) {
        unsigned char countBytes[2];
        if (!bytes(directory, countBytes, 2))
            return fail("the image directory lies beyond the end of the file");
        const std::uint32_t count = number(countBytes, 2);
        for (std::uint32_t i = 0; i < count; ++i) {
            unsigned char e[12];
            const std::uint64_t at = directory + 2 + std::uint64_t{12} * i;
            if (!bytes(at, e, sizeof e))
                return fail("the image directory runs past the end of the file");
            Entry entry;
            entry.type = static_cast<std::uint16_t>(number(e + 2, 2));
            entry.count = static_cast<std::uint32_t>(number(e + 4, 4));
            const std::uint64_t size = std::uint64_t{typeSize(entry.type)} * entry.count;
            entry.offset = size <= 4 ? at + 8 : number(e + 8, 4);
            out.emplace_back(static_cast<std::uint16_t>(number(e, 2)), entry);
        }
        return true;
    }

    // The values of an entry of SHORT or LONG, or of DOUBLE, as doubles.
    bool values(const Entry& entry, const char* tagName, std::vector<double>& out) {
        const unsigned size = typeSize(entry.type);
        if (entry.type != kShort && entry.type != kLong && entry.type != kDouble)
            return fail(std::string("the ") + tagName + " tag has values of an unexpected type");
        if (entry.count > kMaxValues)
            return fail(std::string("the ") + tagName + " tag holds too many values");
        std::vector<unsigned char> raw(std::size_t{size} * entry.count);
        if (!bytes(entry.offset, raw.data(), raw.size()))
            return fail(std::string("the ") + tagName +
                        " tag's values lie beyond the end of the file");
        out.clear();
        for (std::uint32_t i = 0; i < entry.count; ++i) {
            const unsigned char* p = raw.data() + std::size_t{size} * i;
            if (entry.type == kDouble) {
                const std::uint64_t bits = number(p, 8);
                double v;
                std::memcpy(&v, &bits, sizeof v);
                out.push_back(v);
            } else {
                out.push_back(static_cast<double>(number(p, size)));
            }
        }
        return true;
    }

private:
    // Bytes a value of each field type takes: BYTE, ASCII, SBYTE, UNDEFINED; SHORT, SSHORT;
    // LONG, SLONG, FLOAT; RATIONAL, SRATIONAL, DOUBLE. Unknown types are taken as bytes, which
    // only decides whether their values sit inside the entry.
    static unsigned typeSize(std::uint16_t type) {
        switch (type) {
        case 1:
        case 2:
        case 6:
        case 7:
            return 1;
        case kShort:
        case 8:
            return 2;
        case kLong:
        case 9:
        case 11:
            return 4;
        case 5:
        case 10:
        case kDouble:
            return 8;
        default:
            return 1;
        }
    }

    std::uint64_t number(const unsigned char* p, unsigned n) const {
        std::uint64_t v = 0;
        for (unsigned i = 0; i < n; ++i)
            v |= std::uint64_t{p[bigEndian_ ? n - 1 - i : i]} << (8 * i);
        return v;
    }

    bool bytes(std::uint64_t at, unsigned char* out, std::size_t n) {
        if (at > size_ || n > size_ - at)
            return false;
        file_.clear();
        file_.seekg(static_cast<std::streamoff>(at));
        file_.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(n));
        return static_cast<std::size_t>(file_.gcount()) == n;
    }

    std::istream& file_;
    const std::string& name_;
    std::string& why_;
    std::uint64_t size_ = 0;
    bool bigEndian_ = false;
};

bool allFinite(const std::vector<double>& v) {
    for (const double x : v)
        if (!std::isfinite(x))
            return false;
    return true;
}

} // namespace

bool readGeoTiffKeys(std::istream& file, const std::string& name, GeoTiffKeys& keys,
                     std::string& why) {
    keys = GeoTiffKeys{};
    TiffReader tiff(file, name, why);
    std::uint64_t directory = 0;
    std::vector<std::pair<std::uint16_t, Entry>> entries;
    if (!tiff.start(directory) || !tiff.entries(directory, entries))
        return false;

    std::vector<double> scale, tiepoints, matrix, geoKeys;
    for (const auto& [tag, entry] : entries) {
        bool ok = true;
        if (tag == kModelPixelScale)
            ok = tiff.values(entry, "ModelPixelScale", scale);
        else if (tag == kModelTiepoint)
            ok = tiff.values(entry, "ModelTiepoint", tiepoints);
        else if (tag == kModelTransformation)
            ok = tiff.values(entry, "ModelTransformation", matrix);
        else if (tag == kGeoKeyDirectory)
            ok = tiff.values(entry, "GeoKeyDirectory", geoKeys);
        if (!ok)
            return false;
    }
    if (!allFinite(scale) || !allFinite(tiepoints) || !allFinite(matrix))
        return tiff.fail("the placement tags hold a number that is not finite");

    // Pixel-is-point rasters count from the centre of the upper-left pixel.
    bool pixelIsPoint = false;
    if (!geoKeys.empty()) {
        if (geoKeys.size() < 4 || geoKeys.size() < 4 * (geoKeys[3] + 1))
            return tiff.fail("the GeoKey directory is shorter than it says");
        for (std::size_t k = 1; k <= static_cast<std::size_t>(geoKeys[3]); ++k) {
            const double id = geoKeys[4 * k];
            // Only keys held in the directory itself (location 0) matter here.
            if (geoKeys[4 * k + 1] != 0)
                continue;
            const double value = geoKeys[4 * k + 3];
            if (id == kRasterType) {
                pixelIsPoint = value == kPixelIsPoint;
            } else if (id == kProjectedType || (id == kGeographicType && keys.epsg == 0)) {
                if (value == kUserDefined)
                    return tiff.fail("the CRS is defined in the file itself rather than by an "
                                     "EPSG code, which is not read for placement");
                keys.epsg = static_cast<int>(value);
            }
        }
    }

    PixelGrid& g = keys.grid;
    if (matrix.size() >= 16) {
        g = PixelGrid{matrix[3], matrix[7], matrix[0], matrix[1], matrix[4], matrix[5]};
    } else if (!tiepoints.empty()) {
        if (tiepoints.size() < 6 || scale.size() < 2)
            return tiff.fail("its tie points come without a pixel scale: a picture fitted to "
                             "control points is not placed");
        // The grid's own y runs down the picture while the model's runs up.
        g.a = scale[0];
        g.b = 0.0;
        g.d = 0.0;
        g.e = -scale[1];
        g.originX = tiepoints[3] - tiepoints[0] * g.a;
        g.originY = tiepoints[4] - tiepoints[1] * g.e;
    } else if (!matrix.empty() || !scale.empty()) {
        return tiff.fail("its placement tags are incomplete");
    } else {
        return true;
    }
    if (pixelIsPoint) {
        g.originX -= 0.5 * (g.a + g.b);
        g.originY -= 0.5 * (g.d + g.e);
    }
    if (g.a * g.e - g.b * g.d == 0.0 || !std::isfinite(g.originX) || !std::isfinite(g.originY))
        return tiff.fail("its placement gives the pixels no area");
    keys.placed = true;
    return true;
}

} // namespace vantry
