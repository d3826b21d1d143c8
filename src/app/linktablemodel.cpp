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

// A pasted header cell as compared with the names below: lower case, letters and digits only,
// so that "Free-flow Speed", "free flow speed" and "FFSPEED" are all one name.
QString nameKey(const QString& name) {
    QString key;
    for (const QChar c : name)
        if (c.isLetterOrNumber())
            key += c.toLower();
    return key;
}

// The column a pasted header names: its title, the dialog's name for the attribute, or one of
// the short names people give these columns in their own sheets.
int columnNamed(const QString& name) {
    const QString key = nameKey(name);
    if (key.isEmpty())
        return -1;
    for (int c = 0; c < LinkTableModel::ColumnCount; ++c) {
        if (key == nameKey(LinkTableModel::columnTitle(c)))
            return c;
        if (isEditable(c) && key == nameKey(linkFieldName(fieldOf(c))))
            return c;
    }
    static const std::pair<const char*, int> shortNames[] = {
        {"linkno", LinkTableModel::Number},      {"linknumber", LinkTableModel::Number},
        {"fromnode", LinkTableModel::From},      {"tonode", LinkTableModel::To},
        {"numlanes", LinkTableModel::Lanes},     {"lane", LinkTableModel::Lanes},
        {"cap", LinkTableModel::Capacity},       {"len", LinkTableModel::Length},
        {"speed", LinkTableModel::FFSpeed},      {"ffspeed", LinkTableModel::FFSpeed},
        {"freespeed", LinkTableModel::FFSpeed},  {"jam", LinkTableModel::JamDensity},
        {"density", LinkTableModel::JamDensity}, {"dir", LinkTableModel::Direction},
        {"linktype", LinkTableModel::Type},      {"desc", LinkTableModel::Description},
        {"name", LinkTableModel::Description},
    };
    for (const auto& [alias, column] : shortNames)
        if (key == QLatin1String(alias))
            return column;
    return -1;
}

bool isNumber(const QString& text) {
    bool ok = false;
    text.trimmed().toDouble(&ok);
    return ok;
}

