#include "base/moduleloader.h"

#include "base/files.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace vantry {

std::vector<std::string> modulePlaces(const char* environmentVariable, const char* fileName,
                                      const char* builtPath) {
    std::vector<std::string> places;
    if (const char* named = std::getenv(environmentVariable); named && *named)
        places.emplace_back(named);
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error)
        places.push_back(
            (program.parent_path().parent_path() / "lib" / "vantry" / fileName).string());
    places.emplace_back(builtPath);
    return places;
}

LoadedModule loadModule(const std::vector<std::string>& places, const char* entryName,
                        const ModuleEntryCall& call, const std::string& label,
                        const std::string& fileName) {
    LoadedModule module;
    std::string reasons;
    const auto refuse = [&reasons](const std::string& reason) {
        reasons += (reasons.empty() ? "" : "; ") + reason;
    };
    for (const std::string& place : places) {
        std::string why;
        if (!checkReadableFile(place, why)) {
            refuse(place + ": " + why);
            continue;
        }
        void* handle = dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* error = dlerror();
            refuse(error ? std::string(error) : place + ": it is not a module");
            continue;
        }
        void* entry = dlsym(handle, entryName);
        if (const void* table = entry ? call(entry) : nullptr) {
            module.table = table;
            return module;
        }
        refuse(place + " is not this version's " + label);
        dlclose(handle);
    }
    module.failure = "the " + label + " (" + fileName + ") could not be loaded" +
                     (reasons.empty() ? "" : ": " + reasons);
    return module;
}

} // namespace vantry
