// The workbook held as records: reading every kind of cell record, writing changed sheets, and
// what a save keeps.

#include "excel/biffworkbook.h"
#include "excel/workbookerror.h"

#include "excel_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace vantry {

namespace {

using namespace biff;
using excel_test::anchorTokens;
using excel_test::buildStream;
using excel_test::bytes;
using excel_test::cell;
using excel_test::codeOf;
using excel_test::formula;
using excel_test::plainSst;
using Kind = CellValue::Kind;

std::vector<std::uint8_t> rk(int xf, std::uint32_t value) {
    std::vector<std::uint8_t> out;
    putU16(out, static_cast<std::uint16_t>(xf));
    putU32(out, value);
    return out;
}

const Record* firstOf(const std::vector<Record>& records, std::uint16_t type) {
    const auto it = std::find_if(records.begin(), records.end(),
                                 [&](const Record& r) { return r.type == type; });
    return it == records.end() ? nullptr : &*it;
}

int countOf(const std::vector<Record>& records, std::uint16_t type) {
    return static_cast<int>(std::count_if(records.begin(), records.end(),
                                          [&](const Record& r) { return r.type == type; }));
}

WorkbookError::Code codeOfParse(const std::vector<std::uint8_t>& stream) {
    return codeOf([&] { BiffWorkbook::parse(stream); });
}

// A sheet with a record of every kind that holds cells: row 1 single cells, row 3 a MULRK from
// column B (1, 12.34, -1), row 4 a MULBLANK from column C with formats, column A from row 6
// formulas with a number, a text continued over two records, a boolean, an error and the empty
// text as results, and B11 a shared formula.
std::vector<std::uint8_t> everyKindOfCell() {
    std::vector<std::uint8_t> label;
    appendUnicodeString(label, u"inline \u00e9");
    std::vector<std::uint8_t> mulrk = bytes({2, 0, 1, 0});
    for (auto part : {rk(15, 0x3FF00000), rk(16, 0x0000134B), rk(15, 0xFFFFFFFE)})
        mulrk.insert(mulrk.end(), part.begin(), part.end());
    mulrk.insert(mulrk.end(), {3, 0});
    return buildStream(
        {{u"Sheet1",
          {cell(kLabelSst, 0, 0, 15, bytes({1, 0, 0, 0})), cell(kLabel, 0, 1, 15, label),
           cell(kBoolErr, 0, 2, 15, bytes({0, 0})), cell(kBoolErr, 0, 3, 15, bytes({0x2A, 1})),
           cell(kBlank, 0, 4, 16), cell(kNumber, 0, 5, 15, bytes({0, 0, 0, 0, 0, 0, 0xF8, 0x3F})),
           Record{kMulRk, mulrk}, Record{kMulBlank, bytes({3, 0, 2, 0, 15, 0, 17, 0, 18, 0, 4, 0})},
           formula(5, 0, 6.5, {0x1E, 6, 0}), formula(6, 0, 0, {0x17, 1, 0, 'x'}, std::pair{0, 0}),
           Record{kString, bytes({7, 0, 0x00, 'a', 'b', 'c'})},
           Record{kContinue, bytes({0x01, 0x16, 0x04, 'd', 0, 'e', 0, 'f', 0})},
           formula(7, 0, 0, {0x1D, 1}, std::pair{1, 1}),
           formula(8, 0, 0, {0x1C, 7}, std::pair{2, 7}),
           formula(9, 0, 0, {0x17, 0, 0}, std::pair{3, 0}), formula(10, 1, 10, anchorTokens(10, 1)),
           Record{kShrFmla, bytes({10, 0, 10, 0, 1, 1, 0, 0})}}}},
        plainSst({u"first", u"second \u0416"}));
}

TEST(CellRecords, EveryKindReadsAsItsValueAndFormat) {
    BiffWorkbook wb = BiffWorkbook::parse(everyKindOfCell());
    EXPECT_EQ(wb.cell(0, 0, 0), CellValue::text("second \xD0\x96"));
    EXPECT_EQ(wb.cell(0, 0, 1), CellValue::text("inline \xC3\xA9"));
    EXPECT_EQ(wb.cell(0, 0, 2), CellValue::boolean(false));
    EXPECT_EQ(wb.cell(0, 0, 3), CellValue::error(CellValue::kErrorNA));
    EXPECT_TRUE(wb.cell(0, 0, 4).isEmpty());
    EXPECT_EQ(wb.cellFormat(0, 0, 4), 16);
    EXPECT_EQ(wb.cell(0, 0, 5), CellValue::number(1.5));

    EXPECT_EQ(wb.cell(0, 2, 1), CellValue::number(1.0));
    EXPECT_EQ(wb.cell(0, 2, 2), CellValue::number(12.34));
    EXPECT_EQ(wb.cell(0, 2, 3), CellValue::number(-1.0));
    EXPECT_TRUE(wb.cell(0, 2, 4).isEmpty());
    EXPECT_EQ(wb.cellFormat(0, 2, 2), 16);
    for (int column : {2, 3, 4})
        EXPECT_TRUE(wb.cell(0, 3, column).isEmpty());
    EXPECT_EQ(wb.cellFormat(0, 3, 3), 17);
    EXPECT_EQ(wb.cellFormat(0, 3, 4), 18);
    EXPECT_FALSE(wb.cellFormat(0, 3, 5).has_value());

    EXPECT_EQ(wb.cell(0, 5, 0), CellValue::number(6.5));
    EXPECT_EQ(wb.cell(0, 6, 0), CellValue::text("abc\xD0\x96"
                                                "def"));
    EXPECT_EQ(wb.cell(0, 7, 0), CellValue::boolean(true));
    EXPECT_EQ(wb.cell(0, 8, 0), CellValue::error(CellValue::kErrorDiv0));
    EXPECT_TRUE(wb.cell(0, 9, 0).isEmpty()); // the empty text
    EXPECT_EQ(wb.cell(0, 10, 1), CellValue::number(10));
}

TEST(CellRecords, ABrokenCellRecordIsADamagedWorkbook) {
    // The sheet is read only when it is used: the dangling string shows then.
    BiffWorkbook wb = BiffWorkbook::parse(
        buildStream({{u"S", {cell(kLabelSst, 0, 0, 15, bytes({9, 0, 0, 0}))}}}, plainSst({u"x"})));
    EXPECT_EQ(codeOf([&] { wb.cell(0, 0, 0); }), WorkbookError::Code::Damaged);
    BiffWorkbook shortRecord =
        BiffWorkbook::parse(buildStream({{u"S", {Record{kNumber, bytes({0, 0, 0, 0, 15})}}}}));
    EXPECT_THROW(shortRecord.cell(0, 0, 0), WorkbookError);
}

TEST(WorkbookVersions, OlderFormatsAndPasswordsAreRefused) {
    std::vector<std::uint8_t> biff5 = buildStream({{u"S", {}}});
    setU16(biff5.data() + 4, kBiff5Version);
    EXPECT_EQ(codeOfParse(biff5), WorkbookError::Code::UnsupportedFormat);

    std::vector<std::uint8_t> biff4;
    appendRecord(biff4, 0x0409, bytes({0, 0, 0x10, 0, 0, 0}));
    appendRecord(biff4, kEof, {});
    EXPECT_EQ(codeOfParse(biff4), WorkbookError::Code::UnsupportedFormat);

    const auto locked = buildStream({{u"S", {}}}, {}, {Record{kFilePass, bytes({0, 0})}});
    EXPECT_EQ(codeOfParse(locked), WorkbookError::Code::UnsupportedFormat);

    std::vector<std::uint8_t> cut = buildStream({{u"S", {}}});
    cut.resize(cut.size() - 10);
    EXPECT_EQ(codeOfParse(cut), WorkbookError::Code::Damaged);
    EXPECT_EQ(codeOfParse(std::vector<std::uint8_t>(4096, 0)), WorkbookError::Code::Damaged);
}

TEST(SavedWorkbook, IsAtLeast4096BytesAndReadsBackItsCells) {
    BiffWorkbook wb = BiffWorkbook::createNew(u"Sheet1");
    wb.setCell(0, 0, 0, CellValue::text("KX101"));
    for (int c = 0; c < 6; ++c)
        wb.setCell(0, 5, c, CellValue::number(c * 1.5));
    wb.setCell(0, 6, 1, CellValue::number(0.1));
    wb.setCell(0, 7, 2, CellValue::boolean(true));
    wb.setCell(0, 8, 3, CellValue::error(CellValue::kErrorRef));
    wb.setCell(0, 65535, 255, CellValue::text("corner"));
    const std::vector<std::uint8_t> stream = wb.serialize();
    EXPECT_GE(stream.size(), 4096u);

    BiffWorkbook back = BiffWorkbook::parse(stream);
    EXPECT_EQ(back.cell(0, 0, 0), CellValue::text("KX101"));
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(back.cell(0, 5, c), CellValue::number(c * 1.5));
    EXPECT_EQ(back.cell(0, 6, 1), CellValue::number(0.1));
    EXPECT_EQ(back.cell(0, 7, 2), CellValue::boolean(true));
    EXPECT_EQ(back.cell(0, 8, 3), CellValue::error(CellValue::kErrorRef));
    EXPECT_EQ(back.cell(0, 65535, 255), CellValue::text("corner"));
    // A run of RK numbers is one MULRK record.
    EXPECT_EQ(countOf(back.sheetRecords(0), kMulRk), 1);
    const Record* dims = firstOf(back.sheetRecords(0), kDimensions);
    ASSERT_NE(dims, nullptr);
    EXPECT_EQ(dims->data, bytes({0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0}));
}

TEST(SavedWorkbook, KeepsUntouchedSheetsByteForByteAndMovesTheirIndex) {
    // Sheet "Other" has an INDEX record pointing at its DBCELL record, which must still point
    // there once the sheet has moved.
    std::vector<Record> other{Record{kIndex, std::vector<std::uint8_t>(20, 0)},
                              cell(kNumber, 0, 0, 15, std::vector<std::uint8_t>(8, 0)),
                              cell(kLabelSst, 0, 1, 15, bytes({2, 0, 0, 0})),
                              Record{kDbCell, bytes({0, 0, 0, 0})}};
    std::vector<std::uint8_t> stream = buildStream(
        {{u"Sheet1", {cell(kLabelSst, 0, 0, 15, bytes({0, 0, 0, 0}))}}, {u"Other", other}},
        plainSst({u"replaced", u"unused", u"kept"}));
    const std::size_t index = excel_test::recordOffsets(stream, kIndex).at(0);
    const std::size_t dbcell = excel_test::recordOffsets(stream, kDbCell).at(0);
    setU32(stream.data() + index + 4 + 16, static_cast<std::uint32_t>(dbcell));
    BiffWorkbook wb = BiffWorkbook::parse(stream);
    const std::vector<Record> before = wb.sheetRecords(1);

    wb.setCell(0, 0, 0, CellValue::text("a much longer text than before, to move the sheets"));
    const std::vector<std::uint8_t> saved = wb.serialize();
    BiffWorkbook back = BiffWorkbook::parse(saved);
    EXPECT_FALSE(back.sheetChanged(0));
    EXPECT_EQ(back.cell(1, 0, 1), CellValue::text("kept"));
    // Only the string's number changed: "replaced" and "unused" are gone from the table.
    std::vector<Record> after = back.sheetRecords(1);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (after[i].type == kLabelSst) {
            EXPECT_EQ(getU32(after[i].data.data() + 6), 0u);
            setU32(after[i].data.data() + 6, 2);
        }
        if (after[i].type != kIndex) {
            EXPECT_EQ(after[i], before[i]) << "record " << i;
        }
    }
    EXPECT_EQ(back.sharedStrings().size(), 2u);
    const std::uint32_t target = getU32(firstOf(after, kIndex)->data.data() + 16);
    ASSERT_LT(target + 2, saved.size());
    EXPECT_EQ(getU16(saved.data() + target), kDbCell);
}

