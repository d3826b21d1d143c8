// The TIGER/Line record readers on arbitrary bytes. Each reader takes only the lines of its own
// record type, so one input feeds both: its type 1 records make chains and its type 2 records
// bend them. Every point then goes through the placement in world miles.

#include "fuzzcheck.h"
#include "tiger/tigerstore.h"
#include "tigerchecks.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace vantry;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    TigerStore store;
    TigerLoadReport report;
    store.readChainRecords(text, &report);
    store.readShapeRecords(text, &report);
    store.recomputeBoundingBox();
    checkTigerStore(store);
    FUZZ_CHECK(store.chains().size() <= report.chainsStored);

    const TigerBounds& box = store.boundingBox();
    const TigerPoint origin{box.bottom, box.left};
    for (const auto& [tlid, chain] : store.chains()) {
        FUZZ_CHECK(isFinite(TigerToWorld(chain.start, origin)));
        for (const TigerPoint& p : chain.shapePoints)
            FUZZ_CHECK(isFinite(TigerToWorld(p, origin)));
        FUZZ_CHECK(isFinite(TigerToWorld(chain.end, origin)));
    }
    return 0;
}
