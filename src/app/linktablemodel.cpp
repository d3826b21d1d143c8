#include "app/linktablemodel.h"

#include "app/linkpaste.h"
#include "app/linkrows.h"
#include "document/vantrydoc.h"

#include <QBrush>
#include <QFont>

#include <algorithm>

namespace vantry {

LinkTableModel::LinkTableModel(Prompter& prompter, QObject* parent)
    : QAbstractTableModel(parent), prompter_(prompter) {}

void LinkTableModel::setDocument(CVantryDoc* doc) {
    beginResetModel();
    doc_ = doc;
    rebuild();
    endResetModel();
}

void LinkTableModel::refresh() {
    const std::size_t links = doc_ ? doc_->network().links().size() : 0;
    if (links == rowOfLink_.size()) {
        relayout();
        return;
    }
    beginResetModel();
    rebuild();
    endResetModel();
}

void LinkTableModel::setFilterText(const QString& text) {
    if (text == filter_)
        return;
    filter_ = text;
    relayout();
}

void LinkTableModel::sort(int column, Qt::SortOrder order) {
    sortColumn_ = column;
    sortOrder_ = order;
    relayout();
}

void LinkTableModel::rebuild() {
    rows_.clear();
    rowOfLink_.clear();
    filterError_.clear();
    if (!doc_)
        return;
    const std::vector<Link*>& links = doc_->network().links();
    rows_ = linkRows(links, filter_, sortColumn_, sortOrder_, &filterError_);
    rowOfLink_.assign(links.size(), -1);
    for (std::size_t r = 0; r < rows_.size(); ++r)
        rowOfLink_[static_cast<std::size_t>(rows_[r])] = static_cast<int>(r);
}

void LinkTableModel::relayout() {
    emit layoutAboutToBeChanged();
    // Selections and the current cell stay with the link they were on.
    const QModelIndexList before = persistentIndexList();
    std::vector<int> linkOf;
    linkOf.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& index : before) {
        const auto row = static_cast<std::size_t>(index.row());
        linkOf.push_back(row < rows_.size() ? rows_[row] : -1);
    }
    rebuild();
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype k = 0; k < before.size(); ++k) {
        const int link = linkOf[static_cast<std::size_t>(k)];
        const int row = link >= 0 && static_cast<std::size_t>(link) < rowOfLink_.size()
                            ? rowOfLink_[static_cast<std::size_t>(link)]
                            : -1;
        after << (row >= 0 ? index(row, before[k].column()) : QModelIndex());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

int LinkTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int LinkTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

Link* LinkTableModel::linkAt(int row) const {
    if (!doc_ || row < 0 || static_cast<std::size_t>(row) >= rows_.size())
        return nullptr;
    const std::vector<Link*>& links = doc_->network().links();
    const auto at = static_cast<std::size_t>(rows_[static_cast<std::size_t>(row)]);
    return at < links.size() ? links[at] : nullptr;
}

int LinkTableModel::rowOf(const Link* link) const {
    if (!doc_ || !link)
        return -1;
    const std::vector<Link*>& links = doc_->network().links();
    const auto at = static_cast<std::size_t>(link->id() - 1);
    if (at >= links.size() || at >= rowOfLink_.size() || links[at] != link)
        return -1;
    return rowOfLink_[at];
}

QVariant LinkTableModel::data(const QModelIndex& index, int role) const {
    const Link* link = index.isValid() ? linkAt(index.row()) : nullptr;
    if (!link)
        return {};
    const int column = index.column();
    const bool automatic = column == Length && link->hasAutomaticLength();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return LinkColumns::text(*link, column);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignVCenter |
                                   (column < Direction ? Qt::AlignRight : Qt::AlignLeft));
    case Qt::ForegroundRole:
        return automatic ? QVariant(QBrush(Qt::gray)) : QVariant();
    case Qt::FontRole:
        if (automatic) {
            QFont font;
            font.setItalic(true);
            return font;
        }
        return {};
    case Qt::ToolTipRole:
        return automatic ? QStringLiteral("Automatic: the distance between the nodes") : QVariant();
    default:
        return {};
    }
}

QVariant LinkTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return columnTitle(section);
}

Qt::ItemFlags LinkTableModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && LinkColumns::isEditable(index.column()))
        f |= Qt::ItemIsEditable;
    return f;
}

bool LinkTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    return setColumnText({index.row()}, index.column(), value.toString());
}

bool LinkTableModel::applyAll(const char* name,
                              const std::vector<std::pair<Link*, LinkColumns::Value>>& changes) {
    if (!doc_ || changes.empty())
        return false;
    std::vector<Link*> links;
    links.reserve(changes.size());
    for (const auto& [link, value] : changes)
        if (links.empty() || links.back() != link)
            links.push_back(link);
    // Only attributes of these links change, so the views redraw only around them.
    return doc_->editObjects(name, {}, links, [&](Network&) {
        bool changed = false;
        for (const auto& [link, value] : changes)
            changed |= LinkColumns::write(*link, value);
        return changed;
    });
}

void LinkTableModel::refuse(const QString& message) const {
    prompter_.showMessage(message.toStdString(), Prompter::Icon::Exclamation);
}

bool LinkTableModel::setColumnText(const std::vector<int>& rows, int column, const QString& text) {
    if (!doc_ || !LinkColumns::isEditable(column))
        return false;
    std::vector<std::pair<Link*, LinkColumns::Value>> changes;
    for (int row : rows) {
        Link* link = linkAt(row);
        if (!link)
            continue;
        LinkColumns::Value value;
        QString why;
        if (!LinkColumns::read(*link, column, text, value, &why)) {
            refuse(why);
            return false;
        }
        if (!value.keep)
            changes.emplace_back(link, std::move(value));
    }
    applyAll(changes.size() == 1 ? "Edit Link" : "Edit Links", changes);
    return true;
}

QString LinkTableModel::rowsAsTsv(const std::vector<int>& rows) const {
    std::vector<const Link*> links;
    for (int row : rows)
        if (const Link* link = linkAt(row))
            links.push_back(link);
    return linksAsTsv(links);
}

bool LinkTableModel::pasteTsv(const std::vector<int>& rows, const QString& text, int startColumn) {
    if (!doc_)
        return false;
    std::vector<Link*> links;
    for (int row : rows)
        links.push_back(linkAt(row));
    const LinkPaste paste = readLinkPaste(links, text, startColumn);
    if (!paste.refusal.isEmpty()) {
        refuse(paste.refusal);
        return false;
    }
    if (!applyAll("Paste Links", paste.changes)) {
        // Say why, rather than leave the user to wonder whether the paste happened.
        prompter_.showMessage(("Nothing was pasted. " + paste.unchanged).toStdString(),
                              Prompter::Icon::Information);
        return false;
    }
    return true;
}

} // namespace vantry
