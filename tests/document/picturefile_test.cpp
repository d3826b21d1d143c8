// Background pictures that lie about themselves: headers declaring more pixels than their data
// holds, data cut short with its end mark put back, and damage that the libraries behind the
// toolkit would tell on standard error beside the program's own message.

#include "document/picturefile.h"
#include "support/addressspace.h"
#include "support/childprocess.h"
#include "support/pictures.h"
#include "support/testdir.h"

#include <QBuffer>
#include <QImage>
#include <QtGlobal>

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace vantry {

namespace {

std::string be32(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

std::string pngChunk(const std::string& typeAndData) {
    const auto* bytes = reinterpret_cast<const Bytef*>(typeAndData.data());
    return be32(static_cast<std::uint32_t>(typeAndData.size() - 4)) + typeAndData +
           be32(static_cast<std::uint32_t>(crc32(0, bytes, static_cast<uInt>(typeAndData.size()))));
}

std::string deflated(const std::string& raw) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size,
              reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()), 9);
    out.resize(size);
    return out;
}

// A grey PNG picture of the given size whose compressed data holds `rows` rows of it, with every
// chunk whole and its check sum right.
std::string greyPng(std::uint32_t width, std::uint32_t height, std::uint32_t rows) {
    const std::string raw(static_cast<std::size_t>(rows) * (width + 1), '\0');
    return std::string("\x89PNG\r\n\x1a\n", 8) +
           pngChunk("IHDR" + be32(width) + be32(height) + std::string("\x08\0\0\0\0", 5)) +
           pngChunk("IDAT" + deflated(raw)) + pngChunk("IEND");
}

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    image.save(&out, format);
    return bytes;
}

// What reading the file says: empty when the picture was accepted.
std::string refusal(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    BackgroundImage image;
    std::string why;
    if (ReadPictureFile(file, path, image, why))
        return image.loaded() ? std::string() : "accepted without pixels";
    return why.empty() ? "refused without a reason" : why;
}

// Whether reading the picture says `expected` in a child process whose address space may grow by
// `extra` bytes at most; what it said instead goes to standard error.
testing::AssertionResult saysWithRoomFor(rlim_t extra, const std::string& path,
                                         const std::string& expected) {
    const int outcome = inChildWithMemoryLeft(extra, [&] {
        const std::string said = refusal(path);
        if (said != expected)
            std::fprintf(stderr, "it said: %s\n", said.c_str());
        return said == expected ? 0 : 1;
    });
    if (outcome == 0)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "the child ended with " << outcome;
}

constexpr rlim_t kMiB = 1 << 20;

class LyingPictures : public ::testing::Test {
protected:
    void SetUp() override {
        if (kAddressSanitizer)
            GTEST_SKIP() << "needs the whole address space under AddressSanitizer";
    }
    std::string cutShort(const std::string& name) {
        return "The picture \"" + dir.file(name) +
               "\" is cut short: the file ends before the picture does.";
    }
    TestDir dir;
};

TEST_F(LyingPictures, HeadersDeclaringMorePixelsThanTheDataHoldsAreRefusedBeforeDecoding) {
    // 35 bytes declaring 11000 x 11000 pixels, whose codes draw four of them.
    const std::string gif = std::string("GIF89a\xf8\x2a\xf8\x2a\x80\0\0", 13) +
                            std::string("\0\0\0\xff\xff\xff", 6) +
                            std::string(",\0\0\0\0\xf8\x2a\xf8\x2a\0\x02\x02\x44\x01\0;", 16);
    spit(dir.file("lie.gif"), gif);
    // A real JPEG whose frame header is made to declare 11000 x 11000 pixels.
    QByteArray jpeg = encoded(quarteredPicture(64, 64), "JPEG");
    const qsizetype frame = jpeg.indexOf("\xff\xc0");
    ASSERT_GT(frame, 0);
    jpeg[frame + 5] = jpeg[frame + 7] = '\x2a';
    jpeg[frame + 6] = jpeg[frame + 8] = '\xf8';
    spit(dir.file("lie.jpg"), jpeg.toStdString());
    // A PNG whose compressed rows stop after 10 of 11000.
    spit(dir.file("lie.png"), greyPng(11000, 11000, 10));
    spit(dir.file("rows.png"), greyPng(300, 200, 150));

    for (const char* name : {"lie.gif", "lie.jpg", "lie.png", "rows.png"}) {
        SCOPED_TRACE(name);
        // Room for the decoding, but not for the declared 121 million pixels.
        EXPECT_TRUE(saysWithRoomFor(256 * kMiB, dir.file(name), cutShort(name)));
    }
    spit(dir.file("whole.png"), greyPng(300, 200, 200));
    EXPECT_EQ(refusal(dir.file("whole.png")), "");
}

