#include "geo/projobjects.h"

namespace vantry {

PJ_CONTEXT* quietProjContext() {
    PJ_CONTEXT* ctx = proj_context_create();
    if (ctx)
        proj_log_level(ctx, PJ_LOG_NONE);
    return ctx;
}

PjPtr createCrs(PJ_CONTEXT* ctx, const std::string& text) {
    PjPtr crs(proj_create(ctx, text.c_str()));
    if (crs && !proj_is_crs(crs.get()) && text.find("+proj=") != std::string::npos &&
        text.find("+type=crs") == std::string::npos)
        crs.reset(proj_create(ctx, (text + " +type=crs").c_str()));
    if (crs && !proj_is_crs(crs.get()))
        crs.reset();
    return crs;
}

const PJ* horizontalCrs(PJ_CONTEXT* ctx, const PJ* crs, PjPtr& holder) {
    if (proj_get_type(crs) == PJ_TYPE_BOUND_CRS) {
        holder.reset(proj_get_source_crs(ctx, crs));
        return holder.get();
    }
    if (proj_get_type(crs) == PJ_TYPE_COMPOUND_CRS) {
        holder.reset(proj_crs_get_sub_crs(ctx, crs, 0));
        return holder.get();
    }
    return crs;
}

PjPtr lonLatOperation(PJ_CONTEXT* ctx, const PJ* crs) {
    PjPtr wgs84(proj_create(ctx, "EPSG:4326"));
    PjPtr operation(wgs84 ? proj_create_crs_to_crs_from_pj(ctx, crs, wgs84.get(), nullptr, nullptr)
                          : nullptr);
    return PjPtr(operation ? proj_normalize_for_visualization(ctx, operation.get()) : nullptr);
}

std::string quotedCrs(const std::string& crs) {
    if (crs.size() > 80)
        return "\"" + crs.substr(0, 77) + "...\"";
    return "\"" + crs + "\"";
}

} // namespace vantry
