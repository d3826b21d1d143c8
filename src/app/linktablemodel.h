#pragma once

#include "app/linkcolumns.h"

#include <QAbstractTableModel>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace vantry {

class CVantryDoc;
class Link;
class Prompter;

// The links of one document as table rows, read straight from its network: a row holds only the
// link's position, so that a hundred thousand links cost a few integers each. Sorting and the
// filter only reorder those positions. Every change the user types or pastes is checked as the
// Link Properties dialog checks it and made as one edit of the links it changes, one undo step
// named for the Undo menu ("Edit Link", "Paste Links"), after which views draw only around them.
class LinkTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using Column = LinkColumns::Column;
    using enum LinkColumns::Column;

    explicit LinkTableModel(Prompter& prompter, QObject* parent = nullptr);

    // Shows the document's links (none without a document).
    void setDocument(CVantryDoc* doc);
    CVantryDoc* document() const { return doc_; }
    // The network changed: rows are rebuilt. While the number of links stays the same, the
    // selection and the current cell stay on the same positions.
    void refresh();

    // Keeps the links that match every word of the text, in any order: a whole number is the
    // link's number, a node on it or a number standing alone in its description; any other word
    // is part of the description, in any case. Text that starts with '=' is an expression over
    // the links' attributes instead.
    void setFilterText(const QString& text);
    const QString& filterText() const { return filter_; }
    // Why the filter, an expression (it starts with '='), is not a valid one; empty when it is,
    // or is plain words.
    const QString& filterError() const { return filterError_; }
    // Every link of the document, shown or not.
    int linkCount() const { return static_cast<int>(rowOfLink_.size()); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    static QString columnTitle(int column) { return LinkColumns::title(column); }
    // The link a row shows (null for a row out of range), and the row of a link (-1 when the
    // filter hides it or it is not in the network).
    Link* linkAt(int row) const;
    int rowOf(const Link* link) const;

    // Sets one column of the rows to the typed text, as one edit. Blank text leaves numbers,
    // length, direction and type as they are (as the dialog does for several links). Refused
    // with the dialog's message, changing nothing, when the text is not a valid value.
    bool setColumnText(const std::vector<int>& rows, int column, const QString& text);
    // The rows as tab-separated text with a header line of column titles; an automatic length
    // is written "auto", which typed or pasted makes a length automatic.
    QString rowsAsTsv(const std::vector<int>& rows) const;
    // Sets attributes of the rows from tab-separated text: a header line naming the columns (by
    // title or short name, in any case), or values in the table's column order: a whole row
    // from the first column, fewer values from startColumn on. One line of values goes to every
    // row, otherwise line k to row k. Number, from and to are not changed. Refused whole, with a
    // message naming the line and the column (or the unknown column), when any value is not
    // valid; when nothing would change the user is told why and false returned.
    bool pasteTsv(const std::vector<int>& rows, const QString& text, int startColumn = 0);

private:
    // Makes the changes as one edit with that name; false when they changed nothing.
    bool applyAll(const char* name,
                  const std::vector<std::pair<Link*, LinkColumns::Value>>& changes);
    void rebuild();
    void relayout();
    void refuse(const QString& message) const;

    Prompter& prompter_;
    CVantryDoc* doc_ = nullptr;
    std::vector<int> rows_;
    std::vector<int> rowOfLink_;
    int sortColumn_ = Number;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    QString filter_;
    QString filterError_;
};

} // namespace vantry
