// Cell values and their conversions, and cell addresses.

#include "excel/cellvalue.h"
#include "excel/unicode.h"
#include "excel/workbookerror.h"
#include "excel/workbookfile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

namespace vantry {

namespace {

using Code = WorkbookError::Code;

template <class F> Code codeOf(F&& f) {
    try {
        f();
    } catch (const WorkbookError& e) {
        return e.code();
    }
    ADD_FAILURE() << "no WorkbookError";
    return Code::Damaged;
}

struct GeneralCase {
    double value;
    const char* text;
};

class GeneralNumber : public testing::TestWithParam<GeneralCase> {};

TEST_P(GeneralNumber, IsTheShortestFormThatReadsBack) {
    EXPECT_EQ(formatGeneralNumber(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, GeneralNumber,
    testing::Values(GeneralCase{0.0, "0"}, GeneralCase{-0.0, "0"}, GeneralCase{1.0, "1"},
                    GeneralCase{-42.0, "-42"}, GeneralCase{0.1, "0.1"}, GeneralCase{2.5, "2.5"},
                    GeneralCase{1800.0, "1800"}, GeneralCase{100000.0, "100000"},
                    GeneralCase{0.30000000000000004, "0.3"},     // 17 digits: cut to 15
                    GeneralCase{1.0 / 3.0, "0.333333333333333"}, // 15 significant digits
                    GeneralCase{123456789012345.0, "123456789012345"}, GeneralCase{1e15, "1E+15"},
                    GeneralCase{-2.5e20, "-2.5E+20"}, GeneralCase{0.00001, "0.00001"},
                    GeneralCase{1.5e-7, "1.5E-07"},
                    GeneralCase{static_cast<double>(0.1f), "0.100000001490116"}));

TEST(CellValueConversion, EmptyReadsAsZeroAndTheEmptyText) {
    const CellValue empty;
    EXPECT_EQ(empty.toInt32(), 0);
    EXPECT_EQ(empty.toSingle(), 0.0f);
    EXPECT_EQ(empty.toText(), "");
    EXPECT_TRUE(CellValue::text("").isEmpty());
}

TEST(CellValueConversion, WholeNumbersRoundHalfToEven) {
    EXPECT_EQ(CellValue::number(2.5).toInt32(), 2);
    EXPECT_EQ(CellValue::number(3.5).toInt32(), 4);
    EXPECT_EQ(CellValue::number(-2.5).toInt32(), -2);
    EXPECT_EQ(CellValue::number(2.4999).toInt32(), 2);
    EXPECT_EQ(CellValue::number(-7.6).toInt32(), -8);
    EXPECT_EQ(CellValue::number(2147483647.0).toInt32(), 2147483647);
    EXPECT_EQ(codeOf([] { CellValue::number(2147483648.0).toInt32(); }), Code::Overflow);
    EXPECT_EQ(codeOf([] { CellValue::number(-1e10).toInt32(); }), Code::Overflow);
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

TEST(CellValueConversion, NumbersBecomeTextAsASpreadsheetShowsThem) {
    EXPECT_EQ(CellValue::number(3.0).toText(), "3");
    EXPECT_EQ(CellValue::number(0.707).toText(), "0.707");
    EXPECT_EQ(CellValue::boolean(true).toText(), "TRUE");
    EXPECT_EQ(CellValue::boolean(false).toInt32(), 0);
    EXPECT_EQ(CellValue::boolean(true).toInt32(), 1);
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
    for (float f : {0.1f, -2.5f, 3.14159f, 1e-7f, 123456.78f, std::numeric_limits<float>::max()}) {
        const CellValue v = CellValue::single(f);
        EXPECT_EQ(v.toSingle(), f);
    }
    EXPECT_EQ(CellValue::single(0.1f).toText(), "0.1");
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
