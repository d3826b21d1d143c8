#include "document/picturefile.h"

#include "base/files.h"
#include "bitmap/bitmapdecode.h"
#include "bitmap/packedbitmap.h"

#include <QFile>
#include <QImage>
#include <QImageReader>

#include <tiffio.h>
#include <zlib.h>

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <list>
#include <mutex>
#include <new>
#include <system_error>
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
    // The decoder carries on from where the file stands now.
    const qint64 resume = file.pos();
    if (!file.seek(file.size() - tail))
        return false;
    QByteArray end = file.read(tail);
    if (!file.seek(resume))
        return false;
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

std::uint32_t bigEndian16(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return std::uint32_t{u[0]} << 8 | u[1];
}

std::string cutShort(const std::string& path) {
    return "The picture " + quoted(path) + " is cut short: the file ends before the picture does.";
}

std::string damaged(const std::string& path, const std::string& reason) {
    return "The picture " + quoted(path) + " is damaged: " + reason + ".";
}

// The bytes of a file read in blocks, one at a time, from where the file stands.
class ByteStream {
public:
    explicit ByteStream(QFile& file) : file_(file), block_(1 << 16) {}
    // The next byte, or -1 at the end of the file.
    int get() {
        if (at_ == filled_) {
            const qint64 n = file_.read(block_.data(), static_cast<qint64>(block_.size()));
            if (n <= 0)
                return -1;
            filled_ = static_cast<std::size_t>(n);
            at_ = 0;
        }
        return static_cast<unsigned char>(block_[at_++]);
    }
    bool skip(std::uint64_t n) {
        for (; n > 0; --n)
            if (get() < 0)
                return false;
        return true;
    }

private:
    QFile& file_;
    std::vector<char> block_;
    std::size_t at_ = 0, filled_ = 0;
};

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

// libpng tells of a damaged file on standard error, past the toolkit, and a decoder given a
// header alone takes memory for the whole picture, so a PNG file is walked chunk by chunk before
// it is decoded: every chunk must lie inside the file and pass its check sum, up to the end chunk,
// and the compressed data must inflate, without a fault, to every row the header declares. Only
// a count of the inflated bytes is kept. Returns false with the reason in `why`.
bool tooLarge(QSize size, const std::string& path, std::string& why);

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

bool pngIsWhole(QFile& file, const std::string& path, std::string& why) {
    const std::string cut = cutShort(path);
    // The decoder carries on from where the file stands now.
    const qint64 resume = file.pos();
    if (!file.seek(8))
        return refuse(why, cut);
    std::vector<char> block(1 << 16), inflated(1 << 16);
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return refuse(why, "There is not enough memory to read the picture " + quoted(path) + ".");
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
            return refuse(why, cut);
        const std::uint32_t length = bigEndian32(head);
        const std::string type(head + 4, 4);
        if (length > 0x7FFFFFFFu)
            return refuse(why,
                          damaged(path, "a chunk declares " + std::to_string(length) + " bytes"));
        if (!header && type != "IHDR")
            return refuse(why, damaged(path, "it does not start with its header chunk"));
        const bool data = type == "IDAT";
        if (data && !header)
            return refuse(why, damaged(path, "its pixel data comes before its header"));
        std::uint32_t crc = pngCrc(0xFFFFFFFFu, head + 4, 4);
        std::string first;
        for (qint64 left = length; left > 0;) {
            const qint64 n = std::min<qint64>(left, static_cast<qint64>(block.size()));
            if (file.read(block.data(), n) != n)
                return refuse(why, cut);
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
            return refuse(why, cut);
        if ((crc ^ 0xFFFFFFFFu) != bigEndian32(stored))
            return refuse(why,
                          damaged(path, "its " + chunkName(type) + " chunk fails its check sum"));
        if (!fault.empty())
            return refuse(why, damaged(path, fault));
        if (type == "IHDR") {
            if (header || length != 13)
                return refuse(why, damaged(path, "its header chunk is not as PNG defines it"));
            std::string reason;
            expected = pngRawBytes(first.data(), reason);
            if (expected == 0)
                return refuse(why, damaged(path, reason));
            // A picture too large to show is refused before its data is inflated.
            if (tooLarge(QSize(static_cast<int>(bigEndian32(first.data())),
                               static_cast<int>(bigEndian32(first.data() + 4))),
                         path, why))
                return false;
            header = true;
        }
        if (type == "IEND")
            break;
    }
    if (produced < expected)
        return refuse(why, cut);
    return file.seek(resume) || refuse(why, "The file " + quoted(path) + " could not be read.");
}

