#pragma once

// Whether a picture file holds all the picture its header declares, found out before a decoder
// sees it. A decoder given a header alone takes memory for the whole picture, and hands back
// whatever part of a cut-short file it reached, filled out with grey or nothing; libpng also tells
// of damage on standard error, past the toolkit. Each check reads `file` from its start and,
// when it passes, leaves the file where it stood; otherwise it returns false with a sentence
// naming the file as `path` in `why`.

#include <QByteArray>
#include <QIODevice>

#include <cstdint>
#include <string>

namespace vantry {

// True when a JPEG or GIF file (by `format`, as the toolkit names it) ends in the mark its format
// writes last (the end-of-image marker FF D9, the trailer 3B), padding after it allowed; true for
// every other format.
bool endsWithItsMark(const QByteArray& format, QIODevice& file);

// A PNG file walked chunk by chunk: every chunk must lie inside the file and pass its check sum,
// up to the end chunk, the header must be as PNG defines it and declare a picture that is not too
// large to show, and the compressed data must inflate, without a fault, to every row the header
// declares. Only a count of the inflated bytes is kept.
bool pngIsWhole(QIODevice& file, const std::string& path, std::string& why);

// A GIF picture's first image: its compressed codes are followed as a decoder follows them,
// counting the pixels they stand for without keeping any, and the image must get every one of its
// pixels.
bool gifIsWhole(QIODevice& file, const std::string& path, std::string& why);

// Huffman-coded JPEG data gives every block of 8 x 8 pixels at least one bit, whatever it shows;
// a file too small for that declares more picture than it holds. Arithmetic coding has no such
// bound, and is left to the decoder.
bool jpegHoldsItsBlocks(QIODevice& file, const std::string& path, std::string& why);

// Numbers as the formats store them, most significant byte first.
inline std::uint32_t bigEndian32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return std::uint32_t{u[0]} << 24 | std::uint32_t{u[1]} << 16 | std::uint32_t{u[2]} << 8 | u[3];
}

inline std::uint32_t bigEndian16(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return std::uint32_t{u[0]} << 8 | u[1];
}

} // namespace vantry