TEST_F(LyingPictures, MemoryThatRunsOutIsToldWithTheDeclaredSize) {
    // Grey pixels take 100 MB as decoded and four times that as shown.
    spit(dir.file("grey.png"), greyPng(10000, 10000, 10000));
    EXPECT_TRUE(saysWithRoomFor(300 * kMiB, dir.file("grey.png"),
                                "There is not enough memory to show the picture \"" +
                                    dir.file("grey.png") + "\" (10000 x 10000 pixels)."));
}

TEST(PngChunks, EveryCutOfAWholeFileIsToldAsCutShortAndNothingReachesStandardError) {
    TestDir dir;
    // Chunks as the toolkit writes them, cut at every byte past the signature: inside a chunk's
    // length, type, data or check sum, and between two chunks.
    const std::string png = encoded(patternPicture(24, 16), "PNG").toStdString();
    const std::string path = dir.file("cut.png");
    testing::internal::CaptureStderr();
    for (std::size_t size = 8; size < png.size(); ++size) {
        spit(path, png.substr(0, size));
        EXPECT_EQ(refusal(path), "The picture \"" + path +
                                     "\" is cut short: the file ends before the picture does.")
            << size << " of " << png.size() << " bytes";
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    spit(path, png);
    EXPECT_EQ(refusal(path), "");
}

TEST(DecoderMessages, DamageIsToldOnceInTheRefusalAndNothingReachesStandardError) {
    TestDir dir;
    const QByteArray tiff = encoded(patternPicture(120, 80), "TIFF");
    ASSERT_FALSE(tiff.isEmpty());
    spit(dir.file("half.tif"), tiff.left(tiff.size() / 2).toStdString());
    // Compressed data that does not inflate, inside chunks whose check sums are right.
    std::string png = greyPng(50, 50, 50);
    const std::size_t data = png.find("IDAT") + 4;
    png.replace(data, 2, "\x78\xff");
    const std::size_t length = static_cast<unsigned char>(png[data - 5]);
    png.replace(data + length, 4,
                be32(static_cast<std::uint32_t>(
                    crc32(0, reinterpret_cast<const Bytef*>(png.data() + data - 4),
                          static_cast<uInt>(length + 4)))));
    spit(dir.file("bad.png"), png);
    const QByteArray jpeg = encoded(quarteredPicture(192, 96), "JPEG");
    spit(dir.file("half.jpg"), jpeg.left(jpeg.size() / 2).toStdString() + "\xff\xd9");
    // Damage libpng meets already in the header the picture's size is read from.
    std::string header = greyPng(50, 50, 50);
    header[20] = static_cast<char>(header[20] ^ 0x40);
    spit(dir.file("header.png"), header);
    std::string garbled = greyPng(50, 50, 50);
    garbled[garbled.find("IDAT") + 3] = '\xe2';
    spit(dir.file("garbled.png"), garbled);

    for (const char* name : {"half.tif", "bad.png", "half.jpg", "header.png", "garbled.png"}) {
        SCOPED_TRACE(name);
        testing::internal::CaptureStderr();
        const std::string said = refusal(dir.file(name));
        const std::string stderrText = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.rfind("The picture \"" + dir.file(name) + "\" is damaged", 0), 0u) << said;
        EXPECT_EQ(said.find('\n'), std::string::npos) << said;
        EXPECT_EQ(stderrText, "");
    }
    // Outside a picture the toolkit's messages go where they went before.
    testing::internal::CaptureStderr();
    qWarning("a warning of the program's own");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("a warning of the program's own"),
              std::string::npos);

    // A handler the program sets later gets them too, and the decoders' still are not its. Half a
    // JPEG with the end mark its encoder writes last put back is no whole picture.
    static std::vector<std::string> handled;
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
        handled.push_back(text.toStdString());
    });
    EXPECT_EQ(
        refusal(dir.file("half.jpg"))
            .rfind("The picture \"" + dir.file("half.jpg") + "\" is damaged or cut short: ", 0),
        0u);
    spit(dir.file("whole.jpg"), jpeg.toStdString());
    EXPECT_EQ(refusal(dir.file("whole.jpg")), "");
    qWarning("after the picture");
    // The toolkit's own handler again, until the next picture.
    qInstallMessageHandler(nullptr);
    EXPECT_EQ(handled, std::vector<std::string>{"after the picture"});
}

} // namespace

} // namespace vantry