// A GIF picture's first image, walked before it is decoded: a decoder takes memory for the
// whole size the header declares and hands back whatever part of it the data reached, filled
// out with nothing. The compressed codes are followed as a decoder follows them, counting the
// pixels they stand for without keeping any, and the image must get every one of its pixels.
bool gifIsWhole(QFile& file, const std::string& path, std::string& why) {
    const qint64 resume = file.pos();
    if (!file.seek(0))
        return refuse(why, "The file " + quoted(path) + " could not be read.");
    ByteStream in(file);
    const std::string cut = cutShort(path);
    char screen[13];
    for (char& c : screen) {
        const int b = in.get();
        if (b < 0)
            return refuse(why, cut);
        c = static_cast<char>(b);
    }
    const auto colourTable = [](int packed) {
        return (packed & 0x80) ? 3u << ((packed & 7) + 1) : 0u;
    };
    if (!in.skip(colourTable(static_cast<unsigned char>(screen[10]))))
        return refuse(why, cut);
    for (;;) {
        const int introducer = in.get();
        if (introducer < 0)
            return refuse(why, cut);
        if (introducer == 0x3B)
            return refuse(why, damaged(path, "it holds no image"));
        if (introducer == 0x21) {
            if (in.get() < 0)
                return refuse(why, cut);
            for (int n; (n = in.get()) != 0;)
                if (n < 0 || !in.skip(static_cast<std::uint64_t>(n)))
                    return refuse(why, cut);
            continue;
        }
        if (introducer != 0x2C)
            return refuse(why, damaged(path, "it holds a block of unknown kind"));
        break;
    }
    char descriptor[9];
    for (char& c : descriptor) {
        const int b = in.get();
        if (b < 0)
            return refuse(why, cut);
        c = static_cast<char>(b);
    }
    const auto little16 = [](const char* p) {
        const auto* u = reinterpret_cast<const unsigned char*>(p);
        return std::uint64_t{u[0]} | std::uint64_t{u[1]} << 8;
    };
    const std::uint64_t pixels = little16(descriptor + 4) * little16(descriptor + 6);
    if (!in.skip(colourTable(static_cast<unsigned char>(descriptor[8]))))
        return refuse(why, cut);
    const int minimum = in.get();
    if (minimum < 0)
        return refuse(why, cut);
    if (minimum < 1 || minimum > 11)
        return refuse(why,
                      damaged(path, "its codes start at " + std::to_string(minimum) + " bits"));

    // The codes, least significant bit first, across the data's sub-blocks.
    int blockLeft = 0;
    bool dataEnded = false;
    std::uint32_t bits = 0;
    int bitCount = 0;
    const auto nextCode = [&](int size, std::uint32_t& code) {
        while (bitCount < size) {
            if (blockLeft == 0) {
                const int n = dataEnded ? 0 : in.get();
                if (n <= 0) {
                    dataEnded = true;
                    return false;
                }
                blockLeft = n;
            }
            const int b = in.get();
            if (b < 0) {
                dataEnded = true;
                return false;
            }
            --blockLeft;
            bits |= static_cast<std::uint32_t>(b) << bitCount;
            bitCount += 8;
        }
        code = bits & ((1u << size) - 1);
        bits >>= size;
        bitCount -= size;
        return true;
    };
    const std::uint32_t clear = 1u << minimum, end = clear + 1;
    std::vector<std::uint32_t> lengths(4096, 1);
    std::uint32_t next = clear + 2, previous = 0;
    int size = minimum + 1;
    bool started = false;
    std::uint64_t produced = 0;
    for (std::uint32_t code; produced < pixels && nextCode(size, code);) {
        if (code == clear) {
            size = minimum + 1;
            next = clear + 2;
            started = false;
            continue;
        }
        if (code == end)
            break;
        std::uint32_t length = 0;
        if (!started) {
            if (code > clear)
                return refuse(why, damaged(path, "its image data begins with an unknown code"));
            length = 1;
            started = true;
        } else if (code < next) {
            length = lengths[code];
            if (next < 4096)
                lengths[next++] = previous + 1;
        } else if (code == next && next < 4096) {
            length = previous + 1;
            lengths[next++] = length;
        } else {
            return refuse(why, damaged(path, "its image data holds a code not yet defined"));
        }
        produced += length;
        previous = length;
        if (next == (1u << size) && size < 12)
            ++size;
    }
    if (produced < pixels)
        return refuse(why, cut);
    return file.seek(resume) || refuse(why, "The file " + quoted(path) + " could not be read.");
}

