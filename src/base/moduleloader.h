#pragma once

// Finding and loading the modules that hold the code which links GDAL. GDAL brings a hundred
// libraries of its own; loading them only when a GIS file is first read or written keeps them out
// of every start of the editor and of vantry-cli.

#include <functional>
#include <string>
#include <vector>

namespace vantry {

// Where a module may be, in the order tried: named by the environment variable (for a relocated
// installation), installed as lib/vantry/FILENAME beside the program's own folder, or where this
// build put it.
std::vector<std::string> modulePlaces(const char* environmentVariable, const char* fileName,
                                      const char* builtPath);

// Called with the address of a module's entry point; gives the module's table when the module is
// this version's, and null otherwise.
using ModuleEntryCall = std::function<const void*(void* entry)>;

struct LoadedModule {
    const void* table = nullptr;
    std::string failure; // why no place held the module, when none did
};

// Loads the first of `places` whose entry point, looked up by `entryName`, gives a table. When
// none does, the failure says "the LABEL (FILENAME) could not be loaded" and of each place why
// not ("/opt/x.so: no such file or directory", "/opt/x.so is not this version's LABEL"). Only a
// regular file is handed to the system's loader, which would wait on a pipe for ever.
LoadedModule loadModule(const std::vector<std::string>& places, const char* entryName,
                        const ModuleEntryCall& call, const std::string& label,
                        const std::string& fileName);

} // namespace vantry
