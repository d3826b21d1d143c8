#include "app/linktablemodel.h"

#include "dialogs/fieldinput.h"
#include "dialogs/linkfields.h"
#include "dialogs/storedtext.h"
#include "document/vantrydoc.h"

#include <QBrush>
#include <QFont>

#include <algorithm>
#include <bit>
#include <optional>

struct LinkTableModel::CellValue {
    int column = -1;
    // Leave the attribute as it is: the text was blank, or is what the cell shows already.
    bool keep = true;
    std::int32_t integer = 0;
    float length = 0.0f;
    LinkDirection direction = Inbound;
    LinkType type = None;
    std::string description;
};

namespace {

LinkField fieldOf(int column) {
    switch (column) {
    case LinkTableModel::Lanes:
        return LinkField::NumLanes;
    case LinkTableModel::Capacity:
        return LinkField::Capacity;
    case LinkTableModel::FFSpeed:
        return LinkField::FFSpeed;
    case LinkTableModel::JamDensity:
        return LinkField::JamDensity;
    case LinkTableModel::Length:
        return LinkField::Length;
    case LinkTableModel::Direction:
        return LinkField::Direction;
    case LinkTableModel::Type:
        return LinkField::Type;
    default:
        return LinkField::Description;
    }
}

bool isEditable(int column) {
    return column >= LinkTableModel::Lanes && column < LinkTableModel::ColumnCount;
}

// The column a pasted header names: its title, or the dialog's name for the attribute.
int columnNamed(const QString& name) {
    const QString n = name.trimmed();
    for (int c = 0; c < LinkTableModel::ColumnCount; ++c) {
        if (n.compare(LinkTableModel::columnTitle(c), Qt::CaseInsensitive) == 0)
            return c;
        if (isEditable(c) && n.compare(linkFieldName(fieldOf(c)), Qt::CaseInsensitive) == 0)
            return c;
    }
    return -1;
}

// Tab-separated lines as spreadsheets put them on the clipboard: a cell holding a tab, a line
// break or a quote comes in quotes, with its quotes doubled.
std::vector<QStringList> parseTsv(const QString& text) {
    std::vector<QStringList> lines;
    QStringList cells;
    QString cell;
    bool quoted = false;
    bool cellStart = true;
    auto endLine = [&] {
        cells << cell;
        lines.push_back(cells);
        cells.clear();
        cell.clear();
        cellStart = true;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c != QLatin1Char('"'))
                cell += c;
            else if (i + 1 < text.size() && text[i + 1] == QLatin1Char('"'))
                cell += text[++i];
            else
                quoted = false;
            continue;
        }
        if (c == QLatin1Char('"') && cellStart) {
            quoted = true;
            cellStart = false;
            continue;
        }
        cellStart = false;
        if (c == QLatin1Char('\t')) {
            cells << cell;
            cell.clear();
            cellStart = true;
        } else if (c == QLatin1Char('\r')) {
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
            endLine();
        } else if (c == QLatin1Char('\n')) {
            endLine();
        } else {
            cell += c;
        }
    }
    if (!cell.isEmpty() || !cells.isEmpty())
        endLine();
    auto blank = [](const QStringList& l) {
        return std::all_of(l.begin(), l.end(), [](const QString& s) { return s.isEmpty(); });
    };
    while (!lines.empty() && blank(lines.back()))
        lines.pop_back();
    return lines;
}

