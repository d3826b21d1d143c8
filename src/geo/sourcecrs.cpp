#include "geo/sourcecrs.h"

#include "geo/projobjects.h"

#include <cmath>

namespace vantry {

namespace {

bool isGeographic(PJ_TYPE type) {
    return type == PJ_TYPE_GEOGRAPHIC_2D_CRS || type == PJ_TYPE_GEOGRAPHIC_3D_CRS;
}

} // namespace

std::optional<SourceCrs> readSourceCrs(const std::string& text, std::string& why) {
    ContextPtr ctx(quietProjContext());
    PjPtr crs = ctx ? createCrs(ctx.get(), text) : nullptr;
    if (!crs) {
        why = "PROJ does not know the CRS " + quotedCrs(text);
        return std::nullopt;
    }
    PjPtr horizontal;
    const PJ* plane = horizontalCrs(ctx.get(), crs.get(), horizontal);
    SourceCrs result;
    if (plane && isGeographic(proj_get_type(plane)))
        result.geographic = true;
    else if (!plane || proj_get_type(plane) != PJ_TYPE_PROJECTED_CRS) {
        why = "the CRS " + quotedCrs(text) + " is neither a plane nor longitude and latitude";
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
    ContextPtr ctx(quietProjContext());
    PjPtr crs = ctx ? createCrs(ctx.get(), text) : nullptr;
    PjPtr toLonLat = crs ? lonLatOperation(ctx.get(), crs.get()) : nullptr;
    if (!toLonLat) {
        why = "PROJ cannot convert " + quotedCrs(text) + " to longitude and latitude";
        return false;
    }
    for (std::size_t i = 0; i + 1 < xy.size(); i += 2) {
        PJ_COORD c = proj_coord(xy[i], xy[i + 1], 0, 0);
        c = proj_trans(toLonLat.get(), PJ_FWD, c);
        if (!std::isfinite(c.lp.lam) || !std::isfinite(c.lp.phi)) {
            why = "PROJ cannot convert the point " + std::to_string(xy[i]) + ", " +
                  std::to_string(xy[i + 1]) + " of " + quotedCrs(text) +
                  " to longitude and latitude";
            return false;
        }
        xy[i] = c.xy.x;
        xy[i + 1] = c.xy.y;
    }
    return true;
}

} // namespace vantry