// Huffman-coded JPEG data gives every block of 8 x 8 pixels at least one bit, whatever it
// shows; a file too small for that declares more picture than it holds. Arithmetic coding has
// no such bound, and is left to the decoder.
bool jpegHoldsItsBlocks(QFile& file, const std::string& path, std::string& why) {
    const qint64 resume = file.pos();
    if (!file.seek(2))
        return refuse(why, "The file " + quoted(path) + " could not be read.");
    for (;;) {
        char marker[4];
        if (file.read(marker, 4) != 4)
            return refuse(why, cutShort(path));
        const int kind = static_cast<unsigned char>(marker[1]);
        if (static_cast<unsigned char>(marker[0]) != 0xFF || kind == 0xDA || kind == 0xD9)
            break;
        const std::uint32_t length = bigEndian16(marker + 2);
        const bool huffmanFrame = kind >= 0xC0 && kind <= 0xC7 && kind != 0xC4;
        if (huffmanFrame) {
            char frame[5];
            if (file.read(frame, 5) != 5)
                return refuse(why, cutShort(path));
            const std::uint64_t h = bigEndian16(frame + 1), w = bigEndian16(frame + 3);
            const std::uint64_t blocks = ((w + 7) / 8) * ((h + 7) / 8);
            if (static_cast<std::uint64_t>(file.size()) * 8 < blocks)
                return refuse(why, cutShort(path));
            break;
        }
        if (length < 2 || !file.seek(file.pos() + length - 2))
            return refuse(why, cutShort(path));
    }
    return file.seek(resume) || refuse(why, "The file " + quoted(path) + " could not be read.");
}

// What the picture decoders say while they work: the toolkit's messages and libtiff's, which
// goes past the toolkit. A thread decoding a picture collects them here instead of letting them
// reach standard error; every other thread's messages go where they went before.
struct DecoderMessages {
    std::vector<std::string> warnings;
    bool outOfMemory = false;
};
thread_local DecoderMessages* decoderMessages = nullptr;
std::atomic<QtMessageHandler> earlierQtHandler = nullptr;
std::atomic<TIFFErrorHandler> earlierTiffError = nullptr;
std::atomic<TIFFErrorHandler> earlierTiffWarning = nullptr;
std::mutex handlersMutex;

void collectQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (!decoderMessages) {
        if (const QtMessageHandler earlier = earlierQtHandler)
            earlier(type, context, text);
        else
            std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
        return;
    }
    if (text.contains(QLatin1String("out of memory")) ||
        text.contains(QLatin1String("allocation limit")))
        decoderMessages->outOfMemory = true;
    // Warnings are about the data; notes (libpng's about colour profiles) and debug output are not.
    // Stray bytes between two parts of a JPEG file are noted, but every pixel is still there.
    if ((type == QtWarningMsg || type == QtCriticalMsg) &&
        !text.contains(QLatin1String("extraneous bytes")))
        decoderMessages->warnings.push_back(text.toStdString());
}

