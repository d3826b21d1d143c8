#include "query/expressionprogram.h"
#include "query/expressiontokens.h"
#include "query/linkexpression.h"

#include "model/linkcodes.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <limits>

namespace vantry {

namespace {

constexpr std::array<const char*, 8> kFieldNames = {
    "lanes", "capacity", "speed", "jam", "length", "type", "direction", "description"};

const char* nameOf(AssignedField field) {
    return kFieldNames[static_cast<std::size_t>(field)];
}

std::optional<AssignedField> assignable(LinkAttribute attribute) {
    switch (attribute) {
    case LinkAttribute::Lanes:
        return AssignedField::Lanes;
    case LinkAttribute::Capacity:
        return AssignedField::Capacity;
    case LinkAttribute::Speed:
        return AssignedField::Speed;
    case LinkAttribute::Jam:
        return AssignedField::Jam;
    case LinkAttribute::Length:
        return AssignedField::Length;
    case LinkAttribute::Type:
        return AssignedField::Type;
    case LinkAttribute::Direction:
        return AssignedField::Direction;
    case LinkAttribute::Description:
        return AssignedField::Description;
    default:
        return std::nullopt;
    }
}

std::string numberText(double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.10g", v);
    return buffer;
}

// Puts the value into the attributes, or says why the field cannot take it. Counts are whole
// numbers of at least 1, rounded to the nearest (halves away from zero); a length is a positive
// number of miles a float can hold.
std::optional<std::string> store(AssignedField field, const ExpressionValue& value,
                                 LinkAttributes& attributes) {
    const std::string name = nameOf(field);
    switch (field) {
    case AssignedField::Lanes:
    case AssignedField::Capacity:
    case AssignedField::Speed:
    case AssignedField::Jam: {
        if (!std::isfinite(value.number))
            return name + ": no value (division by zero)";
        const double whole = std::round(value.number);
        if (whole < 1.0)
            return name + " " + numberText(value.number) + ": must be at least 1";
        if (whole > std::numeric_limits<std::int32_t>::max())
            return name + " " + numberText(value.number) + ": too large";
        const auto v = static_cast<std::int32_t>(whole);
        (field == AssignedField::Lanes      ? attributes.numLanes
         : field == AssignedField::Capacity ? attributes.capacity
         : field == AssignedField::Speed    ? attributes.ffSpeed
                                            : attributes.jamDensity) = v;
        return std::nullopt;
    }
    case AssignedField::Length:
        if (!std::isfinite(value.number))
            return name + ": no value (division by zero)";
        if (value.number <= 0.0)
            return name + " " + numberText(value.number) + ": must be more than 0";
        if (value.number > std::numeric_limits<float>::max())
            return name + " " + numberText(value.number) + ": too large";
        attributes.length = static_cast<float>(value.number);
        return std::nullopt;
    case AssignedField::Type:
        // The empty text is the code of None, which the network file writes as nothing.
        if (const std::optional<LinkType> type =
                value.text.empty() ? LinkType::None : linkTypeNamed(value.text)) {
            attributes.type = static_cast<std::int32_t>(*type);
            return std::nullopt;
        }
        return name + " '" + value.text + "': must be M, WZ, D1, D2, R or empty";
    case AssignedField::Direction:
        if (const std::optional<LinkDirection> direction = linkDirectionNamed(value.text)) {
            attributes.direction = static_cast<std::int32_t>(*direction);
            return std::nullopt;
        }
        return name + " '" + value.text + "': must be I or O";
    case AssignedField::Description:
        // The network file keeps a description on one line.
        if (value.text.find_first_of("\r\n") != std::string::npos)
            return name + ": must be on one line";
        attributes.description = value.text;
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

std::optional<LinkAssignment> parseLinkAssignment(std::string_view text, ExpressionError* error) {
    AssignmentTarget target;
    std::optional<ExpressionProgram> program = compileExpression(text, error, &target);
    if (!program)
        return std::nullopt;
    const std::optional<AssignedField> field = assignable(target.field);
    auto refuse = [&](int column, std::string message) {
        if (error)
            *error = {column, std::move(message)};
        return std::nullopt;
    };
    if (!field)
        return refuse(target.fieldColumn,
                      "this field is read only; lanes, capacity, speed, "
                      "jam, length, type, direction and description can be set");
    const bool wantsText = *field == AssignedField::Type || *field == AssignedField::Direction ||
                           *field == AssignedField::Description;
    if (program->kind != (wantsText ? ValueKind::Text : ValueKind::Number))
        return refuse(target.valueColumn, std::string("'") + nameOf(*field) + "' needs " +
                                              (wantsText ? "text" : "a number"));
    return LinkAssignment{*field, ExpressionCompiler::make(std::move(*program))};
}

std::optional<std::vector<LinkAttributes>>
assignedAttributes(const std::vector<Link*>& links, const std::vector<LinkAssignment>& assignments,
                   std::string* why) {
    std::vector<LinkAttributes> result;
    result.reserve(links.size());
    for (Link* link : links) {
        LinkAttributes attributes = link->attributes();
        for (const LinkAssignment& assignment : assignments) {
            const std::optional<std::string> refused =
                store(assignment.field, assignment.value.evaluate(*link), attributes);
            if (refused) {
                if (why)
                    *why = "link " + std::to_string(link->id()) + ": " + *refused;
                return std::nullopt;
            }
        }
        result.push_back(std::move(attributes));
    }
    return result;
}

bool applyLinkAssignments(const std::vector<Link*>& links,
                          const std::vector<LinkAssignment>& assignments, std::string* why) {
    const std::optional<std::vector<LinkAttributes>> next =
        assignedAttributes(links, assignments, why);
    if (!next)
        return false;
    for (const LinkAttributes& attributes : *next)
        attributes.link->setAttributes(attributes);
    return true;
}

} // namespace vantry
