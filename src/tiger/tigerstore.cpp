#include "tiger/tigerstore.h"

#include "base/files.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

namespace vantry {

namespace {

// Column layout of the records, 1-based and inclusive as the published record layouts give it.
constexpr std::size_t kTlidFirst = 6;
constexpr std::size_t kTlidLast = 15;
constexpr std::size_t kCfccFirst = 56;
constexpr std::size_t kCfccLength = 3;
constexpr std::size_t kStartLonFirst = 191;
constexpr std::size_t kStartLonLast = 200;
constexpr std::size_t kStartLatLast = 209;
constexpr std::size_t kEndLonLast = 219;
constexpr std::size_t kEndLatLast = 228;
constexpr std::size_t kChainRecordLength = kEndLatLast;

constexpr int kShapeSlots = 10;
constexpr std::size_t kFirstSlotLon = 19;
constexpr std::size_t kSlotWidth = 19;
constexpr std::size_t kLonWidth = 10;
constexpr std::size_t kLatWidth = 9;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Columns first..last of a line as atoi reads a copy of them: leading white space, an optional
// sign, then digits up to the first other character; nothing readable gives 0. The caller has
// made sure the columns lie within the line. A field is at most ten characters, so the value
// fits in 64 bits and narrows to 32 the way atoi's own conversion from long does.
std::int32_t fieldValue(const char* line, std::size_t first, std::size_t last) {
    const char* p = line + (first - 1);
    const char* const end = line + last;
    while (p < end && isSpace(*p))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    std::int64_t value = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p)
        value = value * 10 + (*p - '0');
    return static_cast<std::int32_t>(negative ? -value : value);
}

// Calls f(line, length) for every line of text, without its LF or CRLF end. A last line without
// a line end counts like any other; an empty text has no lines.
template <class F> void forEachLine(std::string_view text, F&& f) {
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        const auto* newline =
            static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        const char* lineEnd = newline ? newline : end;
        if (lineEnd > p && lineEnd[-1] == '\r')
            --lineEnd;
        f(p, static_cast<std::size_t>(lineEnd - p));
        p = newline ? newline + 1 : end;
    }
}

// Opens one file of the pair whole; the records are parsed where the file cache holds them, as a
// county's pair is tens of megabytes read once. On failure, problem says which file and why.
bool readRecordFile(const std::string& path, MappedFile& file, std::string& problem) {
    std::string why;
    if (file.open(path, why))
        return true;
    problem = "cannot open " + path + ": " + why;
    return false;
}

void extend(TigerBounds& box, TigerPoint p) {
    box.top = std::max(box.top, p.latitude);
    box.bottom = std::min(box.bottom, p.latitude);
    box.left = std::min(box.left, p.longitude);
    box.right = std::max(box.right, p.longitude);
}

// Miles from a difference in millionths of a degree. The difference is taken in integers, wide
// enough that no pair of 32-bit values can overflow it.
double milesOf(std::int32_t value, std::int32_t origin) {
    const auto difference = static_cast<std::int64_t>(value) - origin;
    return static_cast<double>(difference) * 0.000001 * kTigerMilesPerDegree;
}

double longitudeScale(std::int32_t latitude) {
    return std::cos(latitude * 0.000001 * kTigerRadiansPerDegree);
}

constexpr std::int64_t kFullTurn = 360000000;
constexpr std::int64_t kHalfTurn = kFullTurn / 2;

// The longitude equal to lon, in whole turns, that lies within half a turn of near. A value that
// is no longitude on the globe is left as the file gives it.
std::int32_t unwrappedNear(std::int32_t lon, std::int64_t near) {
    if (lon < -kHalfTurn || lon > kHalfTurn)
        return lon;
    std::int64_t value = lon;
    while (value - near > kHalfTurn)
        value -= kFullTurn;
    while (near - value > kHalfTurn)
        value += kFullTurn;
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max())
        return lon;
    return static_cast<std::int32_t>(value);
}

// Makes a chain's longitudes continuous where it crosses the 180th meridian, and moves the
// whole chain by whole turns so that it starts within half a turn of reference: a road 22 m
// across the meridian then measures 22 m, and lies beside the roads it joins. Chains that cross
// nothing are left exactly as they are.
void unwrapChain(TigerChain& chain, std::int64_t reference) {
    chain.start.longitude = unwrappedNear(chain.start.longitude, reference);
    std::int64_t previous = chain.start.longitude;
    for (TigerPoint& p : chain.shapePoints)
        previous = p.longitude = unwrappedNear(p.longitude, previous);
    chain.end.longitude = unwrappedNear(chain.end.longitude, previous);
}

} // namespace

bool TigerFeatureWanted(std::string_view cfcc) {
    if (cfcc.size() < 3)
        return false;
    const char c1 = cfcc[0], c2 = cfcc[1], c3 = cfcc[2];
    if (c1 == 'A')
        return (c2 >= '1' && c2 <= '4') || (c2 == '6' && (c3 == '3' || c3 == '4'));
    return c1 == 'H' && c3 == '1';
}

