#pragma once

// The user-defined properties of a workbook's document summary ("File > Properties > Custom" in a
// spreadsheet): a place for data of our own that the sheets' readers never look at.

#include "excel/compoundfile.h"

#include <optional>
#include <string>

namespace vantry {

// The text of the custom property of that name, or nothing when the file has no such property
// (or no readable document summary). A property that is not text is read as absent.
std::optional<std::string> customProperty(const CompoundFile& file, const std::string& name);

// Sets the custom property to the text, or removes it when `text` is empty, keeping the
// document summary's other properties. A file without the property and nothing to set is left
// byte for byte as it was.
void setCustomProperty(CompoundFile& file, const std::string& name,
                       const std::optional<std::string>& text);

} // namespace vantry
