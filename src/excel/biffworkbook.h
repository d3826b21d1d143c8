#pragma once

#include "excel/biffrecords.h"
#include "excel/cellvalue.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace vantry {

namespace biff {

// A workbook held as the records of its Workbook stream. Records the engine has no reason to
// change are kept byte for byte; the cells of a worksheet are decoded when the sheet is first
// used, and only a worksheet whose cells changed has its cell records written anew. Saving
// rebuilds the shared string table and the stream offsets.
class BiffWorkbook {
public:
    // A workbook with one empty worksheet of that name.
    static BiffWorkbook createNew(std::u16string_view firstSheet);
    // Throws WorkbookError when the stream is not a BIFF8 workbook or is damaged.
    static BiffWorkbook parse(std::span<const std::uint8_t> stream);

    BiffWorkbook(BiffWorkbook&&) noexcept;
    BiffWorkbook& operator=(BiffWorkbook&&) noexcept;
    ~BiffWorkbook();

    // The Workbook stream, at least 4096 bytes long.
    std::vector<std::uint8_t> serialize() const;

    std::size_t sheetCount() const;
    const std::u16string& sheetName(std::size_t sheet) const;
    bool isWorksheet(std::size_t sheet) const;
    // The sheet of that name, compared as a spreadsheet does (letter case ignored).
    std::optional<std::size_t> findSheet(std::u16string_view name) const;
    // Adds an empty worksheet after the last sheet; throws WorkbookError(BadSheetName) for a name
    // the format cannot hold.
    std::size_t addWorksheet(std::u16string_view name);

    // Zero-based cells of a worksheet; the sheet must be a worksheet.
    CellValue cell(std::size_t sheet, int row, int column);
    void setCell(std::size_t sheet, int row, int column, const CellValue& value);
    // Gives the cell the number format `code` (such as "0.000"), keeping the rest of its format
    // (font, alignment, borders, fill). The workbook gains the number format and a cell format
    // for it when it has none that fit; a cell without a record gets an empty one.
    void setCellNumberFormat(std::size_t sheet, int row, int column, std::u16string_view code);
    // The number format of a cell format, as a spreadsheet writes it ("General", "0.000").
    std::u16string numberFormatOf(std::uint16_t xf) const;
    // Removes the values and formats of every cell in the rectangle.
    void clearRange(std::size_t sheet, int row1, int column1, int row2, int column2);

    // The cell format given to a cell that had none.
    std::uint16_t defaultCellFormat() const { return defaultXf_; }
    // The cell format of a cell; nothing for a cell that holds no record.
    std::optional<std::uint16_t> cellFormat(std::size_t sheet, int row, int column);
    bool sheetChanged(std::size_t sheet) const;
    // The records of the sheet's substream as they were read or created.
    const std::vector<Record>& sheetRecords(std::size_t sheet) const;
    const std::vector<SstString>& sharedStrings() const { return sst_; }

    struct Cell;
    struct CellTable;
    struct Sheet;

private:
    BiffWorkbook();
    Sheet& worksheet(std::size_t sheet);
    void chooseDefaultCellFormat();
    std::uint16_t newCellFormat(const CellTable& table, int row, int column) const;
    std::uint16_t numberFormatIndex(std::u16string_view code);
    std::uint16_t cellFormatWithNumberFormat(std::uint16_t xf, std::uint16_t format);

    std::vector<Record> globals_; // the SST's place is held by an empty SST record
    std::vector<SstString> sst_;
    std::vector<bool> xfIsStyle_;
    std::vector<Sheet> sheets_;
    std::uint16_t defaultXf_ = 15;
    // Cell formats made by setCellNumberFormat, by the format they were based on and the code.
    std::map<std::pair<std::uint16_t, std::u16string>, std::uint16_t> numberFormatXfs_;
};

// A sheet name the format can hold: 1 to 31 characters, none of : \ / ? * [ ], not starting or
// ending with an apostrophe.
bool isValidSheetName(std::u16string_view name);

} // namespace biff

} // namespace vantry
