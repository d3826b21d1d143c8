// What a document takes from the user's preferences when it creates objects.
#include "document/vantrydoc.h"

#include "settings/singletonptr.h"
#include "settings/usersettings.h"

namespace vantry {

LinkDefaults CVantryDoc::linkDefaults() {
    const UserDefinedSettings& s = SingletonPtr<UserDefinedSettings>::instance();
    return {s.defaultNumLanes.value, s.defaultCapacity.value, s.defaultFFSpeed.value,
            s.defaultJamDensity.value};
}

RoadClassChoice CVantryDoc::roadClasses() {
    const std::string& text = SingletonPtr<UserDefinedSettings>::instance().roadClasses.value;
    RoadClassChoice choice;
    std::string why;
    // A list that cannot be read, as only a hand-edited file holds, leaves the choice as it is.
    RoadClassChoice::parse(text, choice, why);
    return choice;
}

RoadClassDefaultsTable CVantryDoc::roadClassDefaults() {
    const std::string& text = SingletonPtr<UserDefinedSettings>::instance().roadClassDefaults.value;
    RoadClassDefaultsTable table;
    std::string why;
    // What could be read is worth more than a table put back entirely for one bad class.
    RoadClassDefaultsTable::parse(text, table, why);
    return table;
}

PopulateOptions CVantryDoc::populateOptions() {
    PopulateOptions options(linkDefaults(), roadClasses(), roadClassDefaults());
    options.precision = SingletonPtr<UserDefinedSettings>::instance().precision.value;
    return options;
}

} // namespace vantry
