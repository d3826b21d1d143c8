#pragma once

// The PROJ objects the transforms of this folder share how to make.

#include <proj.h>

#include <memory>
#include <string>

namespace vantry {

struct PjFree {
    void operator()(PJ* p) const { proj_destroy(p); }
};
using PjPtr = std::unique_ptr<PJ, PjFree>;

struct ContextFree {
    void operator()(PJ_CONTEXT* c) const { proj_context_destroy(c); }
};
using ContextPtr = std::unique_ptr<PJ_CONTEXT, ContextFree>;

// A context that keeps PROJ's own complaints to itself: what PROJ says of a CRS it does not know
// is the caller's to say, in its own words. Null when PROJ cannot start.
PJ_CONTEXT* quietProjContext();

// The CRS the text names (an EPSG code, WKT, a PROJ string); null when PROJ knows none. A PROJ
// string names a conversion unless it says it is a CRS, so one that does not is read as one.
PjPtr createCrs(PJ_CONTEXT* ctx, const std::string& text);

// The plane of a CRS bound to WGS 84 or of a compound CRS, which is the one that matters, or the
// CRS itself; `holder` keeps a new object alive.
const PJ* horizontalCrs(PJ_CONTEXT* ctx, const PJ* crs, PjPtr& holder);

// The conversion from the CRS to longitude and latitude of WGS 84, longitude first whatever order
// the CRS gives its axes; null when PROJ has none.
PjPtr lonLatOperation(PJ_CONTEXT* ctx, const PJ* crs);

// How messages quote a CRS: WKT runs to many hundreds of characters, and its start is enough to
// say which CRS it was.
std::string quotedCrs(const std::string& crs);

} // namespace vantry
