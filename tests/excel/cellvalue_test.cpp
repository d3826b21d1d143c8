// Cell values and their conversions, and cell addresses.

#include "excel/cellvalue.h"
#include "excel/unicode.h"
#include "excel/workbookerror.h"
#include "excel/workbookfile.h"

#include "excel_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

namespace vantry {

namespace {

using Code = WorkbookError::Code;

using excel_test::codeOf;

// At most 15 significant digits, so 0.1 + 0.2 shows as 0.3 and 1/3 as fifteen 3s.
TEST(GeneralNumber, IsTheShortestFormThatReadsBack) {
    using G = std::pair<double, const char*>;
    for (const auto& [value, text] :
         {G{0.0, "0"}, G{-0.0, "0"}, G{1.0, "1"}, G{-42.0, "-42"}, G{0.1, "0.1"}, G{2.5, "2.5"},
          G{1800.0, "1800"}, G{100000.0, "100000"}, G{0.30000000000000004, "0.3"},
          G{1.0 / 3.0, "0.333333333333333"}, G{123456789012345.0, "123456789012345"},
          G{1e15, "1E+15"}, G{-2.5e20, "-2.5E+20"}, G{0.00001, "0.00001"}, G{1.5e-7, "1.5E-07"},
          G{static_cast<double>(0.1f), "0.100000001490116"}})
        EXPECT_EQ(formatGeneralNumber(value), text);
}

TEST(CellValueConversion, EmptiesAndBooleansReadAsNumbersAndText) {
    const CellValue empty;
    EXPECT_EQ(empty.toInt32(), 0);
    EXPECT_EQ(empty.toSingle(), 0.0f);
    EXPECT_EQ(empty.toText(), "");
    EXPECT_TRUE(CellValue::text("").isEmpty());
    EXPECT_EQ(CellValue::boolean(true).toText(), "TRUE");
    EXPECT_EQ(CellValue::boolean(false).toInt32(), 0);
    EXPECT_EQ(CellValue::boolean(true).toInt32(), 1);
}

TEST(CellValueConversion, WholeNumbersRoundHalfToEvenWithinTheirRange) {
    using W = std::pair<double, int>;
    for (const auto& [value, whole] :
         {W{2.5, 2}, W{3.5, 4}, W{-2.5, -2}, W{2.4999, 2}, W{-7.6, -8}, W{2147483647.0, 2147483647},
          W{-2147483648.0, std::numeric_limits<int>::min()}, W{-2147483648.5, -2147483647 - 1}})
        EXPECT_EQ(CellValue::number(value).toInt32(), whole) << value;
    for (double value : {2147483648.0, 2147483647.5, -2147483649.0, -1e10})
        EXPECT_EQ(codeOf([&] { CellValue::number(value).toInt32(); }), Code::Overflow) << value;
}

TEST(CellValueConversion, TextThatLooksLikeANumberConverts) {
    EXPECT_EQ(CellValue::text("42").toInt32(), 42);
    EXPECT_EQ(CellValue::text("  -17 ").toInt32(), -17);
    EXPECT_EQ(CellValue::text("+3.5").toInt32(), 4);
    EXPECT_EQ(CellValue::text("1e3").toInt32(), 1000);
    EXPECT_EQ(CellValue::text("0.707").toSingle(), 0.707f);
    EXPECT_EQ(CellValue::text(".5").toSingle(), 0.5f);
    EXPECT_EQ(CellValue::text("1.000").toDouble(), 1.0);
}

TEST(CellValueConversion, TextThatIsNotANumberIsATypeMismatch) {
    for (const char* text : {"abc", "1,5", "12abc", "inf", "nan", "0x10", "1e", "-", " "}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(codeOf([&] { CellValue::text(text).toInt32(); }), Code::TypeMismatch);
        EXPECT_EQ(codeOf([&] { CellValue::text(text).toSingle(); }), Code::TypeMismatch);
    }
    try {
        CellValue::text("abc").toInt32();
    } catch (const WorkbookError& e) {
        EXPECT_STREQ(e.what(), "The text \"abc\" is not a number.");
    }
}

TEST(CellValueConversion, ErrorValuesNeverConvert) {
    const CellValue na = CellValue::error(CellValue::kErrorNA);
    EXPECT_EQ(codeOf([&] { na.toText(); }), Code::TypeMismatch);
    EXPECT_EQ(codeOf([&] { na.toInt32(); }), Code::TypeMismatch);
    EXPECT_EQ(codeOf([&] { na.toSingle(); }), Code::TypeMismatch);
    EXPECT_EQ(na.describe(), "#N/A");
    EXPECT_EQ(CellValue::error(CellValue::kErrorDiv0).describe(), "#DIV/0!");
}

TEST(CellValueConversion, SinglesReadBackExactlyAndShowTheirShortForm) {
    for (float f : {0.1f, -2.5f, 3.14159f, 1e-7f, 123456.78f, std::numeric_limits<float>::max()})
        EXPECT_EQ(CellValue::single(f).toSingle(), f);
    // As text, the shortest form that reads back as the same single, not as the same double.
    EXPECT_EQ(CellValue::single(0.1f).toText(), "0.1");
    EXPECT_EQ(CellValue::number(0.707).toText(), "0.707");
    EXPECT_EQ(codeOf([] { CellValue::number(1e300).toSingle(); }), Code::Overflow);
}

// The letters carry over as a spreadsheet's do: Z1 is followed by AA1, AZ1 by BA1.
TEST(Address, IsLettersThenTheOneBasedRow) {
    const std::tuple<int, int, const char*> cases[] = {
        {0, 0, "A1"},   {3, 11, "L4"},  {311, 2, "C312"},        {0, 25, "Z1"},  {0, 26, "AA1"},
        {0, 51, "AZ1"}, {0, 52, "BA1"}, {65535, 255, "IV65536"}, {0, 701, "ZZ1"}};
    for (const auto& [row, column, address] : cases)
        EXPECT_EQ(cellAddress(row, column), address);
}

} // namespace

// Text goes between the program's bytes and a workbook's UTF-16 the way files from Windows need.
TEST(TextBytes, EightBitTextIsWindows1252BothWays) {
    EXPECT_EQ(utf8ToUtf16("\x80\x93\xE9\x81"), u"\u20AC\u201C\u00E9\u0081");
    EXPECT_EQ(utf8ToUtf16("\xE2\x82\xAC \xE2"), u"\u20AC \u00E2");
    EXPECT_EQ(storedBytesFromUtf8("\xE2\x82\xAC\xE2\x80\x9C\xC3\xA9\xC2\x81"), "\x80\x93\xE9\x81");
    // Text the code page cannot hold, or whose bytes would read as other UTF-8, stays UTF-8.
    EXPECT_EQ(storedBytesFromUtf8("\xC3\xA9 \xE2\x86\x92"), "\xC3\xA9 \xE2\x86\x92");
    EXPECT_EQ(storedBytesFromUtf8("\xC3\x83\xC2\xA9"), "\xC3\x83\xC2\xA9"); // "Ã©" is C3 A9
    EXPECT_EQ(storedBytesFromUtf8("ascii"), "ascii");
}

} // namespace vantry