ChainTraffic chainTraffic(const TigerChain& chain) {
    if (chain.traffic != ChainTraffic::ByClass)
        return chain.traffic;
    const auto at = [&](std::size_t i) { return i < chain.cfcc.size() ? chain.cfcc[i] : '\0'; };
    if (at(0) != 'A')
        return ChainTraffic::None;
    const char c2 = at(1), c3 = at(2);
    const bool oneWay = (c2 == '6' && c3 == '3') || (c3 >= '5' && c3 <= '8');
    return oneWay ? ChainTraffic::Forward : ChainTraffic::TwoWay;
}

void TigerStore::storeChain(TigerChain chain) {
    const std::int32_t tlid = chain.tlid;
    chains_.insert_or_assign(tlid, std::move(chain));
}

void TigerStore::readChainRecords(std::string_view text, TigerLoadReport* report) {
    TigerLoadReport ignored;
    TigerLoadReport& r = report ? *report : ignored;
    forEachLine(text, [&](const char* line, std::size_t length) {
        if (length < 1 || line[0] != '1')
            return;
        if (length < kChainRecordLength) {
            ++r.shortLinesSkipped;
            return;
        }
        const std::string_view cfcc(line + kCfccFirst - 1, kCfccLength);
        if (!TigerFeatureWanted(cfcc)) {
            ++r.chainsFilteredOut;
            return;
        }
        TigerChain chain;
        chain.tlid = fieldValue(line, kTlidFirst, kTlidLast);
        chain.cfcc = cfcc;
        chain.start = {fieldValue(line, kStartLonLast + 1, kStartLatLast),
                       fieldValue(line, kStartLonFirst, kStartLonLast)};
        chain.end = {fieldValue(line, kEndLonLast + 1, kEndLatLast),
                     fieldValue(line, kStartLatLast + 1, kEndLonLast)};
        storeChain(std::move(chain));
        ++r.chainsStored;
    });
}

void TigerStore::readShapeRecords(std::string_view text, TigerLoadReport* report) {
    TigerLoadReport ignored;
    TigerLoadReport& r = report ? *report : ignored;
    // The shape records of one chain follow one another, so the last lookup is usually the
    // one wanted again.
    std::int32_t lastTlid = 0;
    TigerChain* lastChain = nullptr;
    forEachLine(text, [&](const char* line, std::size_t length) {
        if (length < 1 || line[0] != '2')
            return;
        if (length < kTlidLast) {
            ++r.shortLinesSkipped;
            return;
        }
        const std::int32_t tlid = fieldValue(line, kTlidFirst, kTlidLast);
        if (!lastChain || tlid != lastTlid) {
            const auto found = chains_.find(tlid);
            if (found == chains_.end()) {
                ++r.orphanShapeRecords;
                return;
            }
            lastTlid = tlid;
            lastChain = &found->second;
        }
        TigerPoint points[kShapeSlots];
        int count = 0;
        for (int slot = 0; slot < kShapeSlots; ++slot) {
            const std::size_t lonFirst =
                kFirstSlotLon + static_cast<std::size_t>(slot) * kSlotWidth;
            const std::size_t latFirst = lonFirst + kLonWidth;
            const std::size_t latLast = latFirst + kLatWidth - 1;
            if (length < latLast) {
                // A slot that would be read lies beyond the line's end: the record is damaged,
                // so none of its points are trusted.
                ++r.shortLinesSkipped;
                return;
            }
            const std::int32_t lon = fieldValue(line, lonFirst, latFirst - 1);
            const std::int32_t lat = fieldValue(line, latFirst, latLast);
            if (lon == 0 && lat == 0)
                break;
            points[count++] = {lat, lon};
        }
        lastChain->shapePoints.insert(lastChain->shapePoints.end(), points, points + count);
        ++r.shapeRecordsUsed;
    });
}

void TigerStore::recomputeBoundingBox() {
    if (chains_.empty())
        return;
    const TigerPoint first = chains_.begin()->second.start;
    bounds_ = {first.latitude, first.latitude, first.longitude, first.longitude};
    for (const auto& [tlid, chain] : chains_) {
        extend(bounds_, chain.start);
        extend(bounds_, chain.end);
    }
}

void TigerStore::unwrapLongitudes(std::int64_t reference) {
    for (auto& [tlid, chain] : chains_)
        unwrapChain(chain, reference);
    recomputeBoundingBox();
}

bool TigerStore::LoadTigerFiles(const std::string& path, std::string* why,
                                TigerLoadReport* report) {
    if (path.empty() || path.back() != '1') {
        if (why)
            *why = "\"" + path +
                   "\" is not a TIGER/Line record type 1 file: its name must end in \"1\"";
        return false;
    }
    TigerLoadReport local;
    TigerLoadReport& r = report ? *report : local;
    r = TigerLoadReport{};
    r.type1Path = path;
    r.type2Path = path;
    r.type2Path.back() = '2';

    MappedFile file;
    if (readRecordFile(r.type1Path, file, r.type1Problem)) {
        readChainRecords(file.view(), &r);
        // A file of something else entirely reads as no records at all; loading it "well" would
        // leave the user with nothing drawn and nothing said.
        if (r.chainsStored == 0)
            r.type1Problem = r.chainsFilteredOut == 0
                                 ? r.type1Path + " holds no TIGER/Line records"
                                 : r.type1Path + " holds " + std::to_string(r.chainsFilteredOut) +
                                       " TIGER/Line records, but none of a road or of water";
    }
    if (readRecordFile(r.type2Path, file, r.type2Problem))
        readShapeRecords(file.view(), &r);
    recomputeBoundingBox();
    return true;
}

