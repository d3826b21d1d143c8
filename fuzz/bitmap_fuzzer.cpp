// The .bmp reader and decoder on arbitrary bytes: a file is either refused with a reason, or its
// layout lies inside the file and it decodes into one opaque colour per pixel.

#include "fuzzcheck.h"
#include "picture/bitmapdecode.h"
#include "picture/packedbitmap.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

using namespace vantry;

namespace {

// A run-length stream of a few bytes may describe the largest image accepted; decoding that
// takes half a gigabyte. Images up to this many pixels are decoded, which every code path reaches.
constexpr std::uint64_t kMaxDecodedPixels = std::uint64_t{1} << 22;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream file(std::string(reinterpret_cast<const char*>(data), size));
    std::string why;
    const PackedBitmap bitmap = ReadBitmapFile(file, "fuzz.bmp", &why);
    if (!bitmap) {
        FUZZ_CHECK(!why.empty());
        return 0;
    }
    const BitmapLayout& l = bitmap.layout();
    FUZZ_CHECK(bitmap.size() == size);
    const std::size_t content = size - 14;
    FUZZ_CHECK(l.width >= 1 && l.width <= kMaxPictureSide);
    FUZZ_CHECK(l.height >= 1 && l.height <= kMaxPictureSide);
    const std::uint64_t pixelCount = std::uint64_t(l.width) * std::uint64_t(l.height);
    FUZZ_CHECK(pixelCount <= kMaxPicturePixels);
    FUZZ_CHECK(l.colorTableOffset + BitmapPaletteBytes(bitmap) <= content);
    FUZZ_CHECK(l.bitsOffset <= content && l.bitsSize <= content - l.bitsOffset);

    std::vector<PaletteEntry> palette;
    FUZZ_CHECK(CreateBitmapPalette(bitmap, palette) == (l.colorCount != 0));
    FUZZ_CHECK(palette.size() == l.colorCount);

    if (pixelCount > kMaxDecodedPixels)
        return 0;
    std::vector<std::uint32_t> pixels;
    FUZZ_CHECK(DecodeBitmap(bitmap, pixels, &why));
    FUZZ_CHECK(pixels.size() == pixelCount);
    for (const std::uint32_t p : pixels)
        FUZZ_CHECK((p >> 24) == 0xFF);
    return 0;
}