// A cell as spreadsheets read it back whole: in quotes, quotes doubled, when it holds a tab, a
// line break or begins with a quote.
QString tsvCell(QString text) {
    const bool quote = text.startsWith(QLatin1Char('"')) || text.contains(QLatin1Char('\t')) ||
                       text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
    if (!quote)
        return text;
    text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

LinkTableModel::LinkTableModel(Prompter& prompter, QObject* parent)
    : QAbstractTableModel(parent), prompter_(prompter) {}

QString LinkTableModel::columnTitle(int column) {
    switch (column) {
    case Number:
        return QStringLiteral("Link");
    case From:
        return QStringLiteral("From");
    case To:
        return QStringLiteral("To");
    case Lanes:
        return QStringLiteral("Lanes");
    case Capacity:
        return QStringLiteral("Capacity");
    case Length:
        return QStringLiteral("Length");
    case FFSpeed:
        return QStringLiteral("Free-flow Speed");
    case JamDensity:
        return QStringLiteral("Jam Density");
    case Direction:
        return QStringLiteral("Direction");
    case Type:
        return QStringLiteral("Type");
    case Description:
        return QStringLiteral("Description");
    default:
        return {};
    }
}

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
    if (!doc_)
        return;
    const std::vector<Link*>& links = doc_->network().links();
    const QString filter = filter_.trimmed();
    bool byNumber = false;
    std::int32_t number = 0;
    if (const auto n = parseIntegerText(filter)) {
        byNumber = true;
        number = *n;
    }
    auto nodeIs = [](const Node* n, std::int32_t id) { return n && n->id() == id; };
    rows_.reserve(links.size());
    for (std::size_t i = 0; i < links.size(); ++i) {
        const Link* l = links[i];
        bool keep = filter.isEmpty();
        if (!keep && byNumber)
            keep =
                l->id() == number || nodeIs(l->fromNode(), number) || nodeIs(l->toNode(), number);
        else if (!keep)
            keep = decodeStoredText(l->description()).contains(filter, Qt::CaseInsensitive);
        if (keep)
            rows_.push_back(static_cast<int>(i));
    }

    // Sorted straight on the links' fields; equal keys keep the links' order.
    auto sortBy = [&](auto key) {
        const bool down = sortOrder_ == Qt::DescendingOrder;
        std::stable_sort(rows_.begin(), rows_.end(), [&](int a, int b) {
            return down ? key(links[b]) < key(links[a]) : key(links[a]) < key(links[b]);
        });
    };
    auto nodeId = [](const Node* n) { return n ? n->id() : 0; };
    switch (sortColumn_) {
    case From:
        sortBy([&](const Link* l) { return nodeId(l->fromNode()); });
        break;
    case To:
        sortBy([&](const Link* l) { return nodeId(l->toNode()); });
        break;
    case Lanes:
        sortBy([](const Link* l) { return l->numLanes(); });
        break;
    case Capacity:
        sortBy([](const Link* l) { return l->capacity(); });
        break;
    case Length:
        sortBy([](const Link* l) { return l->effectiveLength(); });
        break;
    case FFSpeed:
        sortBy([](const Link* l) { return l->ffSpeed(); });
        break;
    case JamDensity:
        sortBy([](const Link* l) { return l->jamDensity(); });
        break;
    case Direction:
        sortBy([](const Link* l) { return static_cast<int>(l->direction()); });
        break;
    case Type:
        sortBy([](const Link* l) { return static_cast<int>(l->type()); });
        break;
    case Description:
        sortBy([](const Link* l) -> const std::string& { return l->description(); });
        break;
    default:
        if (sortOrder_ == Qt::DescendingOrder)
            std::reverse(rows_.begin(), rows_.end());
        break;
    }
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

QString LinkTableModel::cellText(const Link* link, int column) const {
    auto nodeId = [](const Node* n) { return QString::number(n ? n->id() : 0); };
    switch (column) {
    case Number:
        return QString::number(link->id());
    case From:
        return nodeId(link->fromNode());
    case To:
        return nodeId(link->toNode());
    case Lanes:
        return QString::number(link->numLanes());
    case Capacity:
        return QString::number(link->capacity());
    case Length:
        return formatFixed(link->effectiveLength(), 3);
    case FFSpeed:
        return QString::number(link->ffSpeed());
    case JamDensity:
        return QString::number(link->jamDensity());
    case Direction:
        return directionName(link->direction());
    case Type:
        return typeName(link->type());
    case Description:
        return decodeStoredText(link->description());
    default:
        return {};
    }
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
        return cellText(link, column);
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
    if (index.isValid() && isEditable(index.column()))
        f |= Qt::ItemIsEditable;
    return f;
}

bool LinkTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    return setColumnText({index.row()}, index.column(), value.toString());
}

bool LinkTableModel::readCell(const Link* link, int column, const QString& text, CellValue& value,
                              QString* why) const {
    value.column = column;
    value.keep = true;
    if (!isEditable(column))
        return true;
    if (column == Description) {
        const std::string bytes = StoredText(link->description()).encode(singleLine(text));
        value.keep = bytes == link->description();
        value.description = bytes;
        return true;
    }
    // As the dialog leaves an attribute it was not given, and a length left as shown.
    if (text.trimmed().isEmpty() || (column == Length && text == cellText(link, Length)))
        return true;
    switch (column) {
    case Length: {
        const std::optional<float> v = readLinkLength(text, why);
        if (!v)
            return false;
        value.length = *v;
        break;
    }
    case Direction: {
        const std::optional<LinkDirection> v = readLinkDirection(text, why);
        if (!v)
            return false;
        value.direction = *v;
        break;
    }
    case Type: {
        const std::optional<LinkType> v = readLinkType(text, why);
        if (!v)
            return false;
        value.type = *v;
        break;
    }
    default: {
        const std::optional<std::int32_t> v = readLinkInteger(fieldOf(column), text, why);
        if (!v)
            return false;
        value.integer = *v;
        break;
    }
    }
    value.keep = false;
    return true;
}

namespace {

template <class T, class Set> bool change(T now, T next, Set set) {
    if (now == next)
        return false;
    set(next);
    return true;
}

} // namespace

