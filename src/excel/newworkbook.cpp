// The records of a new workbook: what every reader expects to find, written as Excel 97 does.

#include "excel/biffsheet.h"

namespace vantry {

namespace biff {

namespace {

Record makeRecord(std::uint16_t type, std::initializer_list<std::uint16_t> words) {
    Record r{type, {}};
    for (std::uint16_t w : words)
        putU16(r.data, w);
    return r;
}

Record bofRecord(std::uint16_t substream) {
    Record r{kBof, {}};
    putU16(r.data, kBiff8Version);
    putU16(r.data, substream);
    putU16(r.data, 0x0DBB); // the build and year that Excel 97 writes
    putU16(r.data, 0x07CC);
    putU32(r.data, 0);
    putU32(r.data, 0x00000006);
    return r;
}

Record fontRecord() {
    Record r{kFont, {}};
    putU16(r.data, 200);    // 10 points, in twentieths
    putU16(r.data, 0);      // no italic, strike-out, outline or shadow
    putU16(r.data, 0x7FFF); // the window text colour
    putU16(r.data, 400);    // normal weight
    putU16(r.data, 0);      // no superscript or subscript
    putU8(r.data, 0);       // no underline
    putU8(r.data, 0);       // family
    putU8(r.data, 0);       // ANSI character set
    putU8(r.data, 0);
    appendShortUnicodeString(r.data, u"Arial");
    return r;
}

Record xfRecord(std::uint16_t font, std::uint16_t format, bool style, std::uint8_t usedAttributes) {
    Record r{kXf, {}};
    putU16(r.data, font);
    putU16(r.data, format);
    // Locked; a style has no parent (0xFFF), a cell format's parent is the Normal style.
    putU16(r.data, style ? 0xFFF5 : 0x0001);
    putU8(r.data, 0x20); // bottom-aligned, general horizontal alignment
    putU8(r.data, 0);
    putU8(r.data, 0);
    putU8(r.data, usedAttributes);
    putU32(r.data, 0); // no borders
    putU32(r.data, 0);
    putU16(r.data, 0x20C0); // the automatic pattern colours
    return r;
}

Record styleRecord(std::uint16_t xf, std::uint8_t builtIn) {
    Record r{kStyle, {}};
    putU16(r.data, static_cast<std::uint16_t>(0x8000 | xf));
    putU8(r.data, builtIn);
    putU8(r.data, 0xFF);
    return r;
}

} // namespace

Record boundSheetRecord(std::u16string_view name) {
    Record r{kBoundSheet, {}};
    putU32(r.data, 0); // the stream offset, set when the workbook is written
    putU8(r.data, 0);  // visible
    putU8(r.data, 0);  // worksheet
    appendShortUnicodeString(r.data, name);
    return r;
}

Record dimensionsRecord(std::uint32_t firstRow, std::uint32_t endRow, std::uint16_t firstColumn,
                        std::uint16_t endColumn) {
    Record r{kDimensions, {}};
    putU32(r.data, firstRow);
    putU32(r.data, endRow);
    putU16(r.data, firstColumn);
    putU16(r.data, endColumn);
    putU16(r.data, 0);
    return r;
}

std::vector<Record> newWorksheetRecords(bool active) {
    std::vector<Record> records;
    records.push_back(bofRecord(kWorksheetSubstream));
    records.push_back(makeRecord(kCalcCount, {100}));
    records.push_back(makeRecord(kCalcMode, {1}));
    records.push_back(makeRecord(kRefMode, {1}));
    records.push_back(makeRecord(kIteration, {0}));
    Record delta{kDelta, {}};
    putF64(delta.data, 0.001);
    records.push_back(delta);
    records.push_back(makeRecord(kSaveRecalc, {1}));
    records.push_back(makeRecord(kPrintHeaders, {0}));
    records.push_back(makeRecord(kPrintGridLines, {0}));
    records.push_back(makeRecord(kGridSet, {1}));
    records.push_back(makeRecord(kGuts, {0, 0, 0, 0}));
    records.push_back(makeRecord(kDefaultRowHeight, {0, 0x00FF}));
    records.push_back(makeRecord(kWsBool, {0x04C1}));
    records.push_back(makeRecord(kDefColWidth, {8}));
    records.push_back(dimensionsRecord(0, 0, 0, 0));
    // Grid lines, headers, zeros, outline symbols; the active sheet is selected and shown.
    const std::uint16_t options = active ? 0x06B6 : 0x00B6;
    Record window{kWindow2, {}};
    putU16(window.data, options);
    putU16(window.data, 0);
    putU16(window.data, 0);
    putU32(window.data, 64); // the automatic grid line colour
    putU16(window.data, 0);
    putU16(window.data, 0);
    putU32(window.data, 0);
    records.push_back(window);
    records.push_back({kEof, {}});
    return records;
}

// The globals of a new workbook: the records every reader expects, five fonts (the fourth index
// is never used, so they are numbered 0, 1, 2, 3 and 5), the fifteen built-in style formats, the
// default cell format 15, the number styles and one sheet.
std::vector<Record> newGlobalsRecords(std::u16string_view firstSheet) {
    std::vector<Record> g;
    g.push_back(bofRecord(kGlobalsSubstream));
    g.push_back(makeRecord(kInterfaceHdr, {0x04B0}));
    g.push_back(makeRecord(kMms, {0}));
    g.push_back({kInterfaceEnd, {}});
    g.push_back(makeRecord(kCodepage, {0x04B0}));
    g.push_back(makeRecord(kDsf, {0}));
    g.push_back(makeRecord(kTabId, {1}));
    g.push_back(makeRecord(kWindowProtect, {0}));
    g.push_back(makeRecord(kProtect, {0}));
    g.push_back(makeRecord(kPassword, {0}));
    g.push_back(makeRecord(kProt4Rev, {0}));
    g.push_back(makeRecord(kProt4RevPass, {0}));
    g.push_back(makeRecord(kBackup, {0}));
    g.push_back(makeRecord(kHideObj, {0}));
    g.push_back(makeRecord(kWindow1, {0x0168, 0x010E, 0x3A5C, 0x23BE, 0x0038, 0, 0, 1, 0x0258}));
    g.push_back(makeRecord(kDateMode, {0}));
    g.push_back(makeRecord(kPrecision, {1}));
    g.push_back(makeRecord(kRefreshAll, {0}));
    g.push_back(makeRecord(kBookBool, {0}));
    for (int i = 0; i < 5; ++i)
        g.push_back(fontRecord());
    g.push_back(xfRecord(0, 0, true, 0x00));
    for (std::uint16_t font : {1, 1, 2, 2})
        g.push_back(xfRecord(font, 0, true, 0xF4));
    for (int i = 0; i < 10; ++i)
        g.push_back(xfRecord(0, 0, true, 0xF4));
    g.push_back(xfRecord(0, 0, false, 0x00));
    // Comma, Comma [0], Currency, Currency [0] and Percent, with their built-in number formats.
    for (std::uint16_t format : {43, 41, 44, 42, 9})
        g.push_back(xfRecord(1, format, true, 0xF8));
    g.push_back(styleRecord(0, 0));
    g.push_back(styleRecord(16, 3));
    g.push_back(styleRecord(17, 6));
    g.push_back(styleRecord(18, 4));
    g.push_back(styleRecord(19, 7));
    g.push_back(styleRecord(20, 5));
    g.push_back(makeRecord(kUsesElfs, {0}));
    g.push_back(boundSheetRecord(firstSheet));
    g.push_back(makeRecord(kCountry, {1, 1}));
    g.push_back({kSst, {}});
    g.push_back({kEof, {}});
    return g;
}

} // namespace biff

} // namespace vantry
