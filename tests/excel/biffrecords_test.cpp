// The record layer: RK numbers, the shared string table across CONTINUE records, substreams.

#include "excel/biffrecords.h"
#include "excel/workbookerror.h"

#include "excel_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vantry {

namespace {

using namespace biff;
using excel_test::bytes;
using excel_test::codeOf;

// The two low bits say whether the rest is the high half of a double or a 30-bit integer, and
// whether it is divided by 100.
TEST(RkNumbers, DecodeAsTheirKindSays) {
    using R = std::pair<std::uint32_t, double>;
    for (const auto& [rk, value] :
         {R{0x3FF00000, 1.0}, R{0x3FF00001, 0.01}, R{0xC0000000, -2.0}, R{0x405EC000, 123.0},
          R{0x000001EE, 123.0}, R{0xFFFFFFFE, -1.0}, R{0x0000134B, 12.34}, R{0xFFFFFDAB, -1.5},
          R{0x7FFFFFFE, 536870911.0}, R{0x80000002, -536870912.0}, R{0x00000002, 0.0}})
        EXPECT_EQ(decodeRk(rk), value) << std::hex << rk;
}

TEST(RkNumbers, EncodeExactlyTheNumbersTheyCanHold) {
    std::uint32_t rk = 0;
    for (double v : {0.0, 1.0, -1.0, 123.0, 1800.0, 536870911.0, -536870912.0, 536870912.0, 12.34,
                     -1.5, 0.5, 0.25, -2.0, 0.1, 0x1p100, 0.01, 99.99}) {
        SCOPED_TRACE(v);
        ASSERT_TRUE(encodeRk(v, rk));
        EXPECT_EQ(decodeRk(rk), v);
    }
    for (double v : {1.0 / 3.0, 0.707, 1e10, 3.14159, 1e-300, std::nan(""),
                     std::numeric_limits<double>::infinity()})
        EXPECT_FALSE(encodeRk(v, rk)) << v;
}

std::vector<std::span<const std::uint8_t>> spans(const std::vector<std::vector<std::uint8_t>>& v) {
    return {v.begin(), v.end()};
}

TEST(SharedStrings, ReadAcrossContinueRecordsWithTheFlagByteOfEachContinuation) {
    std::vector<std::vector<std::uint8_t>> parts(4);
    putU32(parts[0], 3);
    putU32(parts[0], 3);
    // "Hello", compressed, entirely in the SST record.
    parts[0].insert(parts[0].end(), {5, 0, 0x00, 'H', 'e', 'l', 'l', 'o'});
    // "abcd\u03A9f": three compressed characters, then a CONTINUE whose flag byte switches to
    // two bytes a character for the other three.
    parts[0].insert(parts[0].end(), {6, 0, 0x00, 'a', 'b', 'c'});
    parts[1] = bytes({0x01, 'd', 0, 0xA9, 0x03, 'f', 0});
    // A rich string with phonetic data starting at a record boundary: no flag byte before its
    // header, and its two formatting runs split across records without one either.
    parts[2] = bytes({2, 0, 0x0C, 2, 0, 3, 0, 0, 0, 'x', 'y', 1, 0, 5, 0, 2, 0});
    parts[3] = bytes({6, 0, 0xAA, 0xBB, 0xCC});

    const std::vector<SstString> strings = parseSst(spans(parts));
    ASSERT_EQ(strings.size(), 3u);
    EXPECT_EQ(strings[0].text, u"Hello");
    EXPECT_EQ(strings[1].text, u"abcd\u03A9f");
    EXPECT_EQ(strings[2].text, u"xy");
    EXPECT_EQ(strings[2].runs, bytes({1, 0, 5, 0, 2, 0, 6, 0}));
    EXPECT_EQ(strings[2].ext, bytes({0xAA, 0xBB, 0xCC}));
}

TEST(SharedStrings, AStringCutShortIsADamagedWorkbook) {
    std::vector<std::vector<std::uint8_t>> parts(1);
    putU32(parts[0], 1);
    putU32(parts[0], 1);
    parts[0].insert(parts[0].end(), {10, 0, 0x00, 'a', 'b'});
    EXPECT_EQ(codeOf([&] { parseSst(spans(parts)); }), WorkbookError::Code::Damaged);
}

TEST(SharedStrings, AreWrittenInRecordsOfAtMost8224BytesAndReadBackUnchanged) {
    std::vector<SstString> strings;
    for (int i = 0; i < 3000; ++i)
        strings.push_back({u"string " + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) +
                               std::u16string(static_cast<std::size_t>(i % 40), u'z'),
                           {},
                           {}});
    strings.push_back({std::u16string(20000, u'x'), {}, {}});
    strings.push_back({std::u16string(10000, u'\u0416'), {}, {}});
    strings.push_back({u"", {}, {}});
    std::vector<std::uint8_t> manyRuns;
    for (int i = 0; i < 3000; ++i)
        manyRuns.insert(manyRuns.end(), {static_cast<std::uint8_t>(i), 0, 1, 0});
    strings.push_back({u"rich text", manyRuns, bytes({1, 2, 3, 4, 5})});
    strings.push_back({std::u16string(5000, u'y'), {}, std::vector<std::uint8_t>(9000, 7)});

