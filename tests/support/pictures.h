#pragma once

#include <QImage>

#include <cstdint>
#include <string>

namespace vantry {

// A picture whose every pixel differs from its neighbours, so that a shift or a stretch by one
// pixel shows.
inline QImage patternPicture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y,
                           qRgb((x * 7 + y) % 256, (y * 13 + x * 3) % 256, (x + y * 5) % 256));
    return image;
}

// Four quarters of one colour each, on a grid that JPEG compresses without smearing one quarter
// into the next: every side a multiple of 16 pixels.
inline QImage quarteredPicture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    const QRgb colours[4] = {qRgb(200, 40, 40), qRgb(40, 160, 40), qRgb(40, 40, 200),
                             qRgb(120, 120, 30)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, colours[(y < height / 2 ? 0 : 2) + (x < width / 2 ? 0 : 1)]);
    return image;
}

// A PNG file whose header declares a picture of the given size and whose pixel data is empty,
// so that anything that goes past the header fails.
inline std::string pngDeclaring(std::uint32_t width, std::uint32_t height) {
    auto crc = [](const std::string& bytes) {
        std::uint32_t c = 0xFFFFFFFFu;
        for (unsigned char b : bytes) {
            c ^= b;
            for (int k = 0; k < 8; ++k)
                c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
        }
        return c ^ 0xFFFFFFFFu;
    };
    auto be32 = [](std::uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                           static_cast<char>(v >> 8), static_cast<char>(v)};
    };
    auto chunk = [&](const std::string& typeAndData) {
        return be32(static_cast<std::uint32_t>(typeAndData.size() - 4)) + typeAndData +
               be32(crc(typeAndData));
    };
    return std::string("\x89PNG\r\n\x1a\n", 8) +
           chunk("IHDR" + be32(width) + be32(height) + std::string("\x08\x02\0\0\0", 5)) +
           chunk("IDAT") + chunk("IEND");
}

} // namespace vantry
