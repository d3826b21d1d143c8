#pragma once

#include "app/linkcolumns.h"

#include <QString>

#include <utility>
#include <vector>

namespace vantry {

// The link table's rows on the clipboard: copied as tab-separated text, and such text read back
// onto the selected rows as the changes it makes.

// The links as tab-separated text with a header line of column titles. An automatic length is
// written "auto", so that pasted onto another link it stays the distance between that link's
// own nodes.
QString linksAsTsv(const std::vector<const Link*>& links);

// What pasting tab-separated text onto the selected rows' links does.
struct LinkPaste {
    // Every value that differs from its link's, in the order the text gives them.
    std::vector<std::pair<Link*, LinkColumns::Value>> changes;
    // Why the paste is refused whole (a value that is not valid, an unknown column, a count of
    // lines that fits no selection), naming the line and the column; empty when it is not.
    QString refusal;
    // Why it changes nothing, for when it does not (only empty cells, values the links already
    // have, columns the table does not change).
    QString unchanged;
};

// Reads the text onto the links of the selected rows (null for a row that shows none): a header
// line naming the columns (by title or short name, in any case), or values in the table's
// column order: a whole row from the first column, fewer values from startColumn on. One line
// of values goes to every row, otherwise line k to row k. Number, from and to are not changed.
LinkPaste readLinkPaste(const std::vector<Link*>& rows, const QString& text, int startColumn);

} // namespace vantry
