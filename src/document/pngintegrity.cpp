#include "document/pictureintegrity.h"

#include "document/picturemessages.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace vantry {

namespace {

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

// The rows a PNG picture's compressed data holds once inflated, filter byte included, as its
// header describes them; 0 for a header no decoder accepts.
std::uint64_t pngRawBytes(const char* ihdr, std::string& reason) {
    const std::uint64_t w = bigEndian32(ihdr), h = bigEndian32(ihdr + 4);
    const int depth = static_cast<unsigned char>(ihdr[8]);
    const int colour = static_cast<unsigned char>(ihdr[9]);
    const int interlace = static_cast<unsigned char>(ihdr[12]);
    int channels = 0;
    bool depthFits = false;
    switch (colour) {
    case 0:
        channels = 1;
        depthFits = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
        break;
    case 3:
        channels = 1;
        depthFits = depth == 1 || depth == 2 || depth == 4 || depth == 8;
        break;
    case 2:
    case 4:
    case 6:
        channels = colour == 2 ? 3 : colour == 4 ? 2 : 4;
        depthFits = depth == 8 || depth == 16;
        break;
    default:
        reason = "its colour type " + std::to_string(colour) + " is unknown";
        return 0;
    }
    if (!depthFits) {
        reason = "its depth of " + std::to_string(depth) + " bits does not suit its colour type";
        return 0;
    }
    if (w == 0 || h == 0 || w > 0x7FFFFFFFu || h > 0x7FFFFFFFu) {
        reason = "its header gives it a size of " + std::to_string(w) + " x " + std::to_string(h);
        return 0;
    }
    if (ihdr[10] != 0 || ihdr[11] != 0 || interlace > 1) {
        reason = "its header names a compression, filter or interlace method that does not exist";
        return 0;
    }
    const std::uint64_t bits = static_cast<std::uint64_t>(depth) * channels;
    const auto rows = [bits](std::uint64_t cols, std::uint64_t lines) {
        return cols == 0 || lines == 0 ? 0 : lines * (1 + (cols * bits + 7) / 8);
    };
    if (interlace == 0)
        return rows(w, h);
    // The seven passes of Adam7, each a smaller picture of its own.
    static constexpr int start[7][2] = {{0, 0}, {4, 0}, {0, 4}, {2, 0}, {0, 2}, {1, 0}, {0, 1}};
    static constexpr int step[7][2] = {{8, 8}, {8, 8}, {4, 8}, {4, 4}, {2, 4}, {2, 2}, {1, 2}};
    std::uint64_t total = 0;
    for (int pass = 0; pass < 7; ++pass) {
        const auto count = [](std::uint64_t n, int first, int every) {
            return n > static_cast<std::uint64_t>(first) ? (n - first + every - 1) / every : 0;
        };
        total +=
            rows(count(w, start[pass][0], step[pass][0]), count(h, start[pass][1], step[pass][1]));
    }
    return total;
}

// A chunk's type as a message can show it: the four letters, or for damaged bytes their codes.
std::string chunkName(const std::string& type) {
    const bool letters = std::all_of(type.begin(), type.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    });
    if (letters)
        return type;
    std::string codes;
    for (const char c : type)
        codes += (codes.empty() ? "" : " ") + std::to_string(static_cast<unsigned char>(c));
    return "(" + codes + ")";
}

} // namespace

bool pngIsWhole(QIODevice& file, const std::string& path, std::string& why) {
    const std::string cut = pictureCutShort(path);
    // The decoder carries on from where the file stands now.
    const qint64 resume = file.pos();
    if (!file.seek(8))
        return refusePicture(why, cut);
    std::vector<char> block(1 << 16), inflated(1 << 16);
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return refusePicture(why, "There is not enough memory to read the picture " +
                                      quotedPicture(path) + ".");
    struct EndInflate {
        z_stream& z;
        ~EndInflate() { inflateEnd(&z); }
    } endInflate{z};
    std::uint64_t expected = 0, produced = 0;
    bool header = false, streamEnded = false;
    std::string fault;
    for (;;) {
        char head[8];
        if (file.read(head, 8) != 8)
            return refusePicture(why, cut);
        const std::uint32_t length = bigEndian32(head);
        const std::string type(head + 4, 4);
        if (length > 0x7FFFFFFFu)
            return refusePicture(
                why, pictureDamaged(path, "a chunk declares " + std::to_string(length) + " bytes"));
        if (!header && type != "IHDR")
            return refusePicture(why,
                                 pictureDamaged(path, "it does not start with its header chunk"));
        const bool data = type == "IDAT";
        if (data && !header)
            return refusePicture(why,
                                 pictureDamaged(path, "its pixel data comes before its header"));
        std::uint32_t crc = pngCrc(0xFFFFFFFFu, head + 4, 4);
        std::string first;
        for (qint64 left = length; left > 0;) {
            const qint64 n = std::min<qint64>(left, static_cast<qint64>(block.size()));
            if (file.read(block.data(), n) != n)
                return refusePicture(why, cut);
            crc = pngCrc(crc, block.data(), n);
            if (first.size() < 13)
                first.append(block.data(), static_cast<std::size_t>(std::min<qint64>(n, 13)));
            left -= n;
            if (!data || streamEnded)
                continue;
            z.next_in = reinterpret_cast<Bytef*>(block.data());
            z.avail_in = static_cast<uInt>(n);
            while (z.avail_in > 0 && !streamEnded) {
                z.next_out = reinterpret_cast<Bytef*>(inflated.data());
                z.avail_out = static_cast<uInt>(inflated.size());
                const int status = inflate(&z, Z_NO_FLUSH);
                if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
                    // Told once the chunk's check sum has had its say.
                    fault = std::string("its pixel data cannot be inflated (") +
                            (z.msg ? z.msg : "zlib error") + ")";
                    streamEnded = true;
                    break;
                }
                produced += inflated.size() - z.avail_out;
                streamEnded = status == Z_STREAM_END;
                if (status == Z_BUF_ERROR)
                    break;
            }
        }
        char stored[4];
        if (file.read(stored, 4) != 4)
            return refusePicture(why, cut);
        if ((crc ^ 0xFFFFFFFFu) != bigEndian32(stored))
            return refusePicture(
                why, pictureDamaged(path, "its " + chunkName(type) + " chunk fails its check sum"));
        if (!fault.empty())
            return refusePicture(why, pictureDamaged(path, fault));
        if (type == "IHDR") {
            if (header || length != 13)
                return refusePicture(
                    why, pictureDamaged(path, "its header chunk is not as PNG defines it"));
            std::string reason;
            expected = pngRawBytes(first.data(), reason);
            if (expected == 0)
                return refusePicture(why, pictureDamaged(path, reason));
            // A picture too large to show is refused before its data is inflated.
            if (pictureTooLarge(QSize(static_cast<int>(bigEndian32(first.data())),
                                      static_cast<int>(bigEndian32(first.data() + 4))),
                                path, why))
                return false;
            header = true;
        }
        if (type == "IEND")
            break;
    }
    if (produced < expected)
        return refusePicture(why, cut);
    return file.seek(resume) || refusePicture(why, pictureUnreadable(path));
}

} // namespace vantry
