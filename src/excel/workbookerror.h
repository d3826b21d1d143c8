#pragma once

#include <stdexcept>
#include <string>

namespace vantry {

// The one failure of the workbook engine: a file that cannot be opened, read or written, a cell
// or sheet that cannot be used, or a value that cannot be converted. The message is a sentence
// for the user; the code lets callers and tests tell the cases apart.
class WorkbookError : public std::runtime_error {
public:
    enum class Code {
        NoWorkbook,        // a workbook operation with no workbook open
        NoWorksheet,       // a cell operation with no worksheet selected
        BadCell,           // a row or column outside the sheet
        BadSheetName,      // a sheet name the format cannot hold, or not a worksheet
        TypeMismatch,      // a value that does not convert to the wanted type
        Overflow,          // a number too large for the wanted type
        FileNotFound,      // no file at the path
        AccessDenied,      // the file or its folder cannot be read or written
        NotAWorkbook,      // some other kind of file
        UnsupportedFormat, // a workbook of another version, or protected by a password
        Damaged,           // a workbook whose structure is broken
        WriteFailed,       // the file could not be written
        TooLarge,          // more than the format can hold
    };

    WorkbookError(Code code, const std::string& message)
        : std::runtime_error(message), code_(code) {}

    Code code() const { return code_; }

private:
    Code code_;
};

} // namespace vantry
