#include "excel/biffworkbook.h"

#include "excel/unicode.h"
#include "excel/workbookerror.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace biff {

struct BiffWorkbook::Cell {
    std::uint16_t xf = 0;
    // What the cell shows; for a formula, its last calculated result.
    CellValue value;
    // The shared string of a text cell that has not been changed since it was read.
    std::optional<std::uint32_t> sst;
    // A formula (with its STRING, SHRFMLA, ARRAY or TABLE records) or an inline text cell,
    // written back exactly as it was read.
    std::vector<Record> kept;
    // A formula that is part of a shared, array or table formula names the cell that carries
    // the group's definition.
    std::optional<std::uint32_t> anchor;
    // The definition record (SHRFMLA, ARRAY or TABLE) that this formula carries, or 0.
    std::uint16_t groupType = 0;
};

struct BiffWorkbook::CellTable {
    // The sheet's records around its cell table. INDEX and DBCELL hold stream offsets of the old
    // cell table and are dropped; they are optional.
    std::vector<Record> before;
    std::vector<Record> inTable; // other records found between cell records
    std::vector<Record> after;
    std::map<std::uint16_t, std::vector<std::uint8_t>> rows; // ROW record bodies by row
    std::map<std::uint32_t, Cell> cells;                     // by cellKey, row-major
    // Array and table formulas that lost a cell; their remaining cells keep only their values.
    std::set<std::uint32_t> brokenGroups;
    std::uint16_t defaultRowHeight = 0x00FF;
    bool hasDimensions = false;
};

struct BiffWorkbook::Sheet {
    std::u16string name;
    std::uint8_t kind = 0;       // worksheet 0, macro sheet 1, chart 2, module 6
    std::uint16_t substream = 0; // the BOF record's substream type
    std::uint32_t originalOffset = 0;
    std::vector<Record> records;
    std::unique_ptr<CellTable> table;
    bool changed = false;
};