// The FORMULA, SHRFMLA and ARRAY records of the first sheet.
std::tuple<int, int, int> formulaRecords(const BiffWorkbook& wb) {
    const std::vector<Record>& records = wb.sheetRecords(0);
    return {countOf(records, kFormula), countOf(records, kShrFmla), countOf(records, kArray)};
}

TEST(SavedWorkbook, SharedFormulasLoseOnlyWhatTheyCannotKeep) {
    // B1:B3 share the formula anchored at B1; D1:D2 are an array formula anchored at D1.
    const auto stream = buildStream(
        {{u"Sheet1",
          {formula(0, 1, 10, anchorTokens(0, 1)), Record{kShrFmla, bytes({0, 0, 2, 0, 1, 1, 0, 0})},
           formula(0, 3, 1, anchorTokens(0, 3)), Record{kArray, bytes({0, 0, 1, 0, 3, 3})},
           formula(1, 1, 20, anchorTokens(0, 1)), formula(1, 3, 2, anchorTokens(0, 3)),
           formula(2, 1, 30, anchorTokens(0, 1))}}});

    // Clearing a cell that uses the shared formula keeps the others as formulas.
    BiffWorkbook keep = BiffWorkbook::parse(stream);
    keep.clearRange(0, 2, 1, 2, 1);
    BiffWorkbook kept = BiffWorkbook::parse(keep.serialize());
    EXPECT_EQ(formulaRecords(kept), std::tuple(4, 1, 1));

    // Overwriting the anchor leaves the cells that used it with their last values; clearing part
    // of the array formula does the same to the rest of it.
    BiffWorkbook wb = BiffWorkbook::parse(stream);
    wb.setCell(0, 0, 1, CellValue::number(99));
    wb.clearRange(0, 1, 3, 1, 3);
    BiffWorkbook back = BiffWorkbook::parse(wb.serialize());
    EXPECT_EQ(formulaRecords(back), std::tuple(0, 0, 0));
    EXPECT_EQ(back.cell(0, 0, 1), CellValue::number(99));
    EXPECT_EQ(back.cell(0, 1, 1), CellValue::number(20));
    EXPECT_EQ(back.cell(0, 2, 1), CellValue::number(30));
    EXPECT_EQ(back.cell(0, 0, 3), CellValue::number(1));
    EXPECT_TRUE(back.cell(0, 1, 3).isEmpty());
}

