#include "cli/pngencoder.h"

#include <QImage>

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <thread>
#include <vector>

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

// Rows from first to last, each a filter byte (1: each byte less the one three to its left)
// and the row's red, green and blue bytes.
std::string filteredRows(const QImage& image, int first, int last) {
    const int width = image.width();
    const std::size_t rowBytes = 1 + 3 * static_cast<std::size_t>(width);
    std::string rows(rowBytes * static_cast<std::size_t>(last - first), '\0');
    auto* out = reinterpret_cast<unsigned char*>(rows.data());
    for (int y = first; y < last; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        unsigned char* row = out + rowBytes * static_cast<std::size_t>(y - first);
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
    return rows;
}

// Raw deflate of one part of the stream; every part but the last ends on a byte boundary with
// an empty stored block, so that the parts join into one stream.
bool deflatePart(const std::string& in, bool last, std::string& out) {
    z_stream z{};
    if (deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, -15, 8, Z_RLE) != Z_OK)
        return false;
    out.resize(deflateBound(&z, static_cast<uLong>(in.size())) + 16);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&z, last ? Z_FINISH : Z_FULL_FLUSH);
    const bool ok = last ? result == Z_STREAM_END : result == Z_OK && z.avail_in == 0;
    out.resize(z.total_out);
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
    // zlib counts its input in 32-bit numbers; each part stays well below that.
    const std::size_t rowBytes = 1 + 3 * static_cast<std::size_t>(image.width());
    if (rowBytes > (1u << 30))
        return false;
    const int rowsPerPart = static_cast<int>(std::max<std::size_t>(1, (1u << 30) / rowBytes));
    const int parts = std::max(std::min(2, height), (height + rowsPerPart - 1) / rowsPerPart);

    std::vector<std::string> raw(static_cast<std::size_t>(parts));
    std::vector<std::string> packed(static_cast<std::size_t>(parts));
    std::vector<char> ok(static_cast<std::size_t>(parts), 0);
    auto work = [&](int part) {
        try {
            const int first = static_cast<int>(static_cast<long long>(height) * part / parts);
            const int last = static_cast<int>(static_cast<long long>(height) * (part + 1) / parts);
            const auto i = static_cast<std::size_t>(part);
            raw[i] = filteredRows(image, first, last);
            ok[i] = deflatePart(raw[i], part == parts - 1, packed[i]);
        } catch (const std::exception&) {
            // Out of memory: ok stays false.
        }
    };
    std::vector<std::thread> threads;
    for (int part = 1; part < parts; ++part) {
        try {
            threads.emplace_back(work, part);
        } catch (const std::exception&) {
            work(part);
        }
    }
    work(0);
    for (std::thread& t : threads)
        t.join();
    if (std::find(ok.begin(), ok.end(), 0) != ok.end())
        return false;

    uLong adler = adler32(0L, Z_NULL, 0);
    for (const std::string& r : raw)
        adler = adler32_combine(adler,
                                adler32_z(1L, reinterpret_cast<const Bytef*>(r.data()), r.size()),
                                static_cast<z_off_t>(r.size()));

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
