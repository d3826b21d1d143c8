// Bitmaps written by ImageMagick, or written by hand and decoded by it, each decoded here and
// compared pixel by pixel with ImageMagick's own decoding (tests/data/bitmap/generate.sh).

#include "picture/bitmapdecode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace vantry {

namespace {

struct Fixture {
    const char* name;
    std::uint32_t headerSize;
    std::uint16_t bitCount;
    BitmapCompression compression;
    std::int32_t width;
    std::int32_t height;
};

std::string FixturePath(const std::string& file) {
    return std::string(VANTRY_TEST_DATA) + "/bitmap/" + file;
}

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ImageMagickFixture : public testing::TestWithParam<Fixture> {};

TEST_P(ImageMagickFixture, DecodesAsImageMagickDoes) {
    const Fixture& f = GetParam();
    const std::string path = FixturePath(std::string(f.name) + ".bmp");
    std::ifstream file(path, std::ios::binary);
    ASSERT_TRUE(file) << path;
    std::string why;
    const PackedBitmap bitmap = ReadBitmapFile(file, path, &why);
    ASSERT_FALSE(bitmap.isNull()) << why;
    EXPECT_EQ(bitmap.layout().headerSize, f.headerSize);
    EXPECT_EQ(bitmap.layout().bitCount, f.bitCount);
    EXPECT_EQ(bitmap.layout().compression, f.compression);
    ASSERT_EQ(BitmapWidth(bitmap), f.width);
    ASSERT_EQ(BitmapHeight(bitmap), f.height);

    std::vector<std::uint32_t> pixels;
    ASSERT_TRUE(DecodeBitmap(bitmap, pixels, &why)) << why;
    const std::string reference = ReadWhole(FixturePath(std::string(f.name) + ".rgb"));
    ASSERT_EQ(reference.size(), pixels.size() * 3);
    int wrong = 0;
    for (std::size_t i = 0; i < pixels.size() && wrong < 5; ++i) {
        const auto byte = [&](std::size_t k) {
            return static_cast<std::uint32_t>(static_cast<unsigned char>(reference[3 * i + k]));
        };
        const std::uint32_t expected = 0xFF000000 | byte(0) << 16 | byte(1) << 8 | byte(2);
        if (pixels[i] != expected) {
            ++wrong;
            ADD_FAILURE() << "pixel (" << i % f.width << ", " << i / f.width << ") is " << std::hex
                          << pixels[i] << " instead of " << expected;
        }
    }
}

constexpr auto Rgb = BitmapCompression::Rgb;
constexpr auto Rle8 = BitmapCompression::Rle8;
constexpr auto Rle4 = BitmapCompression::Rle4;
constexpr auto BitFields = BitmapCompression::BitFields;

const Fixture kFixtures[] = {
    {"core-1", 12, 1, Rgb, 13, 7},
    {"core-4", 12, 4, Rgb, 13, 7},
    {"core-8", 12, 8, Rgb, 13, 7},
    {"core-24", 12, 24, Rgb, 13, 7},
    {"info40-1", 40, 1, Rgb, 13, 7},
    {"info40-4", 40, 4, Rgb, 13, 7},
    {"info40-8", 40, 8, Rgb, 13, 7},
    {"info40-8-rle", 40, 8, Rle8, 13, 7},
    {"info40-24", 40, 24, Rgb, 13, 7},
    {"info124-8-rle", 124, 8, Rle8, 13, 7},
    {"info124-16-555", 124, 16, BitFields, 13, 7},
    {"info124-16-565", 124, 16, BitFields, 13, 7},
    {"info124-24", 124, 24, Rgb, 13, 7},
    {"info124-32", 124, 32, BitFields, 13, 7},
    {"rle8-delta", 40, 8, Rle8, 6, 4},
    {"rle4-delta", 40, 4, Rle4, 7, 3},
};

INSTANTIATE_TEST_SUITE_P(Files, ImageMagickFixture, testing::ValuesIn(kFixtures),
                         [](const testing::TestParamInfo<Fixture>& info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

} // namespace

} // namespace vantry