namespace {

using Cell = BiffWorkbook::Cell;
using CellTable = BiffWorkbook::CellTable;

Cell formatted(std::uint16_t xf) {
    Cell c;
    c.xf = xf;
    return c;
}

std::uint32_t cellKey(int row, int column) {
    return (static_cast<std::uint32_t>(row) << 8) | static_cast<std::uint32_t>(column);
}
int keyRow(std::uint32_t key) {
    return static_cast<int>(key >> 8);
}
int keyColumn(std::uint32_t key) {
    return static_cast<int>(key & 0xFF);
}

bool isCellTableRecord(std::uint16_t type) {
    switch (type) {
    case kRow:
    case kDbCell:
    case kBlank:
    case kMulBlank:
    case kNumber:
    case kRk:
    case kMulRk:
    case kLabel:
    case kLabelSst:
    case kRString:
    case kBoolErr:
    case kFormula:
    case kString:
    case kShrFmla:
    case kArray:
    case kTable:
        return true;
    default:
        return false;
    }
}

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

Record boundSheetRecord(std::u16string_view name) {
    Record r{kBoundSheet, {}};
    putU32(r.data, 0); // the stream offset, set when the workbook is written
    putU8(r.data, 0);  // visible
    putU8(r.data, 0);  // worksheet
    appendShortUnicodeString(r.data, name);
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

std::u16string foldCase(std::u16string_view s) {
    std::u16string out(s);
    for (char16_t& c : out) {
        if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
            c = static_cast<char16_t>(c - 0x20);
    }
    return out;
}

void checkCell(int row, int column) {
    if (row < 0 || row > kLastRow || column < 0 || column > kLastColumn)
        throw WorkbookError(WorkbookError::Code::BadCell,
                            "The cell lies outside the worksheet, which ends at row 65536 and "
                            "column IV.");
}

CellValue cachedResult(std::span<const std::uint8_t> result) {
    if (getU16(result.data() + 6) != 0xFFFF)
        return CellValue::number(getF64(result.data()));
    switch (result[0]) {
    case 1:
        return CellValue::boolean(result[2] != 0);
    case 2:
        return CellValue::error(result[2]);
    default: // a text (from the STRING record after it), the empty text, or nothing
        return {};
    }
}

std::unique_ptr<CellTable> parseCellTable(const std::vector<Record>& records,
                                          const std::vector<SstString>& sst) {
    auto table = std::make_unique<CellTable>();

    // Each record with its CONTINUE records, and the substream depth it lies at.
    std::vector<std::vector<Record>> groups;
    std::vector<int> depths;
    int depth = 0;
    for (const Record& r : records) {
        if (r.type == kContinue && !groups.empty()) {
            groups.back().push_back(r);
            continue;
        }
        if (isBofRecord(r.type))
            ++depth;
        groups.push_back({r});
        depths.push_back(depth);
        if (r.type == kEof)
            --depth;
    }
    const auto atTop = [&](std::size_t i) { return depths[i] == 1; };
    std::optional<std::size_t> first;
    std::size_t last = 0;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        if (atTop(i) && isCellTableRecord(groups[i][0].type)) {
            if (!first)
                first = i;
            last = i;
        }
    }
    // A sheet without cells gets its cell table where one belongs: after DIMENSIONS, or else
    // before WINDOW2 or the final EOF.
    std::size_t tableStart = groups.size() - 1;
    if (first) {
        tableStart = *first;
    } else {
        std::optional<std::size_t> dims, window;
        for (std::size_t i = 0; i < groups.size(); ++i) {
            if (atTop(i) && groups[i][0].type == kDimensions)
                dims = i;
            if (atTop(i) && groups[i][0].type == kWindow2 && !window)
                window = i;
        }
        tableStart = dims ? *dims + 1 : window ? *window : groups.size() - 1;
        last = tableStart - 1;
    }

    std::optional<std::uint32_t> pendingFormula;
    const auto put = [&](int row, int column, Cell cell) {
        if (column > kLastColumn)
            damaged("a cell lies outside the worksheet");
        table->cells[cellKey(row, column)] = std::move(cell);
    };

    for (std::size_t i = 0; i < groups.size(); ++i) {
        std::vector<Record>& group = groups[i];
        const Record& r = group[0];
        const bool inside = i >= tableStart && i <= last && first.has_value();
        if (!inside || !atTop(i) || !isCellTableRecord(r.type)) {
            if (atTop(i) && (r.type == kIndex || r.type == kDbCell))
                continue;
            if (atTop(i) && r.type == kDimensions)
                table->hasDimensions = true;
            if (atTop(i) && r.type == kDefaultRowHeight && r.data.size() >= 4)
                table->defaultRowHeight = getU16(r.data.data() + 2);
            auto& target = i < tableStart ? table->before : inside ? table->inTable : table->after;
            target.insert(target.end(), group.begin(), group.end());
            if (inside)
                pendingFormula.reset();
            continue;
        }

        ByteReader in(r.data, "cell");
        const auto continuesFormula =
            r.type == kString || r.type == kShrFmla || r.type == kArray || r.type == kTable;
        if (continuesFormula) {
            // Only meaningful right after the FORMULA record they belong to.
            if (pendingFormula) {
                Cell& f = table->cells[*pendingFormula];
                if (r.type == kString) {
                    ContinuedReader text(continuedSegments(group, 0), "formula result");
                    if (f.value.isEmpty())
                        f.value = CellValue::text(utf16ToUtf8(readUnicodeString(text)));
                } else {
                    f.groupType = r.type;
                }
                f.kept.insert(f.kept.end(), group.begin(), group.end());
            }
            continue;
        }
        pendingFormula.reset();

        switch (r.type) {
        case kRow: {
            if (r.data.size() < 16)
                damaged("a ROW record is too short");
            table->rows[getU16(r.data.data())] = r.data;
            break;
        }
        case kBlank: {
            const int row = in.u16(), column = in.u16();
            put(row, column, formatted(in.u16()));
            break;
        }
        case kMulBlank: {
            const int row = in.u16(), column = in.u16();
            if (in.remaining() < 2 || in.remaining() % 2 != 0)
                damaged("a MULBLANK record has a wrong length");
            const std::size_t count = (in.remaining() - 2) / 2;
            for (std::size_t k = 0; k < count; ++k)
                put(row, column + static_cast<int>(k), formatted(in.u16()));
            break;
        }
        case kNumber: {
            const int row = in.u16(), column = in.u16();
            Cell c = formatted(in.u16());
            c.value = CellValue::number(in.f64());
            put(row, column, std::move(c));
            break;
        }
        case kRk: {
            const int row = in.u16(), column = in.u16();
            Cell c = formatted(in.u16());
            c.value = CellValue::number(decodeRk(in.u32()));
            put(row, column, std::move(c));
            break;
        }
        case kMulRk: {
            const int row = in.u16(), column = in.u16();
            if (in.remaining() < 2 || (in.remaining() - 2) % 6 != 0)
                damaged("a MULRK record has a wrong length");
            const std::size_t count = (in.remaining() - 2) / 6;
            for (std::size_t k = 0; k < count; ++k) {
                Cell c = formatted(in.u16());
                c.value = CellValue::number(decodeRk(in.u32()));
                put(row, column + static_cast<int>(k), std::move(c));
            }
            break;
        }
        case kLabelSst: {
            const int row = in.u16(), column = in.u16();
            Cell c = formatted(in.u16());
            const std::uint32_t index = in.u32();
            if (index >= sst.size())
                damaged("a cell refers to a shared string that does not exist");
            c.sst = index;
            c.value = CellValue::text(utf16ToUtf8(sst[index].text));
            put(row, column, std::move(c));
            break;
        }
        case kLabel:
        case kRString: {
            const int row = in.u16(), column = in.u16();
            Cell c = formatted(in.u16());
            auto segments = continuedSegments(group, 0);
            segments[0] = segments[0].subspan(6);
            ContinuedReader text(std::move(segments), "text cell");
            c.value = CellValue::text(utf16ToUtf8(readUnicodeString(text)));
            c.kept = group;
            put(row, column, std::move(c));
            break;
        }
        case kBoolErr: {
            const int row = in.u16(), column = in.u16();
            Cell c = formatted(in.u16());
            const std::uint8_t value = in.u8();
            c.value = in.u8() ? CellValue::error(value) : CellValue::boolean(value != 0);
            put(row, column, std::move(c));
            break;
        }
        case kFormula: {
            const int row = in.u16(), column = in.u16();
            Cell c = formatted(in.u16());
            c.value = cachedResult(in.bytes(8));
            in.skip(2 + 4); // options and the unused chain field
            const std::uint16_t size = in.u16();
            const auto tokens = in.bytes(size);
            // A formula that is only a reference to a shared, array or table formula.
            if (size >= 5 && (tokens[0] == 0x01 || tokens[0] == 0x02))
                c.anchor = cellKey(getU16(tokens.data() + 1), getU16(tokens.data() + 3) & 0xFF);
            c.kept = group;
            put(row, column, std::move(c));
            pendingFormula = cellKey(row, column);
            break;
        }
        default: // DBCELL
            break;
        }
    }
    return table;
}

// A formula or inline text cell is written back as it was unless it belongs to a shared, array or
// table formula that lost its definition (or, for array and table formulas, any of its cells):
// then it keeps only its value.
bool writesKeptRecords(const CellTable& table, const Cell& c) {
    if (c.kept.empty())
        return false;
    if (c.kept[0].type != kFormula || !c.anchor)
        return true;
    if (table.brokenGroups.count(*c.anchor))
        return false;
    const auto it = table.cells.find(*c.anchor);
    if (it == table.cells.end())
        return false;
    const Cell& anchor = it->second;
    return !anchor.kept.empty() && anchor.kept[0].type == kFormula && anchor.groupType != 0;
}

void noteRemoval(CellTable& table, std::uint32_t key) {
    const auto it = table.cells.find(key);
    if (it == table.cells.end() || !it->second.anchor)
        return;
    const auto anchor = table.cells.find(*it->second.anchor);
    if (anchor != table.cells.end() &&
        (anchor->second.groupType == kArray || anchor->second.groupType == kTable))
        table.brokenGroups.insert(*it->second.anchor);
}

Record cellRecord(std::uint16_t type, int row, int column, std::uint16_t xf) {
    Record r{type, {}};
    putU16(r.data, static_cast<std::uint16_t>(row));
    putU16(r.data, static_cast<std::uint16_t>(column));
    putU16(r.data, xf);
    return r;
}

// Writes the cell records of one row, joining runs of blanks and of RK numbers into MULBLANK
// and MULRK records as Excel does.
template <class StringIndex>
void writeRowCells(std::vector<std::uint8_t>& out, const CellTable& table, int row,
                   const std::vector<std::pair<int, const Cell*>>& cells,
                   const StringIndex& stringIndex) {
    const auto rkOf = [](const Cell& c, std::uint32_t& rk) {
        return c.value.kind() == CellValue::Kind::Number && encodeRk(c.value.numberValue(), rk);
    };
    for (std::size_t i = 0; i < cells.size();) {
        // Plain variables rather than a structured binding, which some compilers cannot
        // capture in the lambda below.
        const int column = cells[i].first;
        const Cell* cell = cells[i].second;
        if (writesKeptRecords(table, *cell)) {
            for (const Record& r : cell->kept)
                appendRecord(out, r);
            ++i;
            continue;
        }
        const auto runLength = [&](auto&& fits) {
            std::size_t j = i;
            while (j < cells.size() && cells[j].first == column + static_cast<int>(j - i) &&
                   !writesKeptRecords(table, *cells[j].second) && fits(*cells[j].second))
                ++j;
            return j - i;
        };
        std::uint32_t rk = 0;
        const CellValue& v = cell->value;
        if (v.isEmpty()) {
            const std::size_t n = runLength([](const Cell& c) { return c.value.isEmpty(); });
            if (n == 1) {
                appendRecord(out, cellRecord(kBlank, row, column, cell->xf));
            } else {
                Record r{kMulBlank, {}};
                putU16(r.data, static_cast<std::uint16_t>(row));
                putU16(r.data, static_cast<std::uint16_t>(column));
                for (std::size_t k = 0; k < n; ++k)
                    putU16(r.data, cells[i + k].second->xf);
                putU16(r.data, static_cast<std::uint16_t>(column + static_cast<int>(n) - 1));
                appendRecord(out, r);
            }
            i += n;
        } else if (rkOf(*cell, rk)) {
            const std::size_t n = runLength([&](const Cell& c) {
                std::uint32_t unused = 0;
                return rkOf(c, unused);
            });
            if (n == 1) {
                Record r = cellRecord(kRk, row, column, cell->xf);
                putU32(r.data, rk);
                appendRecord(out, r);
            } else {
                Record r{kMulRk, {}};
                putU16(r.data, static_cast<std::uint16_t>(row));
                putU16(r.data, static_cast<std::uint16_t>(column));
                for (std::size_t k = 0; k < n; ++k) {
                    const Cell& c = *cells[i + k].second;
                    rkOf(c, rk);
                    putU16(r.data, c.xf);
                    putU32(r.data, rk);
                }
                putU16(r.data, static_cast<std::uint16_t>(column + static_cast<int>(n) - 1));
                appendRecord(out, r);
            }
            i += n;
        } else {
            Record r;
            switch (v.kind()) {
            case CellValue::Kind::Number:
                r = cellRecord(kNumber, row, column, cell->xf);
                putF64(r.data, v.numberValue());
                break;
            case CellValue::Kind::Text:
                r = cellRecord(kLabelSst, row, column, cell->xf);
                putU32(r.data, stringIndex(*cell));
                break;
            case CellValue::Kind::Boolean:
                r = cellRecord(kBoolErr, row, column, cell->xf);
                putU8(r.data, v.booleanValue() ? 1 : 0);
                putU8(r.data, 0);
                break;
            default:
                r = cellRecord(kBoolErr, row, column, cell->xf);
                putU8(r.data, v.errorCode());
                putU8(r.data, 1);
                break;
            }
            appendRecord(out, r);
            ++i;
        }
    }
}

template <class StringIndex>
std::vector<std::uint8_t> writeChangedSheet(const CellTable& table,
                                            const StringIndex& stringIndex) {
    std::uint32_t firstRow = 0, endRow = 0;
    std::uint16_t firstColumn = 0, endColumn = 0;
    std::map<int, std::vector<std::pair<int, const Cell*>>> byRow;
    for (const auto& [key, cell] : table.cells)
        byRow[keyRow(key)].emplace_back(keyColumn(key), &cell);
    if (!table.cells.empty()) {
        firstRow = static_cast<std::uint32_t>(byRow.begin()->first);
        endRow = static_cast<std::uint32_t>(byRow.rbegin()->first) + 1;
        int lo = kLastColumn, hi = 0;
        for (const auto& [row, cells] : byRow) {
            lo = std::min(lo, cells.front().first);
            hi = std::max(hi, cells.back().first);
        }
        firstColumn = static_cast<std::uint16_t>(lo);
        endColumn = static_cast<std::uint16_t>(hi + 1);
    }
    const Record dimensions = dimensionsRecord(firstRow, endRow, firstColumn, endColumn);

    std::vector<std::uint8_t> out;
    bool dimensionsWritten = false;
    const auto emit = [&](const Record& r) {
        const bool isDimensions = r.type == kDimensions && !dimensionsWritten;
        dimensionsWritten = dimensionsWritten || isDimensions;
        appendRecord(out, isDimensions ? dimensions : r);
    };
    for (const Record& r : table.before)
        emit(r);
    if (!table.hasDimensions)
        appendRecord(out, dimensions);

    // Rows go in blocks of 32: the ROW records of the block, then the cells of its rows.
    std::set<int> rows;
    for (const auto& [row, body] : table.rows)
        rows.insert(row);
    for (const auto& [row, cells] : byRow)
        rows.insert(row);
    for (auto blockStart = rows.begin(); blockStart != rows.end();) {
        const int block = *blockStart / 32;
        auto blockEnd = blockStart;
        while (blockEnd != rows.end() && *blockEnd / 32 == block)
            ++blockEnd;
        for (auto it = blockStart; it != blockEnd; ++it) {
            const int row = *it;
            const auto old = table.rows.find(static_cast<std::uint16_t>(row));
            const auto cells = byRow.find(row);
            Record r{kRow, {}};
            if (old != table.rows.end()) {
                r.data = old->second;
            } else {
                putU16(r.data, static_cast<std::uint16_t>(row));
                putU16(r.data, 0);
                putU16(r.data, 0);
                putU16(r.data, table.defaultRowHeight);
                putU16(r.data, 0);
                putU16(r.data, 0);
                putU16(r.data, 0x0100);
                putU16(r.data, 0x000F);
            }
            // The row's first column and the column after its last; 0 and 0 for a row that only
            // keeps its height or format.
            const bool hasCells = cells != byRow.end();
            setU16(r.data.data() + 2,
                   hasCells ? static_cast<std::uint16_t>(cells->second.front().first) : 0);
            setU16(r.data.data() + 4,
                   hasCells ? static_cast<std::uint16_t>(cells->second.back().first + 1) : 0);
            appendRecord(out, r);
        }
        for (auto it = blockStart; it != blockEnd; ++it) {
            const auto cells = byRow.find(*it);
            if (cells != byRow.end())
                writeRowCells(out, table, *it, cells->second, stringIndex);
        }
        blockStart = blockEnd;
    }

    for (const Record& r : table.inTable)
        emit(r);
    for (const Record& r : table.after)
        emit(r);
    return out;
}

// Moves the stream offsets of an INDEX record (of the old DEFCOLWIDTH and DBCELL records) with
// the sheet they belong to.
void shiftIndexRecord(std::uint8_t* body, std::size_t size, std::uint32_t delta) {
    for (std::size_t pos = 12; pos + 4 <= size; pos += 4) {
        const std::uint32_t v = getU32(body + pos);
        if (v != 0)
            setU32(body + pos, v + delta);
    }
}

} // namespace