    const SstLayout layout = buildSst(strings, 12345);
    ASSERT_GT(layout.records.size(), 5u);
    std::vector<std::span<const std::uint8_t>> segments;
    for (std::size_t i = 0; i < layout.records.size(); ++i) {
        EXPECT_LE(layout.records[i].data.size(), kMaxRecordData);
        EXPECT_EQ(layout.records[i].type, i == 0 ? kSst : kContinue);
        segments.emplace_back(layout.records[i].data);
    }
    EXPECT_EQ(getU32(layout.records[0].data.data()), 12345u);
    EXPECT_EQ(parseSst(segments), strings);
}

TEST(SharedStrings, ExtSstPointsAtTheStartOfEveryEighthString) {
    std::vector<SstString> strings;
    for (int i = 0; i < 2000; ++i)
        strings.push_back({std::u16string(static_cast<std::size_t>(3 + i % 50), u'q'), {}, {}});
    const SstLayout layout = buildSst(strings, 2000);
    const std::size_t base = 1000;
    std::vector<std::uint8_t> stream(base, 0);
    for (const Record& r : layout.records)
        appendRecord(stream, r);
    const Record ext = buildExtSst(layout, base);

    const std::size_t perBucket = getU16(ext.data.data());
    EXPECT_EQ(perBucket, 16u); // 2000 strings in at most 128 buckets
    const std::size_t buckets = (ext.data.size() - 2) / 8;
    EXPECT_EQ(buckets, (strings.size() + perBucket - 1) / perBucket);
    for (std::size_t b = 0; b < buckets; ++b) {
        const std::uint32_t position = getU32(ext.data.data() + 2 + 8 * b);
        const std::uint16_t inRecord = getU16(ext.data.data() + 6 + 8 * b);
        ASSERT_LT(position + 2, stream.size());
        // The position is the string's header: its character count.
        EXPECT_EQ(getU16(stream.data() + position), strings[b * perBucket].text.size());
        // The offset counts from the start of the record that holds it, header included.
        const std::size_t recordStart = position - inRecord;
        EXPECT_TRUE(getU16(stream.data() + recordStart) == kSst ||
                    getU16(stream.data() + recordStart) == kContinue);
    }
}

TEST(UnicodeStrings, FormulaResultsContinueWithTheirOwnFlagByte) {
    Record text{kString, bytes({7, 0, 0x00, 'a', 'b'})};
    Record more{kContinue, bytes({0x01, 'c', 0, 0x16, 0x04})};
    Record rest{kContinue, bytes({0x00, 'd', 'e', 'f'})};
    const std::vector<Record> records{text, more, rest, Record{kEof, {}}};
    ContinuedReader in(continuedSegments(records, 0), "STRING");
    EXPECT_EQ(readUnicodeString(in), u"abc\u0416def");
}

TEST(Substreams, EndAtTheirOwnEofAndKeepNestedOnesInside) {
    std::vector<std::uint8_t> stream;
    appendRecord(stream, kBof, bytes({0, 6, 0x10, 0}));
    appendRecord(stream, kNumber, std::vector<std::uint8_t>(14, 0));
    appendRecord(stream, kBof, bytes({0, 6, 0x20, 0})); // an embedded chart
    appendRecord(stream, kEof, {});
    appendRecord(stream, kWindow2, std::vector<std::uint8_t>(18, 0));
    appendRecord(stream, kEof, {});
    appendRecord(stream, kBof, bytes({0, 6, 0x10, 0}));
    const std::vector<Record> records = readSubstream(stream, 0);
    ASSERT_EQ(records.size(), 6u);
    EXPECT_EQ(records[4].type, kWindow2);
    EXPECT_EQ(records.back().type, kEof);
}

TEST(Substreams, ARecordRunningPastTheEndIsADamagedWorkbook) {
    std::vector<std::uint8_t> stream;
    appendRecord(stream, kBof, bytes({0, 6, 0x10, 0}));
    appendRecord(stream, kNumber, std::vector<std::uint8_t>(14, 0));
    stream.resize(stream.size() - 3);
    for (std::size_t cut : {stream.size(), std::size_t{22}, std::size_t{2}})
        EXPECT_EQ(codeOf([&] { readSubstream(std::span(stream.data(), cut), 0); }),
                  WorkbookError::Code::Damaged)
            << cut << " bytes";
}

} // namespace

} // namespace vantry
