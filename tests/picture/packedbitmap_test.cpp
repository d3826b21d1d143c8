#include "picture/packedbitmap.h"

#include "bmpwriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <istream>

namespace vantry {

namespace {

// A valid 3 x 2 picture of 24-bit pixels, the base most cases alter.
BmpFields TrueColour() {
    BmpFields s;
    s.width = 3;
    s.height = 2;
    s.pixels = PaddedRows({Bytes(9, 0x11), Bytes(9, 0x22)});
    return s;
}

// Zero pixels of the right size for the given width, height and depth.
BmpFields WithBlankPixels(BmpFields s) {
    const std::size_t stride = (static_cast<std::size_t>(s.width) * s.bitCount + 31) / 32 * 4;
    s.pixels.assign(stride * static_cast<std::size_t>(std::abs(s.height)), 0);
    return s;
}

Bytes ManyColors(int n, bool core = false) {
    Bytes table;
    for (int i = 0; i < n; ++i) {
        table.insert(table.end(), {static_cast<std::uint8_t>(i), 0x80, 0xFF});
        if (!core)
            table.push_back(0);
    }
    return table;
}

// A valid picture of 8-bit indices whose run-length stream is one row and the end mark.
BmpFields RunLengths() {
    BmpFields s;
    s.width = 4;
    s.height = 2;
    s.bitCount = 8;
    s.compression = 1;
    s.colorsUsed = 2;
    s.colorTable = ColorTable({0, 0xFFFFFF});
    s.pixels = {4, 1, 0, 1};
    return s;
}

TEST(ReadBitmapFile, KeepsTheFileWithoutItsFileHeaderInABlockOfTheFileLength) {
    const std::string file = MakeBmp(TrueColour());
    std::string why;
    const PackedBitmap b = ReadBytes(file, &why, "maps\\area.bmp");
    ASSERT_FALSE(b.isNull()) << why;
    EXPECT_TRUE(b);
    EXPECT_EQ(b.name(), "maps\\area.bmp");
    ASSERT_EQ(b.size(), file.size());
    EXPECT_EQ(std::memcmp(b.data(), file.data() + 14, file.size() - 14), 0);
    for (std::size_t i = file.size() - 14; i < file.size(); ++i)
        EXPECT_EQ(b.data()[i], 0) << i;
    EXPECT_EQ(BitmapWidth(b), 3);
    EXPECT_EQ(BitmapHeight(b), 2);
    EXPECT_EQ(b.layout().rowStride, 12u);
}

TEST(ReadBitmapFile, ReadsFromTheStartOfTheStreamWhereverItStands) {
    std::istringstream in(MakeBmp(TrueColour()), std::ios::binary);
    in.seekg(20);
    EXPECT_FALSE(ReadBitmapFile(in, "x.bmp").isNull());
}

TEST(ReadBitmapFile, ColourTableFollowsTheDepthUnlessColoursUsedIsSet) {
    const struct {
        std::uint32_t headerSize;
        std::uint16_t bits;
        std::uint32_t colorsUsed;
        std::uint32_t count;
        std::size_t bytes;
    } cases[] = {
        {40, 1, 0, 2, 8},  {40, 4, 0, 16, 64}, {40, 8, 0, 256, 1024},  {40, 1, 5, 5, 20},
        {40, 4, 5, 5, 20}, {40, 8, 5, 5, 20},  {40, 24, 0, 0, 0},      {40, 16, 0, 0, 0},
        {40, 32, 0, 0, 0}, {40, 24, 3, 3, 12}, {124, 8, 0, 256, 1024}, {108, 4, 7, 7, 28},
        {12, 1, 0, 2, 6},  {12, 4, 0, 16, 48}, {12, 8, 0, 256, 768},   {12, 24, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.headerSize << "-byte header, " << c.bits << " bits, "
                                        << c.colorsUsed << " colours used");
        BmpFields s;
        s.headerSize = c.headerSize;
        s.width = 3;
        s.height = 2;
        s.bitCount = c.bits;
        s.colorsUsed = c.colorsUsed;
        s.colorTable = ManyColors(static_cast<int>(c.count), c.headerSize == 12);
        std::string why;
        const PackedBitmap b = ReadBytes(MakeBmp(WithBlankPixels(s)), &why);
        ASSERT_FALSE(b.isNull()) << why;
        EXPECT_EQ(BitmapColorCount(b), c.count);
        EXPECT_EQ(BitmapPaletteBytes(b), c.bytes);
        // The pixels follow the colour table, or the header when there is none.
        EXPECT_EQ(BitmapBits(b).data(), b.data() + c.headerSize + c.bytes);
        std::vector<PaletteEntry> palette{{1, 2, 3}};
        EXPECT_EQ(CreateBitmapPalette(b, palette), c.count > 0);
        EXPECT_EQ(palette.size(), c.count);
    }
}

TEST(PackedBitmap, ANullImageHasNoPixelsAndNoPalette) {
    const PackedBitmap none;
    EXPECT_TRUE(none.isNull());
    EXPECT_FALSE(none);
    EXPECT_TRUE(BitmapBits(none).empty());
    std::vector<PaletteEntry> palette{{1, 2, 3}};
    EXPECT_FALSE(CreateBitmapPalette(none, palette));
    EXPECT_TRUE(palette.empty());
}

TEST(ReadBitmapFile, HonoursAPixelOffsetPastTheColourTableOnly) {
    BmpFields s = TrueColour();
    s.bitCount = 8;
    s.colorsUsed = 2;
    s.colorTable = ColorTable({0, 0xFFFFFF});
    s = WithBlankPixels(s);
    const std::size_t afterTable = 40 + 8;
    const struct {
        const char* name;
        std::size_t gap;
        std::optional<std::uint32_t> offset;
        std::size_t bits;
    } cases[] = {
        {"no gap", 0, std::nullopt, afterTable},
        {"a gap the offset skips", 6, std::nullopt, afterTable + 6},
        {"an offset into the colour table", 0, 14 + 44, afterTable},
        {"an offset of zero", 0, 0, afterTable},
        {"an offset past the end of the file", 0, 5000, afterTable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BmpFields t = s;
        t.gap.assign(c.gap, 0xEE);
        t.pixelOffset = c.offset;
        std::string why;
        const PackedBitmap b = ReadBytes(MakeBmp(t), &why);
        ASSERT_FALSE(b.isNull()) << why;
        EXPECT_EQ(b.layout().bitsOffset, c.bits);
    }
}

TEST(ReadBitmapFile, TheLastRowMayGoWithoutItsPadding) {
    // Rows of 9 bytes padded to 12: the file may end 3 bytes early (4 is refused below).
    const std::string file = MakeBmp(TrueColour());
    std::string why;
    const PackedBitmap b = ReadBytes(file.substr(0, file.size() - 3), &why);
    ASSERT_FALSE(b.isNull()) << why;
    EXPECT_EQ(BitmapBits(b).size(), 21u);
}

TEST(ReadBitmapFile, ARunLengthStreamMayClaimMoreThanTheFileHolds) {
    BmpFields s = RunLengths();
    s.imageSize = 400;
    std::string why;
    const PackedBitmap b = ReadBytes(MakeBmp(s), &why);
    ASSERT_FALSE(b.isNull()) << why;
    EXPECT_EQ(BitmapBits(b).size(), 4u);
    s.imageSize = 2;
    EXPECT_EQ(BitmapBits(ReadBytes(MakeBmp(s))).size(), 2u);
}

TEST(ReadBitmapFile, TakesPicturesOfEveryCompressionUpToTheTotalPixelLimit) {
    constexpr std::int32_t kRows = 8192;
    constexpr auto kWidth = static_cast<std::int32_t>(kMaxPicturePixels / kRows);
    std::string why;
    const PackedBitmap atLimit = ReadBytes(RunLengthBmp(kWidth, kRows), &why);
    ASSERT_FALSE(atLimit.isNull()) << why;
    EXPECT_EQ(std::uint64_t(BitmapWidth(atLimit)) * std::uint64_t(BitmapHeight(atLimit)),
              kMaxPicturePixels);
    const std::string oneRowMore =
        "The bitmap \"test.bmp\" is too large: 16384 x 8193 are "
        "134234112 pixels, at most 134217728 (128 megapixels) are shown.";
    EXPECT_TRUE(ReadBytes(RunLengthBmp(kWidth, kRows + 1), &why).isNull());
    EXPECT_EQ(why, oneRowMore);

    // One bit a pixel keeps a picture at the limit to 16 MiB of file.
    BmpFields s;
    s.width = kWidth;
    s.height = kRows;
    s.bitCount = 1;
    s.colorTable = ColorTable({0, 0xFFFFFF});
    s = WithBlankPixels(s);
    EXPECT_FALSE(ReadBytes(MakeBmp(s), &why).isNull()) << why;
    s.height = kRows + 1;
    s = WithBlankPixels(s);
    EXPECT_TRUE(ReadBytes(MakeBmp(s), &why).isNull());
    EXPECT_EQ(why, oneRowMore);
}

// A picture of 16-bit pixels whose colour masks are to be set.
BmpFields BitFields() {
    BmpFields s;
    s.bitCount = 16;
    s.compression = 3;
    return WithBlankPixels(s);
}

// The file of `s` with one field set to `value`.
template <class T, class V> std::string Altered(BmpFields s, T BmpFields::*field, V value) {
    s.*field = static_cast<T>(value);
    return MakeBmp(s);
}

// A picture of TrueColour()'s pixels behind a 12-byte core header.
std::string Core(std::int32_t width, std::int32_t height, std::uint16_t bits = 24) {
    BmpFields s = TrueColour();
    s.headerSize = 12;
    s.width = width;
    s.height = height;
    s.bitCount = bits;
    return MakeBmp(s);
}

using Masks = std::vector<std::uint32_t>;
constexpr auto kWidth = &BmpFields::width;
constexpr auto kHeight = &BmpFields::height;
constexpr auto kBits = &BmpFields::bitCount;
constexpr auto kCompression = &BmpFields::compression;
constexpr auto kColorsUsed = &BmpFields::colorsUsed;

TEST(ReadBitmapFile, RefusesWhatIsNotABitmapFile) {
    const std::string file = MakeBmp(TrueColour());
    const std::pair<std::string, const char*> cases[] = {
        {"", "it is shorter than a bitmap file header"},
        {std::string("BM\x10\0", 4), "it is shorter than a bitmap file header"},
        {"BA" + file.substr(2), "it does not begin with \"BM\""}};
    for (const auto& [bytes, reason] : cases) {
        std::string why;
        EXPECT_TRUE(ReadBytes(bytes, &why, R"(C:\maps\a.bmp)").isNull());
        EXPECT_EQ(why, std::string(R"(The file "C:\maps\a.bmp" is not a bitmap: )") + reason + ".");
    }
}

TEST(ReadBitmapFile, RefusesDamagedAndUnsupportedBitmapsWithAMessageNamingThem) {
    const std::string file = MakeBmp(TrueColour());
    // Each message after `The bitmap "C:\maps\a.bmp" `.
    const std::pair<std::string, const char*> cases[] = {
        {file.substr(0, 14 + 20), "is damaged: the file ends inside the bitmap header."},
        {file.substr(0, 16), "is damaged: the file ends inside the bitmap header."},
        {Altered(TrueColour(), &BmpFields::headerSize, 64),
         "cannot be read: its header of 64 bytes is of an unknown kind."},
        {Altered(TrueColour(), &BmpFields::planes, 2),
         "is damaged: it has 2 colour planes instead of 1."},
        {Altered(TrueColour(), kWidth, 0), "is damaged: its width is 0 pixels."},
        {Altered(TrueColour(), kWidth, -3), "is damaged: its width is -3 pixels."},
        {Altered(TrueColour(), kHeight, 0), "is damaged: its height is 0 pixels."},
        {Altered(TrueColour(), kWidth, 30001),
         "is too large: 30001 x 2 pixels, at most 30000 x 30000 are shown."},
        {Altered(TrueColour(), kHeight, -30001),
         "is too large: 3 x 30001 pixels, at most 30000 x 30000 are shown."},
        {Altered(TrueColour(), kHeight, INT_MIN),
         "is too large: 3 x 2147483648 pixels, at most 30000 x 30000 are shown."},
        {Core(40000, 2), "is too large: 40000 x 2 pixels, at most 30000 x 30000 are shown."},
        {Altered(TrueColour(), kBits, 2), "cannot be read: 2 bits per pixel."},
        {Core(3, 2, 16), "cannot be read: 16 bits per pixel."},
        {Altered(TrueColour(), kCompression, 4), "cannot be read: it uses JPEG compression."},
        {Altered(TrueColour(), kCompression, 5), "cannot be read: it uses PNG compression."},
        {Altered(TrueColour(), kCompression, 7), "cannot be read: it uses compression method 7."},
        {Altered(TrueColour(), kCompression, 1),
         "is damaged: 8-bit run-length compression with 24 bits per pixel."},
        {Altered(RunLengths(), kCompression, 2),
         "is damaged: 4-bit run-length compression with 8 bits per pixel."},
        {Altered(TrueColour(), kCompression, 3),
         "is damaged: bit-field pixels with 24 bits per pixel."},
        {Altered(RunLengths(), kHeight, -2),
         "is damaged: its compressed rows are marked as stored top-down."},
        {Altered(TrueColour(), kBits, 8),
         "is damaged: its colour table runs past the end of the file."},
        {Altered(RunLengths(), kColorsUsed, 200),
         "is damaged: its colour table runs past the end of the file."},
        {Altered(RunLengths(), kColorsUsed, 0xFFFFFFFF),
         "cannot be read: its colour table has 4294967295 entries, more than 65536."},
        {Altered(BitFields(), &BmpFields::masks, Masks{0xF800}),
         "is damaged: the file ends inside the colour masks."},
        {Altered(BitFields(), &BmpFields::masks, Masks{0xF800, 0x05E0, 0x001F}),
         "is damaged: its colour mask 0x000005E0 is not one run of adjacent bits."},
        {file.substr(0, 14 + 40 + 12 + 8),
         "is cut short: its pixel rows need 21 bytes, the file holds 20 after its headers."},
        {file.substr(0, 14 + 40),
         "is cut short: its pixel rows need 21 bytes, the file holds 0 after its headers."},
        {TrueColourBmp(10000, 10000, 256), "is cut short: its pixel rows need 400000000 bytes, the "
                                           "file holds 256 after its headers."},
        {TrueColourBmp(30000, 30000, 256), "is too large: 30000 x 30000 are 900000000 pixels, at "
                                           "most 134217728 (128 megapixels) are shown."},
        {TrueColourBmp(20000, -20000, 256), "is too large: 20000 x 20000 are 400000000 pixels, at "
                                            "most 134217728 (128 megapixels) are shown."},
        {Core(20000, 20000), "is too large: 20000 x 20000 are 400000000 pixels, at most 134217728 "
                             "(128 megapixels) are shown."},
        {Altered(RunLengths(), &BmpFields::pixels, Bytes{}),
         "is damaged: the file ends before its pixels."},
    };
    for (const auto& [bytes, message] : cases) {
        std::string why;
        EXPECT_TRUE(ReadBytes(bytes, &why, R"(C:\maps\a.bmp)").isNull()) << message;
        EXPECT_EQ(why, std::string(R"(The bitmap "C:\maps\a.bmp" )") + message);
    }
}

// A stream that reports a length without holding the bytes: `start` and then zeros. It counts
// the bytes read from it.
class PretendFile : public std::streambuf {
public:
    explicit PretendFile(std::uint64_t length, std::string start = "BM")
        : length_(static_cast<off_type>(length)), start_(std::move(start)) {}
    std::uint64_t bytesRead() const { return bytesRead_; }

protected:
    pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) override {
        position_ = dir == std::ios_base::beg   ? off
                    : dir == std::ios_base::end ? length_ + off
                                                : position_ + off;
        return position_;
    }
    pos_type seekpos(pos_type pos, std::ios_base::openmode) override {
        position_ = pos;
        return pos;
    }
    std::streamsize xsgetn(char* s, std::streamsize n) override {
        n = std::min<std::streamsize>(n, std::max<off_type>(length_ - position_, 0));
        for (std::streamsize i = 0; i < n; ++i, ++position_)
            s[i] = position_ < off_type(start_.size()) ? start_[std::size_t(position_)] : '\0';
        bytesRead_ += std::uint64_t(n);
        return n;
    }

private:
    off_type length_;
    std::string start_;
    off_type position_ = 0;
    std::uint64_t bytesRead_ = 0;
};

TEST(ReadBitmapFile, RefusesFilesOverOneGibibyteBeforeReadingThem) {
    PretendFile huge(kMaxPictureFileBytes + 1);
    std::istream in(&huge);
    std::string why;
    EXPECT_TRUE(ReadBitmapFile(in, "big.bmp", &why).isNull());
    EXPECT_EQ(why, "The bitmap \"big.bmp\" is too large: the file holds 1073741825 bytes, at most "
                   "1 GiB are read.");
}

TEST(ReadBitmapFile, RefusesWhatTheHeaderDeclaresBeforeTakingTheRestOfTheFile) {
    // A file of almost a gibibyte whose header declares too many pixels, and one whose header is
    // of an unknown kind: neither may cost more than reading its headers.
    for (const std::string& start : {RunLengthBmp(30000, 30000), std::string("BM")}) {
        PretendFile large(kMaxPictureFileBytes, start);
        std::istream in(&large);
        std::string why;
        EXPECT_TRUE(ReadBitmapFile(in, "large.bmp", &why).isNull());
        EXPECT_NE(why.find("\"large.bmp\""), std::string::npos) << why;
        EXPECT_LE(large.bytesRead(), 14u + 124u);
    }
}

TEST(ReadBitmapFile, SaysSoWhenTheStreamCannotBeMeasured) {
    struct Unseekable : std::streambuf {
    } unseekable;
    std::istream in(&unseekable);
    std::string why;
    EXPECT_TRUE(ReadBitmapFile(in, "pipe.bmp", &why).isNull());
    EXPECT_EQ(why, "The file \"pipe.bmp\" could not be read.");
}

} // namespace

} // namespace vantry
