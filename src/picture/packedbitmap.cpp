#include "picture/packedbitmap.h"

#include <algorithm>
#include <bit>
#include <istream>
#include <new>

namespace vantry {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kLargestHeaderSize = 124;
// Colour tables longer than this cannot come from any real image.
constexpr std::uint64_t kMaxColorCount = 65536;

std::uint16_t ReadU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t ReadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::int32_t ReadI32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(ReadU32(p));
}

bool IsInfoHeaderSize(std::uint32_t size) {
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// True for zero and for masks whose set bits are adjacent, such as 0x07E0.
bool IsOneRunOfBits(std::uint32_t mask) {
    if (mask == 0)
        return true;
    const std::uint64_t run = std::uint64_t{mask} >> std::countr_zero(mask);
    return std::has_single_bit(run + 1);
}

std::string Hex(std::uint32_t value) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text = "0x";
    for (int shift = 28; shift >= 0; shift -= 4)
        text += digits[(value >> shift) & 0xF];
    return text;
}

std::string Quoted(std::string_view name) {
    return "\"" + std::string(name) + "\"";
}

// Words the message for a refused file. Every method returns false, so that a check can end
// with `return refuse.damaged(...)`.
class Refusal {
public:
    Refusal(std::string_view name, std::string* why) : name_(name), why_(why) {}

    bool notABitmap(const std::string& reason) const {
        return say("The file " + Quoted(name_) + " is not a bitmap: " + reason + ".");
    }
    bool damaged(const std::string& reason) const {
        return say("The bitmap " + Quoted(name_) + " is damaged: " + reason + ".");
    }
    bool unsupported(const std::string& reason) const {
        return say("The bitmap " + Quoted(name_) + " cannot be read: " + reason + ".");
    }
    bool tooLarge(const std::string& reason) const {
        return say("The bitmap " + Quoted(name_) + " is too large: " + reason + ".");
    }
    bool cutShort(const std::string& reason) const {
        return say("The bitmap " + Quoted(name_) + " is cut short: " + reason + ".");
    }
    bool unreadable() const { return say("The file " + Quoted(name_) + " could not be read."); }
    bool outOfMemory() const {
        return say("There is not enough memory to read the bitmap " + Quoted(name_) + ".");
    }

private:
    bool say(std::string text) const {
        if (why_)
            *why_ = std::move(text);
        return false;
    }

    std::string_view name_;
    std::string* why_;
};

std::string CompressionName(std::uint32_t compression) {
    switch (compression) {
    case 1:
        return "8-bit run-length compression";
    case 2:
        return "4-bit run-length compression";
    case 3:
        return "bit-field pixels";
    case 4:
        return "JPEG compression";
    case 5:
        return "PNG compression";
    default:
        return "compression method " + std::to_string(compression);
    }
}

