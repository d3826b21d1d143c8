#pragma once

#include "exchange/networkimport.h"

#include <string>
#include <string_view>
#include <vector>

namespace vantry {

// True when two field names are the same but for case and blanks around them.
bool sameFieldName(std::string_view a, std::string_view b);

// For each attribute, the first source field whose name is one the attribute goes by: the GMNS
// name, the export's own, or a common variant (NUMLANES, CAP, SPEED, FNODE, ...), case-blind.
// Fields no attribute goes by are left out; so are attributes no field names.
FieldMapping matchFields(const std::vector<std::string>& fields);

// The index of a mapped field among fields, -1 when the attribute is not read or the field is
// not there.
int mappedColumn(const FieldMapping& mapping, ImportField field,
                 const std::vector<std::string>& fields);

} // namespace vantry
