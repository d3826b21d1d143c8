// Writing a worksheet whose cells changed: its records around the cell table as they were, the
// cells in blocks of 32 rows as Excel lays them out, and a DIMENSIONS record that fits them.

#include "excel/biffsheet.h"
#include "excel/unicode.h"

#include <algorithm>

namespace vantry {

namespace biff {

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

namespace {

Record cellRecord(std::uint16_t type, int row, int column, std::uint16_t xf) {
    Record r{type, {}};
    putU16(r.data, static_cast<std::uint16_t>(row));
    putU16(r.data, static_cast<std::uint16_t>(column));
    putU16(r.data, xf);
    return r;
}

// Writes the cell records of one row, joining runs of blanks and of RK numbers into MULBLANK
// and MULRK records as Excel does.
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

} // namespace

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

} // namespace biff

} // namespace vantry
