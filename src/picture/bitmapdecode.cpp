#include "picture/bitmapdecode.h"

#include <algorithm>
#include <bit>
#include <new>

namespace vantry {

namespace {

constexpr std::uint32_t kBlack = 0xFF000000;

std::uint32_t Opaque(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
    return 0xFF000000 | (red << 16) | (green << 8) | blue;
}

// The colour of every index a pixel of this depth can hold.
std::vector<std::uint32_t> IndexColors(const PackedBitmap& bitmap) {
    std::vector<PaletteEntry> palette;
    CreateBitmapPalette(bitmap, palette);
    std::vector<std::uint32_t> colors(std::size_t{1} << bitmap.layout().bitCount, kBlack);
    const std::size_t known = std::min(colors.size(), palette.size());
    for (std::size_t i = 0; i < known; ++i)
        colors[i] = Opaque(palette[i].red, palette[i].green, palette[i].blue);
    return colors;
}

// One colour channel of 16- and 32-bit pixels, brought to 8 bits through a table of every value
// the channel can take, or by arithmetic for channels too wide for a table.
class Channel {
public:
    explicit Channel(std::uint32_t mask) : mask_(mask) {
        if (mask == 0)
            return;
        shift_ = std::countr_zero(mask);
        max_ = mask >> shift_;
        if (max_ <= 0xFFFF) {
            table_.resize(std::size_t{max_} + 1);
            for (std::uint32_t v = 0; v <= max_; ++v)
                table_[v] = widen(v);
        }
    }

    std::uint32_t operator()(std::uint32_t pixel) const {
        const std::uint32_t v = (pixel & mask_) >> shift_;
        return table_.empty() ? widen(v) : table_[v];
    }

private:
    std::uint32_t widen(std::uint32_t v) const {
        if (max_ == 0)
            return 0;
        const int bits = std::bit_width(max_);
        if (bits >= 8)
            return static_cast<std::uint32_t>((std::uint64_t{v} * 255 + max_ / 2) / max_);
        // Repeating the bits maps 0 to 0 and the largest value to 255, as image tools widen
        // 5- and 6-bit channels.
        std::uint32_t out = 0;
        for (int shift = 8 - bits; shift > -bits; shift -= bits)
            out |= shift >= 0 ? v << shift : v >> -shift;
        return out;
    }

