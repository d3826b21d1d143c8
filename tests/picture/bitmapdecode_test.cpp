#include "picture/bitmapdecode.h"

#include "bmpwriter.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vantry {

namespace {

constexpr std::uint32_t R = 0xFFFF0000;
constexpr std::uint32_t G = 0xFF00FF00;
constexpr std::uint32_t B = 0xFF0000FF;
constexpr std::uint32_t W = 0xFFFFFFFF;
constexpr std::uint32_t K = 0xFF000000;
constexpr std::uint32_t D = 0xFF0A141E; // colour-table entry 0 of the run-length cases

constexpr std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return 0xFF000000 | r << 16 | g << 8 | b;
}

template <class Word> Bytes Words(std::initializer_list<Word> words) {
    Bytes out;
    for (Word w : words)
        PutLe(out, w, sizeof w);
    return out;
}
const auto Words16 = Words<std::uint16_t>;
const auto Words32 = Words<std::uint32_t>;

// Compares decoded pixels with the expected ones and names the first pixel that differs.
testing::AssertionResult SamePixels(const std::vector<std::uint32_t>& actual,
                                    const std::vector<std::uint32_t>& expected, int width) {
    if (actual.size() != expected.size())
        return testing::AssertionFailure()
               << actual.size() << " pixels instead of " << expected.size();
    const auto [a, e] = std::mismatch(actual.begin(), actual.end(), expected.begin());
    if (a == actual.end())
        return testing::AssertionSuccess();
    const auto at = a - actual.begin();
    return testing::AssertionFailure()
           << "pixel (" << at % width << ", " << at / width << ") from the top left is " << std::hex
           << *a << " instead of " << *e;
}

std::vector<std::uint32_t> Decode(const BmpFields& fields) {
    std::string why;
    const PackedBitmap b = ReadBytes(MakeBmp(fields), &why);
    EXPECT_FALSE(b.isNull()) << why;
    std::vector<std::uint32_t> pixels(50, W); // whatever the vector held is replaced
    EXPECT_TRUE(DecodeBitmap(b, pixels, &why)) << why;
    return pixels;
}

// An uncompressed picture: the file's header fields, its rows from the top, and its colours.
struct RowsCase {
    const char* name;
    BmpFields fields;
    std::vector<Bytes> rowsFromTheTop;
    std::vector<std::uint32_t> expected;
};

BmpFields Indexed(std::int32_t width, std::uint16_t bits, Bytes table, std::uint32_t used = 0) {
    BmpFields s;
    s.width = width;
    s.bitCount = bits;
    s.colorTable = std::move(table);
    s.colorsUsed = used;
    return s;
}

BmpFields Deep(std::int32_t width, std::uint16_t bits, std::uint32_t headerSize = 40,
               std::vector<std::uint32_t> masks = {}) {
    BmpFields s;
    s.headerSize = headerSize;
    s.width = width;
    s.bitCount = bits;
    s.compression = masks.empty() ? 0 : 3;
    s.masks = std::move(masks);
    return s;
}

constexpr std::uint32_t Grey = 0xFF808080;

