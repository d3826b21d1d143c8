// Stand-ins for the street data reader that the loader must tell from the real one: built with
// FAKE_STREETS_VERSION, a module whose entry point gives a table of that version; without it, a
// module with no entry point at all.

#include "streets/streetmodule.h"

namespace vantry {

#ifdef FAKE_STREETS_VERSION

namespace {

bool listNothing(const std::string&, std::vector<std::string>&, std::string& why) {
    why = "fake";
    return false;
}

bool readNothing(const std::string&, const std::string&, const StreetReadOptions&, StreetRead&,
                 std::string& why, const StreetProgress&) {
    why = "fake";
    return false;
}

const StreetReaderApi kApi{FAKE_STREETS_VERSION, listNothing, readNothing};

} // namespace

const StreetReaderApi* vantryStreetReader() {
    return &kApi;
}

#else

extern "C" VANTRY_STREETS_EXPORT int notTheStreetReader() {
    return 0;
}

#endif

} // namespace vantry