TEST(SavedWorkbook, NewCellsTakeTheFormatOfTheirRowOrColumn) {
    std::vector<std::uint8_t> row = bytes({5, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0x80, 0x01});
    putU16(row, 17); // the row's own format
    const std::vector<Record> records{
        Record{kColInfo, bytes({2, 0, 4, 0, 0, 9, 16, 0, 0, 0, 0, 0})}, // C:E use format 16
        Record{kRow, row}, cell(kNumber, 9, 9, 18, std::vector<std::uint8_t>(8, 0))};
    BiffWorkbook wb = BiffWorkbook::parse(buildStream({{u"Sheet1", records}}));
    wb.setCell(0, 5, 0, CellValue::number(1)); // in the formatted row
    wb.setCell(0, 0, 3, CellValue::number(2)); // in a formatted column
    wb.setCell(0, 0, 7, CellValue::number(3)); // neither
    wb.setCell(0, 9, 9, CellValue::number(4)); // keeps its own
    EXPECT_EQ(wb.cellFormat(0, 5, 0), 17);
    EXPECT_EQ(wb.cellFormat(0, 0, 3), 16);
    EXPECT_EQ(wb.cellFormat(0, 0, 7), 15);
    EXPECT_EQ(wb.cellFormat(0, 9, 9), 18);
    // Emptying a formatted cell keeps the format; emptying a plain one removes the cell.
    wb.setCell(0, 9, 9, CellValue());
    wb.setCell(0, 0, 7, CellValue());
    BiffWorkbook back = BiffWorkbook::parse(wb.serialize());
    EXPECT_EQ(back.cellFormat(0, 9, 9), 18);
    EXPECT_FALSE(back.cellFormat(0, 0, 7).has_value());
    EXPECT_EQ(back.cellFormat(0, 5, 0), 17);
}

