#pragma once

// The seam between the exchange functions and the module that reads and writes GIS files with
// GDAL, loaded on first use.

#include "exchange/exchangetables.h"

#include <string>
#include <vector>

namespace vantry {

// What looking for the module found: its table, or why there is none.
struct ExchangeModule {
    const ExchangeModuleApi* api = nullptr;
    std::string failure;
};

// Where the module may be, in the order tried: named by VANTRY_EXCHANGE_MODULE (for a relocated
// installation), installed beside the program's own folder, or where this build put it.
std::vector<std::string> exchangeModulePlaces();

// Loads the first of `places` that holds this version's module; when none does, the failure
// says of each place why not.
ExchangeModule loadExchangeModule(const std::vector<std::string>& places);

// The module of this program, loaded once on first use (or linked in by instrumented builds).
const ExchangeModule& exchangeModule();

#define VANTRY_EXCHANGE_EXPORT __attribute__((visibility("default")))

// The module's one entry point, looked up by this name.
extern "C" VANTRY_EXCHANGE_EXPORT const ExchangeModuleApi* vantryExchangeModule();

} // namespace vantry
