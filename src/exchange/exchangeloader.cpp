#include "base/moduleloader.h"
#include "exchange/exchangemodule.h"

#include <mutex>

namespace vantry {

std::vector<std::string> exchangeModulePlaces() {
    return modulePlaces("VANTRY_EXCHANGE_MODULE", VANTRY_EXCHANGE_MODULE_NAME,
                        VANTRY_EXCHANGE_MODULE_BUILT);
}

ExchangeModule loadExchangeModule(const std::vector<std::string>& places) {
    const LoadedModule found = loadModule(
        places, "vantryExchangeModule",
        [](void* entry) -> const void* {
            using Entry = const ExchangeModuleApi* (*)();
            const ExchangeModuleApi* api = reinterpret_cast<Entry>(entry)();
            return api && api->version == kExchangeModuleApiVersion ? api : nullptr;
        },
        "GIS exchange module", VANTRY_EXCHANGE_MODULE_NAME);
    return {static_cast<const ExchangeModuleApi*>(found.table), found.failure};
}

const ExchangeModule& exchangeModule() {
#ifdef VANTRY_EXCHANGE_LINKED
    static const ExchangeModule linked{vantryExchangeModule(), {}};
    return linked;
#else
    static ExchangeModule module;
    static std::once_flag once;
    std::call_once(once, [] { module = loadExchangeModule(exchangeModulePlaces()); });
    return module;
#endif
}

} // namespace vantry
