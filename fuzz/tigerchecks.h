#pragma once

#include "fuzzcheck.h"
#include "tiger/tigerstore.h"

#include <cmath>

namespace vantry {

// Checks a store after a load: every chain is filed under its own TLID with a class that passes
// the filter, and the box covers every start and end point.
inline void checkTigerStore(const TigerStore& store) {
    const TigerBounds& box = store.boundingBox();
    for (const auto& [tlid, chain] : store.chains()) {
        FUZZ_CHECK(chain.tlid == tlid);
        FUZZ_CHECK(TigerFeatureWanted(chain.cfcc));
        for (const TigerPoint p : {chain.start, chain.end}) {
            FUZZ_CHECK(p.latitude <= box.top && p.latitude >= box.bottom);
            FUZZ_CHECK(p.longitude >= box.left && p.longitude <= box.right);
        }
    }
}

inline bool isFinite(WorldPoint p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

} // namespace vantry
