#pragma once

// Builds .bmp files byte by byte, so that tests can state every field, damaged ones included.

#include "picture/packedbitmap.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace vantry {

using Bytes = std::vector<std::uint8_t>;

struct BmpFields {
    std::uint32_t headerSize = 40;
    std::int32_t width = 1;
    std::int32_t height = 1;
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0;
    std::optional<std::uint32_t> imageSize; // default: the size of `pixels`
    std::uint32_t colorsUsed = 0;
    // Written inside headers of 52 bytes and more, or right after a 40-byte header.
    std::vector<std::uint32_t> masks;
    Bytes colorTable;
    Bytes gap; // between the colour table and the pixels
    Bytes pixels;
    std::optional<std::uint32_t> pixelOffset; // default: where the pixels are
};

inline void PutLe(Bytes& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

inline std::string MakeBmp(const BmpFields& s) {
    Bytes dib;
    PutLe(dib, s.headerSize, 4);
    if (s.headerSize == 12) {
        PutLe(dib, static_cast<std::uint16_t>(s.width), 2);
        PutLe(dib, static_cast<std::uint16_t>(s.height), 2);
        PutLe(dib, s.planes, 2);
        PutLe(dib, s.bitCount, 2);
    } else {
        PutLe(dib, static_cast<std::uint32_t>(s.width), 4);
        PutLe(dib, static_cast<std::uint32_t>(s.height), 4);
        PutLe(dib, s.planes, 2);
        PutLe(dib, s.bitCount, 2);
        PutLe(dib, s.compression, 4);
        PutLe(dib, s.imageSize.value_or(static_cast<std::uint32_t>(s.pixels.size())), 4);
        PutLe(dib, 2835, 4);
        PutLe(dib, 2835, 4);
        PutLe(dib, s.colorsUsed, 4);
        PutLe(dib, 0, 4);
        for (std::uint32_t mask : s.masks)
            PutLe(dib, mask, 4);
        if (s.headerSize > 40)
            dib.resize(std::max<std::size_t>(dib.size(), s.headerSize), 0);
    }
    dib.insert(dib.end(), s.colorTable.begin(), s.colorTable.end());
    dib.insert(dib.end(), s.gap.begin(), s.gap.end());
    const std::uint32_t offset = static_cast<std::uint32_t>(14 + dib.size());
    dib.insert(dib.end(), s.pixels.begin(), s.pixels.end());

    Bytes file{'B', 'M'};
    PutLe(file, 14 + dib.size(), 4);
    PutLe(file, 0, 4);
    PutLe(file, s.pixelOffset.value_or(offset), 4);
    file.insert(file.end(), dib.begin(), dib.end());
    return std::string(file.begin(), file.end());
}

// Colour-table entries from 0xRRGGBB values: blue, green, red and, unless `core`, a zero byte.
inline Bytes ColorTable(std::initializer_list<std::uint32_t> colors, bool core = false) {
    Bytes out;
    for (std::uint32_t c : colors) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
        out.push_back(static_cast<std::uint8_t>(c >> 16));
        if (!core)
            out.push_back(0);
    }
    return out;
}

// Stored rows, each padded with zeros to a multiple of four bytes.
inline Bytes PaddedRows(const std::vector<Bytes>& rows) {
    Bytes out;
    for (const Bytes& row : rows) {
        out.insert(out.end(), row.begin(), row.end());
        out.resize(out.size() + (4 - row.size() % 4) % 4, 0);
    }
    return out;
}

// A picture of 8-bit colour-table indices whose run-length stream is only an end-of-bitmap mark:
// a file of 70 bytes, whatever size it declares.
inline std::string RunLengthBmp(std::int32_t width, std::int32_t height) {
    BmpFields s;
    s.width = width;
    s.height = height;
    s.bitCount = 8;
    s.compression = 1;
    s.colorsUsed = 2;
    s.colorTable = ColorTable({0x336699, 0xFFFFFF});
    s.pixels = {0, 1};
    return MakeBmp(s);
}

// A picture of 32-bit pixels that holds `bytes` bytes of them, whatever size it declares.
inline std::string TrueColourBmp(std::int32_t width, std::int32_t height, std::size_t bytes) {
    BmpFields s;
    s.width = width;
    s.height = height;
    s.bitCount = 32;
    s.pixels.assign(bytes, 0);
    return MakeBmp(s);
}

inline PackedBitmap ReadBytes(const std::string& bytes, std::string* why = nullptr,
                              const char* name = "test.bmp") {
    std::istringstream in(bytes, std::ios::binary);
    return ReadBitmapFile(in, name, why);
}

} // namespace vantry