// Checks the header against the length `n` of the file's content (the file after its file
// header) and fills `out`. Only the first bytes of the content are needed, `head`, as many as the
// largest header or the whole content when it is shorter: the header and, after a 40-byte one,
// the colour masks lie there. `pixelOffset` is the file header's offset of the pixels, counted
// from the file's start.
bool ParseLayout(std::span<const std::uint8_t> head, std::uint64_t n, std::uint32_t pixelOffset,
                 const Refusal& refuse, BitmapLayout& out) {
    const std::uint8_t* content = head.data();
    BitmapLayout l;
    if (n < 4)
        return refuse.damaged("the file ends inside the bitmap header");
    l.headerSize = ReadU32(content);
    const bool core = l.headerSize == kCoreHeaderSize;
    if (!core && !IsInfoHeaderSize(l.headerSize))
        return refuse.unsupported("its header of " + std::to_string(l.headerSize) +
                                  " bytes is of an unknown kind");
    if (l.headerSize > n)
        return refuse.damaged("the file ends inside the bitmap header");

    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint16_t planes = 0;
    std::uint32_t compression = 0;
    std::uint32_t imageSize = 0;
    std::uint32_t colorsUsed = 0;
    if (core) {
        width = ReadU16(content + 4);
        height = ReadU16(content + 6);
        planes = ReadU16(content + 8);
        l.bitCount = ReadU16(content + 10);
    } else {
        width = ReadI32(content + 4);
        height = ReadI32(content + 8);
        planes = ReadU16(content + 12);
        l.bitCount = ReadU16(content + 14);
        compression = ReadU32(content + 16);
        imageSize = ReadU32(content + 20);
        colorsUsed = ReadU32(content + 32);
    }

    if (planes != 1)
        return refuse.damaged("it has " + std::to_string(planes) + " colour planes instead of 1");
    if (width <= 0)
        return refuse.damaged("its width is " + std::to_string(width) + " pixels");
    if (height == 0)
        return refuse.damaged("its height is 0 pixels");
    l.topDown = height < 0;
    height = height < 0 ? -height : height;
    if (width > kMaxPictureSide || height > kMaxPictureSide)
        return refuse.tooLarge(std::to_string(width) + " x " + std::to_string(height) +
                               " pixels, at most " + std::to_string(kMaxPictureSide) + " x " +
                               std::to_string(kMaxPictureSide) + " are shown");
    const std::uint64_t pixelCount = static_cast<std::uint64_t>(width * height);
    if (pixelCount > kMaxPicturePixels)
        return refuse.tooLarge(std::to_string(width) + " x " + std::to_string(height) + " are " +
                               std::to_string(pixelCount) + " pixels, at most " +
                               std::to_string(kMaxPicturePixels) + " (" +
                               std::to_string(kMaxPicturePixels >> 20) + " megapixels) are shown");
    l.width = static_cast<std::int32_t>(width);
    l.height = static_cast<std::int32_t>(height);

    const std::uint16_t bits = l.bitCount;
    const bool knownDepth =
        core ? (bits == 1 || bits == 4 || bits == 8 || bits == 24)
             : (bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32);
    if (!knownDepth)
        return refuse.unsupported(std::to_string(bits) + " bits per pixel");

    switch (compression) {
    case 0:
        l.compression = BitmapCompression::Rgb;
        break;
    case 1:
        l.compression = BitmapCompression::Rle8;
        if (bits != 8)
            return refuse.damaged(CompressionName(compression) + " with " + std::to_string(bits) +
                                  " bits per pixel");
        break;
    case 2:
        l.compression = BitmapCompression::Rle4;
        if (bits != 4)
            return refuse.damaged(CompressionName(compression) + " with " + std::to_string(bits) +
                                  " bits per pixel");
        break;
    case 3:
        l.compression = BitmapCompression::BitFields;
        if (bits != 16 && bits != 32)
            return refuse.damaged(CompressionName(compression) + " with " + std::to_string(bits) +
                                  " bits per pixel");
        break;
    default:
        return refuse.unsupported("it uses " + CompressionName(compression));
    }
    const bool compressed =
        l.compression == BitmapCompression::Rle8 || l.compression == BitmapCompression::Rle4;
    // Run-length streams have no fixed row positions, so they are always stored bottom-up.
    if (compressed && l.topDown)
        return refuse.damaged("its compressed rows are marked as stored top-down");

    std::uint64_t colorCount = 0;
    if (!core && colorsUsed != 0)
        colorCount = colorsUsed;
    else if (bits <= 8)
        colorCount = std::uint64_t{1} << bits;
    if (colorCount > kMaxColorCount)
        return refuse.unsupported("its colour table has " + std::to_string(colorCount) +
                                  " entries, more than " + std::to_string(kMaxColorCount));
    l.colorCount = static_cast<std::uint32_t>(colorCount);
    l.colorEntrySize = core ? 3 : 4;

    std::uint64_t tableStart = l.headerSize;
    if (l.compression == BitmapCompression::BitFields) {
        // A 40-byte header keeps its three masks right after itself; longer headers hold them.
        if (l.headerSize == kInfoHeaderSize) {
            if (n < kInfoHeaderSize + 12)
                return refuse.damaged("the file ends inside the colour masks");
            tableStart += 12;
        }
        l.redMask = ReadU32(content + 40);
        l.greenMask = ReadU32(content + 44);
        l.blueMask = ReadU32(content + 48);
        for (const std::uint32_t mask : {l.redMask, l.greenMask, l.blueMask})
            if (!IsOneRunOfBits(mask))
                return refuse.damaged("its colour mask " + Hex(mask) +
                                      " is not one run of adjacent bits");
    } else if (bits == 16) {
        l.redMask = 0x7C00;
        l.greenMask = 0x03E0;
        l.blueMask = 0x001F;
    } else if (bits == 32) {
        l.redMask = 0x00FF0000;
        l.greenMask = 0x0000FF00;
        l.blueMask = 0x000000FF;
    }
    l.colorTableOffset = static_cast<std::size_t>(tableStart);
    const std::uint64_t tableEnd = tableStart + colorCount * l.colorEntrySize;
    if (tableEnd > n)
        return refuse.damaged("its colour table runs past the end of the file");

    // The file header's pixel offset is honoured when it points past the colour table, since
    // some writers leave a gap there; an offset into the header or the table is a writer's
    // slip, and the pixels are then taken to follow the table directly.
    std::uint64_t bitsOffset = tableEnd;
    if (pixelOffset >= kFileHeaderSize + tableEnd && pixelOffset - kFileHeaderSize <= n)
        bitsOffset = pixelOffset - kFileHeaderSize;
    l.bitsOffset = static_cast<std::size_t>(bitsOffset);
    const std::uint64_t available = n - bitsOffset;

    if (compressed) {
        if (available == 0)
            return refuse.damaged("the file ends before its pixels");
        // A size field that claims more than the file holds is no reason to refuse the file:
        // the stream simply ends with it, and what it never reached stays unset.
        l.bitsSize = static_cast<std::size_t>(
            imageSize != 0 ? std::min<std::uint64_t>(imageSize, available) : available);
    } else {
        const std::uint64_t rowBits = static_cast<std::uint64_t>(l.width) * bits;
        const std::uint64_t stride = (rowBits + 31) / 32 * 4;
        // The last row need not carry its padding: it is never read.
        const std::uint64_t needed =
            stride * static_cast<std::uint64_t>(l.height - 1) + (rowBits + 7) / 8;
        if (needed > available)
            return refuse.cutShort("its pixel rows need " + std::to_string(needed) +
                                   " bytes, the file holds " + std::to_string(available) +
                                   " after its headers");
        l.rowStride = static_cast<std::size_t>(stride);
        l.bitsSize = static_cast<std::size_t>(
            std::min<std::uint64_t>(stride * static_cast<std::uint64_t>(l.height), available));
    }
    out = l;
    return true;
}

} // namespace