// The FORMAT and XF records of a workbook stream's globals.
std::pair<int, int> formatAndXfCounts(const std::vector<std::uint8_t>& stream) {
    const std::vector<Record> globals = readSubstream(stream, 0);
    return {countOf(globals, kFormat), countOf(globals, kXf)};
}

TEST(SavedWorkbook, NumberFormatsAreAddedOnceAndKeepTheRestOfTheCellFormat) {
    BiffWorkbook wb = BiffWorkbook::createNew(u"Sheet1");
    const auto [formats, xfs] = formatAndXfCounts(wb.serialize());
    wb.setCell(0, 0, 0, CellValue::number(1.5));
    wb.setCellNumberFormat(0, 0, 0, u"0.000");
    wb.setCellNumberFormat(0, 1, 0, u"0.000"); // a cell without a record gets one
    wb.setCell(0, 2, 0, CellValue::number(2));
    wb.setCellNumberFormat(0, 2, 0, u"0");
    EXPECT_EQ(wb.cellFormat(0, 0, 0), wb.cellFormat(0, 1, 0));
    EXPECT_EQ(wb.numberFormatOf(*wb.cellFormat(0, 0, 0)), u"0.000");
    EXPECT_EQ(wb.numberFormatOf(*wb.cellFormat(0, 2, 0)), u"0");
    EXPECT_EQ(wb.numberFormatOf(wb.defaultCellFormat()), u"General");
    EXPECT_EQ(wb.cell(0, 0, 0), CellValue::number(1.5));
    // One new number format ("0" is built in) and two new cell formats.
    std::vector<std::uint8_t> saved = wb.serialize();
    EXPECT_EQ(formatAndXfCounts(saved), std::pair(formats + 1, xfs + 2));

    // Read back and formatted again, the workbook reuses what it has.
    BiffWorkbook back = BiffWorkbook::parse(saved);
    EXPECT_EQ(back.numberFormatOf(*back.cellFormat(0, 1, 0)), u"0.000");
    back.setCellNumberFormat(0, 5, 5, u"0.000");
    back.setCellNumberFormat(0, 6, 5, u"0");
    EXPECT_EQ(back.cellFormat(0, 5, 5), back.cellFormat(0, 0, 0));
    EXPECT_EQ(formatAndXfCounts(back.serialize()), std::pair(formats + 1, xfs + 2));

    // A cell in a row with a format of its own (another font, centred) keeps all of it but the
    // number format.
    std::vector<std::uint8_t> row = bytes({5, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0x80, 0x01});
    putU16(row, 17);
    std::vector<std::uint8_t> stream = buildStream({{u"Sheet1", {Record{kRow, row}}}});
    const std::size_t xf17 = excel_test::recordOffsets(stream, kXf).at(17);
    setU16(&stream[xf17 + 4], 3); // the font
    stream[xf17 + 4 + 6] = 0x22;  // centred
    BiffWorkbook rowFormatted = BiffWorkbook::parse(stream);
    rowFormatted.setCellNumberFormat(0, 5, 0, std::u16string(149, u'0'));
    const std::uint16_t xf = *rowFormatted.cellFormat(0, 5, 0);
    EXPECT_EQ(rowFormatted.numberFormatOf(xf), std::u16string(149, u'0'));
    const std::vector<Record> globals = readSubstream(rowFormatted.serialize(), 0);
    std::vector<const Record*> xfRecords;
    for (const Record& r : globals)
        if (r.type == kXf)
            xfRecords.push_back(&r);
    ASSERT_LT(xf, xfRecords.size());
    std::vector<std::uint8_t> made = xfRecords[xf]->data, based = xfRecords[17]->data;
    EXPECT_EQ(getU16(made.data()), 3);
    EXPECT_EQ(made[6], 0x22);
    EXPECT_EQ(made[9] & 0x04, 0x04); // the cell's own number format
    made[2] = based[2];
    made[3] = based[3];
    made[9] = based[9];
    EXPECT_EQ(made, based);
    // A number format holds at most 255 characters.
    EXPECT_EQ(codeOf([&] { rowFormatted.setCellNumberFormat(0, 0, 0, std::u16string(256, u'0')); }),
              WorkbookError::Code::TooLarge);
}

