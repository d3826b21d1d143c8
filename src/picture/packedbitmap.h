#pragma once

// Background images read from .bmp files. A file is checked completely when it is read, so
// that everything after ReadBitmapFile may trust the layout it found.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantry {

// The largest image accepted: in pixels per side, in pixels altogether, and the largest file, in
// bytes. The pixel limit holds whatever the compression, since a run-length stream of a few bytes
// may describe any size. 128 megapixels take 512 MiB once decoded and hold a map sheet of 24 x 36
// inches scanned at 300 dots per inch.
inline constexpr std::int32_t kMaxPictureSide = 30000;
inline constexpr std::uint64_t kMaxPicturePixels = std::uint64_t{1} << 27;
inline constexpr std::uint64_t kMaxPictureFileBytes = std::uint64_t{1} << 30;

// How the pixels of a bitmap are stored; the values are those of the file's compression field.
enum class BitmapCompression : std::uint32_t {
    Rgb = 0,       // uncompressed rows
    Rle8 = 1,      // run-length encoded colour-table indices, 8 bits each
    Rle4 = 2,      // run-length encoded colour-table indices, 4 bits each
    BitFields = 3, // uncompressed 16- or 32-bit pixels with explicit channel masks
};

// What ReadBitmapFile learnt from a bitmap's header after checking it against the file.
// Offsets count from the start of the packed block, that is the file without its 14-byte file
// header; every range given here lies inside the file's content.
struct BitmapLayout {
    std::uint32_t headerSize = 0; // 12 for a core header; 40, 52, 56, 108 or 124 otherwise
    std::int32_t width = 0;       // pixels, 1 to kMaxPictureSide
    std::int32_t height = 0;      // rows, 1 to kMaxPictureSide, whichever way they are stored;
                                  // width x height is at most kMaxPicturePixels
    bool topDown = false;         // the first stored row is the top one (negative height field)
    std::uint16_t bitCount = 0;   // 1, 4, 8, 16, 24 or 32 bits per pixel
    BitmapCompression compression = BitmapCompression::Rgb;
    std::uint32_t colorCount = 0;     // colour-table entries
    std::uint32_t colorEntrySize = 0; // bytes per entry: 3 (core header) or 4
    std::size_t colorTableOffset = 0;
    // Channel masks of 16- and 32-bit pixels: those of the file for bit-field pixels, otherwise
    // 5-5-5 for 16 bits and 8-8-8 for 32 bits; zero for the other depths.
    std::uint32_t redMask = 0;
    std::uint32_t greenMask = 0;
    std::uint32_t blueMask = 0;
    std::size_t bitsOffset = 0; // first byte of the pixel rows or of the compressed stream
    std::size_t bitsSize = 0;   // bytes from there on that hold pixels
    std::size_t rowStride = 0;  // bytes per stored row (uncompressed pixels only)
};

// One colour of a bitmap's colour table.
struct PaletteEntry {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    friend bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};

// A bitmap held as a packed device-independent bitmap: the content of its .bmp file without the
// 14-byte file header (information header, colour table, pixels) in one block of the file's
// length, so the block ends in 14 zero bytes. A default-constructed one holds no image. Only
// ReadBitmapFile makes images, and only from files it has checked; the block is never copied.
class PackedBitmap {
public:
    PackedBitmap() = default;

    bool isNull() const { return block_ == nullptr; }
    explicit operator bool() const { return block_ != nullptr; }
    // The block and its length (the length of the file it came from).
    const std::uint8_t* data() const { return block_.get(); }
    std::size_t size() const { return size_; }
    const BitmapLayout& layout() const { return layout_; }
    // The name the file was read under, for messages.
    const std::string& name() const { return name_; }

private:
    friend PackedBitmap ReadBitmapFile(std::istream& file, std::string_view name, std::string* why);

    std::unique_ptr<std::uint8_t[]> block_;
    std::size_t size_ = 0;
    BitmapLayout layout_;
    std::string name_;
};

// Reads a whole .bmp file from the start of `file` and checks the header against the file's
// length before taking memory for the rest, so that a small file that declares a huge picture
// is refused without memory being taken for the picture. Uncompressed pixel rows must all lie
// inside the file (the last one may lack its padding). Information headers of 40, 52, 56, 108 and
// 124 bytes and the 12-byte core header are read; colour-space fields are not used. A file that is
// not a bitmap, is damaged or cut short, is of a kind this program does not read, is larger than
// the limits above, or does not fit in memory gives a null image, and `why`, when given, says what
// is wrong in a sentence that names the file as `name`.
PackedBitmap ReadBitmapFile(std::istream& file, std::string_view name, std::string* why = nullptr);

// The image's size in pixels; 0 for a null image. The height is the number of rows, positive
// for top-down images too.
std::int32_t BitmapWidth(const PackedBitmap& bitmap);
std::int32_t BitmapHeight(const PackedBitmap& bitmap);
// The number of colour-table entries: the header's colours-used field when it is not zero,
// otherwise 2, 16 or 256 for 1, 4 or 8 bits per pixel and 0 for deeper pixels.
std::uint32_t BitmapColorCount(const PackedBitmap& bitmap);
// The size of the colour table in bytes: 3 bytes an entry after a core header, 4 otherwise.
std::size_t BitmapPaletteBytes(const PackedBitmap& bitmap);
// The pixel rows, or the compressed stream, exactly as stored in the file.
std::span<const std::uint8_t> BitmapBits(const PackedBitmap& bitmap);

// Fills `palette` with the image's colour table, entry for entry. Leaves it empty and returns
// false when the image has none (a null image, or deep pixels without an optional table).
bool CreateBitmapPalette(const PackedBitmap& bitmap, std::vector<PaletteEntry>& palette);

} // namespace vantry