    std::uint32_t mask_ = 0;
    int shift_ = 0;
    std::uint32_t max_ = 0;
    std::vector<std::uint8_t> table_;
};

void DecodeRows(const PackedBitmap& bitmap, std::uint32_t* out) {
    const BitmapLayout& l = bitmap.layout();
    const std::uint8_t* bits = BitmapBits(bitmap).data();
    const std::size_t width = static_cast<std::size_t>(l.width);
    const std::size_t height = static_cast<std::size_t>(l.height);
    std::vector<std::uint32_t> colors;
    if (l.bitCount <= 8)
        colors = IndexColors(bitmap);
    const Channel red(l.redMask);
    const Channel green(l.greenMask);
    const Channel blue(l.blueMask);

    for (std::size_t row = 0; row < height; ++row) {
        const std::size_t stored = l.topDown ? row : height - 1 - row;
        const std::uint8_t* src = bits + stored * l.rowStride;
        std::uint32_t* dst = out + row * width;
        switch (l.bitCount) {
        case 1:
            for (std::size_t x = 0; x < width; ++x)
                dst[x] = colors[(src[x / 8] >> (7 - x % 8)) & 1];
            break;
        case 4:
            for (std::size_t x = 0; x < width; ++x)
                dst[x] = colors[x % 2 == 0 ? src[x / 2] >> 4 : src[x / 2] & 0x0F];
            break;
        case 8:
            for (std::size_t x = 0; x < width; ++x)
                dst[x] = colors[src[x]];
            break;
        case 16:
            for (std::size_t x = 0; x < width; ++x) {
                const std::uint32_t p = src[2 * x] | (src[2 * x + 1] << 8);
                dst[x] = Opaque(red(p), green(p), blue(p));
            }
            break;
        case 24:
            for (std::size_t x = 0; x < width; ++x)
                dst[x] = Opaque(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
            break;
        case 32:
            for (std::size_t x = 0; x < width; ++x) {
                const std::uint8_t* q = src + 4 * x;
                const std::uint32_t p = static_cast<std::uint32_t>(q[0]) | (q[1] << 8) |
                                        (q[2] << 16) | (static_cast<std::uint32_t>(q[3]) << 24);
                dst[x] = Opaque(red(p), green(p), blue(p));
            }
            break;
        }
    }
}

// Plays a run-length stream onto `out` after filling it with colour-table entry 0. Rows count
// from the bottom of the image, as the stream does.
void DecodeRunLengths(const PackedBitmap& bitmap, std::uint32_t* out) {
    const BitmapLayout& l = bitmap.layout();
    const std::span<const std::uint8_t> stream = BitmapBits(bitmap);
    const std::vector<std::uint32_t> colors = IndexColors(bitmap);
    std::fill_n(out, static_cast<std::size_t>(l.width) * static_cast<std::size_t>(l.height),
                colors[0]);
    const bool nibbles = l.compression == BitmapCompression::Rle4;
    const std::uint64_t width = static_cast<std::uint64_t>(l.width);
    const std::uint64_t height = static_cast<std::uint64_t>(l.height);
    // The position may wander right of the image; nothing is written there.
    std::uint64_t x = 0;
    std::uint64_t y = 0;
    auto put = [&](std::uint32_t index) {
        if (x < width)
            out[(height - 1 - y) * width + x] = colors[index];
        ++x;
    };
    // The i-th pixel of a 4-bit byte pair takes the high nibble first.
    auto pixelOf = [nibbles](std::uint8_t byte, std::uint32_t i) -> std::uint32_t {
        if (!nibbles)
            return byte;
        return i % 2 == 0 ? byte >> 4 : byte & 0x0F;
    };

    std::size_t p = 0;
    while (p + 2 <= stream.size() && y < height) {
        const std::uint8_t count = stream[p];
        const std::uint8_t value = stream[p + 1];
        p += 2;
        if (count > 0) {
            const std::uint64_t visible = x < width ? std::min<std::uint64_t>(count, width - x) : 0;
            for (std::uint32_t i = 0; i < visible; ++i)
                put(pixelOf(value, i));
            x += count - visible;
            continue;
        }
        switch (value) {
        case 0: // end of line
            x = 0;
            ++y;
            break;
        case 1: // end of bitmap
            return;
        case 2: // delta: move right and up
            if (p + 2 > stream.size())
                return;
            x += stream[p];
            y += stream[p + 1];
            p += 2;
            break;
        default: { // absolute run of `value` pixels, padded to a whole number of 16-bit words
            const std::size_t bytes = nibbles ? (value + 1) / 2 : value;
            for (std::uint32_t i = 0; i < value; ++i) {
                const std::size_t at = p + (nibbles ? i / 2 : i);
                if (at >= stream.size())
                    return;
                put(pixelOf(stream[at], i));
            }
            p += bytes + bytes % 2;
            break;
        }
        }
    }
}

} // namespace

bool DecodeBitmap(const PackedBitmap& bitmap, std::vector<std::uint32_t>& pixels,
                  std::string* why) {
    pixels.clear();
    if (bitmap.isNull()) {
        if (why)
            *why = "There is no bitmap to show.";
        return false;
    }
    const BitmapLayout& l = bitmap.layout();
    try {
        pixels.resize(static_cast<std::size_t>(l.width) * static_cast<std::size_t>(l.height));
        if (l.compression == BitmapCompression::Rle8 || l.compression == BitmapCompression::Rle4)
            DecodeRunLengths(bitmap, pixels.data());
        else
            DecodeRows(bitmap, pixels.data());
    } catch (const std::bad_alloc&) {
        pixels = {};
        if (why)
            *why = "There is not enough memory to show the bitmap \"" + bitmap.name() + "\" (" +
                   std::to_string(l.width) + " x " + std::to_string(l.height) + " pixels).";
        return false;
    }
    return true;
}

} // namespace vantry
