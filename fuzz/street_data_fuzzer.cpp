// Street data on arbitrary bytes: the first byte chooses the name the rest is written under
// (OpenStreetMap XML or PBF, GeoJSON, FlatGeobuf, or no extension, which leaves the choice of
// reader to the file's first bytes), the file is read into chains, and the chains are added to
// TIGER/Line data as Load TIGER Data adds them.

#include "fuzzcheck.h"
#include "streets/streetreader.h"
#include "tigerchecks.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

using namespace vantry;

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
    // A lane count of 0 leaves the number to the road's class; a one-way road has none against
    // its direction.
    FUZZ_CHECK(c.speedForward >= 0 && c.speedBackward >= 0 && c.lanesForward >= 0 &&
               c.lanesBackward >= 0);
    switch (c.traffic) {
    case ChainTraffic::TwoWay:
    case ChainTraffic::None:
        break;
    case ChainTraffic::Forward:
        FUZZ_CHECK(c.lanesBackward == 0);
        break;
    case ChainTraffic::Backward:
        FUZZ_CHECK(c.lanesForward == 0);
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
    static const char* const kNames[] = {"data.osm", "data.osm.pbf", "data.geojson", "data.fgb",
                                         "download"};
    const std::filesystem::path path = folder / kNames[data[0] % std::size(kNames)];
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
        FUZZ_CHECK(out.good());
    }
    // Listing may refuse a file it only glances at, but never one that reads.
    std::vector<std::string> layers;
    std::string why;
    const bool listed = listStreetLayers(path.string(), layers, why);
    FUZZ_CHECK(listed ? !layers.empty() : !why.empty());
    StreetRead read;
    const bool ok = readStreetChains(path.string(), "", {}, read, why);
    std::filesystem::remove(path);
    if (!ok) {
        FUZZ_CHECK(!why.empty());
        FUZZ_CHECK(read.chains.empty() || read.cancelled);
        return 0;
    }
    FUZZ_CHECK(listed && std::find(layers.begin(), layers.end(), read.layer) != layers.end());
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