bool isValidSheetName(std::u16string_view name) {
    if (name.empty() || name.size() > 31 || name.front() == u'\'' || name.back() == u'\'')
        return false;
    return name.find_first_of(u":\\/?*[]") == std::u16string_view::npos;
}

BiffWorkbook::BiffWorkbook() = default;
BiffWorkbook::BiffWorkbook(BiffWorkbook&&) noexcept = default;
BiffWorkbook& BiffWorkbook::operator=(BiffWorkbook&&) noexcept = default;
BiffWorkbook::~BiffWorkbook() = default;

BiffWorkbook BiffWorkbook::createNew(std::u16string_view firstSheet) {
    if (!isValidSheetName(firstSheet))
        throw WorkbookError(WorkbookError::Code::BadSheetName,
                            "\"" + utf16ToUtf8(firstSheet) + "\" cannot be a sheet name.");
    BiffWorkbook wb;
    wb.globals_ = newGlobalsRecords(firstSheet);
    for (const Record& r : wb.globals_)
        if (r.type == kXf)
            wb.xfIsStyle_.push_back((getU16(r.data.data() + 4) & 0x0004) != 0);
    Sheet sheet;
    sheet.name = std::u16string(firstSheet);
    sheet.substream = kWorksheetSubstream;
    sheet.records = newWorksheetRecords(true);
    wb.sheets_.push_back(std::move(sheet));
    wb.defaultXf_ = 15;
    return wb;
}

