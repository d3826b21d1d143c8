#include "base/moduleloader.h"
#include "streets/streetmodule.h"
#include "streets/streetreader.h"

#include <mutex>
#include <string>
#include <vector>

namespace vantry {

std::vector<std::string> streetModulePlaces() {
    return modulePlaces("VANTRY_STREETS_MODULE", VANTRY_STREETS_MODULE_NAME,
                        VANTRY_STREETS_MODULE_BUILT);
}

StreetModule loadStreetModule(const std::vector<std::string>& places) {
    const LoadedModule found = loadModule(
        places, "vantryStreetReader",
        [](void* entry) -> const void* {
            using Entry = const StreetReaderApi* (*)();
            const StreetReaderApi* api = reinterpret_cast<Entry>(entry)();
            return api && api->version == kStreetReaderApiVersion ? api : nullptr;
        },
        "street data reader", VANTRY_STREETS_MODULE_NAME);
    return {static_cast<const StreetReaderApi*>(found.table), found.failure};
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
