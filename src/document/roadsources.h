#pragma once

#include <string>
#include <vector>

namespace vantry {

// Where road data comes from: TIGER/Line record files, read in pairs (a type 1 file and its type
// 2 companion), or street data, read a layer at a time.
enum class RoadSource { RecordFiles, StreetData };

// One kind of road data file the program reads: the one place that says how its names look.
// The Load TIGER Data dialog's filter, the choice of reader and the command-line tool's help come
// from the list of them.
struct RoadDataKind {
    RoadSource source;
    const char* name;                  // as the file dialog lists it
    std::vector<std::string> patterns; // the file dialog's, "*.shp"
    std::vector<std::string> endings;  // lower-case ends of the names it takes
    bool speedsCarryTheirUnit = false; // so there is nothing to ask about them
};

// Every kind, record files first.
const std::vector<RoadDataKind>& roadDataKinds();

// The kind the file's name says, in any case; null for a name no kind claims, which is read as
// street data of some other layout.
const RoadDataKind* roadDataKindOf(const std::string& path);

// Record files are named by their type, "TGR01001.RT1"; everything else is street data.
RoadSource roadSourceOf(const std::string& path);

// The file filter of Load TIGER Data, in the "text|patterns|...||" form: every kind of road data
// that can be read, then each kind alone, then every file.
const std::string& roadDataFileFilter();

} // namespace vantry
