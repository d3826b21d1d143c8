#include "base/files.h"
#include "streets/streetmodule.h"
#include "streets/streetreader.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

namespace vantry {

std::vector<std::string> streetModulePlaces() {
    std::vector<std::string> places;
    if (const char* named = std::getenv("VANTRY_STREETS_MODULE"); named && *named)
        places.emplace_back(named);
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error)
        places.push_back(
            (program.parent_path().parent_path() / "lib" / "vantry" / VANTRY_STREETS_MODULE_NAME)
                .string());
    places.emplace_back(VANTRY_STREETS_MODULE_BUILT);
    return places;
}

StreetModule loadStreetModule(const std::vector<std::string>& places) {
    StreetModule module;
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
        using Entry = const StreetReaderApi* (*)();
        auto entry = reinterpret_cast<Entry>(dlsym(handle, "vantryStreetReader"));
        const StreetReaderApi* api = entry ? entry() : nullptr;
        if (api && api->version == kStreetReaderApiVersion) {
            module.api = api;
            return module;
        }
        refuse(place + " is not this version's street data reader");
        dlclose(handle);
    }
    module.failure = "the street data reader (" + std::string(VANTRY_STREETS_MODULE_NAME) +
                     ") could not be loaded" + (reasons.empty() ? "" : ": " + reasons);
    return module;
}

namespace {

const StreetModule& loaded() {
#ifdef VANTRY_STREETS_LINKED
    static const StreetModule linked{vantryStreetReader(), {}};
    return linked;
#endif
    static StreetModule module;
    static std::once_flag once;
    std::call_once(once, [] { module = loadStreetModule(streetModulePlaces()); });
    return module;
}

bool unavailable(const std::string& path, std::string& why) {
    why = "Cannot read \"" + path + "\" as street data: " + loaded().failure + ".";
    return false;
}

} // namespace

bool listStreetLayers(const std::string& path, std::vector<std::string>& layers, std::string& why) {
    const StreetModule& module = loaded();
    if (!module.api)
        return unavailable(path, why);
    return module.api->listLayers(path, layers, why);
}

bool readStreetChains(const std::string& path, const std::string& layer,
                      const StreetReadOptions& options, StreetRead& result, std::string& why,
                      const StreetProgress& progress) {
    const StreetModule& module = loaded();
    if (!module.api) {
        result = StreetRead{};
        return unavailable(path, why);
    }
    return module.api->readChains(path, layer, options, result, why, progress);
}

} // namespace vantry