// Whether the first of the pasted lines names columns. It does when a cell is a column's name;
// it is taken to try to when it holds words over numbers in the next line, so that a misspelt
// name is reported rather than pasted as a value.
bool looksLikeHeader(const std::vector<QStringList>& lines) {
    const QStringList& first = lines.front();
    if (std::any_of(first.begin(), first.end(),
                    [](const QString& c) { return columnNamed(c) >= 0; }))
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

// The text standing for an automatic length, in a copy and in what is typed or pasted.
bool isAutomaticText(const QString& text) {
    const QString t = text.trimmed();
    return t.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0 ||
           t.compare(QLatin1String("automatic"), Qt::CaseInsensitive) == 0;
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
    // Every word must match, in any order: a number is the link's number, a node on it or a
    // number in its description ("80" finds "I-80 EB"); other words are found anywhere in the
    // description, in any case.
    struct Word {
        QString text;
        std::optional<std::int32_t> number;
    };
    std::vector<Word> words;
    for (const QString& w : filter_.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts))
        words.push_back({w, parseIntegerText(w)});
    auto nodeIs = [](const Node* n, std::int32_t id) { return n && n->id() == id; };
    // Digits are the same bytes in the stored text as in the decoded, which is decoded only
    // when a word needs it.
    auto holdsNumber = [](const std::string& text, std::int32_t number) {
        const std::string digits = std::to_string(number);
        const auto digit = [](char c) { return c >= '0' && c <= '9'; };
        for (std::size_t at = text.find(digits); at != std::string::npos;
             at = text.find(digits, at + 1)) {
            const std::size_t end = at + digits.size();
            if ((at == 0 || !digit(text[at - 1])) && (end == text.size() || !digit(text[end])))
                return true;
        }
        return false;
    };
    const bool byText =
        std::any_of(words.begin(), words.end(), [](const Word& w) { return !w.number; });
    rows_.reserve(links.size());
    QString description;
    for (std::size_t i = 0; i < links.size(); ++i) {
        const Link* l = links[i];
        if (byText)
            description = decodeStoredText(l->description());
        const bool keep = std::all_of(words.begin(), words.end(), [&](const Word& w) {
            if (!w.number)
                return description.contains(w.text, Qt::CaseInsensitive);
            const std::int32_t n = *w.number;
            return l->id() == n || nodeIs(l->fromNode(), n) || nodeIs(l->toNode(), n) ||
                   holdsNumber(l->description(), n);
        });
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
    if (column == Length && isAutomaticText(text)) {
        value.length = -1.0f;
        value.keep = link->hasAutomaticLength();
        return true;
    }
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

bool LinkTableModel::applyAll(const std::vector<std::pair<Link*, CellValue>>& changes) {
    if (!doc_ || changes.empty())
        return false;
    bool changed = false;
    doc_->edit([&](Network&) {
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
    return changed;
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
        // An automatic length goes as such, so that pasted onto another link it stays the
        // distance between that link's own nodes.
        for (int c = 0; c < ColumnCount; ++c)
            cells << (c == Length && link->hasAutomaticLength() ? QStringLiteral("auto")
                                                                : tsvCell(cellText(link, c)));
        text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}

bool LinkTableModel::pasteTsv(const std::vector<int>& rows, const QString& text, int startColumn) {
    if (!doc_)
        return false;
    if (rows.empty()) {
        refuse(QStringLiteral("Select the rows of the links to paste onto."));
        return false;
    }
    std::vector<QStringList> lines = parseTsv(text);
    std::vector<int> columns;
    if (!lines.empty() && looksLikeHeader(lines)) {
        QStringList unknown;
        for (const QString& cell : lines.front()) {
            const int c = columnNamed(cell);
            if (c < 0 && !cell.trimmed().isEmpty())
                unknown << QStringLiteral("\"%1\"").arg(cell.trimmed());
            if (c >= 0 && std::count(columns.begin(), columns.end(), c) > 0) {
                refuse(QStringLiteral("The column %1 is named twice in the first line.")
                           .arg(columnTitle(c)));
                return false;
            }
            columns.push_back(c);
        }
        if (!unknown.isEmpty()) {
            refuse(QStringLiteral("The table has no column %1. Name the columns as the table does, "
                                  "or as lanes, capacity, length, speed, jam density, direction, "
                                  "type or description.")
                       .arg(listed(unknown)));
            return false;
        }
        lines.erase(lines.begin());
    }
    if (lines.empty()) {
        refuse(QStringLiteral("The clipboard holds no values to paste."));
        return false;
    }
    if (lines.size() != 1 && lines.size() != rows.size()) {
        refuse(QStringLiteral("The clipboard holds %1 rows of values, but %2 %3 selected.")
                   .arg(lines.size())
                   .arg(rows.size())
                   .arg(rows.size() == 1 ? QStringLiteral("row is") : QStringLiteral("rows are")));
        return false;
    }
    // Without a header, a whole row goes in the table's order; fewer values go to the columns
    // from the current cell's on, as a spreadsheet pastes them.
    auto columnOf = [&](const QStringList& cells, qsizetype i) {
        if (!columns.empty())
            return static_cast<std::size_t>(i) < columns.size()
                       ? columns[static_cast<std::size_t>(i)]
                       : -1;
        const int first = cells.size() == ColumnCount ? 0 : std::max(startColumn, 0);
        return first + static_cast<int>(i);
    };
    std::vector<std::pair<Link*, CellValue>> changes;
    bool editable = false;
    QStringList fixed;
    for (std::size_t k = 0; k < rows.size(); ++k) {
        Link* link = linkAt(rows[k]);
        if (!link)
            continue;
        const std::size_t lineNo = lines.size() == 1 ? 0 : k;
        const QStringList& cells = lines[lineNo];
        if (columns.empty() && columnOf(cells, cells.size() - 1) >= ColumnCount) {
            const int first = columnOf(cells, 0);
            refuse(first == 0
                       ? QStringLiteral("Row %1 has %2 values, but the table has %3 columns.")
                             .arg(lineNo + 1)
                             .arg(cells.size())
                             .arg(ColumnCount)
                       : QStringLiteral("Row %1 has %2 values, but the table has only %3 "
                                        "column%4 from %5 on.")
                             .arg(lineNo + 1)
                             .arg(cells.size())
                             .arg(ColumnCount - first)
                             .arg(ColumnCount - first == 1 ? "" : "s")
                             .arg(columnTitle(first)));
            return false;
        }
        for (qsizetype i = 0; i < cells.size(); ++i) {
            const int column = columnOf(cells, i);
            const bool blank = cells[i].trimmed().isEmpty();
            if (column < 0 || (blank && !isEditable(column)))
                continue;
            if (!isEditable(column)) {
                if (!fixed.contains(columnTitle(column)))
                    fixed << columnTitle(column);
                continue;
            }
            // A blank description is a value; other blanks leave the attribute as it is.
            editable = editable || !blank || column == Description;
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
    if (!applyAll(changes)) {
        // Say why, rather than leave the user to wonder whether the paste happened.
        QString why;
        if (!editable && fixed.isEmpty())
            why = QStringLiteral("The clipboard holds only empty cells.");
        else if (editable)
            why = rows.size() == 1
                      ? QStringLiteral("The selected link already has these values.")
                      : QStringLiteral("The selected links already have these values.");
        else if (!columns.empty())
            why = QStringLiteral("%1 cannot be changed from the table.").arg(listed(fixed));
        else
            why =
                QStringLiteral("Without a first line naming their columns, the values went to %1, "
                               "which cannot be changed from the table. Name the columns in a "
                               "first line (Lanes, Capacity, ...), or select a cell of the column "
                               "the first value belongs to before pasting.")
                    .arg(listed(fixed));
        prompter_.showMessage(("Nothing was pasted. " + why).toStdString(),
                              Prompter::Icon::Information);
        return false;
    }
    return true;
}
