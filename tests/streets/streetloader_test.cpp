#include "streets/streetmodule.h"
#include "support/fedpipe.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace vantry {

namespace {

const std::string kFailure =
    "the street data reader (libvantry_streets_gdal.so) could not be loaded: ";

// Whatever stands where the module should be, loading says of each place why it is not the
// reader, and never stops or waits on it.
TEST(StreetModule, EveryPlaceThatHoldsNoReaderIsNamedWithItsReason) {
    TestDir dir;
    spit(dir.file("text.so"), "not a module\n");
    const FedPipe pipe(dir.file("pipe.so"), "\x7f"
                                            "ELF");
    ASSERT_TRUE(pipe.ready());
    const struct {
        std::string place;
        std::string reason;
    } cases[] = {
        {dir.file("missing.so"), dir.file("missing.so") + ": no such file or directory"},
        {dir.file("text.so"), dir.file("text.so") + ": "},
        {dir.path().string(), dir.path().string() + ": it is a folder, not a file"},
        {dir.file("pipe.so"), dir.file("pipe.so") + ": it is a pipe, not a file"},
        {FAKE_MODULE_WITHOUT_ENTRY,
         std::string(FAKE_MODULE_WITHOUT_ENTRY) + " is not this version's street data reader"},
        {FAKE_MODULE_OF_OTHER_VERSION,
         std::string(FAKE_MODULE_OF_OTHER_VERSION) + " is not this version's street data reader"},
    };
    std::vector<std::string> places;
    std::string reasons;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.place);
        const StreetModule alone = loadStreetModule({c.place});
        EXPECT_EQ(alone.api, nullptr);
        EXPECT_EQ(alone.failure.rfind(kFailure + c.reason, 0), 0u) << alone.failure;
        places.push_back(c.place);
        reasons += (reasons.empty() ? "" : "; ") + alone.failure.substr(kFailure.size());
    }
    const StreetModule none = loadStreetModule(places);
    EXPECT_EQ(none.api, nullptr);
    EXPECT_EQ(none.failure, kFailure + reasons);
    EXPECT_EQ(loadStreetModule({}).failure,
              "the street data reader (libvantry_streets_gdal.so) could not be loaded");
}

TEST(StreetModule, TheFirstPlaceThatHoldsThisVersionsReaderIsTaken) {
    const StreetModule module =
        loadStreetModule({"/no/such/module.so", FAKE_MODULE_WITHOUT_ENTRY, FAKE_MODULE});
    ASSERT_NE(module.api, nullptr) << module.failure;
    EXPECT_EQ(module.api->version, kStreetReaderApiVersion);
    std::vector<std::string> layers;
    std::string why;
    EXPECT_FALSE(module.api->listLayers("x", layers, why));
    EXPECT_EQ(why, "fake") << "the table is the module's own";
}

// The environment names a module for an installation that has moved; it is tried first, and an
// empty name is no name.
TEST(StreetModule, TheNamedModuleComesFirst) {
    const char* old = std::getenv("VANTRY_STREETS_MODULE");
    const std::string kept = old ? old : "";
    setenv("VANTRY_STREETS_MODULE", "/opt/vantry/streets.so", 1);
    const std::vector<std::string> named = streetModulePlaces();
    setenv("VANTRY_STREETS_MODULE", "", 1);
    const std::vector<std::string> unnamed = streetModulePlaces();
    if (old)
        setenv("VANTRY_STREETS_MODULE", kept.c_str(), 1);
    else
        unsetenv("VANTRY_STREETS_MODULE");
    ASSERT_FALSE(named.empty());
    EXPECT_EQ(named.front(), "/opt/vantry/streets.so");
    EXPECT_EQ(std::vector<std::string>(named.begin() + 1, named.end()), unnamed);
    EXPECT_NE(unnamed.back().find("libvantry_streets_gdal.so"), std::string::npos);
}

} // namespace

} // namespace vantry
