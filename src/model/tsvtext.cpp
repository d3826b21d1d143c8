#include "model/tsvtext.h"

#include <algorithm>

namespace vantry {

std::vector<TsvLine> parseTsv(std::string_view text) {
    std::vector<TsvLine> lines;
    TsvLine cells;
    std::string cell;
    bool quoted = false;
    bool cellStart = true;
    auto endLine = [&] {
        cells.push_back(std::move(cell));
        lines.push_back(std::move(cells));
        cells.clear();
        cell.clear();
        cellStart = true;
    };
    // Tabs, quotes and line ends are single bytes that never occur inside a multi-byte UTF-8
    // character, so the text is split byte by byte.
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c != '"')
                cell += c;
            else if (i + 1 < text.size() && text[i + 1] == '"')
                cell += text[++i];
            else
                quoted = false;
            continue;
        }
        if (c == '"' && cellStart) {
            quoted = true;
            cellStart = false;
            continue;
        }
        cellStart = false;
        if (c == '\t') {
            cells.push_back(std::move(cell));
            cell.clear();
            cellStart = true;
        } else if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            endLine();
        } else if (c == '\n') {
            endLine();
        } else {
            cell += c;
        }
    }
    if (!cell.empty() || !cells.empty())
        endLine();
    auto blank = [](const TsvLine& l) {
        return std::all_of(l.begin(), l.end(), [](const std::string& s) { return s.empty(); });
    };
    while (!lines.empty() && blank(lines.back()))
        lines.pop_back();
    return lines;
}

std::string tsvCell(std::string_view text) {
    const bool quote = text.starts_with('"') || text.find_first_of("\t\n\r") != text.npos;
    if (!quote)
        return std::string(text);
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + '"';
}

std::string tsvLine(const TsvLine& cells) {
    std::string out;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i)
            out += '\t';
        out += tsvCell(cells[i]);
    }
    return out + '\n';
}

} // namespace vantry
