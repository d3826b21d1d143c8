#include "support/testdir.h"
#include "tiger/tigerstore.h"
#include "tiger_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace vantry {

namespace {

using namespace tiger_test;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr TigerPoint kA{34700000, -86600000};
constexpr TigerPoint kB{34710000, -86590000};
constexpr TigerPoint kC{34720000, -86580000};

// Everything the store holds, one chain a line, so that two stores can be compared at a glance.
std::string describe(const TigerStore& store) {
    std::ostringstream out;
    for (const auto& [tlid, chain] : store.chains()) {
        out << tlid << ' ' << chain.tlid << ' ' << chain.cfcc << ' ' << chain.start.longitude << ','
            << chain.start.latitude << ' ' << chain.end.longitude << ',' << chain.end.latitude
            << " |";
        for (const TigerPoint& p : chain.shapePoints)
            out << ' ' << p.longitude << ',' << p.latitude;
        out << '\n';
    }
    const TigerBounds& b = store.boundingBox();
    out << "box " << b.top << ' ' << b.bottom << ' ' << b.left << ' ' << b.right << '\n';
    return out.str();
}

TigerStore storeFrom(const std::string& type1, const std::string& type2,
                     TigerLoadReport* report = nullptr) {
    TigerStore store;
    store.readChainRecords(type1, report);
    store.readShapeRecords(type2, report);
    store.recomputeBoundingBox();
    return store;
}

std::vector<TigerPoint> shapeOf(const TigerStore& store, std::int32_t tlid) {
    const auto found = store.chains().find(tlid);
    return found == store.chains().end() ? std::vector<TigerPoint>{} : found->second.shapePoints;
}

std::vector<TigerPoint> pointsFrom(std::int32_t first, int count) {
    std::vector<TigerPoint> points;
    for (int i = 0; i < count; ++i)
        points.push_back({34700000 + first + i, -86600000 - first - i});
    return points;
}

// ---- Columns and numeric fields -------------------------------------------------------------

// Each coordinate field is read within its own columns as atoi reads it: {longitude field (10
// columns), latitude field (9 columns), their values}. A shape slot whose two fields read as 0 is
// the first empty one; any other slot, on the equator or the prime meridian too, is a point.
TEST(ChainRecords, CoordinateFieldsReadWithinTheirOwnColumnsAsAtoiDoes) {
    const std::tuple<const char*, const char*, std::int32_t, std::int32_t> cases[] = {
        {"-086602419", "+34655678", -86602419, 34655678},
        {" -86602419", " 34655678", -86602419, 34655678},
        {"-86602419 ", "34655678 ", -86602419, 34655678},
        {"  86602419", "034655678", 86602419, 34655678},
        {"\t-8660241 ", "\v-3465567", -8660241, -3465567},
        {"-8660x2419", "+3465 678", -8660, 3465},
        {"- 86602419", "+-3465567", 0, 0},
        {"         0", "        0", 0, 0},
        {"          ", "         ", 0, 0},
        {"+000000000", "-00000000", 0, 0},
        {"         0", "        7", 0, 7},
        {"-086602419", "        0", -86602419, 0},
        {"2147483647", "-99999999", 2147483647, -99999999}};
    for (const auto& [lon, lat, lonValue, latValue] : cases) {
        SCOPED_TRACE(::testing::Message() << '"' << lon << "\" \"" << lat << '"');
        const std::string record = Record('1', 228)
                                       .at(6, "      4242")
                                       .at(56, "A41")
                                       .at(190, "9") // a digit right before the first field
                                       .at(191, lon)
                                       .at(201, lat)
                                       .at(210, lon)
                                       .at(220, lat)
                                       .str();
        ASSERT_EQ(record.size(), 228u);
        const std::string type2 = Record('2', 208)
                                      .at(6, "      4242")
                                      .at(19, "+000000001+00000001")
                                      .at(38, lon)
                                      .at(48, lat)
                                      .at(57, "+000000002+00000002")
                                      .str();
        const TigerStore store = storeFrom(record, type2);
        ASSERT_EQ(store.chains().count(4242), 1u);
        const TigerChain& chain = store.chains().at(4242);
        const TigerPoint expected{latValue, lonValue};
        EXPECT_EQ(chain.start, expected);
        EXPECT_EQ(chain.end, expected);
        std::vector<TigerPoint> points{{1, 1}};
        if (lonValue != 0 || latValue != 0)
            points.insert(points.end(), {expected, {2, 2}});
        EXPECT_EQ(chain.shapePoints, points);
    }
}

TEST(ChainRecords, ReadTheTlidAndTheThreeClassCharactersFromTheirColumns) {
    // {TLID field, value}; atoi narrows a ten-digit value beyond 32 bits as a long does.
    const std::tuple<const char*, std::int32_t> tlids[] = {
        {"  40001001", 40001001}, {"0040001001", 40001001},   {"40001001  ", 40001001},
        {"      -123", -123},     {"2147483647", 2147483647}, {"9999999999", 1410065407},
        {"   12x4567", 12}};
    for (const auto& [field, value] : tlids) {
        SCOPED_TRACE(field);
        std::string record = chainRecord(0, "A41", kA, kB);
        record.replace(5, 10, field);
        const TigerStore store = storeFrom(record, "");
        ASSERT_EQ(store.chains().size(), 1u);
        EXPECT_EQ(store.chains().begin()->first, value);
        EXPECT_EQ(store.chains().begin()->second.tlid, value);
        EXPECT_EQ(store.chains().begin()->second.cfcc, "A41");
    }
}

// ---- Feature filter ---------------------------------------------------------------------------

TEST(FeatureFilter, KeepsRoadsRampsServiceDrivesAndWaterEndingInOne) {
    const std::tuple<const char*, bool> classes[] = {
        {"A11", true},  {"A15", true},  {"A21", true},  {"A38", true},  {"A41", true},
        {"A49", true},  {"A51", false}, {"A63", true},  {"A64", true},  {"A65", false},
        {"A60", false}, {"A74", false}, {"H11", true},  {"H31", true},  {"H01", true},
        {"H12", false}, {"B11", false}, {"a41", false}, {"h11", false}, {"A 1", false},
        {"   ", false}, {"A0 ", false}, {"F10", false}};
    for (const auto& [cfcc, kept] : classes) {
        SCOPED_TRACE(cfcc);
        EXPECT_EQ(TigerFeatureWanted(cfcc), kept);
        TigerLoadReport report;
        const TigerStore store = storeFrom(chainRecord(1, cfcc, kA, kB), "", &report);
        EXPECT_EQ(store.chains().size(), kept ? 1u : 0u);
        EXPECT_EQ(report.chainsFilteredOut, kept ? 0u : 1u);
    }
    EXPECT_FALSE(TigerFeatureWanted("A4"));
    EXPECT_FALSE(TigerFeatureWanted(""));
}

// ---- Lines ------------------------------------------------------------------------------------

TEST(Lines, CrlfAndAMissingFinalLineEndReadTheSameAsLf) {
    const std::vector<std::string> type1 = {chainRecord(3, "A41", kA, kB),
                                            chainRecord(1, "H11", kB, kC),
                                            chainRecord(2, "A15", kC, kA)};
    const std::vector<std::string> type2 = {shapeRecord(3, 1, pointsFrom(0, 10)),
                                            shapeRecord(3, 2, pointsFrom(10, 4)),
                                            shapeRecord(2, 1, pointsFrom(20, 1))};
    const std::string expected = describe(storeFrom(joinLines(type1), joinLines(type2)));
    ASSERT_THAT(expected, HasSubstr("3 3 A41"));

    const std::tuple<const char*, bool> endings[] = {
        {"\n", false}, {"\r\n", true}, {"\r\n", false}};
    for (const auto& [eol, finalEol] : endings) {
        SCOPED_TRACE(::testing::Message() << (eol[0] == '\r' ? "CRLF" : "LF") << finalEol);
        EXPECT_EQ(
            describe(storeFrom(joinLines(type1, eol, finalEol), joinLines(type2, eol, finalEol))),
            expected);
    }
    // Blank lines, and lines of other record types, are passed over.
    std::string spaced1 = "\r\n\n", spaced2 = "\n";
    spaced1 += joinLines(type1, "\r\n\r\n") + "5 other\r\n";
    spaced2 += joinLines(type2, "\n\r\n") + "\r";
    EXPECT_EQ(describe(storeFrom(spaced1, spaced2)), expected);
}

TEST(Lines, TooShortForTheFieldsTheyAreReadAtAreSkippedWhole) {
    // A line end's CR is not a column: 227 columns plus CR is still one column short.
    const std::string full = chainRecord(1, "A41", kA, kB);
    TigerLoadReport report;
    TigerStore store =
        storeFrom(full.substr(0, 227) + "\r\n" + full.substr(0, 56) + "\n1\n", "", &report);
    EXPECT_TRUE(store.empty());
    EXPECT_EQ(report.shortLinesSkipped, 3u);
    EXPECT_EQ(storeFrom(full.substr(0, 228) + "\r\n", "").chains().size(), 1u);

    // {points in the record, columns kept, points read, skipped}. A record is read up to its
    // first empty slot, so it is short only when a slot that would be read is cut.
    const std::tuple<int, std::size_t, std::size_t, bool> cases[] = {
        {3, 208, 3, false},   {3, 94, 3, false},  {3, 93, 0, true},   {3, 75, 0, true},
        {3, 15, 0, true},     {3, 14, 0, true},   {0, 37, 0, false},  {0, 36, 0, true},
        {10, 208, 10, false}, {10, 207, 0, true}, {9, 208, 9, false}, {9, 207, 0, true}};
    for (const auto& [count, columns, read, skipped] : cases) {
        SCOPED_TRACE(::testing::Message() << count << " points, " << columns << " columns");
        const std::string record = shapeRecord(1, 1, pointsFrom(0, count)).substr(0, columns);
        TigerLoadReport r;
        store = storeFrom(full, record + "\r\n" + shapeRecord(1, 2, pointsFrom(50, 1)), &r);
        std::vector<TigerPoint> expected = pointsFrom(0, count);
        expected.resize(read);
        expected.push_back(pointsFrom(50, 1)[0]);
        EXPECT_EQ(shapeOf(store, 1), expected);
        EXPECT_EQ(r.shortLinesSkipped, skipped ? 1u : 0u);
    }
}

// ---- Shape points -----------------------------------------------------------------------------

// Shape records append in file order whatever their sequence numbers; those of chains the store
// does not hold (filtered out, or never there) are counted and passed over.
TEST(ShapeRecords, AppendInFileOrderToTheChainsTheStoreHolds) {
    const std::string type1 =
        joinLines({chainRecord(1, "A41", kA, kB), chainRecord(2, "A31", kB, kC),
                   chainRecord(3, "B11", kB, kC)});
    const std::string type2 =
        joinLines({shapeRecord(1, 2, pointsFrom(0, 10)), shapeRecord(2, 1, pointsFrom(100, 2)),
                   shapeRecord(3, 1, pointsFrom(300, 3)), shapeRecord(1, 1, pointsFrom(10, 3)),
                   shapeRecord(99, 1, pointsFrom(20, 3)), shapeRecord(2, 2, pointsFrom(200, 1))});
    TigerLoadReport report;
    const TigerStore store = storeFrom(type1, type2, &report);
    EXPECT_EQ(store.chains().size(), 2u);
    EXPECT_EQ(shapeOf(store, 1), pointsFrom(0, 13));
    EXPECT_THAT(shapeOf(store, 2),
                ElementsAre(pointsFrom(100, 2)[0], pointsFrom(100, 2)[1], pointsFrom(200, 1)[0]));
    EXPECT_EQ(std::tuple(report.orphanShapeRecords, report.shapeRecordsUsed), std::tuple(2u, 4u));
}

// ---- Replacing chains -------------------------------------------------------------------------

TEST(ChainRecords, ReplaceTheChainOfTheSameTlidWithItsShapePoints) {
    TigerStore store;
    const std::string type1 = joinLines({chainRecord(5, "A41", kA, kB)});
    const std::string type2 = joinLines({shapeRecord(5, 1, pointsFrom(0, 3))});
    for (int load = 0; load < 2; ++load) {
        store.readChainRecords(type1);
        store.readShapeRecords(type2);
    }
    EXPECT_EQ(shapeOf(store, 5), pointsFrom(0, 3));

    // A later record of another class and place takes over, without the old points.
    store.readChainRecords(chainRecord(5, "A15", kB, kC));
    EXPECT_EQ(store.chains().at(5).cfcc, "A15");
    EXPECT_EQ(std::tuple(store.chains().at(5).start, store.chains().at(5).end), std::tuple(kB, kC));
    EXPECT_THAT(shapeOf(store, 5), IsEmpty());

    // A record that fails the filter leaves the stored chain alone.
    store.readChainRecords(chainRecord(5, "B11", kA, kA));
    EXPECT_EQ(store.chains().at(5).cfcc, "A15");

    // Within one file the last record of a TLID wins.
    store.readChainRecords(
        joinLines({chainRecord(6, "A41", kA, kB), chainRecord(6, "H11", kC, kA)}));
    EXPECT_EQ(store.chains().at(6).cfcc, "H11");
    EXPECT_EQ(store.chains().size(), 2u);
}

// ---- Files ------------------------------------------------------------------------------------

TEST(LoadTigerFiles, ReadsTheFixtureCountyWithItsCompanionFile) {
    TigerStore store;
    TigerLoadReport report;
    ASSERT_TRUE(store.LoadTigerFiles(VANTRY_TEST_DATA "/tiger/TGR99001.RT1", nullptr, &report));
    EXPECT_EQ(report.type2Path, VANTRY_TEST_DATA "/tiger/TGR99001.RT2");
    EXPECT_EQ(report.type1Problem + report.type2Problem, "");

    std::vector<std::string> chains;
    for (const auto& [tlid, chain] : store.chains())
        chains.push_back(std::to_string(tlid) + " " + chain.cfcc + " " +
                         std::to_string(chain.shapePoints.size()));
    EXPECT_THAT(chains, ElementsAre("40001000 A31 0", "40001001 A41 3", "40001002 A41 2",
                                    "40001003 A15 0", "40001004 A63 0", "40001005 H11 14"));
    const TigerChain& river = store.chains().at(40001005);
    EXPECT_EQ(river.start, (TigerPoint{34690000, -86620000}));
    EXPECT_EQ(river.end, (TigerPoint{34720000, -86580000}));
    EXPECT_EQ(river.shapePoints.front(), (TigerPoint{34693000, -86616000}));
    EXPECT_EQ(river.shapePoints[10], (TigerPoint{34730000, -86581000}));
    // The river's second record bends north of every end point; the box ignores it.
    EXPECT_EQ(store.boundingBox(), (TigerBounds{34720000, 34690000, -86620000, -86580000}));
    EXPECT_EQ(std::tuple(report.chainsStored, report.chainsFilteredOut, report.shapeRecordsUsed,
                         report.orphanShapeRecords, report.shortLinesSkipped),
              std::tuple(6u, 3u, 4u, 2u, 0u));
}

TEST(LoadTigerFiles, RefusesANameThatDoesNotEndInOne) {
    TestDir dir;
    const std::string type1 = chainRecord(1, "A41", kA, kB);
    const std::string type2 = shapeRecord(1, 1, pointsFrom(0, 2));
    // {file name, loads, companion}
    const std::tuple<const char*, bool, const char*> names[] = {
        {"TGR01001.RT1", true, "TGR01001.RT2"},
        {"tgr01001.rt1", true, "tgr01001.rt2"},
        {"county1", true, "county2"},
        {"TGR01001.RT2", false, ""},
        {"TGR01001.RT", false, ""},
        {"TGR01001.RT1 ", false, ""}};
    for (const auto& [name, loads, companion] : names) {
        SCOPED_TRACE(name);
        spit(dir.file(name), type1);
        if (loads)
            spit(dir.file(companion), type2);
        TigerStore store;
        std::string why;
        const std::string path = dir.file(name);
        EXPECT_EQ(store.LoadTigerFiles(path, &why), loads);
        if (loads) {
            EXPECT_EQ(shapeOf(store, 1), pointsFrom(0, 2));
        } else {
            EXPECT_THAT(why, HasSubstr(path));
            EXPECT_TRUE(store.empty());
        }
    }
    std::string why;
    EXPECT_FALSE(TigerStore().LoadTigerFiles("", &why));
    EXPECT_THAT(why, HasSubstr("must end in \"1\""));
}

TEST(LoadTigerFiles, AFileThatCannotBeReadContributesNothingAndIsNamedInTheReport) {
    TestDir dir;
    const std::string type1Path = dir.file("TGR02002.RT1");
    const std::string type2Path = dir.file("TGR02002.RT2");
    TigerStore store;
    TigerLoadReport report;

    // Neither file exists.
    EXPECT_TRUE(store.LoadTigerFiles(type1Path, nullptr, &report));
    EXPECT_TRUE(store.empty());
    EXPECT_EQ(store.boundingBox(), TigerBounds{});
    EXPECT_THAT(report.type1Problem, HasSubstr("cannot open " + type1Path));
    EXPECT_THAT(report.type2Problem, HasSubstr("cannot open " + type2Path));

    // Only the type 1 file: chains without shape points.
    spit(type1Path, joinLines({chainRecord(1, "A41", kA, kB)}, "\r\n"));
    EXPECT_TRUE(store.LoadTigerFiles(type1Path, nullptr, &report));
    EXPECT_EQ(store.chains().size(), 1u);
    EXPECT_THAT(shapeOf(store, 1), IsEmpty());
    EXPECT_EQ(report.type1Problem, "");
    EXPECT_THAT(report.type2Problem, HasSubstr(type2Path));

    // A folder in place of the companion cannot be read either.
    std::filesystem::create_directory(type2Path);
    EXPECT_TRUE(store.LoadTigerFiles(type1Path, nullptr, &report));
    EXPECT_THAT(report.type2Problem, HasSubstr(type2Path));
    EXPECT_EQ(store.chains().size(), 1u);
}

TEST(LoadTigerFiles, AFileThatGivesNoChainIsAProblemNamingIt) {
    TestDir dir;
    const std::string type1Path = dir.file("TGR03003.RT1");
    spit(dir.file("TGR03003.RT2"), shapeRecord(1, 1, pointsFrom(0, 2)));
    // {type 1 text, what the problem says}
    const std::pair<std::string, std::string> cases[] = {
        {"root:x:0:0:root:/root:/bin/bash\n1ab\ndaemon:x:1:1::/usr/sbin:/usr/sbin/nologin\n",
         type1Path + " holds no TIGER/Line records"},
        {"", type1Path + " holds no TIGER/Line records"},
        {joinLines({chainRecord(1, "B11", kA, kB), chainRecord(2, "F10", kA, kB)}),
         type1Path + " holds 2 TIGER/Line records, but none of a road or of water"}};
    for (const auto& [text, problem] : cases) {
        SCOPED_TRACE(text);
        spit(type1Path, text);
        TigerData tiger;
        TigerLoadReport report;
        EXPECT_TRUE(tiger.load(type1Path, nullptr, &report));
        EXPECT_FALSE(tiger.hasChains());
        EXPECT_EQ(report.type1Problem, problem);
        EXPECT_EQ(report.type2Problem, "");
    }
    spit(type1Path, chainRecord(1, "A41", kA, kB));
    TigerLoadReport report;
    EXPECT_TRUE(TigerStore().LoadTigerFiles(type1Path, nullptr, &report));
    EXPECT_EQ(report.type1Problem, "") << "one road is enough";
}

// ---- Document frame and world coordinates -----------------------------------------------------

TEST(TigerData, TheFirstLoadFixesTheOriginAndEveryLoadWidensTheExtent) {
    TestDir dir;
    const auto write = [&](const char* name, const std::vector<std::string>& type1) {
        spit(dir.file(name), joinLines(type1, "\r\n"));
        return dir.file(name);
    };
    const std::string empty = write("none.RT1", {chainRecord(9, "B11", kA, kB)});
    const std::string first =
        write("first.RT1", {chainRecord(1, "A41", {60000000, 1000000}, {60500000, 1500000}),
                            chainRecord(2, "H11", {60250000, 1250000}, {60100000, 2500000})});
    const std::string second =
        write("second.RT1", {chainRecord(3, "A21", {61000000, 500000}, {60200000, 1000000})});

    TigerData data;
    // A load that finds nothing leaves the frame at zero; the next one into the empty store sets
    // it.
    ASSERT_TRUE(data.load(empty));
    EXPECT_EQ(data.tigerOrigin(), TigerPoint{});
    EXPECT_EQ(data.tigerExtent(), WorldRect{});

    ASSERT_TRUE(data.load(first));
    EXPECT_TRUE(data.hasChains());
    EXPECT_EQ(data.tigerOrigin(), (TigerPoint{60000000, 1000000}));
    EXPECT_FLOAT_EQ(data.tigerExtent().bottom, 0.0f);
    EXPECT_FLOAT_EQ(data.tigerExtent().left, 0.0f);
    EXPECT_FLOAT_EQ(data.tigerExtent().top, 34.5f);
    // The sides are those of the points as placed: the river's east end, 1.5 degrees east at
    // 60.1 degrees north, is its farthest point.
    EXPECT_FLOAT_EQ(data.tigerExtent().right, data.TigerToWorld({60100000, 2500000}).x);

    ASSERT_TRUE(data.load(second));
    EXPECT_EQ(data.tigerOrigin(), (TigerPoint{60000000, 1000000}));
    EXPECT_FLOAT_EQ(data.tigerExtent().top, 69.0f);
    EXPECT_FLOAT_EQ(data.tigerExtent().bottom, 0.0f);
    EXPECT_FLOAT_EQ(data.tigerExtent().left, data.TigerToWorld({61000000, 500000}).x);
    EXPECT_FLOAT_EQ(data.tigerExtent().right, data.TigerToWorld({60100000, 2500000}).x);
    EXPECT_EQ(data.store().chains().size(), 3u);
    EXPECT_EQ(data.TigerToWorld({60000000, 1000000}), (WorldPoint{0.0f, 0.0f}));

    // A copy (a load's working copy) draws from its own chains, whatever becomes of the original.
    auto original = std::make_unique<TigerData>(data);
    const TigerData copy = *original;
    original.reset();
    ASSERT_EQ(copy.worldChains().size(), copy.store().chains().size());
    auto wc = copy.worldChains().begin();
    for (const auto& [tlid, chain] : copy.store().chains())
        EXPECT_EQ((wc++)->chain, &chain) << tlid;
}

// Degrees are 69 miles, and a degree of longitude is scaled by the cosine of the point's latitude
// taken with the factor 3.14159 / 180: at 60 degrees north it is 34.500053 miles, not the 34.5
// that the full value of pi would give.
TEST(TigerData, TigerToWorldPlacesDegreesAsTheMapIsDrawn) {
    // {origin, point, x, y}
    const std::tuple<TigerPoint, TigerPoint, float, float> cases[] = {
        {{34000000, -86000000}, {34100000, -86000000}, 0.0f, 6.9f},
        {{34000000, -86000000}, {33900000, -86000000}, 0.0f, -6.9f},
        {{0, 0}, {0, 1000000}, 69.0f, 0.0f},
        {{0, 0}, {0, 1}, 0.000069f, 0.0f},
        {{60000000, 0}, {60000000, 1000000}, 34.50005286f, 0.0f},
        {{0, 0}, {45000000, -2000000}, -97.58080054f, 3105.0f},
        {{60000000, 1000000}, {61000000, 2000000}, 33.45191807f, 69.0f},
        // Pole to pole and around the world: the cosine of 90 degrees by this factor is not
        // quite 0.
        {{-90000000, -180000000}, {90000000, 180000000}, 0.03295758523f, 12420.0f}};
    for (const auto& [origin, p, x, y] : cases) {
        SCOPED_TRACE(::testing::Message() << p.latitude << ',' << p.longitude);
        const WorldPoint w = TigerToWorld(p, origin);
        EXPECT_FLOAT_EQ(w.x, x);
        EXPECT_FLOAT_EQ(w.y, y);
    }
}

// Record files of the Aleutians cross the 180th meridian: a chain across it, and one that lies
// wholly on the other side, stay where they are beside each other.
TEST(TigerData, ChainsAcrossThe180thMeridianStayShortAndBesideEachOther) {
    TestDir dir;
    spit(dir.file("TGR02016.RT1"),
         joinLines({chainRecord(1, "A41", {52000000, 179999000}, {52000000, -179999000}),
                    chainRecord(2, "A41", {52000000, -179999000}, {52001000, -179998000}),
                    chainRecord(3, "H11", {52001000, 179998000}, {52001000, 179997000})}));
    spit(dir.file("TGR02016.RT2"),
         shapeRecord(3, 1, {{52002000, -179999500}, {52002000, 179999500}}));
    TigerData data;
    ASSERT_TRUE(data.load(dir.file("TGR02016.RT1")));
    const WorldRect e = data.tigerExtent();
    // 0.005 degree of longitude and 0.002 of latitude at 52 degrees north.
    EXPECT_NEAR(e.width(), 0.005 * 69 * std::cos(52 * M_PI / 180), 1e-4);
    EXPECT_NEAR(e.height(), 0.002 * 69, 1e-4);
    const TigerChain& across = data.store().chains().at(1);
    EXPECT_NEAR(data.TigerToWorld(across.end).x - data.TigerToWorld(across.start).x,
                0.002 * 69 * std::cos(52 * M_PI / 180), 1e-4);
    EXPECT_EQ(across.start.longitude, 179999000) << "a chain is moved only where it must be";
}

} // namespace

} // namespace vantry
