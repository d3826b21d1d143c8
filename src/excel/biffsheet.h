#pragma once

// What the parts of the workbook engine share and the rest of the program does not see: a
// worksheet as the engine holds it, and the steps that read, write and make its records.

#include "excel/biffworkbook.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

namespace vantry {

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

using Cell = BiffWorkbook::Cell;
using CellTable = BiffWorkbook::CellTable;

inline Cell formatted(std::uint16_t xf) {
    Cell c;
    c.xf = xf;
    return c;
}

// Cells are kept row-major by a key that packs the row above the column.
inline std::uint32_t cellKey(int row, int column) {
    return (static_cast<std::uint32_t>(row) << 8) | static_cast<std::uint32_t>(column);
}
inline int keyRow(std::uint32_t key) {
    return static_cast<int>(key >> 8);
}
inline int keyColumn(std::uint32_t key) {
    return static_cast<int>(key & 0xFF);
}

// The records of a new workbook and of a new worksheet (newworkbook.cpp).
std::vector<Record> newGlobalsRecords(std::u16string_view firstSheet);
std::vector<Record> newWorksheetRecords(bool active);
Record boundSheetRecord(std::u16string_view name);
Record dimensionsRecord(std::uint32_t firstRow, std::uint32_t endRow, std::uint16_t firstColumn,
                        std::uint16_t endColumn);

// Decodes the cell table of a worksheet's records (celltablereader.cpp).
std::unique_ptr<CellTable> parseCellTable(const std::vector<Record>& records,
                                          const std::vector<SstString>& sst);

// Writing a changed worksheet anew (celltablewriter.cpp). The string index gives a text cell's
// place in the shared string table being written.
using StringIndex = std::function<std::uint32_t(const Cell&)>;
bool writesKeptRecords(const CellTable& table, const Cell& c);
std::vector<std::uint8_t> writeChangedSheet(const CellTable& table, const StringIndex& stringIndex);
void shiftIndexRecord(std::uint8_t* body, std::size_t size, std::uint32_t delta);

// Throws WorkbookError(BadCell) for a cell outside the sheet (workbookcells.cpp).
void checkCell(int row, int column);

} // namespace biff

} // namespace vantry
