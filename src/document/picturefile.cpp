#include "document/picturefile.h"

#include "document/decodermessages.h"
#include "document/pictureintegrity.h"
#include "document/picturemessages.h"
#include "picture/bitmapdecode.h"
#include "picture/packedbitmap.h"

#include <QFile>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <cctype>
#include <new>

namespace vantry {

namespace {

bool hasBmpExtension(const std::string& path) {
    if (path.size() < 4)
        return false;
    std::string ext = path.substr(path.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".bmp";
}

bool startsWithBM(std::istream& file) {
    char magic[2] = {};
    file.clear();
    file.seekg(0);
    file.read(magic, 2);
    const bool bm = file.gcount() == 2 && magic[0] == 'B' && magic[1] == 'M';
    file.clear();
    file.seekg(0);
    return bm;
}

bool readBmpFile(std::istream& file, const std::string& path, BackgroundImage& image,
                 std::string& why) {
    const PackedBitmap packed = ReadBitmapFile(file, path, &why);
    if (packed.isNull() || !DecodeBitmap(packed, image.pixels, &why))
        return false;
    image.width = BitmapWidth(packed);
    image.height = BitmapHeight(packed);
    return true;
}

// Copies a decoded picture into the background's opaque 0xFFRRGGBB pixels, top row first.
bool takePixels(QImage picture, const std::string& path, BackgroundImage& image, std::string& why) {
    const bool alpha = picture.hasAlphaChannel();
    const QImage::Format format = alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    const QSize size = picture.size();
    const std::int32_t w = size.width(), h = size.height();
    picture.convertTo(format);
    if (picture.isNull() || picture.format() != format)
        return refusePicture(why, pictureOutOfMemory(path, size));
    try {
        image.pixels.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    } catch (const std::bad_alloc&) {
        return refusePicture(why, pictureOutOfMemory(path, size));
    }
    for (std::int32_t y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(picture.constScanLine(y));
        std::uint32_t* out = image.pixels.data() + static_cast<std::size_t>(y) * w;
        for (std::int32_t x = 0; x < w; ++x) {
            const std::uint32_t p = row[x];
            const std::uint32_t a = alpha ? p >> 24 : 255;
            if (a == 255) {
                out[x] = p | 0xFF000000u;
                continue;
            }
            // Over white paper, rounded to the nearest level.
            auto channel = [a](std::uint32_t c) { return (c * a + 255 * (255 - a) + 127) / 255; };
            out[x] = 0xFF000000u | channel((p >> 16) & 0xFF) << 16 | channel((p >> 8) & 0xFF) << 8 |
                     channel(p & 0xFF);
        }
    }
    image.width = w;
    image.height = h;
    return true;
}

bool readWithToolkit(const std::string& path, BackgroundImage& image, std::string& why) {
    // The pixel limit below is what bounds a picture; the toolkit's own allocation limit only
    // has to let such a picture through, even at 64 bits a pixel while it is decoded.
    QImageReader::setAllocationLimit(static_cast<int>((kMaxPicturePixels * 8) >> 20));
    QFile file(QString::fromUtf8(path));
    if (!file.open(QIODevice::ReadOnly))
        return refusePicture(why, pictureUnreadable(path));
    if (static_cast<std::uint64_t>(file.size()) > kMaxPictureFileBytes)
        return refusePicture(
            why, "The picture " + quotedPicture(path) + " is too large: the file holds " +
                     std::to_string(file.size()) + " bytes, at most 1 GiB are read.");
    DecoderMessages messages;
    const CollectDecoderMessages collect(messages);
    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    if (format.isEmpty())
        return refusePicture(why,
                             "The file " + quotedPicture(path) +
                                 " is not a picture: it is neither a bitmap nor a PNG, JPEG, TIFF, "
                                 "GIF or WebP picture.");
    // libpng prints what it finds wrong, even in the header the size comes from, straight to
    // standard error: a PNG file is walked whole before libpng sees any of it.
    if (format == "png" && !pngIsWhole(file, path, why))
        return false;
    // Most readers know the size from the header; the rest are checked once they have read.
    const QSize size = reader.size();
    if (size.isValid() && pictureTooLarge(size, path, why))
        return false;
    // Before the decoder takes memory for the declared size, the data must be there to fill it.
    if (!endsWithItsMark(format, file))
        return refusePicture(why, pictureCutShort(path));
    if ((format == "gif" && !gifIsWhole(file, path, why)) ||
        ((format == "jpeg" || format == "jpg") && !jpegHoldsItsBlocks(file, path, why)))
        return false;
    QImage picture = reader.read();
    if (picture.isNull()) {
        // Decoders fail alike whether the data or the memory gave out; a picture of the declared
        // size that cannot be made now tells which.
        if (messages.outOfMemory ||
            (size.isValid() && QImage(size, QImage::Format_ARGB32).isNull()))
            return refusePicture(why, pictureOutOfMemory(path, size));
        return refusePicture(
            why, "The picture " + quotedPicture(path) +
                     " is damaged or cut short: " + reader.errorString().toStdString() + ".");
    }
    if (pictureTooLarge(picture.size(), path, why))
        return false;
    // Decoders that meet the end of the data, or data that makes no sense, say so and hand back
    // what they have, the rest filled out with grey or nothing.
    if (!messages.warnings.empty())
        return refusePicture(why, "The picture " + quotedPicture(path) +
                                      " is damaged or cut short: " + messages.warnings.front() +
                                      ".");
    return takePixels(std::move(picture), path, image, why);
}

} // namespace

bool ReadPictureFile(std::istream& file, const std::string& path, BackgroundImage& image,
                     std::string& why) {
    image = BackgroundImage{};
    const bool read = hasBmpExtension(path) || startsWithBM(file)
                          ? readBmpFile(file, path, image, why)
                          : readWithToolkit(path, image, why);
    if (!read)
        image = BackgroundImage{};
    return read;
}

} // namespace vantry