void LinkTableModel::applyAll(const std::vector<std::pair<Link*, CellValue>>& changes) {
    if (!doc_ || changes.empty())
        return;
    doc_->edit([&](Network&) {
        bool changed = false;
        for (const auto& [link, v] : changes) {
            Link* l = link;
            switch (v.column) {
            case Lanes:
                changed |= change(l->numLanes(), v.integer, [l](auto x) { l->setNumLanes(x); });
                break;
            case Capacity:
                changed |= change(l->capacity(), v.integer, [l](auto x) { l->setCapacity(x); });
                break;
            case FFSpeed:
                changed |= change(l->ffSpeed(), v.integer, [l](auto x) { l->setFFSpeed(x); });
                break;
            case JamDensity:
                changed |= change(l->jamDensity(), v.integer, [l](auto x) { l->setJamDensity(x); });
                break;
            case Direction:
                changed |= change(l->direction(), v.direction, [l](auto x) { l->setDirection(x); });
                break;
            case Type:
                changed |= change(l->type(), v.type, [l](auto x) { l->setType(x); });
                break;
            case Description:
                changed |= change(l->description(), v.description,
                                  [l](const std::string& x) { l->setDescription(x); });
                break;
            case Length: {
                const float before = l->storedLength();
                l->setLength(v.length);
                changed |= std::bit_cast<std::uint32_t>(before) !=
                           std::bit_cast<std::uint32_t>(l->storedLength());
                break;
            }
            default:
                break;
            }
        }
        return changed;
    });
}

void LinkTableModel::refuse(const QString& message) const {
    prompter_.showMessage(message.toStdString(), Prompter::Icon::Exclamation);
}

bool LinkTableModel::setColumnText(const std::vector<int>& rows, int column, const QString& text) {
    if (!doc_ || !isEditable(column))
        return false;
    std::vector<std::pair<Link*, CellValue>> changes;
    for (int row : rows) {
        Link* link = linkAt(row);
        if (!link)
            continue;
        CellValue value;
        QString why;
        if (!readCell(link, column, text, value, &why)) {
            refuse(why);
            return false;
        }
        if (!value.keep)
            changes.emplace_back(link, std::move(value));
    }
    applyAll(changes);
    return true;
}

QString LinkTableModel::rowsAsTsv(const std::vector<int>& rows) const {
    QStringList header;
    for (int c = 0; c < ColumnCount; ++c)
        header << columnTitle(c);
    QString text = header.join(QLatin1Char('\t')) + QLatin1Char('\n');
    for (int row : rows) {
        const Link* link = linkAt(row);
        if (!link)
            continue;
        QStringList cells;
        for (int c = 0; c < ColumnCount; ++c)
            cells << tsvCell(cellText(link, c));
        text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}

bool LinkTableModel::pasteTsv(const std::vector<int>& rows, const QString& text) {
    if (!doc_)
        return false;
    if (rows.empty()) {
        refuse(QStringLiteral("Select the rows of the links to paste onto."));
        return false;
    }
    std::vector<QStringList> lines = parseTsv(text);
    std::vector<int> columns;
    if (!lines.empty()) {
        const QStringList& first = lines.front();
        bool header = true;
        std::vector<int> named;
        for (const QString& cell : first) {
            const int c = cell.trimmed().isEmpty() ? -1 : columnNamed(cell);
            header = header && (c >= 0 || cell.trimmed().isEmpty());
            named.push_back(c);
        }
        header = header && std::any_of(named.begin(), named.end(), [](int c) { return c >= 0; });
        if (header) {
            for (int c : named)
                if (c >= 0 && std::count(named.begin(), named.end(), c) > 1) {
                    refuse(QStringLiteral("The column %1 is named twice in the first line.")
                               .arg(columnTitle(c)));
                    return false;
                }
            columns = named;
            lines.erase(lines.begin());
        }
    }
    if (lines.empty()) {
        refuse(QStringLiteral("The clipboard holds no values to paste."));
        return false;
    }
    if (lines.size() != 1 && lines.size() != rows.size()) {
        refuse(QStringLiteral("The clipboard holds %1 rows of values, but %2 rows are selected.")
                   .arg(lines.size())
                   .arg(rows.size()));
        return false;
    }
    std::vector<std::pair<Link*, CellValue>> changes;
    for (std::size_t k = 0; k < rows.size(); ++k) {
        Link* link = linkAt(rows[k]);
        if (!link)
            continue;
        const std::size_t lineNo = lines.size() == 1 ? 0 : k;
        const QStringList& cells = lines[lineNo];
        if (columns.empty() && cells.size() > ColumnCount) {
            refuse(QStringLiteral("Row %1 has %2 values, but the table has %3 columns.")
                       .arg(lineNo + 1)
                       .arg(cells.size())
                       .arg(ColumnCount));
            return false;
        }
        for (qsizetype i = 0; i < cells.size(); ++i) {
            const int column = columns.empty() ? static_cast<int>(i)
                               : static_cast<std::size_t>(i) < columns.size()
                                   ? columns[static_cast<std::size_t>(i)]
                                   : -1;
            if (column < 0)
                continue;
            CellValue value;
            QString why;
            if (!readCell(link, column, cells[i], value, &why)) {
                refuse(QStringLiteral("Row %1 (link %2), column %3: %4")
                           .arg(lineNo + 1)
                           .arg(link->id())
                           .arg(columnTitle(column), why));
                return false;
            }
            if (!value.keep)
                changes.emplace_back(link, std::move(value));
        }
    }
    applyAll(changes);
    return true;
}
