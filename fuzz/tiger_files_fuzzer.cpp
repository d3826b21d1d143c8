// Load TIGER Data on arbitrary bytes: the input is written as both files of a record type 1 and 2
// pair and loaded twice, once into an empty store and once over what the first load left, as
// the command does for a second pair.

#include "fuzzcheck.h"
#include "tiger/tigerstore.h"
#include "tigerchecks.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <unistd.h>

using namespace vantry;

namespace {

std::filesystem::path folder;

void removeFolder() {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}

void writeFile(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    FUZZ_CHECK(out.good());
}

void checkWorldChains(const TigerData& tiger) {
    FUZZ_CHECK(tiger.worldChains().size() == tiger.store().chains().size());
    std::size_t next = 0;
    for (const TigerData::WorldChain& wc : tiger.worldChains()) {
        FUZZ_CHECK(wc.first == next);
        FUZZ_CHECK(wc.count == wc.chain->shapePoints.size() + 2);
        next += wc.count;
        FUZZ_CHECK(next <= tiger.worldPoints().size());
        for (std::size_t i = wc.first; i < next; ++i)
            FUZZ_CHECK(isFinite(tiger.worldPoints()[i]));
    }
    FUZZ_CHECK(next == tiger.worldPoints().size());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string pattern = (std::filesystem::temp_directory_path() / "vantry-tiger-XXXXXX").string();
    FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
    folder = pattern;
    std::atexit(removeFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    writeFile(folder / "TGR00001.RT1", data, size);
    writeFile(folder / "TGR00001.RT2", data, size);
    const std::string path = (folder / "TGR00001.RT1").string();

    TigerData tiger;
    std::string why;
    TigerLoadReport report;
    FUZZ_CHECK(tiger.load(path, &why, &report));
    FUZZ_CHECK(report.type1Problem.empty() == (report.chainsStored > 0));
    FUZZ_CHECK(report.type2Problem.empty());
    checkTigerStore(tiger.store());
    checkWorldChains(tiger);

    const TigerPoint origin = tiger.tigerOrigin();
    FUZZ_CHECK(tiger.load(path, &why, &report));
    FUZZ_CHECK(tiger.tigerOrigin() == origin);
    checkTigerStore(tiger.store());
    checkWorldChains(tiger);
    return 0;
}