BiffWorkbook BiffWorkbook::parse(std::span<const std::uint8_t> stream) {
    if (stream.size() < 8)
        damaged("its workbook data is empty");
    const std::uint16_t firstType = getU16(stream.data());
    if (firstType == 0x0009 || firstType == 0x0209 || firstType == 0x0409)
        throw WorkbookError(WorkbookError::Code::UnsupportedFormat,
                            "The workbook was saved in the Excel 4.0 format or an earlier one, "
                            "which Vantry cannot read. Save it as an Excel 97-2003 workbook "
                            "(.xls) and try again.");
    if (firstType != kBof || getU16(stream.data() + 2) < 4)
        damaged("its workbook data does not begin with a BOF record");
    const std::uint16_t version = getU16(stream.data() + 4);
    if (version != kBiff8Version)
        throw WorkbookError(WorkbookError::Code::UnsupportedFormat,
                            version == kBiff5Version
                                ? "The workbook was saved in the Excel 5.0/95 format, which "
                                  "Vantry cannot read. Save it as an Excel 97-2003 workbook "
                                  "(.xls) and try again."
                                : "The workbook was saved in a version of the Excel format that "
                                  "Vantry cannot read. Save it as an Excel 97-2003 workbook "
                                  "(.xls) and try again.");
    if (getU16(stream.data() + 6) != kGlobalsSubstream)
        damaged("it does not begin with the workbook's global records");

    BiffWorkbook wb;
    std::vector<Record> globals = readSubstream(stream, 0);
    for (std::size_t i = 0; i < globals.size(); ++i) {
        Record& r = globals[i];
        switch (r.type) {
        case kFilePass:
            throw WorkbookError(WorkbookError::Code::UnsupportedFormat,
                                "The workbook is protected with a password. Vantry can read only "
                                "workbooks without one.");
        case kBoundSheet: {
            ByteReader in(r.data, "BOUNDSHEET");
            Sheet sheet;
            sheet.originalOffset = in.u32();
            in.u8();
            sheet.kind = in.u8();
            sheet.name = readShortUnicodeString(in);
            if (sheet.originalOffset >= stream.size())
                damaged("a sheet lies outside the workbook");
            sheet.records = readSubstream(stream, sheet.originalOffset);
            const Record& bof = sheet.records.front();
            sheet.substream = bof.data.size() >= 4 ? getU16(bof.data.data() + 2) : 0;
            wb.sheets_.push_back(std::move(sheet));
            wb.globals_.push_back(std::move(r));
            break;
        }
        case kSst: {
            wb.sst_ = parseSst(continuedSegments(globals, i));
            while (i + 1 < globals.size() && globals[i + 1].type == kContinue)
                ++i;
            wb.globals_.push_back({kSst, {}});
            break;
        }
        case kExtSst:
            while (i + 1 < globals.size() && globals[i + 1].type == kContinue)
                ++i;
            break;
        case kXf:
            if (r.data.size() < 6)
                damaged("a cell format record is too short");
            wb.xfIsStyle_.push_back((getU16(r.data.data() + 4) & 0x0004) != 0);
            wb.globals_.push_back(std::move(r));
            break;
        default:
            wb.globals_.push_back(std::move(r));
            break;
        }
    }
    const bool hasSst = std::any_of(wb.globals_.begin(), wb.globals_.end(),
                                    [](const Record& r) { return r.type == kSst; });
    if (!hasSst)
        wb.globals_.insert(wb.globals_.end() - 1, Record{kSst, {}});
    wb.chooseDefaultCellFormat();
    return wb;
}

