#pragma once

#include <QString>
#include <Qt>

#include <vector>

namespace vantry {

class Link;

// Which links the table shows, in which order: the positions in `links` of those that match
// every word of the filter, in any order (a whole number is the link's number, a node on it or
// a number standing alone in its description; any other word is part of the description, in
// any case), sorted by the column's value. Equal values keep the links' order.
std::vector<int> linkRows(const std::vector<Link*>& links, const QString& filter, int sortColumn,
                          Qt::SortOrder order);

} // namespace vantry
