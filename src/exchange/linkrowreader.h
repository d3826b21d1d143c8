#pragma once

#include "exchange/importrows.h"
#include "exchange/networkimport.h"
#include "model/network.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vantry {

// One link row's values, in the network's units but for the length, whose unit is judged once
// every row has been read.
struct LinkValues {
    std::string from;
    std::string to;
    bool directed = true;
    std::int32_t lanes = 0;
    std::int32_t capacity = 0;
    std::int32_t freeSpeed = 0;   // mph
    std::int32_t jamDensity = 0;  // vehicles per lane per mile
    std::optional<double> length; // in the source's length unit; none: automatic
    bool lengthAuto = false;
    std::optional<LinkDirection> direction;
    LinkType type = LinkType::None;
    std::string description;
    std::optional<std::int32_t> twoWaySide;
};

// Reads link rows by the mapping the user confirmed. What a cell holds that cannot be read is
// reported as "link.csv row 12, lanes: \"two\" is not a number" and the attribute keeps its
// default (past the first few of a field, the rest are counted in one line); an empty directed
// cell is taken as directed, as GMNS tools take it, and reported once for all such rows.
class LinkRowReader {
public:
    LinkRowReader(const ImportRows& rows, const ImportChoices& choices);

    LinkValues read(std::size_t row, std::vector<std::string>& warnings);
    // The remarks on the rows read so far as a whole; call once at the end.
    void finish(std::vector<std::string>& warnings) const;

    // The column of an attribute, -1 when it is not read.
    int column(ImportField field) const { return columns_[static_cast<std::size_t>(field)]; }

private:
    struct Cell {
        const std::string* text = nullptr;
        const std::string* field = nullptr;
        std::size_t rowNumber = 0;
    };
    Cell cell(std::size_t row, ImportField field) const;
    void cannotRead(const Cell& c, const std::string& what, std::vector<std::string>& warnings);
    std::optional<double> number(const Cell& c, std::vector<std::string>& warnings);
    std::int32_t whole(const Cell& c, double scale, std::vector<std::string>& warnings);
    std::optional<bool> flag(const Cell& c, std::vector<std::string>& warnings);

    const ImportRows& rows_;
    ImportChoices choices_;
    int columns_[static_cast<std::size_t>(ImportField::Count)];
    std::vector<std::size_t> emptyDirected_;
    // Of the cells of each field that could not be read, those not told one by one.
    std::map<std::string, std::size_t> untold_;
    std::map<std::string, std::size_t> told_;
};

// A node id as links and nodes are matched by it: blanks around it dropped, and a whole number
// written with decimal zeros ("12.0", as some tools write every number) taken as the number.
std::string nodeIdOf(const std::string& text);

// The link type a link_type code (M, WZ, D1, D2, R) or a facility type names, case-blind: the
// export's own texts, and the common names of freeway mainlines and ramps. None for the rest.
LinkType linkTypeNamed(const std::string& text);

} // namespace vantry
