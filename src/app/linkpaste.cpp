#include "app/linkpaste.h"

#include "model/tsvtext.h"

#include <QStringList>

#include <algorithm>

namespace vantry {

namespace {

using Lines = std::vector<QStringList>;

Lines tsvLines(const QString& text) {
    Lines lines;
    for (const TsvLine& cells : parseTsv(text.toStdString())) {
        QStringList line;
        for (const std::string& cell : cells)
            line << QString::fromStdString(cell);
        lines.push_back(line);
    }
    return lines;
}

bool isNumber(const QString& text) {
    bool ok = false;
    text.trimmed().toDouble(&ok);
    return ok;
}

// Whether the first of the pasted lines names columns. It does when a cell is a column's name;
// it is taken to try to when it holds words over numbers in the next line, so that a misspelt
// name is reported rather than pasted as a value.
bool looksLikeHeader(const Lines& lines) {
    const QStringList& first = lines.front();
    if (std::any_of(first.begin(), first.end(),
                    [](const QString& c) { return LinkColumns::named(c) >= 0; }))
        return true;
    if (lines.size() < 2)
        return false;
    const QStringList& next = lines[1];
    for (qsizetype i = 0; i < first.size() && i < next.size(); ++i)
        if (!first[i].trimmed().isEmpty() && !isNumber(first[i]) && isNumber(next[i]))
            return true;
    return false;
}

// "Link", "Link and From", "Link, From and To".
QString listed(const QStringList& names) {
    if (names.size() < 2)
        return names.join(QString());
    return names.mid(0, names.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") +
           names.back();
}

// The columns the header line names, in its order (-1 for a blank cell); the refusal when it
// names a column twice or one the table does not have.
std::vector<int> headerColumns(const QStringList& header, QString& refusal) {
    std::vector<int> columns;
    QStringList unknown;
    for (const QString& cell : header) {
        const int c = LinkColumns::named(cell);
        if (c < 0 && !cell.trimmed().isEmpty())
            unknown << QStringLiteral("\"%1\"").arg(cell.trimmed());
        if (c >= 0 && std::count(columns.begin(), columns.end(), c) > 0) {
            refusal = QStringLiteral("The column %1 is named twice in the first line.")
                          .arg(LinkColumns::title(c));
            return {};
        }
        columns.push_back(c);
    }
    if (!unknown.isEmpty())
        refusal = QStringLiteral("The table has no column %1. Name the columns as the table does, "
                                 "or as lanes, capacity, length, speed, jam density, direction, "
                                 "type or description.")
                      .arg(listed(unknown));
    return columns;
}

} // namespace

QString linksAsTsv(const std::vector<const Link*>& links) {
    TsvLine line;
    for (int c = 0; c < LinkColumns::ColumnCount; ++c)
        line.push_back(LinkColumns::title(c).toStdString());
    std::string text = tsvLine(line);
    for (const Link* link : links) {
        line.clear();
        for (int c = 0; c < LinkColumns::ColumnCount; ++c)
            line.push_back(c == LinkColumns::Length && link->hasAutomaticLength()
                               ? std::string("auto")
                               : LinkColumns::text(*link, c).toStdString());
        text += tsvLine(line);
    }
    return QString::fromStdString(text);
}

LinkPaste readLinkPaste(const std::vector<Link*>& rows, const QString& text, int startColumn) {
    LinkPaste paste;
    if (rows.empty()) {
        paste.refusal = QStringLiteral("Select the rows of the links to paste onto.");
        return paste;
    }
    Lines lines = tsvLines(text);
    std::vector<int> columns;
    if (!lines.empty() && looksLikeHeader(lines)) {
        columns = headerColumns(lines.front(), paste.refusal);
        if (!paste.refusal.isEmpty())
            return paste;
        lines.erase(lines.begin());
    }
    if (lines.empty()) {
        paste.refusal = QStringLiteral("The clipboard holds no values to paste.");
        return paste;
    }
    if (lines.size() != 1 && lines.size() != rows.size()) {
        paste.refusal =
            QStringLiteral("The clipboard holds %1 rows of values, but %2 %3 selected.")
                .arg(lines.size())
                .arg(rows.size())
                .arg(rows.size() == 1 ? QStringLiteral("row is") : QStringLiteral("rows are"));
        return paste;
    }
    // Without a header, a whole row goes in the table's order; fewer values go to the columns
    // from the current cell's on, as a spreadsheet pastes them.
    auto columnOf = [&](const QStringList& cells, qsizetype i) {
        if (!columns.empty())
            return static_cast<std::size_t>(i) < columns.size()
                       ? columns[static_cast<std::size_t>(i)]
                       : -1;
        const int first = cells.size() == LinkColumns::ColumnCount ? 0 : std::max(startColumn, 0);
        return first + static_cast<int>(i);
    };
    bool editable = false;
    QStringList fixed;
    for (std::size_t k = 0; k < rows.size(); ++k) {
        Link* link = rows[k];
        if (!link)
            continue;
        const std::size_t lineNo = lines.size() == 1 ? 0 : k;
        const QStringList& cells = lines[lineNo];
        if (columns.empty() && columnOf(cells, cells.size() - 1) >= LinkColumns::ColumnCount) {
            const int first = columnOf(cells, 0);
            const int room = LinkColumns::ColumnCount - first;
            paste.refusal =
                first == 0 ? QStringLiteral("Row %1 has %2 values, but the table has %3 columns.")
                                 .arg(lineNo + 1)
                                 .arg(cells.size())
                                 .arg(LinkColumns::ColumnCount)
                           : QStringLiteral("Row %1 has %2 values, but the table has only %3 "
                                            "column%4 from %5 on.")
                                 .arg(lineNo + 1)
                                 .arg(cells.size())
                                 .arg(room)
                                 .arg(room == 1 ? "" : "s")
                                 .arg(LinkColumns::title(first));
            return paste;
        }
        for (qsizetype i = 0; i < cells.size(); ++i) {
            const int column = columnOf(cells, i);
            const bool blank = cells[i].trimmed().isEmpty();
            if (column < 0 || (blank && !LinkColumns::isEditable(column)))
                continue;
            if (!LinkColumns::isEditable(column)) {
                if (!fixed.contains(LinkColumns::title(column)))
                    fixed << LinkColumns::title(column);
                continue;
            }
            // A blank description is a value; other blanks leave the attribute as it is.
            editable = editable || !blank || column == LinkColumns::Description;
            LinkColumns::Value value;
            QString why;
            if (!LinkColumns::read(*link, column, cells[i], value, &why)) {
                paste.refusal = QStringLiteral("Row %1 (link %2), column %3: %4")
                                    .arg(lineNo + 1)
                                    .arg(link->id())
                                    .arg(LinkColumns::title(column), why);
                paste.changes.clear();
                return paste;
            }
            if (!value.keep)
                paste.changes.emplace_back(link, std::move(value));
        }
    }
    if (!editable && fixed.isEmpty())
        paste.unchanged = QStringLiteral("The clipboard holds only empty cells.");
    else if (editable)
        paste.unchanged = rows.size() == 1
                              ? QStringLiteral("The selected link already has these values.")
                              : QStringLiteral("The selected links already have these values.");
    else if (!columns.empty())
        paste.unchanged = QStringLiteral("%1 cannot be changed from the table.").arg(listed(fixed));
    else
        paste.unchanged =
            QStringLiteral("Without a first line naming their columns, the values went to %1, "
                           "which cannot be changed from the table. Name the columns in a first "
                           "line (Lanes, Capacity, ...), or select a cell of the column the first "
                           "value belongs to before pasting.")
                .arg(listed(fixed));
    return paste;
}

} // namespace vantry
