#include "document/picturefile.h"

#include "bitmap/bitmapdecode.h"
#include "bitmap/packedbitmap.h"

#include <QFile>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <array>
#include <cctype>
#include <new>
#include <vector>

namespace {

std::string quoted(const std::string& name) {
    return "\"" + name + "\"";
}

bool refuse(std::string& why, std::string text) {
    why = std::move(text);
    return false;
}

bool hasBitmapExtension(const std::string& path) {
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

bool readBitmap(std::istream& file, const std::string& path, BackgroundImage& image,
                std::string& why) {
    const PackedBitmap packed = ReadBitmapFile(file, path, &why);
    if (packed.isNull() || !DecodeBitmap(packed, image.pixels, &why))
        return false;
    image.width = BitmapWidth(packed);
    image.height = BitmapHeight(packed);
    return true;
}

// JPEG and GIF decoders hand back whatever part of a cut-short file they reached, filled out
// with grey or nothing, and call it a picture. Such a file lacks the end mark its format writes
// last (the end-of-image marker FF D9, the trailer 3B); padding after the mark is allowed.
bool endsWithItsMark(const QByteArray& format, QFile& file) {
    const char* mark = nullptr;
    if (format == "jpeg" || format == "jpg")
        mark = "\xFF\xD9";
    else if (format == "gif")
        mark = "\x3B";
    else
        return true;
    const qint64 tail = std::min<qint64>(file.size(), 4096);
    if (!file.seek(file.size() - tail))
        return false;
    QByteArray end = file.read(tail);
    while (!end.isEmpty() &&
           (end.back() == '\0' || end.back() == '\n' || end.back() == '\r' || end.back() == ' '))
        end.chop(1);
    return end.endsWith(mark);
}

std::uint32_t pngCrc(std::uint32_t crc, const char* bytes, qint64 n) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    for (qint64 i = 0; i < n; ++i)
        crc = table[(crc ^ static_cast<unsigned char>(bytes[i])) & 0xFFu] ^ (crc >> 8);
    return crc;
}

std::uint32_t bigEndian32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return std::uint32_t{u[0]} << 24 | std::uint32_t{u[1]} << 16 | std::uint32_t{u[2]} << 8 | u[3];
}

// libpng tells of a damaged file on standard error, past the toolkit, so a PNG file is walked
// chunk by chunk before it is decoded: every chunk must lie inside the file and pass its check
// sum, up to the end chunk. Returns false with the reason in `why`.
bool pngIsWhole(QFile& file, const std::string& path, std::string& why) {
    const std::string cut =
        "The picture " + quoted(path) + " is cut short: the file ends before the picture does.";
    // The decoder carries on from where the file stands now.
    const qint64 resume = file.pos();
    if (!file.seek(8))
        return refuse(why, cut);
    std::vector<char> block(1 << 16);
    for (;;) {
        char head[8];
        if (file.read(head, 8) != 8)
            return refuse(why, cut);
        const std::uint32_t length = bigEndian32(head);
        const std::string type(head + 4, 4);
        if (length > 0x7FFFFFFFu)
            return refuse(why, "The picture " + quoted(path) + " is damaged: a chunk declares " +
                                   std::to_string(length) + " bytes.");
        std::uint32_t crc = pngCrc(0xFFFFFFFFu, head + 4, 4);
        for (qint64 left = length; left > 0;) {
            const qint64 n = std::min<qint64>(left, static_cast<qint64>(block.size()));
            if (file.read(block.data(), n) != n)
                return refuse(why, cut);
            crc = pngCrc(crc, block.data(), n);
            left -= n;
        }
        char stored[4];
        if (file.read(stored, 4) != 4)
            return refuse(why, cut);
        if ((crc ^ 0xFFFFFFFFu) != bigEndian32(stored))
            return refuse(why, "The picture " + quoted(path) + " is damaged: its " + type +
                                   " chunk fails its check sum.");
        if (type == "IEND")
            return file.seek(resume) ||
                   refuse(why, "The file " + quoted(path) + " could not be read.");
    }
}