void collectTiffError(const char* module, const char* format, va_list args) {
    if (!decoderMessages) {
        if (const TIFFErrorHandler earlier = earlierTiffError)
            earlier(module, format, args);
        return;
    }
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    decoderMessages->warnings.emplace_back(text);
}

void collectTiffWarning(const char* module, const char* format, va_list args) {
    // libtiff warns of tags it does not know and the like, none of which spoils a picture.
    if (const TIFFErrorHandler earlier = earlierTiffWarning; !decoderMessages && earlier)
        earlier(module, format, args);
}

// Collects the decoders' messages on this thread for as long as it lives.
class CollectDecoderMessages {
public:
    explicit CollectDecoderMessages(DecoderMessages& messages) : outer_(decoderMessages) {
        // Whoever set a handler since the last picture (the command line's, libtiff's users
        // among the street data readers) keeps getting what is not a decoder's.
        std::lock_guard lock(handlersMutex);
        const QtMessageHandler qt = qInstallMessageHandler(collectQtMessage);
        if (qt != collectQtMessage)
            earlierQtHandler = qt;
        const TIFFErrorHandler error = TIFFSetErrorHandler(collectTiffError);
        if (error != collectTiffError)
            earlierTiffError = error;
        const TIFFErrorHandler warning = TIFFSetWarningHandler(collectTiffWarning);
        if (warning != collectTiffWarning)
            earlierTiffWarning = warning;
        decoderMessages = &messages;
    }
    ~CollectDecoderMessages() { decoderMessages = outer_; }
    CollectDecoderMessages(const CollectDecoderMessages&) = delete;
    CollectDecoderMessages& operator=(const CollectDecoderMessages&) = delete;

private:
    DecoderMessages* outer_;
};

