#include "excel/biffrecords.h"

#include "excel/workbookerror.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace vantry {

namespace biff {

void damaged(const std::string& what) {
    throw WorkbookError(WorkbookError::Code::Damaged, "The workbook is damaged: " + what + ".");
}

std::uint16_t getU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t getU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

double getF64(const std::uint8_t* p) {
    const std::uint64_t bits =
        static_cast<std::uint64_t>(getU32(p)) | (static_cast<std::uint64_t>(getU32(p + 4)) << 32);
    return std::bit_cast<double>(bits);
}

void setU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void setU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void putU8(std::vector<std::uint8_t>& out, std::uint8_t v) {
    out.push_back(v);
}

void putU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void putU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void putF64(std::vector<std::uint8_t>& out, double v) {
    const auto bits = std::bit_cast<std::uint64_t>(v);
    putU32(out, static_cast<std::uint32_t>(bits));
    putU32(out, static_cast<std::uint32_t>(bits >> 32));
}

void ByteReader::need(std::size_t n) const {
    if (n > remaining())
        damaged(std::string("a ") + what_ + " record is too short");
}

std::uint8_t ByteReader::u8() {
    need(1);
    return data_[pos_++];
}

std::uint16_t ByteReader::u16() {
    need(2);
    const auto v = getU16(data_.data() + pos_);
    pos_ += 2;
    return v;
}

std::uint32_t ByteReader::u32() {
    need(4);
    const auto v = getU32(data_.data() + pos_);
    pos_ += 4;
    return v;
}

double ByteReader::f64() {
    need(8);
    const double v = getF64(data_.data() + pos_);
    pos_ += 8;
    return v;
}

void ByteReader::skip(std::size_t n) {
    need(n);
    pos_ += n;
}

std::span<const std::uint8_t> ByteReader::bytes(std::size_t n) {
    need(n);
    const auto s = data_.subspan(pos_, n);
    pos_ += n;
    return s;
}

bool isBofRecord(std::uint16_t type) {
    return type == 0x0009 || type == 0x0209 || type == 0x0409 || type == kBof;
}

std::vector<Record> readSubstream(std::span<const std::uint8_t> stream, std::size_t offset) {
    std::vector<Record> records;
    int depth = 0;
    std::size_t pos = offset;
    for (;;) {
        if (pos > stream.size() || stream.size() - pos < 4)
            damaged("a part of it ends before its last record");
        const std::uint16_t type = getU16(stream.data() + pos);
        const std::uint16_t length = getU16(stream.data() + pos + 2);
        if (stream.size() - pos - 4 < length)
            damaged("a record runs past the end of the workbook");
        if (records.empty() && type != kBof)
            damaged("a part of it does not start where the workbook says");
        Record r;
        r.type = type;
        r.data.assign(stream.begin() + static_cast<std::ptrdiff_t>(pos + 4),
                      stream.begin() + static_cast<std::ptrdiff_t>(pos + 4 + length));
        records.push_back(std::move(r));
        pos += 4 + std::size_t{length};
        if (isBofRecord(type))
            ++depth;
        else if (type == kEof && --depth == 0)
            return records;
    }
}

void appendRecord(std::vector<std::uint8_t>& out, std::uint16_t type,
                  std::span<const std::uint8_t> data) {
    putU16(out, type);
    putU16(out, static_cast<std::uint16_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
}

double decodeRk(std::uint32_t rk) {
    double v;
    if (rk & 2) {
        v = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    } else {
        const std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32;
        v = std::bit_cast<double>(bits);
    }
    return (rk & 1) ? v / 100.0 : v;
}

bool encodeRk(double v, std::uint32_t& rk) {
    constexpr double kLimit = 536870912.0; // 2^29: the range of the 30-bit integer form
    if (!std::isfinite(v))
        return false;
    const auto asInteger = [&](double x, std::uint32_t flags) {
        if (x != std::floor(x) || x < -kLimit || x >= kLimit)
            return false;
        rk = (static_cast<std::uint32_t>(static_cast<std::int32_t>(x)) << 2) | flags;
        return decodeRk(rk) == v;
    };
    const auto asDouble = [&](double x, std::uint32_t flags) {
        const auto bits = std::bit_cast<std::uint64_t>(x);
        if ((bits & 0x3FFFFFFFFull) != 0)
            return false;
        rk = static_cast<std::uint32_t>(bits >> 32) | flags;
        return decodeRk(rk) == v;
    };
    return asInteger(v, 2) || asDouble(v, 0) || asInteger(v * 100.0, 3) || asDouble(v * 100.0, 1);
}

ContinuedReader::ContinuedReader(std::vector<std::span<const std::uint8_t>> segments,
                                 const char* what)
    : segments_(std::move(segments)), what_(what) {
    if (segments_.empty())
        segments_.emplace_back();
}

bool ContinuedReader::atEnd() const {
    for (std::size_t s = seg_; s < segments_.size(); ++s)
        if (segments_[s].size() > (s == seg_ ? pos_ : 0))
            return false;
    return true;
}

void ContinuedReader::nextSegment() {
    if (seg_ + 1 >= segments_.size())
        damaged(std::string("a ") + what_ + " record ends in the middle of a string");
    ++seg_;
    pos_ = 0;
}

void ContinuedReader::skipFinishedSegment() {
    while (leftInSegment() == 0 && seg_ + 1 < segments_.size())
        nextSegment();
}

std::uint8_t ContinuedReader::u8() {
    while (leftInSegment() == 0)
        nextSegment();
    return segments_[seg_][pos_++];
}

std::uint16_t ContinuedReader::u16() {
    const std::uint8_t lo = u8();
    return static_cast<std::uint16_t>(lo | (u8() << 8));
}

std::uint32_t ContinuedReader::u32() {
    const std::uint32_t lo = u16();
    return lo | (static_cast<std::uint32_t>(u16()) << 16);
}

void ContinuedReader::bytes(std::size_t n, std::vector<std::uint8_t>& out) {
    while (n > 0) {
        while (leftInSegment() == 0)
            nextSegment();
        const std::size_t take = std::min(n, leftInSegment());
        const auto s = segments_[seg_].subspan(pos_, take);
        out.insert(out.end(), s.begin(), s.end());
        pos_ += take;
        n -= take;
    }
}

std::u16string ContinuedReader::chars(std::size_t count, bool highByte) {
    std::u16string text;
    text.reserve(count);
    while (count > 0) {
        if (leftInSegment() == 0) {
            nextSegment();
            if (leftInSegment() == 0)
                damaged(std::string("a ") + what_ + " record is continued without text");
            highByte = (segments_[seg_][pos_++] & 1) != 0;
        }
        const std::size_t width = highByte ? 2 : 1;
        const std::size_t take = std::min(count, leftInSegment() / width);
        if (take == 0)
            damaged(std::string("a ") + what_ + " record splits a character");
        const std::uint8_t* p = segments_[seg_].data() + pos_;
        for (std::size_t i = 0; i < take; ++i)
            text += highByte ? static_cast<char16_t>(getU16(p + 2 * i)) : char16_t{p[i]};
        pos_ += take * width;
        count -= take;
    }
    return text;
}

std::vector<std::span<const std::uint8_t>> continuedSegments(const std::vector<Record>& records,
                                                             std::size_t first) {
    std::vector<std::span<const std::uint8_t>> segments{records[first].data};
    for (std::size_t i = first + 1; i < records.size() && records[i].type == kContinue; ++i)
        segments.emplace_back(records[i].data);
    return segments;
}

std::vector<SstString> parseSst(std::vector<std::span<const std::uint8_t>> segments) {
    ContinuedReader in(std::move(segments), "shared string");
    in.u32(); // references in the workbook: a hint only
    const std::uint32_t unique = in.u32();
    std::vector<SstString> strings;
    strings.reserve(std::min<std::uint32_t>(unique, 65536));
    // Some writers count more strings than they store; the table ends with its data.
    while (strings.size() < unique && !in.atEnd()) {
        in.skipFinishedSegment();
        SstString s;
        const std::uint16_t length = in.u16();
        const std::uint8_t flags = in.u8();
        const std::uint16_t runs = (flags & 0x08) ? in.u16() : 0;
        const std::uint32_t extLength = (flags & 0x04) ? in.u32() : 0;
        s.text = in.chars(length, (flags & 0x01) != 0);
        in.bytes(std::size_t{runs} * 4, s.runs);
        in.bytes(extLength, s.ext);
        strings.push_back(std::move(s));
    }
    return strings;
}

std::u16string readUnicodeString(ContinuedReader& in) {
    const std::uint16_t length = in.u16();
    const std::uint8_t flags = in.u8();
    const std::uint16_t runs = (flags & 0x08) ? in.u16() : 0;
    const std::uint32_t extLength = (flags & 0x04) ? in.u32() : 0;
    std::u16string text = in.chars(length, (flags & 0x01) != 0);
    std::vector<std::uint8_t> ignored;
    in.bytes(std::size_t{runs} * 4, ignored);
    in.bytes(extLength, ignored);
    return text;
}

std::u16string readShortUnicodeString(ByteReader& in) {
    const std::uint8_t length = in.u8();
    const std::uint8_t flags = in.u8();
    const bool high = (flags & 0x01) != 0;
    const auto bytes = in.bytes(std::size_t{length} * (high ? 2 : 1));
    std::u16string text;
    for (std::size_t i = 0; i < length; ++i)
        text += high ? static_cast<char16_t>(getU16(bytes.data() + 2 * i)) : char16_t{bytes[i]};
    return text;
}

namespace {

bool needsHighBytes(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(), [](char16_t c) { return c > 0xFF; });
}

void appendChars(std::vector<std::uint8_t>& out, std::u16string_view text, bool high) {
    for (char16_t c : text) {
        if (high)
            putU16(out, c);
        else
            putU8(out, static_cast<std::uint8_t>(c));
    }
}

} // namespace

void appendUnicodeString(std::vector<std::uint8_t>& out, std::u16string_view text) {
    const bool high = needsHighBytes(text);
    putU16(out, static_cast<std::uint16_t>(text.size()));
    putU8(out, high ? 1 : 0);
    appendChars(out, text, high);
}

void appendShortUnicodeString(std::vector<std::uint8_t>& out, std::u16string_view text) {
    const bool high = needsHighBytes(text);
    putU8(out, static_cast<std::uint8_t>(text.size()));
    putU8(out, high ? 1 : 0);
    appendChars(out, text, high);
}

SstLayout buildSst(const std::vector<SstString>& strings, std::uint32_t totalReferences) {
    SstLayout layout;
    layout.records.push_back({kSst, {}});
    layout.starts.reserve(strings.size());
    std::vector<std::uint8_t>* body = &layout.records.back().data;
    putU32(*body, totalReferences);
    putU32(*body, static_cast<std::uint32_t>(strings.size()));

    const auto room = [&] { return kMaxRecordData - body->size(); };
    const auto startContinue = [&] {
        layout.records.push_back({kContinue, {}});
        body = &layout.records.back().data;
    };

    for (const SstString& s : strings) {
        const bool high = needsHighBytes(s.text);
        const std::size_t width = high ? 2 : 1;
        const std::size_t header = 3 + (s.runs.empty() ? 0 : 2) + (s.ext.empty() ? 0 : 4);
        // A string's header and its first character are never split from each other.
        if (room() < header + (s.text.empty() ? 0 : width))
            startContinue();
        layout.starts.emplace_back(layout.records.size() - 1, body->size());
        putU16(*body, static_cast<std::uint16_t>(s.text.size()));
        putU8(*body, static_cast<std::uint8_t>((high ? 0x01 : 0) | (s.ext.empty() ? 0 : 0x04) |
                                               (s.runs.empty() ? 0 : 0x08)));
        if (!s.runs.empty())
            putU16(*body, static_cast<std::uint16_t>(s.runs.size() / 4));
        if (!s.ext.empty())
            putU32(*body, static_cast<std::uint32_t>(s.ext.size()));

        std::u16string_view rest = s.text;
        while (!rest.empty()) {
            if (room() < width) {
                startContinue();
                putU8(*body, high ? 1 : 0);
            }
            const std::size_t take = std::min(rest.size(), room() / width);
            appendChars(*body, rest.substr(0, take), high);
            rest.remove_prefix(take);
        }
        for (std::size_t i = 0; i + 4 <= s.runs.size(); i += 4) {
            if (room() < 4)
                startContinue();
            body->insert(body->end(), s.runs.begin() + static_cast<std::ptrdiff_t>(i),
                         s.runs.begin() + static_cast<std::ptrdiff_t>(i + 4));
        }
        for (std::size_t i = 0; i < s.ext.size();) {
            if (room() == 0)
                startContinue();
            const std::size_t take = std::min(s.ext.size() - i, room());
            body->insert(body->end(), s.ext.begin() + static_cast<std::ptrdiff_t>(i),
                         s.ext.begin() + static_cast<std::ptrdiff_t>(i + take));
            i += take;
        }
    }
    return layout;
}

Record buildExtSst(const SstLayout& layout, std::size_t streamOffset) {
    std::vector<std::size_t> recordOffsets;
    std::size_t pos = streamOffset;
    for (const Record& r : layout.records) {
        recordOffsets.push_back(pos);
        pos += 4 + r.data.size();
    }
    // At most 128 buckets of at least 8 strings each.
    const std::size_t count = layout.starts.size();
    const std::size_t perBucket = std::max<std::size_t>(8, (count + 127) / 128);
    Record r{kExtSst, {}};
    putU16(r.data, static_cast<std::uint16_t>(perBucket));
    for (std::size_t i = 0; i < count; i += perBucket) {
        const auto [record, offset] = layout.starts[i];
        putU32(r.data, static_cast<std::uint32_t>(recordOffsets[record] + 4 + offset));
        putU16(r.data, static_cast<std::uint16_t>(4 + offset));
        putU16(r.data, 0);
    }
    return r;
}

} // namespace biff

} // namespace vantry
