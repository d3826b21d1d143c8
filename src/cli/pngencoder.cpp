#include "cli/pngencoder.h"

#include "base/parallelbands.h"

#include <QImage>

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <vector>

namespace vantry {

namespace {

void put32(std::string& out, std::uint32_t v) {
    out.push_back(static_cast<char>(v >> 24));
    out.push_back(static_cast<char>(v >> 16));
    out.push_back(static_cast<char>(v >> 8));
    out.push_back(static_cast<char>(v));
}

void chunk(std::string& out, const char* type, const std::string& data) {
    put32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.append(type, 4);
    out += data;
    const auto* bytes = reinterpret_cast<const Bytef*>(out.data() + start);
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32_z(crc, bytes, out.size() - start);
    put32(out, static_cast<std::uint32_t>(crc));
}

// Row y as PNG stores it: a filter byte (1: each byte less the one three to its left) and the
// row's red, green and blue bytes.
void filterRow(const QImage& image, int y, unsigned char* row) {
    const int width = image.width();
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    row[0] = 1;
    unsigned char left[3] = {0, 0, 0};
    for (int x = 0; x < width; ++x) {
        const unsigned char rgb[3] = {static_cast<unsigned char>(qRed(line[x])),
                                      static_cast<unsigned char>(qGreen(line[x])),
                                      static_cast<unsigned char>(qBlue(line[x]))};
        for (int c = 0; c < 3; ++c) {
            row[1 + 3 * x + c] = static_cast<unsigned char>(rgb[c] - left[c]);
            left[c] = rgb[c];
        }
    }
}

// One part of the picture's rows as raw deflate, filtered a few rows at a time so that no copy
// of the whole picture is made; every part but the last ends on a byte boundary with an empty
// stored block, so that the parts join into one stream. `adler` receives the checksum of the
// filtered rows and `length` their size, to combine.
bool deflateRows(const QImage& image, int first, int last, bool final, std::string& out,
                 uLong& adler, std::size_t& length) {
    z_stream z{};
    if (deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    const std::size_t rowBytes = 1 + 3 * static_cast<std::size_t>(image.width());
    constexpr std::size_t kBatchBytes = 256 * 1024;
    const int batchRows = static_cast<int>(std::max<std::size_t>(1, kBatchBytes / rowBytes));
    std::vector<unsigned char> rows(rowBytes * static_cast<std::size_t>(batchRows));
    std::vector<unsigned char> buffer(kBatchBytes);
    adler = adler32(0L, Z_NULL, 0);
    length = 0;
    bool ok = true;
    for (int y = first; ok && (y < last || y == first); y += batchRows) {
        const int end = std::min(last, y + batchRows);
        for (int r = y; r < end; ++r)
            filterRow(image, r, rows.data() + rowBytes * static_cast<std::size_t>(r - y));
        const std::size_t size = rowBytes * static_cast<std::size_t>(end - y);
        adler = adler32_z(adler, rows.data(), size);
        length += size;
        const bool lastBatch = end >= last;
        const int flush = !lastBatch ? Z_NO_FLUSH : final ? Z_FINISH : Z_FULL_FLUSH;
        z.next_in = rows.data();
        z.avail_in = static_cast<uInt>(size);
        int result;
        do {
            z.next_out = buffer.data();
            z.avail_out = static_cast<uInt>(buffer.size());
            result = deflate(&z, flush);
            if (result == Z_STREAM_ERROR) {
                ok = false;
                break;
            }
            out.append(reinterpret_cast<const char*>(buffer.data()), buffer.size() - z.avail_out);
        } while (z.avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END));
        if (lastBatch)
            break;
    }
    deflateEnd(&z);
    return ok;
}

} // namespace

bool encodePng(const QImage& source, std::string& png) {
    const QImage image = source.format() == QImage::Format_RGB32
                             ? source
                             : source.convertToFormat(QImage::Format_RGB32);
    if (image.isNull() || image.width() <= 0 || image.height() <= 0)
        return false;
    const int height = image.height();
    const std::size_t rowBytes = 1 + 3 * static_cast<std::size_t>(image.width());
    // A row must fit zlib's 32-bit counts many times over.
    if (rowBytes > (std::size_t{1} << 28))
        return false;
    const int parts = std::min(2, height);
    std::vector<std::string> packed(static_cast<std::size_t>(parts));
    std::vector<uLong> sums(static_cast<std::size_t>(parts), 0);
    std::vector<std::size_t> lengths(static_cast<std::size_t>(parts), 0);
    std::vector<char> ok(static_cast<std::size_t>(parts), 0);
    try {
        forEachBand(height, parts, [&](int part, int first, int last) {
            const auto i = static_cast<std::size_t>(part);
            ok[i] =
                deflateRows(image, first, last, part == parts - 1, packed[i], sums[i], lengths[i]);
        });
    } catch (const std::exception&) {
        // Out of memory.
        return false;
    }
    if (std::find(ok.begin(), ok.end(), 0) != ok.end())
        return false;

    uLong adler = adler32(0L, Z_NULL, 0);
    for (std::size_t i = 0; i < sums.size(); ++i)
        adler = adler32_combine(adler, sums[i], static_cast<z_off_t>(lengths[i]));

    std::string header;
    put32(header, static_cast<std::uint32_t>(image.width()));
    put32(header, static_cast<std::uint32_t>(height));
    header += std::string("\x08\x02\x00\x00\x00", 5); // 8 bits, RGB, deflate, filters, no interlace

    // A zlib stream: header (deflate, 32 KB window, fastest), the parts, and the checksum.
    std::string data("\x78\x01", 2);
    for (const std::string& p : packed)
        data += p;
    put32(data, static_cast<std::uint32_t>(adler));

    png.assign("\x89PNG\r\n\x1a\n", 8);
    chunk(png, "IHDR", header);
    // A chunk holds less than 2 GB; the stream may run on over several.
    constexpr std::size_t kChunkBytes = std::size_t{1} << 30;
    for (std::size_t at = 0; at < data.size(); at += kChunkBytes)
        chunk(png, "IDAT", data.substr(at, kChunkBytes));
    chunk(png, "IEND", std::string());
    return true;
}

} // namespace vantry