// Copies a decoded picture into the background's opaque 0xFFRRGGBB pixels, top row first.
bool takePixels(QImage picture, const std::string& path, BackgroundImage& image, std::string& why) {
    const bool alpha = picture.hasAlphaChannel();
    const QImage::Format format = alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    const std::int32_t w = picture.width(), h = picture.height();
    const std::string size = std::to_string(w) + " x " + std::to_string(h) + " pixels";
    picture.convertTo(format);
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

std::string outOfMemory(const std::string& path, QSize size) {
    return "There is not enough memory to show the picture " + quoted(path) + " (" +
           std::to_string(size.width()) + " x " + std::to_string(size.height()) + " pixels).";
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
    DecoderMessages messages;
    const CollectDecoderMessages collect(messages);
    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    if (format.isEmpty())
        return refuse(why, "The file " + quoted(path) +
                               " is not a picture: it is neither a bitmap nor a PNG, JPEG, TIFF, "
                               "GIF or WebP picture.");
    // libpng prints what it finds wrong, even in the header the size comes from, straight to
    // standard error: a PNG file is walked whole before libpng sees any of it.
    if (format == "png" && !pngIsWhole(file, path, why))
        return false;
    // Most readers know the size from the header; the rest are checked once they have read.
    const QSize size = reader.size();
    if (size.isValid() && tooLarge(size, path, why))
        return false;
    // Before the decoder takes memory for the declared size, the data must be there to fill it.
    if (!endsWithItsMark(format, file))
        return refuse(why, cutShort(path));
    if ((format == "gif" && !gifIsWhole(file, path, why)) ||
        ((format == "jpeg" || format == "jpg") && !jpegHoldsItsBlocks(file, path, why)))
        return false;
    QImage picture = reader.read();
    if (picture.isNull()) {
        // Decoders fail alike whether the data or the memory gave out; a picture of the declared
        // size that cannot be made now tells which.
        if (messages.outOfMemory ||
            (size.isValid() && QImage(size, QImage::Format_ARGB32).isNull()))
            return refuse(why, outOfMemory(path, size));
        return refuse(why, "The picture " + quoted(path) + " is damaged or cut short: " +
                               reader.errorString().toStdString() + ".");
    }
    if (tooLarge(picture.size(), path, why))
        return false;
    // Decoders that meet the end of the data, or data that makes no sense, say so and hand back
    // what they have, the rest filled out with grey or nothing.
    if (!messages.warnings.empty())
        return refuse(why, "The picture " + quoted(path) +
                               " is damaged or cut short: " + messages.warnings.front() + ".");
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

namespace {

// A file as it was when its picture was read: a picture is used again only while the same file,
// unchanged, is at the same path.
struct PictureKey {
    std::string path;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modified = 0; // nanoseconds
    std::int64_t changed = 0;  // nanoseconds

    bool operator==(const PictureKey&) const = default;
};

struct PictureCache {
    std::mutex mutex;
    // Most recently used first.
    std::list<std::pair<PictureKey, std::shared_ptr<const BackgroundImage>>> entries;
};

PictureCache& pictureCache() {
    // Never destroyed: documents kept until the program ends may let go of their pictures after
    // the end of main.
    static PictureCache* const cache = new PictureCache;
    return *cache;
}

std::size_t bytesOf(const BackgroundImage& image) {
    return image.pixels.size() * sizeof(std::uint32_t);
}

// Drops the least recently used pictures that only the cache still holds, until those take at
// most kPictureCacheBytes and there are at most kPictureCacheCount pictures; a picture a
// document shows costs nothing more for being kept, and goes only when the count demands it.
void trim(PictureCache& cache) {
    std::size_t unshared = 0;
    for (const auto& [key, image] : cache.entries)
        if (image.use_count() == 1)
            unshared += bytesOf(*image);
    for (const bool shared : {false, true})
        for (auto it = cache.entries.end(); it != cache.entries.begin();) {
            --it;
            const bool alone = it->second.use_count() == 1;
            const bool over = cache.entries.size() > kPictureCacheCount ||
                              (!shared && unshared > kPictureCacheBytes);
            if (!over || alone == shared)
                continue;
            if (alone)
                unshared -= bytesOf(*it->second);
            it = cache.entries.erase(it);
        }
}

std::int64_t nanoseconds(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

std::string capitalised(std::string text) {
    if (!text.empty())
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
}

} // namespace

std::shared_ptr<const BackgroundImage> loadPicture(const std::string& path, std::string& why) {
    const std::filesystem::path native = pathFromUtf8(path);
    const auto cannot = [&](const std::string& reason) {
        why = "Cannot read \"" + path + "\".\n" + (reason.empty() ? "" : reason + "\n");
        return nullptr;
    };
    std::string reason;
    if (!checkReadableFile(path, reason)) {
        std::error_code ec;
        if (!std::filesystem::exists(native, ec) && !std::filesystem::is_symlink(native, ec))
            return cannot("File Not Found.");
        return cannot(capitalised(reason) + ".");
    }
    errno = 0;
    std::ifstream file(native, std::ios::binary);
    struct stat info {};
    if (!file || ::stat(native.c_str(), &info) != 0) {
        const int error = errno;
        return cannot(error != 0 ? std::generic_category().message(error) + "." : std::string());
    }
    const PictureKey key{path,
                         info.st_dev,
                         info.st_ino,
                         info.st_size,
                         nanoseconds(info.st_mtim),
                         nanoseconds(info.st_ctim)};
    PictureCache& cache = pictureCache();
    {
        std::lock_guard lock(cache.mutex);
        for (auto it = cache.entries.begin(); it != cache.entries.end(); ++it)
            if (it->first == key) {
                cache.entries.splice(cache.entries.begin(), cache.entries, it);
                return cache.entries.front().second;
            }
    }
    auto image = std::make_shared<BackgroundImage>();
    if (!ReadPictureFile(file, path, *image, why))
        return nullptr;
    std::lock_guard lock(cache.mutex);
    cache.entries.emplace_front(key, image);
    trim(cache);
    return image;
}

void trimPictureCache() {
    PictureCache& cache = pictureCache();
    std::lock_guard lock(cache.mutex);
    trim(cache);
}
