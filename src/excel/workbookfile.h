#pragma once

#include "base/files.h"
#include "excel/cellvalue.h"
#include "excel/workbookerror.h"

#include <memory>
#include <optional>
#include <set>
#include <string>

namespace vantry {

// An Excel 97-2003 workbook file (.xls) open for one load or save: the workbook engine's records
// inside the file's compound container, with one current worksheet whose single cells are read
// and written by zero-based (row, column) pairs. Every failure is a WorkbookError carrying a code
// and a sentence for the user. Strings are UTF-8.
class WorkbookFile {
public:
    WorkbookFile();
    ~WorkbookFile();
    WorkbookFile(const WorkbookFile&) = delete;
    WorkbookFile& operator=(const WorkbookFile&) = delete;

    // Reads the workbook file; it becomes the current workbook, with no worksheet selected.
    void open(const std::string& fileName);
    // Makes a new workbook with one empty worksheet "Sheet1", makes it current and saves it
    // under the file name (replacing any file there).
    void create(const std::string& fileName);
    // The same without saving: the file is written once, by save, when the workbook is
    // complete, so that no empty workbook ever stands under the user's name.
    void startNew(const std::string& fileName);
    // Makes the named worksheet current, creating it after the last sheet when the workbook has
    // none of that name. The name is cut to its first 31 characters; letter case is ignored when
    // looking for it, as a spreadsheet does.
    void selectSheet(const std::string& sheetName);

    CellValue cell(int row, int column) const;
    // Writing the empty value (or the empty text) empties the cell but keeps its format. A cell
    // that had no format takes that of its row or column, or else the workbook's default.
    void setCell(int row, int column, const CellValue& value);
    // Sets the number format of the cell, as a spreadsheet's number format code ("0.000", "0");
    // the rest of the cell's format stays.
    void setNumberFormat(int row, int column, const std::string& format);
    // The number format of the cell ("General" for a cell without one).
    std::string numberFormat(int row, int column) const;
    // Removes the values and formats of the rectangle between the two corner cells.
    void clearRange(int row1, int column1, int row2, int column2);

    // Writes the workbook to the file it was opened from or created as. The old file is replaced
    // only once the new one is complete; one marked read-only only when `readOnly` says so.
    void save(ReadOnlyFiles readOnly = ReadOnlyFiles::Refuse);
    // Forgets the current workbook without saving it.
    void close();

    // The names of the current workbook's worksheets, with those selectSheet created.
    const std::set<std::string>& sheetNames() const;

    // A custom document property of the workbook (documentproperties.h), kept outside every
    // sheet; an empty `text` removes it. Written by save.
    std::optional<std::string> customProperty(const std::string& name) const;
    void setCustomProperty(const std::string& name, const std::optional<std::string>& text);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The A1-style address of a zero-based cell: (0, 0) is "A1", (3, 11) "L4", (0, 26) "AA1".
std::string cellAddress(int row, int column);

} // namespace vantry
