#include "app/linkrows.h"

#include "app/linkcolumns.h"
#include "fields/numbertext.h"
#include "fields/storedtext.h"
#include "query/linkexpression.h"

#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

namespace vantry {

namespace {

// The positions of the links the filter's expression keeps; every position when it is not a
// valid expression, with the error.
std::vector<int> expressionRows(const std::vector<Link*>& links, const QString& filter,
                                QString* error) {
    std::vector<int> rows;
    const qsizetype mark = filter.indexOf(QLatin1Char('='));
    ExpressionError why;
    const auto predicate = parseLinkPredicate(filter.mid(mark + 1).toStdString(), &why);
    rows.reserve(links.size());
    for (std::size_t i = 0; i < links.size(); ++i)
        if (!predicate || predicate->matches(*links[i]))
            rows.push_back(static_cast<int>(i));
    if (!predicate && error) {
        why.column += static_cast<int>(mark) + 1;
        *error = QString::fromStdString(why.text());
    }
    return rows;
}

} // namespace

std::vector<int> linkRows(const std::vector<Link*>& links, const QString& filter, int sortColumn,
                          Qt::SortOrder order, QString* error) {
    if (error)
        error->clear();
    const bool expression = filter.trimmed().startsWith(QLatin1Char('='));
    std::vector<int> rows = expression ? expressionRows(links, filter, error) : std::vector<int>{};
    // Every word must match, in any order: a number is the link's number, a node on it or a
    // number in its description ("80" finds "I-80 EB"); other words are found anywhere in the
    // description, in any case.
    struct Word {
        QString text;
        std::optional<std::int32_t> number;
    };
    std::vector<Word> words;
    for (const QString& w : filter.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts))
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
    if (!expression)
        rows.reserve(links.size());
    QString description;
    for (std::size_t i = 0; i < links.size() && !expression; ++i) {
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
            rows.push_back(static_cast<int>(i));
    }

    // Sorted straight on the links' fields; equal keys keep the links' order.
    auto sortBy = [&](auto key) {
        const bool down = order == Qt::DescendingOrder;
        std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
            return down ? key(links[b]) < key(links[a]) : key(links[a]) < key(links[b]);
        });
    };
    auto nodeId = [](const Node* n) { return n ? n->id() : 0; };
    switch (sortColumn) {
    case LinkColumns::From:
        sortBy([&](const Link* l) { return nodeId(l->fromNode()); });
        break;
    case LinkColumns::To:
        sortBy([&](const Link* l) { return nodeId(l->toNode()); });
        break;
    case LinkColumns::Lanes:
        sortBy([](const Link* l) { return l->numLanes(); });
        break;
    case LinkColumns::Capacity:
        sortBy([](const Link* l) { return l->capacity(); });
        break;
    case LinkColumns::Length:
        sortBy([](const Link* l) { return l->effectiveLength(); });
        break;
    case LinkColumns::FFSpeed:
        sortBy([](const Link* l) { return l->ffSpeed(); });
        break;
    case LinkColumns::JamDensity:
        sortBy([](const Link* l) { return l->jamDensity(); });
        break;
    case LinkColumns::Direction:
        sortBy([](const Link* l) { return static_cast<int>(l->direction()); });
        break;
    case LinkColumns::Type:
        sortBy([](const Link* l) { return static_cast<int>(l->type()); });
        break;
    case LinkColumns::Description:
        sortBy([](const Link* l) -> const std::string& { return l->description(); });
        break;
    default:
        if (order == Qt::DescendingOrder)
            std::reverse(rows.begin(), rows.end());
        break;
    }
    return rows;
}

} // namespace vantry
