#pragma once

// The road classes street data is populated by, in OpenStreetMap's words whatever the source
// (TIGER/Line shapefiles and other layers map their own codes onto them): which classes a user
// wants as links, and what a class's roads carry when the data does not say.

#include "model/editing.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vantry {

// Class names, tag values and field values are compared in ASCII lower case, without the blanks
// around them.
std::string lowered(std::string_view text);
std::string_view trimmed(std::string_view text);

// What a road of one class carries when its data gives no lanes or speed: free-flow speed in
// miles per hour, lanes in each direction, capacity in vehicles per lane per hour and jam
// density in vehicles per lane per mile.
struct RoadClassDefaults {
    std::int32_t speed = 0;
    std::int32_t lanes = 0;
    std::int32_t capacity = 0;
    std::int32_t jamDensity = 0;

    friend bool operator==(const RoadClassDefaults&, const RoadClassDefaults&) = default;
};

struct RoadClassInfo {
    const char* name;  // the OpenStreetMap highway value, or a service road's kind
    const char* label; // as the user reads it in dialogs
    RoadClassDefaults defaults;
    bool populatedByDefault;
};

// Every class in the order dialogs list them: the roads from motorways down to service roads,
// then the kinds of service road that are left out unless asked for by name.
const std::vector<RoadClassInfo>& roadClassTable();
const RoadClassInfo* findRoadClass(std::string_view name);

// The service roads that are never populated unless their kind is asked for too: they serve one
// property or one car park, not through traffic.
bool isPrivateServiceKind(std::string_view serviceKind);

// The road classes chosen, by name; "all" stands for every road class and service kind.
// "railway" is no road class: named beside them, it asks for railway tracks to be read and
// drawn under the streets (they never become links); "all" leaves them out.
class RoadClassChoice {
public:
    // The default: motorway down to living_street with their ramps, no service roads.
    RoadClassChoice();
    explicit RoadClassChoice(std::set<std::string> names) : names_(std::move(names)) {}

    // Reads a comma-separated list ("motorway,primary,service"), blanks around names ignored,
    // letter case too. False, with why naming the first unknown name, when one is not a class.
    static bool parse(std::string_view text, RoadClassChoice& out, std::string& why);
    // The list as parse reads it, in table order ("all" when every class is chosen).
    std::string text() const;

    bool contains(std::string_view name) const;
    // Whether railway tracks are asked for.
    bool railways() const;
    // Whether a road of this class and service kind is wanted. A service road of one of the
    // private kinds needs its kind chosen as well as "service".
    bool wants(std::string_view roadClass, std::string_view serviceKind) const;
    const std::set<std::string>& names() const { return names_; }

    friend bool operator==(const RoadClassChoice&, const RoadClassChoice&) = default;

private:
    std::set<std::string> names_;
};

// The defaults of every class, starting from the table's and changed by the user's own.
class RoadClassDefaultsTable {
public:
    RoadClassDefaultsTable();

    // The defaults of a class; for a name not in the table, those of "unclassified".
    const RoadClassDefaults& of(std::string_view name) const;
    void set(std::string_view name, const RoadClassDefaults& d);

    // As kept in the settings: "motorway=65/2/2200/190;residential=25/1/1000/190", listing only
    // the classes that differ from the table. parse keeps the table's value for a class it
    // cannot read and says which in why, but still returns the rest.
    std::string text() const;
    static bool parse(std::string_view text, RoadClassDefaultsTable& out, std::string& why);

    friend bool operator==(const RoadClassDefaultsTable&, const RoadClassDefaultsTable&) = default;

private:
    std::map<std::string, RoadClassDefaults, std::less<>> values_;
};

// The highest value a class default may take for each field, as the link dialog allows.
constexpr std::int32_t kMostClassSpeed = 200;
constexpr std::int32_t kMostClassLanes = 20;
constexpr std::int32_t kMostClassCapacity = 10000;
constexpr std::int32_t kMostClassJamDensity = 1000;

// Everything populating needs besides the data: the classes wanted, their defaults, and the
// user's link defaults, which record-file chains and hand-drawn links still use. Implicit from
// LinkDefaults, giving the default classes and the table's values.
struct PopulateOptions {
    PopulateOptions() = default;
    PopulateOptions(const LinkDefaults& links)
        : linkDefaults(links) {} // NOLINT: implicit on purpose
    PopulateOptions(const LinkDefaults& links, RoadClassChoice choice, RoadClassDefaultsTable table)
        : linkDefaults(links), classes(std::move(choice)), classDefaults(std::move(table)) {}

    LinkDefaults linkDefaults;
    RoadClassChoice classes;
    RoadClassDefaultsTable classDefaults;
    // Decimals lengths are kept to: a length measured along a road is stored as a fixed length
    // only when it differs from the straight line by more than that keeps.
    std::int32_t precision = 3;
};

} // namespace vantry
