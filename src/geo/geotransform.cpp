#include "geo/geotransform.h"

#include "geo/projobjects.h"

#include <cmath>
#include <limits>
#include <utility>

namespace vantry {

namespace {

constexpr double kMetresPerMile = 1609.344;

bool isProjected(PJ_TYPE type) {
    return type == PJ_TYPE_PROJECTED_CRS;
}

bool isGeographic(PJ_TYPE type) {
    return type == PJ_TYPE_GEOGRAPHIC_2D_CRS || type == PJ_TYPE_GEOGRAPHIC_3D_CRS ||
           type == PJ_TYPE_GEOCENTRIC_CRS || type == PJ_TYPE_GEODETIC_CRS;
}

} // namespace

struct GeoTransform::Proj {
    PJ_CONTEXT* context = quietProjContext();
    PJ* toLonLat = nullptr;
    ~Proj() {
        proj_destroy(toLonLat);
        if (context)
            proj_context_destroy(context);
    }
};

GeoTransform::GeoTransform(std::unique_ptr<Proj> proj, Georeference g, double metresPerUnit)
    : proj_(std::move(proj)), georeference_(std::move(g)), metresPerUnit_(metresPerUnit) {}

GeoTransform::GeoTransform(GeoTransform&& other) noexcept = default;
GeoTransform& GeoTransform::operator=(GeoTransform&& other) noexcept = default;
GeoTransform::~GeoTransform() = default;

std::optional<GeoTransform> GeoTransform::make(const Georeference& g, std::string& why) {
    if (!g.placed()) {
        why = "the network is not placed: it has no CRS";
        return std::nullopt;
    }
    auto proj = std::make_unique<Proj>();
    if (!proj->context) {
        why = "PROJ could not be started to read the CRS " + quotedCrs(g.crs);
        return std::nullopt;
    }
    PJ_CONTEXT* ctx = proj->context;
    PjPtr crs = createCrs(ctx, g.crs);
    if (!crs) {
        why = "PROJ does not know the CRS " + quotedCrs(g.crs);
        return std::nullopt;
    }
    PjPtr horizontal;
    const PJ* plane = horizontalCrs(ctx, crs.get(), horizontal);
    if (!plane || !isProjected(proj_get_type(plane))) {
        why = quotedCrs(g.crs) +
              (plane && isGeographic(proj_get_type(plane))
                   ? " is a geographic CRS, in degrees: a network's miles need a projected CRS, "
                     "with a linear unit"
                   : " is not a projected CRS: a network's miles need one with a linear unit");
        return std::nullopt;
    }
    PjPtr cs(proj_crs_get_coordinate_system(ctx, plane));
    double metresPerUnit = 0.0;
    if (!cs ||
        !proj_cs_get_axis_info(ctx, cs.get(), 0, nullptr, nullptr, nullptr, &metresPerUnit, nullptr,
                               nullptr, nullptr) ||
        !(metresPerUnit > 0.0) || !std::isfinite(metresPerUnit)) {
        why = quotedCrs(g.crs) + " has no linear unit PROJ can give";
        return std::nullopt;
    }

    PjPtr normalized = lonLatOperation(ctx, crs.get());
    if (!normalized) {
        why = "PROJ cannot convert " + quotedCrs(g.crs) + " to longitude and latitude";
        return std::nullopt;
    }
    proj->toLonLat = normalized.release();
    return GeoTransform(std::move(proj), g, metresPerUnit);
}

LonLat GeoTransform::toLonLat(WorldPoint miles) const {
    const double perMile = kMetresPerMile / metresPerUnit_;
    PJ_COORD c = proj_coord(georeference_.originX + static_cast<double>(miles.x) * perMile,
                            georeference_.originY + static_cast<double>(miles.y) * perMile, 0, 0);
    c = proj_trans(proj_->toLonLat, PJ_FWD, c);
    if (!std::isfinite(c.lp.lam) || !std::isfinite(c.lp.phi)) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        return {nan, nan};
    }
    return {c.lp.lam, c.lp.phi};
}

WorldPoint GeoTransform::fromLonLat(LonLat place) const {
    PJ_COORD c = proj_coord(place.longitude, place.latitude, 0, 0);
    c = proj_trans(proj_->toLonLat, PJ_INV, c);
    if (!std::isfinite(c.xy.x) || !std::isfinite(c.xy.y)) {
        const float nan = std::numeric_limits<float>::quiet_NaN();
        return {nan, nan};
    }
    const double milesPerUnit = metresPerUnit_ / kMetresPerMile;
    return {static_cast<float>((c.xy.x - georeference_.originX) * milesPerUnit),
            static_cast<float>((c.xy.y - georeference_.originY) * milesPerUnit)};
}

} // namespace vantry