WorldPoint TigerToWorld(TigerPoint p, TigerPoint origin) {
    const double x = milesOf(p.longitude, origin.longitude) * longitudeScale(p.latitude);
    const double y = milesOf(p.latitude, origin.latitude);
    return {static_cast<float>(x), static_cast<float>(y)};
}

TigerData::TigerData(const TigerData& other)
    : store_(other.store_), tigerOrigin_(other.tigerOrigin_), tigerExtent_(other.tigerExtent_) {
    convertChains();
}

TigerData& TigerData::operator=(const TigerData& other) {
    if (this != &other) {
        store_ = other.store_;
        tigerOrigin_ = other.tigerOrigin_;
        tigerExtent_ = other.tigerExtent_;
        convertChains();
    }
    return *this;
}

bool TigerData::load(const std::string& path, std::string* why, TigerLoadReport* report) {
    const bool wasEmpty = store_.empty();
    if (!store_.LoadTigerFiles(path, why, report))
        return false;
    if (!store_.empty())
        store_.unwrapLongitudes(wasEmpty ? store_.chains().begin()->second.start.longitude
                                         : tigerOrigin_.longitude);
    const TigerBounds& box = store_.boundingBox();
    if (wasEmpty)
        tigerOrigin_ = {box.bottom, box.left};
    convertChains();
    return true;
}

bool TigerData::add(std::vector<TigerChain> chains, std::string* why) {
    if (chains.empty())
        return true;
    const std::int64_t first =
        store_.empty() ? 1 : static_cast<std::int64_t>(store_.chains().rbegin()->first) + 1;
    if (first + static_cast<std::int64_t>(chains.size()) - 1 >
        std::numeric_limits<std::int32_t>::max()) {
        if (why)
            *why = "the chains already loaded leave too few ids for " +
                   std::to_string(chains.size()) + " more";
        return false;
    }
    const bool wasEmpty = store_.empty();
    const auto firstRoad = std::find_if(chains.begin(), chains.end(), [](const TigerChain& c) {
        return c.traffic != ChainTraffic::None;
    });
    const std::int64_t reference =
        !wasEmpty ? tigerOrigin_.longitude
                  : (firstRoad != chains.end() ? *firstRoad : chains.front()).start.longitude;
    for (TigerChain& chain : chains)
        unwrapChain(chain, reference);
    // The origin comes from the roads: a river reaching miles beyond them must not move the
    // network's frame.
    std::optional<TigerBounds> roads;
    for (const TigerChain& chain : chains) {
        if (chain.traffic == ChainTraffic::None)
            continue;
        if (!roads)
            roads = TigerBounds{chain.start.latitude, chain.start.latitude, chain.start.longitude,
                                chain.start.longitude};
        extend(*roads, chain.start);
        extend(*roads, chain.end);
    }
    std::int64_t id = first;
    for (TigerChain& chain : chains) {
        chain.tlid = static_cast<std::int32_t>(id++);
        store_.storeChain(std::move(chain));
    }
    store_.recomputeBoundingBox();
    const TigerBounds& box = store_.boundingBox();
    if (wasEmpty) {
        const TigerBounds& from = roads ? *roads : box;
        tigerOrigin_ = {from.bottom, from.left};
    }
    convertChains();
    return true;
}

void TigerData::convertChains() {
    worldChains_.clear();
    worldPoints_.clear();
    worldChains_.reserve(store_.chains().size());
    // One allocation for every point: growing by doubling would touch each page several times.
    std::size_t points = 0;
    for (const auto& [tlid, chain] : store_.chains())
        points += chain.shapePoints.size() + 2;
    worldPoints_.reserve(points);
    for (const auto& [tlid, chain] : store_.chains()) {
        WorldChain wc{&chain, {}, worldPoints_.size(), chain.shapePoints.size() + 2};
        const WorldPoint start = TigerToWorld(chain.start);
        wc.box = WorldRect{start.y, start.y, start.x, start.x};
        auto add = [&](TigerPoint p) {
            const WorldPoint w = TigerToWorld(p);
            wc.box.extendTo(w);
            worldPoints_.push_back(w);
        };
        add(chain.start);
        for (const TigerPoint& p : chain.shapePoints)
            add(p);
        add(chain.end);
        worldChains_.push_back(wc);
    }
    // The extent is what is drawn: every point as placed, shape points too. A box of longitudes
    // and latitudes would not hold them, as a degree of longitude shrinks toward the poles.
    tigerExtent_ = WorldRect{};
    for (std::size_t i = 0; i < worldChains_.size(); ++i) {
        if (i == 0)
            tigerExtent_ = worldChains_[0].box;
        else
            tigerExtent_.unite(worldChains_[i].box);
    }
}

} // namespace vantry
