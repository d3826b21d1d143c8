#include "document/pictureintegrity.h"

#include "document/picturemessages.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vantry {

bool endsWithItsMark(const QByteArray& format, QIODevice& file) {
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

namespace {

// The bytes of a file read in blocks, one at a time, from where the file stands.
class ByteStream {
public:
    explicit ByteStream(QIODevice& file) : file_(file), block_(1 << 16) {}
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
    QIODevice& file_;
    std::vector<char> block_;
    std::size_t at_ = 0, filled_ = 0;
};

} // namespace

bool gifIsWhole(QIODevice& file, const std::string& path, std::string& why) {
    const qint64 resume = file.pos();
    if (!file.seek(0))
        return refusePicture(why, pictureUnreadable(path));
    ByteStream in(file);
    const std::string cut = pictureCutShort(path);
    char screen[13];
    for (char& c : screen) {
        const int b = in.get();
        if (b < 0)
            return refusePicture(why, cut);
        c = static_cast<char>(b);
    }
    const auto colourTable = [](int packed) {
        return (packed & 0x80) ? 3u << ((packed & 7) + 1) : 0u;
    };
    if (!in.skip(colourTable(static_cast<unsigned char>(screen[10]))))
        return refusePicture(why, cut);
    for (;;) {
        const int introducer = in.get();
        if (introducer < 0)
            return refusePicture(why, cut);
        if (introducer == 0x3B)
            return refusePicture(why, pictureDamaged(path, "it holds no image"));
        if (introducer == 0x21) {
            if (in.get() < 0)
                return refusePicture(why, cut);
            for (int n; (n = in.get()) != 0;)
                if (n < 0 || !in.skip(static_cast<std::uint64_t>(n)))
                    return refusePicture(why, cut);
            continue;
        }
        if (introducer != 0x2C)
            return refusePicture(why, pictureDamaged(path, "it holds a block of unknown kind"));
        break;
    }
    char descriptor[9];
    for (char& c : descriptor) {
        const int b = in.get();
        if (b < 0)
            return refusePicture(why, cut);
        c = static_cast<char>(b);
    }
    const auto little16 = [](const char* p) {
        const auto* u = reinterpret_cast<const unsigned char*>(p);
        return std::uint64_t{u[0]} | std::uint64_t{u[1]} << 8;
    };
    const std::uint64_t pixels = little16(descriptor + 4) * little16(descriptor + 6);
    if (!in.skip(colourTable(static_cast<unsigned char>(descriptor[8]))))
        return refusePicture(why, cut);
    const int minimum = in.get();
    if (minimum < 0)
        return refusePicture(why, cut);
    if (minimum < 1 || minimum > 11)
        return refusePicture(
            why, pictureDamaged(path, "its codes start at " + std::to_string(minimum) + " bits"));

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
                return refusePicture(
                    why, pictureDamaged(path, "its image data begins with an unknown code"));
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
            return refusePicture(
                why, pictureDamaged(path, "its image data holds a code not yet defined"));
        }
        produced += length;
        previous = length;
        if (next == (1u << size) && size < 12)
            ++size;
    }
    if (produced < pixels)
        return refusePicture(why, cut);
    return file.seek(resume) || refusePicture(why, pictureUnreadable(path));
}

bool jpegHoldsItsBlocks(QIODevice& file, const std::string& path, std::string& why) {
    const qint64 resume = file.pos();
    if (!file.seek(2))
        return refusePicture(why, pictureUnreadable(path));
    for (;;) {
        char marker[4];
        if (file.read(marker, 4) != 4)
            return refusePicture(why, pictureCutShort(path));
        const int kind = static_cast<unsigned char>(marker[1]);
        if (static_cast<unsigned char>(marker[0]) != 0xFF || kind == 0xDA || kind == 0xD9)
            break;
        const std::uint32_t length = bigEndian16(marker + 2);
        const bool huffmanFrame = kind >= 0xC0 && kind <= 0xC7 && kind != 0xC4;
        if (huffmanFrame) {
            char frame[5];
            if (file.read(frame, 5) != 5)
                return refusePicture(why, pictureCutShort(path));
            const std::uint64_t h = bigEndian16(frame + 1), w = bigEndian16(frame + 3);
            const std::uint64_t blocks = ((w + 7) / 8) * ((h + 7) / 8);
            if (static_cast<std::uint64_t>(file.size()) * 8 < blocks)
                return refusePicture(why, pictureCutShort(path));
            break;
        }
        if (length < 2 || !file.seek(file.pos() + length - 2))
            return refusePicture(why, pictureCutShort(path));
    }
    return file.seek(resume) || refusePicture(why, pictureUnreadable(path));
}

} // namespace vantry
