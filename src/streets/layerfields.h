#pragma once

// Which fields of a line layer say what its features are, and the kind and attributes of a
// feature read from them.

#include "streets/linekinds.h"
#include "streets/streetreader.h"
#include "tiger/tigerstore.h"

#include <ogrsf_frmts.h>

namespace vantry {

// The indices of the fields a schema reads, -1 for those the layer lacks.
struct LayerFields {
    int highway = -1, junction = -1, oneway = -1, lanes = -1, lanesForward = -1, lanesBackward = -1,
        maxspeed = -1, name = -1, ref = -1, railway = -1, waterway = -1, natural = -1;
    int mtfcc = -1, fullName = -1, id = -1;
    int roadClass = -1;
    // Whether the layer holds OpenStreetMap data, whose lines that are not highways have an
    // empty class field.
    bool openStreetMap = false;
};

// The fields of a layer read as schema; their names are matched without regard to letter case,
// and in the shortened forms shapefiles give them.
LayerFields findLayerFields(const OGRFeatureDefn& defn, StreetSchema schema);

// Leaves every other field unread, which saves most of the work on wide attribute tables.
void ignoreOtherFields(OGRLayer& layer, const LayerFields& f);

// What a feature's line is: by its MTFCC, by its class field, or when that is empty in
// OpenStreetMap data (its lines that are not highways) by its waterway, railway and natural
// fields. A line that says nothing of its class is taken for a road, so that a layer without
// a class field is taken whole.
LineKind lineKindOf(const OGRFeature& f, const LayerFields& fields, StreetSchema schema);

// The chain attributes a feature gives its lines: its id, and the class, traffic rule, lanes,
// speeds and name its fields give. A speed field's 0 (the widely used OpenStreetMap shapefiles'
// word for a speed not known) leaves the speed to the road's class.
TigerChain chainAttributesOf(const OGRFeature& f, const LayerFields& fields, StreetSchema schema,
                             bool bareSpeedIsMph);

// Whether a bare number in a layer's speed field is in miles per hour: as the user says, or, left
// to guess, kilometres per hour for layers that come from OpenStreetMap and miles otherwise.
bool bareSpeedIsMph(const OGRFeatureDefn& defn, SpeedUnit unit);

} // namespace vantry