PackedBitmap ReadBitmapFile(std::istream& file, std::string_view name, std::string* why) {
    const Refusal refuse(name, why);
    file.clear();
    file.seekg(0, std::ios::end);
    const std::streamoff end = file.tellg();
    file.seekg(0, std::ios::beg);
    if (end < 0 || !file) {
        refuse.unreadable();
        return {};
    }
    const std::uint64_t length = static_cast<std::uint64_t>(end);

    std::uint8_t fileHeader[kFileHeaderSize];
    file.read(reinterpret_cast<char*>(fileHeader), kFileHeaderSize);
    if (length < kFileHeaderSize ||
        file.gcount() != static_cast<std::streamsize>(kFileHeaderSize)) {
        refuse.notABitmap("it is shorter than a bitmap file header");
        return {};
    }
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M') {
        refuse.notABitmap("it does not begin with \"BM\"");
        return {};
    }
    if (length > kMaxPictureFileBytes) {
        refuse.tooLarge("the file holds " + std::to_string(length) +
                        " bytes, at most 1 GiB are read");
        return {};
    }

    // The header is checked before the block is taken, so that what the header declares never
    // decides how much memory is asked for.
    const auto size = static_cast<std::size_t>(length);
    const std::size_t content = size - kFileHeaderSize;
    std::uint8_t head[kLargestHeaderSize];
    const std::size_t headSize = std::min<std::size_t>(content, kLargestHeaderSize);
    file.read(reinterpret_cast<char*>(head), static_cast<std::streamsize>(headSize));
    if (file.gcount() != static_cast<std::streamsize>(headSize)) {
        refuse.unreadable();
        return {};
    }
    PackedBitmap bitmap;
    if (!ParseLayout({head, headSize}, content, ReadU32(fileHeader + 10), refuse, bitmap.layout_))
        return {};

    try {
        bitmap.block_ = std::make_unique<std::uint8_t[]>(size);
    } catch (const std::bad_alloc&) {
        refuse.outOfMemory();
        return {};
    }
    std::copy_n(head, headSize, bitmap.block_.get());
    const auto rest = static_cast<std::streamsize>(content - headSize);
    file.read(reinterpret_cast<char*>(bitmap.block_.get() + headSize), rest);
    if (file.gcount() != rest) {
        refuse.unreadable();
        return {};
    }
    bitmap.size_ = size;
    bitmap.name_ = std::string(name);
    return bitmap;
}

std::int32_t BitmapWidth(const PackedBitmap& bitmap) {
    return bitmap.layout().width;
}

std::int32_t BitmapHeight(const PackedBitmap& bitmap) {
    return bitmap.layout().height;
}

std::uint32_t BitmapColorCount(const PackedBitmap& bitmap) {
    return bitmap.layout().colorCount;
}

std::size_t BitmapPaletteBytes(const PackedBitmap& bitmap) {
    return std::size_t{bitmap.layout().colorCount} * bitmap.layout().colorEntrySize;
}

std::span<const std::uint8_t> BitmapBits(const PackedBitmap& bitmap) {
    if (bitmap.isNull())
        return {};
    return {bitmap.data() + bitmap.layout().bitsOffset, bitmap.layout().bitsSize};
}

bool CreateBitmapPalette(const PackedBitmap& bitmap, std::vector<PaletteEntry>& palette) {
    palette.clear();
    const BitmapLayout& l = bitmap.layout();
    if (bitmap.isNull() || l.colorCount == 0)
        return false;
    palette.resize(l.colorCount);
    const std::uint8_t* entry = bitmap.data() + l.colorTableOffset;
    for (PaletteEntry& p : palette) {
        p = {entry[2], entry[1], entry[0]};
        entry += l.colorEntrySize;
    }
    return true;
}

} // namespace vantry
