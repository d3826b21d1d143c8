#pragma once

#include "model/georeference.h"
#include "model/network.h"
#include "tiger/tigerstore.h"

namespace vantry {

// The georeference of a network populated from record files or street data around `origin`
// (TigerData::tigerOrigin()): the sinusoidal projection about the origin's meridian on the sphere
// whose degree of latitude is kTigerMilesPerDegree miles, which is how TigerToWorld places every
// point, as a PROJ string; its origin is in metres. TigerToWorld takes the cosine of the latitude
// with 3.14159 for pi, which no projection does: east or west of the origin the two part by about
// tan(latitude) * latitude in radians * 8.4e-7 of the distance, a centimetre in ten miles.
Georeference populatedGeoreference(TigerPoint origin);

// Places a network that populate has just added links to, unless it already knows where it lies:
// its own georeference wins over the data's, so populating from another source never moves it.
void placePopulated(Network& network, TigerPoint origin);

} // namespace vantry
