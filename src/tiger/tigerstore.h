#pragma once

// TIGER/Line street and water chains: reading record type 1 and type 2 files into a store, and
// placing their geographic coordinates in the world miles of a network.

#include "model/geometry.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vantry {

// A geographic position in millionths of a degree, exactly as the files give it (west
// longitudes and south latitudes are negative).
struct TigerPoint {
    std::int32_t latitude = 0;
    std::int32_t longitude = 0;

    friend bool operator==(const TigerPoint&, const TigerPoint&) = default;
};

// A box in millionths of a degree: top is the largest latitude, left the smallest longitude.
struct TigerBounds {
    std::int32_t top = 0;
    std::int32_t bottom = 0;
    std::int32_t left = 0;
    std::int32_t right = 0;

    friend bool operator==(const TigerBounds&, const TigerBounds&) = default;
};

// Which way traffic may run on a chain, relative to its drawing order (start, shape points,
// end). Record-file chains leave it to their feature class; street data says it outright, and
// None marks a feature that is drawn but never populated (a footway, a railway, a river).
enum class ChainTraffic : std::uint8_t { ByClass, TwoWay, Forward, Backward, None };

// One complete chain (a street, ramp or shoreline between two end points) that passed the
// feature filter, with the shape points that bend it, in the order the files give them. Chains
// read from street data also carry what their source knows about the road; the record files
// know none of it, and their chains keep the defaults, which leave everything to the class.
struct TigerChain {
    std::int32_t tlid = 0;
    // Census feature class code: the three characters of the record, e.g. "A41". Street data
    // gets the code of the nearest record-file class, so that it is drawn the same way.
    std::string cfcc;
    TigerPoint start;
    std::vector<TigerPoint> shapePoints;
    TigerPoint end;

    ChainTraffic traffic = ChainTraffic::ByClass;
    // Lanes in each direction of travel; 0 leaves the number to the class.
    std::int32_t lanesForward = 0;
    std::int32_t lanesBackward = 0;
    // Free-flow speed in miles per hour in each direction; 0 leaves it to the class.
    std::int32_t speedForward = 0;
    std::int32_t speedBackward = 0;
    // The street's name (or its route number when it has none), given to the links made from it.
    std::string description{};
    // The class as the source names it ("residential", "S1400") and the source's own id of the
    // feature (an OpenStreetMap way, a TIGER/Line edge), for listings.
    std::string sourceClass{};
    std::int64_t sourceId = 0;
    // The road class populating goes by, in OpenStreetMap's words ("motorway", "primary_link",
    // "residential", "service"), whatever the source; empty for record files, whose chains go
    // by their census class, and for features that are not roads.
    std::string roadClass{};
    // What kind of service road it is ("driveway", "parking_aisle", "alley"), when it is one
    // and the source says.
    std::string serviceKind{};
};

// The one rule for which way traffic runs on a chain, for drawing and populating alike: what
// street data says, or for record files what the census class says. Roads (class A) are
// two-way except access ramps (A63) and the classes whose two directions the census records as
// separate chains (third character 5 to 8), which run in drawing order; everything else carries
// no traffic of ours. Never ByClass.
ChainTraffic chainTraffic(const TigerChain& chain);

// What one load found, for callers that want to say more than "loaded". Loading never fails
// because of a missing or unreadable file; the problem is noted here instead.
struct TigerLoadReport {
    std::string type1Path;
    std::string type2Path;
    // Empty when the file was read; otherwise "cannot open PATH: reason" or the like. A type 1
    // file that gives no chain, having no records or only records of other features, is a
    // problem too.
    std::string type1Problem;
    std::string type2Problem;
    std::size_t chainsStored = 0;       // type 1 records that passed the filter
    std::size_t chainsFilteredOut = 0;  // type 1 records of other feature classes
    std::size_t shapeRecordsUsed = 0;   // type 2 records whose chain is in the store
    std::size_t orphanShapeRecords = 0; // type 2 records of chains the store does not hold
    std::size_t shortLinesSkipped = 0;  // records too short for the fields read from them
};

// True for the feature classes kept in the store: roads A1 to A4, access ramps A63, service
// drives A64, and the water features whose code ends in 1. Shorter codes never pass.
bool TigerFeatureWanted(std::string_view cfcc);

// The TIGER/Line chains loaded into one document, by permanent id (TLID) in ascending order,
// which is the order they are drawn and searched in.
class TigerStore {
public:
    using ChainMap = std::map<std::int32_t, TigerChain>;

    const ChainMap& chains() const { return chains_; }
    bool empty() const { return chains_.empty(); }
    // Box over the start and end points of every chain; all 0 until a load finds a chain.
    const TigerBounds& boundingBox() const { return bounds_; }

