#include "geo/crspoints.h"

#include "geo/projobjects.h"

#include <cmath>
#include <limits>
#include <utility>

namespace vantry {

namespace {

// Below this PROJ's guess at a CRS's EPSG code is no name to show the user.
constexpr int kIdentifiedConfidence = 90;

std::string labelOf(PJ_CONTEXT* ctx, const PJ* crs) {
    if (const char* auth = proj_get_id_auth_name(crs, 0))
        if (const char* code = proj_get_id_code(crs, 0))
            return std::string(auth) + ":" + code;
    int* confidence = nullptr;
    PJ_OBJ_LIST* found = proj_identify(ctx, crs, "EPSG", nullptr, &confidence);
    std::string label;
    if (found && proj_list_get_count(found) > 0 && confidence &&
        confidence[0] >= kIdentifiedConfidence) {
        PjPtr best(proj_list_get(ctx, found, 0));
        const char* code = best ? proj_get_id_code(best.get(), 0) : nullptr;
        if (code)
            label = std::string("EPSG:") + code;
    }
    proj_int_list_destroy(confidence);
    proj_list_destroy(found);
    if (label.empty())
        if (const char* name = proj_get_name(crs))
            label = name;
    return label;
}

} // namespace

struct CrsPoints::Proj {
    PJ_CONTEXT* context = quietProjContext();
    PJ* crs = nullptr;
    PJ* toLonLat = nullptr;
    ~Proj() {
        proj_destroy(toLonLat);
        proj_destroy(crs);
        if (context)
            proj_context_destroy(context);
    }
};

CrsPoints::CrsPoints(std::unique_ptr<Proj> proj, std::string label)
    : proj_(std::move(proj)), label_(std::move(label)) {}
CrsPoints::CrsPoints(CrsPoints&& other) noexcept = default;
CrsPoints& CrsPoints::operator=(CrsPoints&& other) noexcept = default;
CrsPoints::~CrsPoints() = default;

std::optional<CrsPoints> CrsPoints::make(const std::string& crs, std::string& why) {
    auto proj = std::make_unique<Proj>();
    if (!proj->context) {
        why = "PROJ could not be started to read the CRS " + quotedCrs(crs);
        return std::nullopt;
    }
    PJ_CONTEXT* ctx = proj->context;
    proj->crs = createCrs(ctx, crs).release();
    if (!proj->crs) {
        why = "PROJ does not know the CRS " + quotedCrs(crs);
        return std::nullopt;
    }
    proj->toLonLat = lonLatOperation(ctx, proj->crs).release();
    if (!proj->toLonLat) {
        why = "PROJ cannot convert " + quotedCrs(crs) + " to longitude and latitude";
        return std::nullopt;
    }
    std::string label = labelOf(ctx, proj->crs);
    return CrsPoints(std::move(proj), std::move(label));
}

bool CrsPoints::sameAs(const std::string& crs) const {
    PjPtr other = createCrs(proj_->context, crs);
    return other && proj_is_equivalent_to_with_ctx(proj_->context, proj_->crs, other.get(),
                                                   PJ_COMP_EQUIVALENT) != 0;
}

LonLat CrsPoints::toLonLat(double x, double y) const {
    PJ_COORD c = proj_trans(proj_->toLonLat, PJ_FWD, proj_coord(x, y, 0, 0));
    if (!std::isfinite(c.lp.lam) || !std::isfinite(c.lp.phi)) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        return {nan, nan};
    }
    return {c.lp.lam, c.lp.phi};
}

} // namespace vantry
