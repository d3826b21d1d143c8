#include "cli/pngencoder.h"
#include "support/goldenimage.h"

#include <QImage>

#include <gtest/gtest.h>

#include <random>

namespace vantry {

namespace {

// The fast encoder's files must read back as the very picture, whatever its shape: one pixel,
// one row, one column, and flat areas (long runs) beside noise (no runs at all).
TEST(PngEncoder, PicturesReadBackPixelForPixel) {
    std::mt19937 rng(8);
    for (const auto& [w, h] : {std::pair{1, 1}, {1, 9}, {13, 1}, {317, 211}, {1600, 1000}}) {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(qRgb(0x99, 0x66, 0x33));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if ((x / 7 + y / 5) % 3 == 0)
                    image.setPixel(x, y, 0xFF000000u | (rng() & 0xFFFFFFu));
        std::string png;
        ASSERT_TRUE(encodePng(image, png)) << w << "x" << h;
        QImage back;
        ASSERT_TRUE(back.loadFromData(reinterpret_cast<const uchar*>(png.data()),
                                      static_cast<int>(png.size()), "PNG"))
            << w << "x" << h;
        EXPECT_TRUE(sameImage(back, image)) << w << "x" << h;
    }
}

TEST(PngEncoder, OtherFormatsAreWrittenAsTheirColours) {
    QImage image(5, 4, QImage::Format_Indexed8);
    image.setColorTable({qRgb(255, 0, 0), qRgb(0, 0, 255)});
    image.fill(1);
    std::string png;
    ASSERT_TRUE(encodePng(image, png));
    QImage back;
    ASSERT_TRUE(back.loadFromData(reinterpret_cast<const uchar*>(png.data()),
                                  static_cast<int>(png.size()), "PNG"));
    EXPECT_EQ(back.pixel(4, 3), qRgb(0, 0, 255));
    EXPECT_FALSE(encodePng(QImage(), png));
}

} // namespace

} // namespace vantry