void BiffWorkbook::chooseDefaultCellFormat() {
    // Excel's default cell format is 15; other writers may put it elsewhere.
    if (xfIsStyle_.size() > 15 && !xfIsStyle_[15]) {
        defaultXf_ = 15;
        return;
    }
    for (std::size_t i = 0; i < xfIsStyle_.size(); ++i) {
        if (!xfIsStyle_[i]) {
            defaultXf_ = static_cast<std::uint16_t>(i);
            return;
        }
    }
    // Only styles: add a cell format based on the Normal style after the last format.
    auto lastXf = std::find_if(globals_.rbegin(), globals_.rend(),
                               [](const Record& r) { return r.type == kXf; });
    if (lastXf == globals_.rend())
        damaged("it has no cell formats");
    auto firstXf = std::find_if(globals_.begin(), globals_.end(),
                                [](const Record& r) { return r.type == kXf; });
    Record cellXf = *firstXf;
    if (cellXf.data.size() >= 6)
        setU16(cellXf.data.data() + 4, 0x0001);
    globals_.insert(lastXf.base(), std::move(cellXf));
    defaultXf_ = static_cast<std::uint16_t>(xfIsStyle_.size());
    xfIsStyle_.push_back(false);
}

std::size_t BiffWorkbook::sheetCount() const {
    return sheets_.size();
}

const std::u16string& BiffWorkbook::sheetName(std::size_t sheet) const {
    return sheets_.at(sheet).name;
}

bool BiffWorkbook::isWorksheet(std::size_t sheet) const {
    const Sheet& s = sheets_.at(sheet);
    return s.kind == 0 && s.substream == kWorksheetSubstream;
}

std::optional<std::size_t> BiffWorkbook::findSheet(std::u16string_view name) const {
    const std::u16string wanted = foldCase(name);
    for (std::size_t i = 0; i < sheets_.size(); ++i)
        if (foldCase(sheets_[i].name) == wanted)
            return i;
    return std::nullopt;
}

