#include "geo/geotransform.h"
#include "geo/populatedgeoreference.h"
#include "tiger/tigerstore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace vantry {

namespace {

// The longitude difference b - a, in degrees, the short way round.
double longitudeDifference(double a, double b) {
    return std::remainder(b - a, 360.0);
}

TEST(PopulatedGeoreference, GivesBackThePlaceOfEveryPointPopulateMade) {
    struct Case {
        TigerPoint origin; // millionths of a degree, latitude first
        double milesAround;
        double longitudeTolerance;
    };
    // Populate scales longitudes by the cosine of the latitude taken with 3.14159 for pi, which
    // no projection does: east and west of the origin the two part by about tan(latitude) *
    // latitude in radians * 8.4e-7 of the distance, under 1e-7 degree for ten miles at 34
    // degrees, 2e-6 degree (2 cm) for a mile at 80.
    const Case cases[] = {
        {{34000000, -118300000}, 10.0, 1e-7}, // Los Angeles
        {{-34000000, 151100000}, 10.0, 1e-7}, // Sydney
        {{-16900000, 179900000}, 10.0, 1e-7}, // Fiji, by the 180th meridian
        {{80000000, 15000000}, 0.1, 1e-7},    // Svalbard
        {{80000000, 15000000}, 2.0, 2e-6},
    };
    for (const Case& c : cases) {
        const Georeference g = populatedGeoreference(c.origin);
        std::string why;
        auto t = GeoTransform::make(g, why);
        ASSERT_TRUE(t) << g.crs << ": " << why;
        for (int i = -2; i <= 2; ++i)
            for (int j = -2; j <= 2; ++j) {
                // Points as record files and street data give them: whole millionths of a
                // degree, up to milesAround from the origin, longitudes past 180 where the data
                // crosses the meridian.
                const double lat = c.origin.latitude * 1e-6 + j * c.milesAround / 2 / 69.0;
                const double lonSpan =
                    c.milesAround / 2 / (69.0 * std::cos(lat * 3.14159265358979 / 180));
                const TigerPoint p{
                    static_cast<std::int32_t>(std::lround(lat * 1e6)),
                    static_cast<std::int32_t>(std::lround(c.origin.longitude + i * lonSpan * 1e6))};
                const LonLat got = t->toLonLat(TigerToWorld(p, c.origin));
                EXPECT_NEAR(longitudeDifference(p.longitude * 1e-6, got.longitude), 0.0,
                            c.longitudeTolerance)
                    << g.crs << " at " << p.latitude << ", " << p.longitude;
                EXPECT_NEAR(got.latitude, p.latitude * 1e-6, 1e-7)
                    << g.crs << " at " << p.latitude << ", " << p.longitude;
            }
    }
}

} // namespace

} // namespace vantry
