#pragma once

#include "base/files.h"
#include "excel/cellvalue.h"
#include "excel/workbookerror.h"

#include <memory>
#include <set>
#include <string>

// The program's door to Excel 97-2003 workbooks (.xls). One wrapper serves one load or save: it
// keeps one current workbook and one current worksheet and reads and writes single cells, which
// are addressed by zero-based (row, column) pairs. The workbook is read and written by our own
// engine in this process; every failure is a WorkbookError carrying a code and a sentence for the
// user. Strings are UTF-8.
class CExcelWrapper {
public:
    // Thrown by the constructor when no workbook engine can be started. The engine runs inside
    // the program, so this build never throws it; callers still handle it as "no engine".
    struct ExcelNotCreatable {};

    CExcelWrapper();
    ~CExcelWrapper();
    CExcelWrapper(const CExcelWrapper&) = delete;
    CExcelWrapper& operator=(const CExcelWrapper&) = delete;

    // Reads the workbook file; it becomes the current workbook, with no worksheet selected.
    void OpenWorkbook(const std::string& fileName);
    // Makes a new workbook with one empty worksheet "Sheet1", makes it current and saves it
    // under the file name (replacing any file there).
    void CreateWorkbook(const std::string& fileName);
    // The same without saving: the file is written once, by SaveWorkbook, when the workbook is
    // complete, so that no empty workbook ever stands under the user's name.
    void NewWorkbook(const std::string& fileName);
    // Makes the named worksheet current, creating it after the last sheet when the workbook has
    // none of that name. The name is cut to its first 31 characters; letter case is ignored when
    // looking for it, as a spreadsheet does.
    void SelectSheet(const std::string& sheetName);

    CellValue GetCell(int row, int column) const;
    // Writing the empty value (or the empty text) empties the cell but keeps its format. A cell
    // that had no format takes that of its row or column, or else the workbook's default.
    void SetCell(int row, int column, const CellValue& value);
    // Sets the number format of the cell, as a spreadsheet's number format code ("0.000", "0");
    // the rest of the cell's format stays.
    void SetNumberFormat(int row, int column, const std::string& format);
    // The number format of the cell ("General" for a cell without one).
    std::string GetNumberFormat(int row, int column) const;
    // Removes the values and formats of the rectangle between the two corner cells.
    void ClearRange(int row1, int column1, int row2, int column2);

    // Writes the workbook to the file it was opened from or created as. The old file is replaced
    // only once the new one is complete; one marked read-only only when `readOnly` says so.
    void SaveWorkbook(ReadOnlyFiles readOnly = ReadOnlyFiles::Refuse);
    // Forgets the current workbook without saving it.
    void CloseWorkbook();

    // The names of the current workbook's worksheets, with those this wrapper created.
    const std::set<std::string>& sheetNames() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The A1-style address of a zero-based cell: (0, 0) is "A1", (3, 11) "L4", (0, 26) "AA1".
std::string CellAddress(int row, int column);
