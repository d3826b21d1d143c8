#pragma once

#include <QString>
#include <Qt>

#include <vector>

namespace vantry {

class Link;

// Which links the table shows, in which order: the positions in `links` of those that match
// every word of the filter, in any order (a whole number is the link's number, a node on it or
// a number standing alone in its description; any other word is part of the description, in
// any case), sorted by the column's value. Equal values keep the links' order. A filter that
// starts with '=' is an expression instead ("= lanes > 2 and type = 'R'"); when it is not a valid
// one, every link is kept and `error` (when given) says why, its column counted in the filter's
// own text, so that a half-typed expression never empties the table without a word.
std::vector<int> linkRows(const std::vector<Link*>& links, const QString& filter, int sortColumn,
                          Qt::SortOrder order, QString* error = nullptr);

} // namespace vantry
