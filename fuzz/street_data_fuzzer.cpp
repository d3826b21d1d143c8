// Street data on arbitrary bytes: the first byte chooses the format the rest is written as
// (OpenStreetMap XML or PBF, GeoJSON, FlatGeobuf), the file is read into chains, and the chains
// are added to TIGER/Line data as Load TIGER Data adds them.

#include "fuzzcheck.h"
#include "streets/streetreader.h"
#include "tigerchecks.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <unistd.h>

namespace {

std::filesystem::path folder;

void removeFolder() {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}

// What the rules promise of every chain, whatever the file held.
void checkChain(const TigerChain& c) {
    FUZZ_CHECK(!(c.start == c.end) || !c.shapePoints.empty());
    for (const TigerPoint& p : {c.start, c.end}) {
        FUZZ_CHECK(p.latitude >= -90000000 && p.latitude <= 90000000);
        FUZZ_CHECK(p.longitude >= -180000000 && p.longitude <= 180000000);
    }
    FUZZ_CHECK(c.speed >= 0 && c.lanesForward >= 0 && c.lanesBackward >= 0);
    switch (c.traffic) {
    case ChainTraffic::TwoWay:
        FUZZ_CHECK(c.lanesForward >= 1 && c.lanesBackward >= 1);
        break;
    case ChainTraffic::Forward:
        FUZZ_CHECK(c.lanesForward >= 1 && c.lanesBackward == 0);
        break;
    case ChainTraffic::Backward:
        FUZZ_CHECK(c.lanesForward == 0 && c.lanesBackward >= 1);
        break;
    case ChainTraffic::None:
        break;
    case ChainTraffic::ByClass:
        FUZZ_CHECK(false);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "vantry-streets-XXXXXX").string();
    FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
    folder = pattern;
    std::atexit(removeFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    static const char* const kNames[] = {"data.osm", "data.osm.pbf", "data.geojson", "data.fgb"};
    const std::filesystem::path path = folder / kNames[data[0] % 4];
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
        FUZZ_CHECK(out.good());
    }
    StreetRead read;
    std::string why;
    const bool ok = readStreetChains(path.string(), "", read, why);
    std::filesystem::remove(path);
    if (!ok) {
        FUZZ_CHECK(!why.empty());
        FUZZ_CHECK(read.chains.empty() || read.cancelled);
        return 0;
    }
    FUZZ_CHECK(!read.chains.empty());
    for (const TigerChain& c : read.chains)
        checkChain(c);
    TigerData tiger;
    FUZZ_CHECK(tiger.add(read.chains));
    const TigerBounds& box = tiger.store().boundingBox();
    for (const auto& [tlid, chain] : tiger.store().chains()) {
        FUZZ_CHECK(chain.tlid == tlid);
        for (const TigerPoint p : {chain.start, chain.end})
            FUZZ_CHECK(p.latitude <= box.top && p.latitude >= box.bottom &&
                       p.longitude >= box.left && p.longitude <= box.right);
    }
    for (const WorldPoint& p : tiger.worldPoints())
        FUZZ_CHECK(isFinite(p));
    return 0;
}