TEST(SavedWorkbook, AddsSheetsAfterTheLastAndKeepsTheSheetListsInStep) {
    const auto stream =
        buildStream({{u"Data", {}}}, {},
                    {Record{kTabId, bytes({1, 0})}, Record{kSupBook, bytes({1, 0, 1, 4})}});
    BiffWorkbook wb = BiffWorkbook::parse(stream);
    EXPECT_EQ(wb.findSheet(u"DATA"), 0u);
    EXPECT_EQ(wb.addWorksheet(u"Sheet1"), 1u);
    EXPECT_THROW(wb.addWorksheet(u"sheet1"), WorkbookError);
    EXPECT_THROW(wb.addWorksheet(u"a:b"), WorkbookError);
    EXPECT_THROW(wb.addWorksheet(std::u16string(32, u'x')), WorkbookError);
    wb.setCell(1, 0, 0, CellValue::text("x"));
    BiffWorkbook back = BiffWorkbook::parse(wb.serialize());
    ASSERT_EQ(back.sheetCount(), 2u);
    EXPECT_EQ(back.sheetName(1), u"Sheet1");
    EXPECT_EQ(back.cell(1, 0, 0), CellValue::text("x"));
    // The tab ids and the count of sheets in the workbook's own SUPBOOK grow with the sheets.
    const std::vector<Record> globals = readSubstream(back.serialize(), 0);
    ASSERT_NE(firstOf(globals, kTabId), nullptr);
    EXPECT_EQ(firstOf(globals, kTabId)->data, bytes({1, 0, 2, 0}));
    ASSERT_NE(firstOf(globals, kSupBook), nullptr);
    EXPECT_EQ(firstOf(globals, kSupBook)->data, bytes({2, 0, 1, 4}));
}

