#include "geo/geotransform.h"

#include <proj.h>

#include <cmath>
#include <limits>
#include <utility>

namespace vantry {

namespace {

constexpr double kMetresPerMile = 1609.344;

// Frees a PROJ object when it goes.
struct PjFree {
    void operator()(PJ* p) const { proj_destroy(p); }
};
using PjPtr = std::unique_ptr<PJ, PjFree>;

std::string quoted(const std::string& crs) {
    return "\"" + crs + "\"";
}

bool isProjected(PJ_TYPE type) {
    return type == PJ_TYPE_PROJECTED_CRS;
}

bool isGeographic(PJ_TYPE type) {
    return type == PJ_TYPE_GEOGRAPHIC_2D_CRS || type == PJ_TYPE_GEOGRAPHIC_3D_CRS ||
           type == PJ_TYPE_GEOCENTRIC_CRS || type == PJ_TYPE_GEODETIC_CRS;
}

} // namespace

struct GeoTransform::Proj {
    PJ_CONTEXT* context = proj_context_create();
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
        why = "PROJ could not be started to read the CRS " + quoted(g.crs);
        return std::nullopt;
    }
    PJ_CONTEXT* ctx = proj->context;
    // What PROJ says of a CRS it does not know is the caller's to say, in its own words.
    proj_log_level(ctx, PJ_LOG_NONE);

    PjPtr crs(proj_create(ctx, g.crs.c_str()));
    // A PROJ string names a conversion unless it says it is a CRS.
    if (crs && !proj_is_crs(crs.get()) && g.crs.find("+proj=") != std::string::npos &&
        g.crs.find("+type=crs") == std::string::npos)
        crs.reset(proj_create(ctx, (g.crs + " +type=crs").c_str()));
    if (!crs || !proj_is_crs(crs.get())) {
        why = "PROJ does not know the CRS " + quoted(g.crs);
        return std::nullopt;
    }
    // The plane of a CRS bound to WGS 84 or of a compound CRS is the one that matters.
    PjPtr horizontal;
    const PJ* plane = crs.get();
    if (proj_get_type(plane) == PJ_TYPE_BOUND_CRS) {
        horizontal.reset(proj_get_source_crs(ctx, plane));
        plane = horizontal.get();
    } else if (proj_get_type(plane) == PJ_TYPE_COMPOUND_CRS) {
        horizontal.reset(proj_crs_get_sub_crs(ctx, plane, 0));
        plane = horizontal.get();
    }
    if (!plane || !isProjected(proj_get_type(plane))) {
        why = quoted(g.crs) +
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
        why = quoted(g.crs) + " has no linear unit PROJ can give";
        return std::nullopt;
    }

    PjPtr wgs84(proj_create(ctx, "EPSG:4326"));
    PjPtr operation(
        wgs84 ? proj_create_crs_to_crs_from_pj(ctx, crs.get(), wgs84.get(), nullptr, nullptr)
              : nullptr);
    PjPtr normalized(operation ? proj_normalize_for_visualization(ctx, operation.get()) : nullptr);
    if (!normalized) {
        why = "PROJ cannot convert " + quoted(g.crs) + " to longitude and latitude";
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
