#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vantry {

// A comma-separated table as RFC 4180 writes it: fields in double quotes may hold commas, line
// breaks and quotes (doubled); lines end in LF or CRLF; a UTF-8 byte order mark before the
// header is dropped. The first record is the header.
struct CsvTable {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
    // The row number of each record as a spreadsheet shows the file: the header is row 1. A
    // record holding a quoted line break counts once.
    std::vector<std::size_t> rowNumbers;

    // The header's column of that name, case-blind and blanks around it ignored; -1 when none.
    int column(std::string_view name) const;
};

// Reads text as a table, or only its header. False, with why naming `fileName` and the row, when
// a quoted field is never closed or a quote stands in the middle of an unquoted field.
bool parseCsv(std::string_view text, const std::string& fileName, CsvTable& table, std::string& why,
              bool headerOnly = false);

// Reads a whole file as a table; why names the file when it cannot be read.
bool readCsvFile(const std::string& path, CsvTable& table, std::string& why,
                 bool headerOnly = false);

} // namespace vantry