// Every picture is stored both ways round.
TEST(DecodeBitmap, GivesTheSamePixelsStoredBottomUpOrTopDownAtEveryDepth) {
    const RowsCase cases[] = {
        {"OneBitWithOneColour",
         Indexed(3, 1, ColorTable({0xFFFFFF}), 1),
         {{0xA0}, {0x40}},
         {K, W, K, /**/ W, K, W}},
        {"FourBits",
         Indexed(5, 4, ColorTable({0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x808080}), 5),
         {{0x01, 0x23, 0x40}, {0x43, 0x21, 0x00}},
         {R, G, B, W, Grey, /**/ Grey, W, B, G, R}},
        {"EightBitIndicesBeyondTheTableAreBlack",
         Indexed(4, 8, ColorTable({0xFF0000, 0x00FF00}), 2),
         {{0, 1, 2, 255}, {1, 0, 7, 1}},
         {R, G, K, K, /**/ G, R, K, G}},
        // Five bits widen by repeating them: 3 gives 24 and 16 gives 132; the top bit is unused.
        {"SixteenBitsFiveFiveFive",
         Deep(3, 16),
         {Words16({0x7C00, 0x03E0, 0x001F}), Words16({0xFFFF, 0x0C63, 0x4210})},
         {R, G, B, /**/ W, Rgb(24, 24, 24), Rgb(132, 132, 132)}},
        // Six bits of green: 32 gives 130 and 1 gives 4.
        {"SixteenBitsFiveSixFiveAfterTheHeader",
         Deep(3, 16, 40, {0xF800, 0x07E0, 0x001F}),
         {Words16({0xF800, 0x07E0, 0x001F}), Words16({0x0400, 0x0020, 0x8410})},
         {R, G, B, /**/ Rgb(0, 130, 0), Rgb(0, 4, 0), Rgb(132, 130, 132)}},
        {"TwentyFourBits",
         Deep(3, 24),
         {{0, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0, 0}, {0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0, 0, 0}},
         {R, G, B, /**/ Rgb(0x12, 0x34, 0x56), W, K}},
        // The fourth byte is not used, and masks only count for bit-field pixels.
        {"ThirtyTwoBits",
         [] {
             BmpFields s = Deep(3, 32, 124, {0xF, 0xF0, 0xF00, 0});
             s.compression = 0;
             return s;
         }(),
         {Words32({0x55FF0000, 0x0000FF00, 0xFF0000FF}), Words32({0x00123456, 0xAAFFFFFF, 0})},
         {R, G, B, /**/ Rgb(0x12, 0x34, 0x56), W, K}},
        {"ThirtyTwoBitsRedInTheLowByte",
         Deep(3, 32, 108, {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000}),
         {Words32({0x800000FF, 0x0000FF00, 0xFFFF0000}), Words32({0x01563412, 0, 0x00FFFFFF})},
         {R, G, B, /**/ Rgb(0x12, 0x34, 0x56), K, W}},
        // Ten-bit channels are scaled and rounded: 512 gives 128, 1000 gives 249, 3 gives 1.
        {"ThirtyTwoBitsTenBitChannels",
         Deep(3, 32, 124, {0x3FF00000, 0x000FFC00, 0x000003FF, 0}),
         {Words32({1023u << 20 | 512u << 10, 1000u << 20 | 3u << 10 | 1u, 0x3FFFFFFF}),
          Words32({0xC0000000, 511u << 20, 0})},
         {Rgb(255, 128, 0), Rgb(249, 1, 0), W, /**/ K, Rgb(127, 0, 0), K}},
        // A 24-bit channel: 0x800000 of 0xFFFFFF gives 128.
        {"ThirtyTwoBitsWithAWideChannel",
         Deep(2, 32, 56, {0xFFFFFF00, 0, 0x000000FF, 0}),
         {Words32({0xFFFFFF12, 0x80000000}), Words32({0, 0x000000FF})},
         {Rgb(255, 0, 0x12), Rgb(128, 0, 0), /**/ K, B}},
        {"ThirtyTwoBitFieldsInA52ByteHeader",
         Deep(2, 32, 52, {0x00FF0000, 0x0000FF00, 0x000000FF}),
         {Words32({0x00FF0000, 0x0000FF00}), Words32({0x000000FF, 0x00123456})},
         {R, G, /**/ B, Rgb(0x12, 0x34, 0x56)}},
    };
    for (const RowsCase& c : cases) {
        SCOPED_TRACE(c.name);
        for (const bool topDown : {false, true}) {
            SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
            BmpFields s = c.fields;
            const auto rows = static_cast<std::int32_t>(c.rowsFromTheTop.size());
            s.height = topDown ? -rows : rows;
            std::vector<Bytes> stored = c.rowsFromTheTop;
            if (!topDown)
                std::reverse(stored.begin(), stored.end());
            s.pixels = PaddedRows(stored);
            EXPECT_TRUE(SamePixels(Decode(s), c.expected, s.width));
        }
    }
}