std::size_t BiffWorkbook::addWorksheet(std::u16string_view name) {
    if (!isValidSheetName(name))
        throw WorkbookError(WorkbookError::Code::BadSheetName,
                            "\"" + utf16ToUtf8(name) +
                                "\" cannot be a sheet name: it must have 1 to 31 characters, "
                                "none of : \\ / ? * [ ].");
    if (findSheet(name))
        throw WorkbookError(WorkbookError::Code::BadSheetName,
                            "The workbook already has a sheet named \"" + utf16ToUtf8(name) +
                                "\".");

    auto lastSheet = std::find_if(globals_.rbegin(), globals_.rend(),
                                  [](const Record& r) { return r.type == kBoundSheet; });
    const auto at = lastSheet != globals_.rend() ? lastSheet.base() : globals_.end() - 1;
    globals_.insert(at, boundSheetRecord(name));

    // Keep the sheet count of the records that list the sheets.
    std::uint16_t nextId = 0;
    for (Record& r : globals_) {
        if (r.type == kTabId) {
            for (std::size_t p = 0; p + 2 <= r.data.size(); p += 2)
                nextId = std::max(nextId, getU16(r.data.data() + p));
            putU16(r.data, static_cast<std::uint16_t>(nextId + 1));
        } else if (r.type == kSupBook && r.data.size() >= 4 &&
                   getU16(r.data.data() + 2) == 0x0401) {
            setU16(r.data.data(), static_cast<std::uint16_t>(getU16(r.data.data()) + 1));
        }
    }

    Sheet sheet;
    sheet.name = std::u16string(name);
    sheet.substream = kWorksheetSubstream;
    sheet.records = newWorksheetRecords(false);
    sheets_.push_back(std::move(sheet));
    return sheets_.size() - 1;
}

BiffWorkbook::Sheet& BiffWorkbook::worksheet(std::size_t sheet) {
    Sheet& s = sheets_.at(sheet);
    if (!isWorksheet(sheet))
        throw WorkbookError(WorkbookError::Code::BadSheetName,
                            "\"" + utf16ToUtf8(s.name) + "\" is not a worksheet.");
    if (!s.table)
        s.table = parseCellTable(s.records, sst_);
    return s;
}

CellValue BiffWorkbook::cell(std::size_t sheet, int row, int column) {
    checkCell(row, column);
    const CellTable& t = *worksheet(sheet).table;
    const auto it = t.cells.find(cellKey(row, column));
    return it == t.cells.end() ? CellValue() : it->second.value;
}

std::optional<std::uint16_t> BiffWorkbook::cellFormat(std::size_t sheet, int row, int column) {
    checkCell(row, column);
    const CellTable& t = *worksheet(sheet).table;
    const auto it = t.cells.find(cellKey(row, column));
    if (it == t.cells.end())
        return std::nullopt;
    return it->second.xf;
}

std::uint16_t BiffWorkbook::newCellFormat(const CellTable& t, int row, int column) const {
    // A new cell takes the format of its row, or else of its column, as in a spreadsheet.
    const auto usable = [&](std::uint16_t xf) { return xf < xfIsStyle_.size() && !xfIsStyle_[xf]; };
    const auto rowRecord = t.rows.find(static_cast<std::uint16_t>(row));
    if (rowRecord != t.rows.end() && (getU16(rowRecord->second.data() + 12) & 0x0080)) {
        const auto rowXf =
            static_cast<std::uint16_t>(getU16(rowRecord->second.data() + 14) & 0x0FFF);
        if (usable(rowXf))
            return rowXf;
    }
    for (const Record& r : t.before) {
        if (r.type != kColInfo || r.data.size() < 8)
            continue;
        if (getU16(r.data.data()) <= column && column <= getU16(r.data.data() + 2) &&
            usable(getU16(r.data.data() + 6)))
            return getU16(r.data.data() + 6);
    }
    return defaultXf_;
}

void BiffWorkbook::setCell(std::size_t sheet, int row, int column, const CellValue& value) {
    checkCell(row, column);
    if (value.kind() == CellValue::Kind::Text && utf8ToUtf16(value.textValue()).size() > 32767)
        throw WorkbookError(WorkbookError::Code::TooLarge,
                            "A cell can hold at most 32767 characters.");
    if (value.kind() == CellValue::Kind::Number && !std::isfinite(value.numberValue()))
        throw WorkbookError(WorkbookError::Code::TypeMismatch,
                            "A cell cannot hold an infinite number or one that is not a number.");
    Sheet& s = worksheet(sheet);
    CellTable& t = *s.table;
    const std::uint32_t key = cellKey(row, column);
    const auto existing = t.cells.find(key);

    const std::uint16_t xf =
        existing != t.cells.end() ? existing->second.xf : newCellFormat(t, row, column);

    noteRemoval(t, key);
    if (value.isEmpty()) {
        if (existing == t.cells.end())
            return;
        // Emptying a cell keeps its format, as a spreadsheet does.
        if (xf == defaultXf_)
            t.cells.erase(existing);
        else
            t.cells[key] = formatted(xf);
    } else {
        Cell c = formatted(xf);
        c.value = value;
        t.cells[key] = std::move(c);
    }
    s.changed = true;
}

namespace {

// The number formats every spreadsheet knows by index without a FORMAT record.
constexpr std::pair<std::uint16_t, std::u16string_view> kBuiltInFormats[] = {
    {0, u"General"}, {1, u"0"},      {2, u"0.00"},      {3, u"#,##0"}, {4, u"#,##0.00"},
    {9, u"0%"},      {10, u"0.00%"}, {11, u"0.00E+00"}, {49, u"@"}};

// The index and code of a FORMAT record; nothing when the record is damaged.
std::optional<std::pair<std::uint16_t, std::u16string>> formatRecord(const Record& r) {
    if (r.type != kFormat || r.data.size() < 5)
        return std::nullopt;
    try {
        ContinuedReader in({std::span<const std::uint8_t>(r.data).subspan(2)}, "number format");
        return std::pair{getU16(r.data.data()), readUnicodeString(in)};
    } catch (const WorkbookError&) {
        return std::nullopt;
    }
}

} // namespace

