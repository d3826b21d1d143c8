#include "exchange/exchangefields.h"
#include "exchange/networkexport.h"
#include "exporttesting.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <map>
#include <regex>

namespace vantry {

namespace {

// What the GMNS project's published table schemas (its node, link and config .schema.json
// files, Apache License 2.0) say of the fields written here: their frictionless type and whether
// a value is required. Numbers carry the schemas' minimum and maximum where they give one.
enum class Type { Any, String, Number, Integer, Boolean };
struct SchemaField {
    const char* name;
    Type type;
    bool required;
    double minimum = -HUGE_VAL;
    double maximum = HUGE_VAL;
};

const SchemaField kLinkSchema[] = {
    {"link_id", Type::Any, true},
    {"name", Type::String, false},
    {"from_node_id", Type::Any, true},
    {"to_node_id", Type::Any, true},
    {"directed", Type::Boolean, true},
    {"length", Type::Number, false, 0},
    {"facility_type", Type::String, false},
    {"capacity", Type::Number, false, 0},
    {"free_speed", Type::Number, false, 0, 200},
    {"lanes", Type::Integer, false, 0},
};
const SchemaField kNodeSchema[] = {
    {"node_id", Type::Any, true},
    {"name", Type::String, false},
    {"x_coord", Type::Number, true},
    {"y_coord", Type::Number, true},
};
const SchemaField kConfigSchema[] = {
    {"dataset_name", Type::Any, false},
    {"long_length", Type::Any, false},
    {"speed", Type::Any, false},
    {"crs", Type::Any, false},
    {"version_number", Type::Number, false},
    {"id_type", Type::String, false},
};

// The schemas' missing values.
bool missing(const std::string& value) {
    return value.empty() || value == "NaN";
}

bool fitsType(const std::string& value, const SchemaField& field, std::string& why) {
    static const std::regex integer(R"([+-]?[0-9]+)");
    static const std::regex number(R"([+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?)");
    double v = 0.0;
    switch (field.type) {
    case Type::Any:
    case Type::String:
        return true;
    case Type::Boolean:
        if (value == "true" || value == "True" || value == "TRUE" || value == "1" ||
            value == "false" || value == "False" || value == "FALSE" || value == "0")
            return true;
        why = "not a boolean";
        return false;
    case Type::Integer:
        if (!std::regex_match(value, integer)) {
            why = "not an integer";
            return false;
        }
        break;
    case Type::Number:
        if (!std::regex_match(value, number)) {
            why = "not a number";
            return false;
        }
        break;
    }
    v = std::stod(value);
    if (v < field.minimum || v > field.maximum) {
        why = "out of the schema's range";
        return false;
    }
    return true;
}

// Every failure of the table against the schema, one a line; empty when it conforms.
std::string checkAgainstSchema(const std::vector<std::vector<std::string>>& table,
                               const SchemaField* begin, const SchemaField* end) {
    std::string failures;
    if (table.empty())
        return "no header";
    const std::vector<std::string>& header = table[0];
    for (const SchemaField* field = begin; field != end; ++field) {
        const auto at = std::find(header.begin(), header.end(), field->name);
        if (at == header.end()) {
            if (field->required)
                failures += std::string("missing required field ") + field->name + "\n";
            continue;
        }
        const auto column = static_cast<std::size_t>(at - header.begin());
        for (std::size_t r = 1; r < table.size(); ++r) {
            if (table[r].size() != header.size()) {
                failures += "row " + std::to_string(r) + " has " + std::to_string(table[r].size()) +
                            " fields\n";
                break;
            }
            const std::string& value = table[r][column];
            std::string why;
            if (missing(value) ? field->required : !fitsType(value, *field, why))
                failures += "row " + std::to_string(r) + " " + field->name + " \"" + value +
                            "\": " + (why.empty() ? "required" : why) + "\n";
        }
    }
    return failures;
}

// The rows of a table by column name.
std::vector<std::map<std::string, std::string>>
byName(const std::vector<std::vector<std::string>>& table) {
    std::vector<std::map<std::string, std::string>> rows;
    for (std::size_t r = 1; r < table.size(); ++r) {
        auto& row = rows.emplace_back();
        for (std::size_t c = 0; c < table[0].size() && c < table[r].size(); ++c)
            row[table[0][c]] = table[r][c];
    }
    return rows;
}

float readFloat(const std::string& text) {
    float v = NAN;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

struct Written {
    std::vector<std::map<std::string, std::string>> links, nodes, config;
};

Written exportGmns(const Network& network, const TestDir& dir, const std::string& folder) {
    ExportResult result;
    std::string why;
    EXPECT_TRUE(exportNetwork(network, dir.file(folder), ExchangeFormat::Gmns, result, why)) << why;
    const auto link = readCsv(slurp(dir.file(folder + "/link.csv")));
    const auto node = readCsv(slurp(dir.file(folder + "/node.csv")));
    const auto config = readCsv(slurp(dir.file(folder + "/config.csv")));
    EXPECT_EQ(checkAgainstSchema(link, std::begin(kLinkSchema), std::end(kLinkSchema)), "");
    EXPECT_EQ(checkAgainstSchema(node, std::begin(kNodeSchema), std::end(kNodeSchema)), "");
    EXPECT_EQ(checkAgainstSchema(config, std::begin(kConfigSchema), std::end(kConfigSchema)), "");
    EXPECT_EQ(config.size(), 2u) << "config.csv holds a header and a single row";
    return {byName(link), byName(node), byName(config)};
}

} // namespace

TEST(GmnsExport, WritesEveryLinkAsTheSchemasRequireWithItsValuesIntact) {
    TestDir dir;
    const auto network = exportTestNetwork();
    Written w = exportGmns(*network, dir, "net");
    ASSERT_EQ(w.links.size(), network->links().size());
    ASSERT_EQ(w.nodes.size(), network->nodes().size());
    for (std::size_t i = 0; i < w.links.size(); ++i) {
        const Link& link = *network->links()[i];
        auto row = w.links[i];
        SCOPED_TRACE(link.id());
        EXPECT_EQ(row["link_id"], std::to_string(link.id()));
        EXPECT_EQ(row["from_node_id"], std::to_string(link.fromNode()->id()));
        EXPECT_EQ(row["to_node_id"], std::to_string(link.toNode()->id()));
        EXPECT_EQ(row["directed"], "true");
        // The same float, whether stored or following the nodes.
        EXPECT_EQ(readFloat(row["length"]), link.effectiveLength()) << row["length"];
        EXPECT_EQ(row["length_auto"], link.hasAutomaticLength() ? "1" : "0");
        EXPECT_EQ(row["lanes"], std::to_string(link.numLanes()));
        EXPECT_EQ(row["capacity"], std::to_string(link.capacity()));
        EXPECT_EQ(row["free_speed"], std::to_string(link.ffSpeed()));
        EXPECT_EQ(row["jam_density"], std::to_string(link.jamDensity()));
        EXPECT_EQ(row["link_type"], link.typeCode());
        EXPECT_EQ(row["direction"], std::string(1, link.directionCode()));
        EXPECT_EQ(row["two_way_side"], std::to_string(link.twoWaySide()));
        EXPECT_EQ(row["name"], link.description());
    }
    EXPECT_EQ(w.links[0]["facility_type"], "mainline");
    EXPECT_EQ(w.links[1]["facility_type"], "work zone");
    EXPECT_EQ(w.links[5]["facility_type"], "");
    EXPECT_EQ(w.links[2]["length"], "1.2345679") << "shortest digits of the float";
    // Unplaced: the nodes' own miles, in the local CRS the config names.
    EXPECT_EQ(w.nodes[1]["x_coord"], "1.5");
    EXPECT_EQ(w.nodes[1]["y_coord"], "-2");
    EXPECT_EQ(w.config[0]["long_length"], "miles");
    EXPECT_EQ(w.config[0]["speed"], "mph");
    EXPECT_TRUE(isLocalMilesCrs(w.config[0]["crs"])) << w.config[0]["crs"];
    EXPECT_EQ(w.config[0].count(kGeoreferenceColumn), 0u);
}

TEST(GmnsExport, APlacedNetworkIsInLongitudeAndLatitudeAndCarriesItsGeoreference) {
    TestDir dir;
    const Georeference g{"EPSG:2263", 988000.0, 215000.0};
    const auto network = exportTestNetwork(g);
    Written w = exportGmns(*network, dir, "placed");
    // cs2cs EPSG:2263 EPSG:4326 of the CRS point 1.5 and -2 miles from the origin.
    EXPECT_NEAR(std::stod(w.nodes[1]["x_coord"]), -73.957895196995, 1e-9);
    EXPECT_NEAR(std::stod(w.nodes[1]["y_coord"]), 40.727809585519, 1e-9);
    EXPECT_EQ(w.config[0]["crs"], "EPSG:4326");
    Georeference back;
    std::string why;
    ASSERT_TRUE(parseGeoreference(w.config[0][kGeoreferenceColumn], back, &why)) << why;
    EXPECT_EQ(back, g);
}

TEST(GmnsExport, ReplacesAnEarlierExportAndNamesTheFolderOfItsLinkTable) {
    TestDir dir;
    std::filesystem::create_directories(dir.file("out"));
    spit(dir.file("out/link.csv"), "old");
    spit(dir.file("out/notes.txt"), "kept");
    const auto network = exportTestNetwork();
    ExportResult result;
    std::string why;
    ASSERT_TRUE(
        exportNetwork(*network, dir.file("out/link.csv"), ExchangeFormat::Gmns, result, why))
        << why;
    EXPECT_NE(slurp(dir.file("out/link.csv")), "old");
    EXPECT_EQ(slurp(dir.file("out/notes.txt")), "kept");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.file("out")))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"config.csv", "link.csv", "node.csv", "notes.txt"}));
    EXPECT_EQ(result.links, 6u);
    EXPECT_EQ(result.nodes, 4u);
}

} // namespace vantry