// Reads every cell of every worksheet, as a load and a save would touch them.
void readEverything(std::span<const std::uint8_t> stream) {
    BiffWorkbook wb = BiffWorkbook::parse(stream);
    for (std::size_t s = 0; s < wb.sheetCount(); ++s) {
        if (!wb.isWorksheet(s))
            continue;
        for (int row = 0; row < 12; ++row)
            for (int column = 0; column < 8; ++column)
                (void)wb.cell(s, row, column);
        wb.setCell(s, 0, 0, CellValue::text("x"));
    }
    (void)wb.serialize();
}

TEST(DamagedWorkbooks, AreRefusedWithoutReadingOutsideTheirRecords) {
    const std::vector<std::uint8_t> good = everyKindOfCell();
    readEverything(good);
    // Every byte in turn takes a few hostile values; each stream either reads or is refused.
    int refused = 0;
    for (std::size_t at = 0; at < good.size(); ++at) {
        for (std::uint8_t value : {0x00, 0x01, 0x7F, 0xFF}) {
            std::vector<std::uint8_t> bad = good;
            if (bad[at] == value)
                continue;
            bad[at] = value;
            try {
                readEverything(bad);
            } catch (const WorkbookError&) {
                ++refused;
            }
        }
    }
    EXPECT_GT(refused, 0);
    for (std::size_t cut = 0; cut < good.size(); cut += 7) {
        try {
            readEverything(std::span(good.data(), cut));
        } catch (const WorkbookError&) {
            ++refused;
        }
    }
}

} // namespace

} // namespace vantry