std::u16string BiffWorkbook::numberFormatOf(std::uint16_t xf) const {
    std::uint16_t k = 0;
    for (const Record& r : globals_) {
        if (r.type != kXf || k++ != xf)
            continue;
        const std::uint16_t format = getU16(r.data.data() + 2);
        for (const Record& f : globals_)
            if (const auto defined = formatRecord(f); defined && defined->first == format)
                return defined->second;
        for (const auto& [index, code] : kBuiltInFormats)
            if (index == format)
                return std::u16string(code);
        return {};
    }
    return {};
}

std::uint16_t BiffWorkbook::numberFormatIndex(std::u16string_view code) {
    std::uint16_t next = 164; // the first index of a workbook's own formats
    std::optional<std::size_t> lastFormat;
    for (std::size_t i = 0; i < globals_.size(); ++i) {
        const auto defined = formatRecord(globals_[i]);
        if (!defined)
            continue;
        if (defined->second == code)
            return defined->first;
        next = std::max<std::uint16_t>(next, static_cast<std::uint16_t>(defined->first + 1));
        lastFormat = i;
    }
    for (const auto& [index, builtIn] : kBuiltInFormats)
        if (builtIn == code)
            return index;
    // A FORMAT record holds at most 255 characters.
    if (code.empty() || code.size() > 255)
        throw WorkbookError(WorkbookError::Code::TooLarge,
                            "A number format must have 1 to 255 characters.");
    Record r{kFormat, {}};
    putU16(r.data, next);
    appendUnicodeString(r.data, code);
    // Number formats go after the fonts and before the cell formats.
    const auto firstXf = std::find_if(globals_.begin(), globals_.end(),
                                      [](const Record& g) { return g.type == kXf; });
    globals_.insert(lastFormat ? globals_.begin() + static_cast<std::ptrdiff_t>(*lastFormat + 1)
                               : firstXf,
                    std::move(r));
    return next;
}

std::uint16_t BiffWorkbook::cellFormatWithNumberFormat(std::uint16_t xf, std::uint16_t format) {
    std::vector<std::size_t> xfs; // where each cell format's record lies
    for (std::size_t i = 0; i < globals_.size(); ++i)
        if (globals_[i].type == kXf)
            xfs.push_back(i);
    if (xf >= xfs.size())
        xf = defaultXf_;
    Record wanted = globals_[xfs.at(xf)];
    // A cell format record shorter than the format's 20 bytes reads as if zeros followed.
    if (wanted.data.size() < 20)
        wanted.data.resize(20, 0);
    setU16(wanted.data.data() + 2, format);
    wanted.data[9] |= 0x04; // the number format is this cell format's own, not its style's
    for (std::size_t k = 0; k < xfs.size(); ++k)
        if (!xfIsStyle_[k] && globals_[xfs[k]] == wanted)
            return static_cast<std::uint16_t>(k);
    // Excel reads at most 4050 cell formats.
    if (xfs.size() >= 4050)
        throw WorkbookError(WorkbookError::Code::TooLarge,
                            "The workbook has as many cell formats as a workbook can hold.");
    globals_.insert(globals_.begin() + static_cast<std::ptrdiff_t>(xfs.back() + 1),
                    std::move(wanted));
    xfIsStyle_.push_back(false);
    return static_cast<std::uint16_t>(xfs.size());
}

void BiffWorkbook::setCellNumberFormat(std::size_t sheet, int row, int column,
                                       std::u16string_view code) {
    checkCell(row, column);
    Sheet& s = worksheet(sheet);
    CellTable& t = *s.table;
    const std::uint32_t key = cellKey(row, column);
    auto it = t.cells.find(key);
    const std::uint16_t from = it != t.cells.end() ? it->second.xf : newCellFormat(t, row, column);
    // Saving a network formats hundreds of cells alike; the lookups need not be repeated.
    const auto cached = numberFormatXfs_.find({from, std::u16string(code)});
    const std::uint16_t xf = cached != numberFormatXfs_.end()
                                 ? cached->second
                                 : numberFormatXfs_[{from, std::u16string(code)}] =
                                       cellFormatWithNumberFormat(from, numberFormatIndex(code));
    if (it == t.cells.end())
        it = t.cells.emplace(key, formatted(xf)).first;
    Cell& cell = it->second;
    cell.xf = xf;
    // Formulas and inline texts are written back from their records, which carry the format.
    if (!cell.kept.empty() && cell.kept[0].data.size() >= 6)
        setU16(cell.kept[0].data.data() + 4, xf);
    s.changed = true;
}

void BiffWorkbook::clearRange(std::size_t sheet, int row1, int column1, int row2, int column2) {
    checkCell(row1, column1);
    checkCell(row2, column2);
    Sheet& s = worksheet(sheet);
    CellTable& t = *s.table;
    const int top = std::min(row1, row2), bottom = std::max(row1, row2);
    const int left = std::min(column1, column2), right = std::max(column1, column2);
    for (auto it = t.cells.lower_bound(cellKey(top, 0));
         it != t.cells.end() && keyRow(it->first) <= bottom;) {
        const int column = keyColumn(it->first);
        if (column < left || column > right) {
            ++it;
            continue;
        }
        noteRemoval(t, it->first);
        it = t.cells.erase(it);
        s.changed = true;
    }
}

