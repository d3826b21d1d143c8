// The PNG chunk walker (pngIsWhole) and the picture reader behind it on arbitrary bytes. The
// walker never reads past the data and answers alike every time; a file it refuses, the reader
// refuses with the walker's reason; a file it calls whole the reader either shows at the size the
// header declares or refuses in one line naming the file, the decoder never having run out of
// data. Each input is tried as it is and again with every chunk's check sum made right, so that
// mutations get past the check sums into the header and the compressed data.

#include "document/picturefile.h"
#include "document/pictureintegrity.h"
#include "fuzzcheck.h"

#include <QBuffer>
#include <QByteArray>

#include <unistd.h>
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

using namespace vantry;

namespace {

const std::string kPath = "/tmp/png_chunks_fuzzer." + std::to_string(getpid()) + ".png";

constexpr char kSignature[] = "\x89PNG\r\n\x1a\n";

// Pictures up to this many pixels are decoded, which every kind of header reaches; larger ones
// are walked only, as decoding them takes most of a second each.
constexpr std::uint64_t kMaxDecodedPixels = std::uint64_t{1} << 20;

// Every chunk that lies wholly inside the bytes gets the check sum of its type and data.
std::string withCheckSumsRight(std::string bytes) {
    for (std::size_t at = 8; at + 12 <= bytes.size();) {
        const std::uint64_t length = bigEndian32(bytes.data() + at);
        if (length > bytes.size() - at - 12)
            break;
        const auto* typeAndData = reinterpret_cast<const Bytef*>(bytes.data() + at + 4);
        const auto crc =
            static_cast<std::uint32_t>(crc32(0, typeAndData, static_cast<uInt>(length + 4)));
        char* stored = bytes.data() + at + 8 + length;
        for (int i = 0; i < 4; ++i)
            stored[i] = static_cast<char>(crc >> (24 - 8 * i));
        at += 12 + length;
    }
    return bytes;
}

bool walk(const std::string& bytes, const std::string& path, std::string& why) {
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    FUZZ_CHECK(buffer.open(QIODevice::ReadOnly));
    // The walker must leave the file where the toolkit's reader left it.
    const qint64 start = bytes.size() / 2;
    FUZZ_CHECK(buffer.seek(start));
    why.clear();
    const bool whole = pngIsWhole(buffer, path, why);
    if (whole)
        FUZZ_CHECK(buffer.pos() == start && why.empty());
    else
        FUZZ_CHECK(why.find("\"" + path + "\"") != std::string::npos &&
                   why.find('\n') == std::string::npos);
    return whole;
}

void check(const std::string& bytes, const std::string& path) {
    std::string why, again;
    const bool whole = walk(bytes, path, why);
    FUZZ_CHECK(walk(bytes, path, again) == whole && again == why);
    if (bytes.compare(0, 8, kSignature, 8) != 0)
        return;
    const std::uint64_t pixels =
        whole ? std::uint64_t{bigEndian32(bytes.data() + 16)} * bigEndian32(bytes.data() + 20) : 0;
    if (pixels > kMaxDecodedPixels)
        return;

    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        FUZZ_CHECK(out.good());
    }
    std::ifstream file(path, std::ios::binary);
    BackgroundImage image;
    std::string said;
    const bool read = ReadPictureFile(file, path, image, said);
    if (!whole) {
        FUZZ_CHECK(!read && said == why);
        return;
    }
    if (read) {
        FUZZ_CHECK(static_cast<std::uint64_t>(image.width) * image.height == pixels);
        FUZZ_CHECK(image.width == static_cast<std::int32_t>(bigEndian32(bytes.data() + 16)));
        FUZZ_CHECK(image.pixels.size() == pixels);
        return;
    }
    FUZZ_CHECK(!image.loaded() && said.find("\"" + path + "\"") != std::string::npos &&
               said.find('\n') == std::string::npos);
    // libpng's words for data that ends before the rows do, which the walker exists to rule out.
    FUZZ_CHECK(said.find("Read Error") == std::string::npos);
    FUZZ_CHECK(said.find("Not enough image data") == std::string::npos);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool removedAtExit = std::atexit([] { std::remove(kPath.c_str()); }) == 0;
    FUZZ_CHECK(removedAtExit);
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    check(bytes, kPath);
    if (const std::string mended = withCheckSumsRight(bytes); mended != bytes)
        check(mended, kPath);
    return 0;
}
