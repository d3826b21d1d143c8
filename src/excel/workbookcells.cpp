// Reading and changing the cells of a worksheet.

#include "excel/biffsheet.h"
#include "excel/unicode.h"
#include "excel/workbookerror.h"

#include <algorithm>
#include <cmath>

namespace vantry {

namespace biff {

namespace {

// An array or table formula is one object over all its cells: once a cell of it goes, the cells
// left can no longer be written back as part of it.
void noteRemoval(CellTable& table, std::uint32_t key) {
    const auto it = table.cells.find(key);
    if (it == table.cells.end() || !it->second.anchor)
        return;
    const auto anchor = table.cells.find(*it->second.anchor);
    if (anchor != table.cells.end() &&
        (anchor->second.groupType == kArray || anchor->second.groupType == kTable))
        table.brokenGroups.insert(*it->second.anchor);
}

} // namespace

void checkCell(int row, int column) {
    if (row < 0 || row > kLastRow || column < 0 || column > kLastColumn)
        throw WorkbookError(WorkbookError::Code::BadCell,
                            "The cell lies outside the worksheet, which ends at row 65536 and "
                            "column IV.");
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

} // namespace biff

} // namespace vantry