    // Reads the record type 1 file at path and its type 2 companion, whose name is the same with
    // the last character replaced by '2' (TGR01001.RT1 -> TGR01001.RT2), then recomputes the
    // bounding box. Returns false, with why saying so, only when the name does not end in '1';
    // a file that cannot be read just contributes nothing (the report says which and why).
    bool LoadTigerFiles(const std::string& path, std::string* why = nullptr,
                        TigerLoadReport* report = nullptr);

    // The two halves of a load, on the text of one file each (LF or CRLF line ends, the last
    // line with or without one). Type 1 records that pass the filter replace any chain of the
    // same TLID, shape points included; type 2 records append up to ten points each to their
    // chain, up to the first slot that holds 0 for both coordinates. Lines too short for the
    // fields they are read at are skipped whole.
    void readChainRecords(std::string_view text, TigerLoadReport* report = nullptr);
    void readShapeRecords(std::string_view text, TigerLoadReport* report = nullptr);

    // Stores the chain under its TLID, replacing any chain already stored there.
    void storeChain(TigerChain chain);
    // Recomputes the box from start and end points; left as it is while the store is empty.
    void recomputeBoundingBox();
    // Makes each chain's longitudes continuous across the 180th meridian and moves it by whole
    // turns to start within half a turn of reference (millionths of a degree), then recomputes
    // the box. Chains that cross nothing and start near reference are left as they are.
    void unwrapLongitudes(std::int64_t reference);

private:
    ChainMap chains_;
    TigerBounds bounds_;
};

// Miles per degree of latitude, and the degrees-to-radians factor the coordinates have always
// been placed with (3.14159 / 180, not the full value of pi).
constexpr double kTigerMilesPerDegree = 69.0;
constexpr double kTigerRadiansPerDegree = 0.01745327777777778;

// World position of p, with origin at (0, 0): a degree of latitude is 69 miles, a degree of
// longitude 69 miles times the cosine of p's own latitude.
WorldPoint TigerToWorld(TigerPoint p, TigerPoint origin);

// A document's TIGER/Line data: the store, the origin fixed by a load into an empty store, and
// the extent of everything loaded, in world miles. It is never saved and never part of undo.
class TigerData {
public:
    TigerData() = default;
    // A copy draws from its own chains, so its world chains are worked out anew.
    TigerData(const TigerData& other);
    TigerData& operator=(const TigerData& other);
    TigerData(TigerData&&) = default;
    TigerData& operator=(TigerData&&) = default;

    const TigerStore& store() const { return store_; }
    bool hasChains() const { return !store_.empty(); }
    TigerPoint tigerOrigin() const { return tigerOrigin_; }
    const WorldRect& tigerExtent() const { return tigerExtent_; }

    // Loads a file pair as the Load TIGER Data command does. A load into an empty store sets the
    // origin to the bottom-left corner of the box, so that later loads share the first one's
    // frame; every successful load recomputes the extent, the box of every point as placed.
    // Chains that cross the 180th meridian get continuous longitudes (beyond 180 degrees where
    // they need them), and every chain lies within half a turn of the first or of the origin.
    // On false nothing has changed.
    bool load(const std::string& path, std::string* why = nullptr,
              TigerLoadReport* report = nullptr);

    // Adds chains read from street data after every chain already held, in their order; their
    // TLIDs are given anew, counting on from the highest held. The origin and extent follow as
    // for a load, except that a load into an empty store takes its origin from the roads among
    // the chains (from all of them when none is a road), so that a river or a footpath reaching
    // far beyond them does not move it. Chains across the 180th meridian are made continuous as
    // a load makes them, each placed within half a turn of the first road or of the origin.
    // False, with why saying so and nothing changed, when the ids would run out.
    bool add(std::vector<TigerChain> chains, std::string* why = nullptr);

    WorldPoint TigerToWorld(TigerPoint p) const { return vantry::TigerToWorld(p, tigerOrigin_); }

    // Every chain's points in world miles (start, shape points, end), worked out once per load
    // so that drawing does not convert them again at every repaint.
    struct WorldChain {
        const TigerChain* chain;
        WorldRect box;
        std::size_t first; // index of the start point in worldPoints()
        std::size_t count;
    };
    const std::vector<WorldChain>& worldChains() const { return worldChains_; }
    const std::vector<WorldPoint>& worldPoints() const { return worldPoints_; }

private:
    void convertChains();

    TigerStore store_;
    std::vector<WorldChain> worldChains_;
    std::vector<WorldPoint> worldPoints_;
    TigerPoint tigerOrigin_;
    WorldRect tigerExtent_;
};

} // namespace vantry