// Copies a decoded picture into the background's opaque 0xFFRRGGBB pixels, top row first.
bool takePixels(QImage picture, const std::string& path, BackgroundImage& image, std::string& why) {
    const bool alpha = picture.hasAlphaChannel();
    const QImage::Format format = alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    picture.convertTo(format);
    const std::int32_t w = picture.width(), h = picture.height();
    const std::string size = std::to_string(w) + " x " + std::to_string(h) + " pixels";
    if (picture.isNull() || picture.format() != format)
        return refuse(why, "There is not enough memory to show the picture " + quoted(path) + " (" +
                               size + ").");
    try {
        image.pixels.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    } catch (const std::bad_alloc&) {
        return refuse(why, "There is not enough memory to show the picture " + quoted(path) + " (" +
                               size + ").");
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

// True, with the reason in `why`, for a picture beyond the limits of bitmaps.
bool tooLarge(QSize size, const std::string& path, std::string& why) {
    const std::uint64_t w = static_cast<std::uint64_t>(std::max(size.width(), 0));
    const std::uint64_t h = static_cast<std::uint64_t>(std::max(size.height(), 0));
    const std::string dims = std::to_string(w) + " x " + std::to_string(h);
    if (w > static_cast<std::uint64_t>(kMaxBitmapSide) ||
        h > static_cast<std::uint64_t>(kMaxBitmapSide))
        return !refuse(why, "The picture " + quoted(path) + " is too large: " + dims +
                                " pixels, at most " + std::to_string(kMaxBitmapSide) + " x " +
                                std::to_string(kMaxBitmapSide) + " are shown.");
    if (w * h > kMaxBitmapPixels)
        return !refuse(why, "The picture " + quoted(path) + " is too large: " + dims + " are " +
                                std::to_string(w * h) + " pixels, at most " +
                                std::to_string(kMaxBitmapPixels) + " (" +
                                std::to_string(kMaxBitmapPixels >> 20) + " megapixels) are shown.");
    return false;
}

bool readWithToolkit(const std::string& path, BackgroundImage& image, std::string& why) {
    // The pixel limit below is what bounds a picture; the toolkit's own allocation limit only
    // has to let such a picture through, even at 64 bits a pixel while it is decoded.
    QImageReader::setAllocationLimit(static_cast<int>((kMaxBitmapPixels * 8) >> 20));
    QFile file(QString::fromUtf8(path));
    if (!file.open(QIODevice::ReadOnly))
        return refuse(why, "The file " + quoted(path) + " could not be read.");
    if (static_cast<std::uint64_t>(file.size()) > kMaxBitmapFileBytes)
        return refuse(why, "The picture " + quoted(path) + " is too large: the file holds " +
                               std::to_string(file.size()) + " bytes, at most 1 GiB are read.");
    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    if (format.isEmpty())
        return refuse(why, "The file " + quoted(path) +
                               " is not a picture: it is neither a bitmap nor a PNG, JPEG, TIFF, "
                               "GIF or WebP picture.");
    if (format == "png" && !pngIsWhole(file, path, why))
        return false;
    // Most readers know the size from the header; the rest are checked once they have read.
    const QSize size = reader.size();
    if (size.isValid() && tooLarge(size, path, why))
        return false;
    QImage picture = reader.read();
    if (picture.isNull())
        return refuse(why, "The picture " + quoted(path) + " is damaged or cut short: " +
                               reader.errorString().toStdString() + ".");
    if (tooLarge(picture.size(), path, why))
        return false;
    if (!endsWithItsMark(format, file))
        return refuse(why, "The picture " + quoted(path) +
                               " is cut short: the file ends before the picture does.");
    return takePixels(std::move(picture), path, image, why);
}

} // namespace

bool ReadPictureFile(std::istream& file, const std::string& path, BackgroundImage& image,
                     std::string& why) {
    image = BackgroundImage{};
    const bool read = hasBitmapExtension(path) || startsWithBM(file)
                          ? readBitmap(file, path, image, why)
                          : readWithToolkit(path, image, why);
    if (!read)
        image = BackgroundImage{};
    return read;
}