bool BiffWorkbook::sheetChanged(std::size_t sheet) const {
    return sheets_.at(sheet).changed;
}

const std::vector<Record>& BiffWorkbook::sheetRecords(std::size_t sheet) const {
    return sheets_.at(sheet).records;
}

std::vector<std::uint8_t> BiffWorkbook::serialize() const {
    // The shared string table is rebuilt from the strings still in use, in their old order,
    // followed by the new texts. A workbook that refers to strings it does not have keeps its
    // table as it is, so that nothing is renumbered wrongly.
    const std::size_t oldCount = sst_.size();
    std::vector<std::uint32_t> renumber(oldCount, 0);
    std::vector<bool> used(oldCount, false);
    bool dangling = false;
    bool anyChanged = false;
    const auto useOld = [&](std::uint32_t index) {
        if (index < oldCount)
            used[index] = true;
        else
            dangling = true;
    };
    for (const Sheet& s : sheets_) {
        anyChanged = anyChanged || s.changed;
        if (s.changed) {
            for (const auto& [key, cell] : s.table->cells)
                if (cell.sst && !writesKeptRecords(*s.table, cell))
                    useOld(*cell.sst);
        } else {
            for (const Record& r : s.records)
                if (r.type == kLabelSst && r.data.size() >= 10)
                    useOld(getU32(r.data.data() + 6));
        }
    }
    std::vector<SstString> strings;
    for (std::size_t i = 0; i < oldCount; ++i) {
        if (used[i] || dangling) {
            renumber[i] = static_cast<std::uint32_t>(strings.size());
            strings.push_back(sst_[i]);
        }
    }
    std::unordered_map<std::u16string, std::uint32_t> plain;
    for (std::size_t i = 0; i < strings.size(); ++i)
        if (strings[i].isPlain())
            plain.emplace(strings[i].text, static_cast<std::uint32_t>(i));
    std::uint32_t references = 0;
    for (const Sheet& s : sheets_) {
        if (!s.changed) {
            for (const Record& r : s.records)
                references += r.type == kLabelSst ? 1 : 0;
            continue;
        }
        for (const auto& [key, cell] : s.table->cells) {
            if (cell.value.kind() != CellValue::Kind::Text || writesKeptRecords(*s.table, cell))
                continue;
            ++references;
            if (!cell.sst) {
                std::u16string text = utf8ToUtf16(cell.value.textValue());
                if (plain.emplace(text, static_cast<std::uint32_t>(strings.size())).second)
                    strings.push_back(SstString{std::move(text), {}, {}});
            }
        }
    }
    const auto stringIndex = [&](const Cell& c) {
        return c.sst ? renumber[*c.sst] : plain.at(utf8ToUtf16(c.value.textValue()));
    };

    std::vector<std::vector<std::uint8_t>> sheetBytes;
    std::vector<std::vector<std::size_t>> indexRecords;
    for (const Sheet& s : sheets_) {
        std::vector<std::uint8_t> bytes;
        std::vector<std::size_t> indexes;
        if (s.changed) {
            bytes = writeChangedSheet(*s.table, stringIndex);
        } else {
            for (const Record& r : s.records) {
                if (r.type == kIndex)
                    indexes.push_back(bytes.size() + 4);
                appendRecord(bytes, r);
                if (r.type == kLabelSst && r.data.size() >= 10 && !dangling)
                    setU32(bytes.data() + bytes.size() - r.data.size() + 6,
                           renumber[getU32(r.data.data() + 6)]);
            }
        }
        sheetBytes.push_back(std::move(bytes));
        indexRecords.push_back(std::move(indexes));
    }

    std::vector<std::uint8_t> out;
    std::vector<std::size_t> sheetOffsetFields;
    for (const Record& r : globals_) {
        if (r.type == kBoundSheet) {
            sheetOffsetFields.push_back(out.size() + 4);
            appendRecord(out, r);
        } else if (r.type == kSst) {
            const SstLayout layout = buildSst(strings, references);
            const Record ext = buildExtSst(layout, out.size());
            for (const Record& part : layout.records)
                appendRecord(out, part);
            appendRecord(out, ext);
        } else if (r.type == kRecalcId && anyChanged && r.data.size() >= 8) {
            // Tell spreadsheets that the stored formula results are out of date, so that
            // formulas depending on the changed cells are recalculated when the file is opened.
            Record older = r;
            setU32(older.data.data() + 4, 0);
            appendRecord(out, older);
        } else {
            appendRecord(out, r);
        }
    }

    std::size_t offset = out.size();
    for (std::size_t k = 0; k < sheets_.size(); ++k) {
        setU32(out.data() + sheetOffsetFields[k], static_cast<std::uint32_t>(offset));
        const auto delta = static_cast<std::uint32_t>(offset - sheets_[k].originalOffset);
        for (std::size_t at : indexRecords[k])
            shiftIndexRecord(sheetBytes[k].data() + at, getU16(sheetBytes[k].data() + at - 2),
                             delta);
        offset += sheetBytes[k].size();
    }
    for (const auto& bytes : sheetBytes)
        out.insert(out.end(), bytes.begin(), bytes.end());
    // Streams under 4096 bytes would go to the container's small-block area, which some
    // versions of Excel do not accept for the workbook.
    if (out.size() < 4096)
        out.resize(4096, 0);
    return out;
}

} // namespace biff
