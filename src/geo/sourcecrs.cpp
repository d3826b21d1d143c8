#include "geo/sourcecrs.h"

#include <proj.h>

#include <cmath>
#include <memory>

namespace vantry {

namespace {

struct PjFree {
    void operator()(PJ* p) const { proj_destroy(p); }
};
using PjPtr = std::unique_ptr<PJ, PjFree>;

struct ContextFree {
    void operator()(PJ_CONTEXT* c) const { proj_context_destroy(c); }
};
using ContextPtr = std::unique_ptr<PJ_CONTEXT, ContextFree>;

std::string quoted(const std::string& crs) {
    // WKT runs to many hundreds of characters: its name is enough to say which CRS it was.
    if (crs.size() > 80)
        return "\"" + crs.substr(0, 77) + "...\"";
    return "\"" + crs + "\"";
}

PjPtr createCrs(PJ_CONTEXT* ctx, const std::string& text) {
    PjPtr crs(proj_create(ctx, text.c_str()));
    // A PROJ string names a conversion unless it says it is a CRS.
    if (crs && !proj_is_crs(crs.get()) && text.find("+proj=") != std::string::npos &&
        text.find("+type=crs") == std::string::npos)
        crs.reset(proj_create(ctx, (text + " +type=crs").c_str()));
    if (crs && !proj_is_crs(crs.get()))
        crs.reset();
    return crs;
}

bool isGeographic(PJ_TYPE type) {
    return type == PJ_TYPE_GEOGRAPHIC_2D_CRS || type == PJ_TYPE_GEOGRAPHIC_3D_CRS;
}

ContextPtr quietContext() {
    ContextPtr ctx(proj_context_create());
    // What PROJ says of a CRS it does not know is the caller's to say, in its own words.
    if (ctx)
        proj_log_level(ctx.get(), PJ_LOG_NONE);
    return ctx;
}

} // namespace

std::optional<SourceCrs> readSourceCrs(const std::string& text, std::string& why) {
    ContextPtr ctx = quietContext();
    PjPtr crs = ctx ? createCrs(ctx.get(), text) : nullptr;
    if (!crs) {
        why = "PROJ does not know the CRS " + quoted(text);
        return std::nullopt;
    }
    PjPtr horizontal;
    const PJ* plane = crs.get();
    if (proj_get_type(plane) == PJ_TYPE_BOUND_CRS) {
        horizontal.reset(proj_get_source_crs(ctx.get(), plane));
        plane = horizontal.get();
    } else if (proj_get_type(plane) == PJ_TYPE_COMPOUND_CRS) {
        horizontal.reset(proj_crs_get_sub_crs(ctx.get(), plane, 0));
        plane = horizontal.get();
    }
    SourceCrs result;
    if (plane && isGeographic(proj_get_type(plane)))
        result.geographic = true;
    else if (!plane || proj_get_type(plane) != PJ_TYPE_PROJECTED_CRS) {
        why = "the CRS " + quoted(text) + " is neither a plane nor longitude and latitude";
        return std::nullopt;
    }
    const char* authority = proj_get_id_auth_name(crs.get(), 0);
    const char* code = proj_get_id_code(crs.get(), 0);
    if (authority && code) {
        result.name = std::string(authority) + ":" + code;
    } else if (text.find_first_of("\r\n\t") == std::string::npos) {
        result.name = text;
    } else {
        const char* proj = proj_as_proj_string(ctx.get(), crs.get(), PJ_PROJ_5, nullptr);
        result.name = proj ? proj : text;
    }
    return result;
}

bool convertToLonLat(const std::string& text, std::vector<double>& xy, std::string& why) {
    ContextPtr ctx = quietContext();
    PjPtr crs = ctx ? createCrs(ctx.get(), text) : nullptr;
    PjPtr wgs84(ctx ? proj_create(ctx.get(), "EPSG:4326") : nullptr);
    PjPtr operation(crs && wgs84 ? proj_create_crs_to_crs_from_pj(ctx.get(), crs.get(), wgs84.get(),
                                                                  nullptr, nullptr)
                                 : nullptr);
    PjPtr normalized(operation ? proj_normalize_for_visualization(ctx.get(), operation.get())
                               : nullptr);
    if (!normalized) {
        why = "PROJ cannot convert " + quoted(text) + " to longitude and latitude";
        return false;
    }
    for (std::size_t i = 0; i + 1 < xy.size(); i += 2) {
        PJ_COORD c = proj_coord(xy[i], xy[i + 1], 0, 0);
        c = proj_trans(normalized.get(), PJ_FWD, c);
        if (!std::isfinite(c.lp.lam) || !std::isfinite(c.lp.phi)) {
            why = "PROJ cannot convert the point " + std::to_string(xy[i]) + ", " +
                  std::to_string(xy[i + 1]) + " of " + quoted(text) + " to longitude and latitude";
            return false;
        }
        xy[i] = c.xy.x;
        xy[i + 1] = c.xy.y;
    }
    return true;
}

} // namespace vantry
