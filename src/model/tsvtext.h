#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vantry {

// Tab-separated text as spreadsheets put it on the clipboard and read it from there (UTF-8): a
// cell holding a tab, a line break or beginning with a quote comes in quotes, with its quotes
// doubled.

using TsvLine = std::vector<std::string>;

// The lines of the text and the cells of each (LF, CRLF or CR line ends; the last line needs
// none). Blank lines at the end are dropped; a quote left open runs to the end of the text.
std::vector<TsvLine> parseTsv(std::string_view text);

// A cell as spreadsheets read it back whole.
std::string tsvCell(std::string_view text);
// The cells as one line, each written with tsvCell, ended by a line feed.
std::string tsvLine(const TsvLine& cells);

} // namespace vantry