// A run-length stream, rows counted from the bottom, and the picture it gives from the top.
// Colour-table entry 0 is D, then R, G and B.
struct StreamCase {
    const char* name;
    std::int32_t width;
    std::int32_t height;
    std::uint16_t bits;
    Bytes stream;
    std::vector<std::uint32_t> expected;
};

TEST(DecodeBitmap, PlaysARunLengthStreamClippedToTheImage) {
    const StreamCase cases[] = {
        {"FourBitAbsoluteRunOfTwoBytes", 4, 1, 4, {0, 3, 0x12, 0x30, 1, 0x20, 0, 1}, {R, G, B, G}},
        {"RunPastTheEnd", 4, 2, 8, {10, 1, 0, 0, 2, 2, 0, 1}, {G, G, D, D, /**/ R, R, R, R}},
        {"NibbleRunPastTheEnd", 3, 2, 4, {7, 0x12, 0, 0, 2, 0x33, 0, 1}, {B, B, D, /**/ R, G, R}},
        {"AbsoluteRunPastTheEnd", 2, 2, 8, {0, 3, 1, 2, 3, 0, 0, 0, 1, 2, 0, 1}, {G, D, /**/ R, G}},
        {"DeltaOffRight", 3, 2, 8, {0, 2, 5, 0, 2, 1, 0, 0, 1, 3, 0, 1}, {B, D, D, /**/ D, D, D}},
        {"DeltaAboveTheTop", 3, 2, 8, {1, 1, 0, 2, 0, 5, 2, 2, 0, 1}, {D, D, D, /**/ R, D, D}},
        {"MoreRowsThanTheImage", 2, 1, 8, {1, 1, 0, 0, 2, 2, 0, 0, 2, 3}, {R, D}},
        {"LongRunsInATinyImage", 1, 1, 8, {255, 1, 255, 2, 0, 1}, {R}},
        {"NoEndOfBitmapMark", 3, 1, 8, {2, 2}, {G, G, D}},
        {"CutInsideAnAbsoluteRun", 4, 1, 8, {0, 5, 1, 2}, {R, G, D, D}},
        {"CutInsideADelta", 3, 1, 8, {1, 1, 0, 2, 1}, {R, D, D}},
        {"CutAfterAnOddByte", 3, 1, 8, {2, 3, 0}, {B, B, D}},
        {"IndicesBeyondTheTableAreBlack", 3, 1, 8, {2, 9, 1, 3, 0, 1}, {K, K, B}},
        {"NothingAfterTheEndOfBitmapMark", 2, 1, 8, {1, 1, 0, 1, 1, 2}, {R, D}},
    };
    for (const StreamCase& c : cases) {
        SCOPED_TRACE(c.name);
        BmpFields s;
        s.width = c.width;
        s.height = c.height;
        s.bitCount = c.bits;
        s.compression = c.bits == 8 ? 1 : 2;
        s.colorsUsed = 4;
        s.colorTable = ColorTable({0x0A141E, 0xFF0000, 0x00FF00, 0x0000FF});
        s.pixels = c.stream;
        EXPECT_TRUE(SamePixels(Decode(s), c.expected, c.width));
    }
}

TEST(DecodeBitmap, RefusesANullImageAndLeavesNoPixels) {
    std::vector<std::uint32_t> pixels(5, W);
    std::string why;
    EXPECT_FALSE(DecodeBitmap(PackedBitmap{}, pixels, &why));
    EXPECT_TRUE(pixels.empty());
    EXPECT_EQ(why, "There is no bitmap to show.");
}

} // namespace

} // namespace vantry
