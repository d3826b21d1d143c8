// The commands that read road data: tiger-chains and street-chains list what a load keeps,
// populate turns it into links as Auto-Populate does.
#include "cli/commands.h"
#include "cli/commandsupport.h"

#include "document/roadsources.h"
#include "document/vantrydoc.h"
#include "geo/populatedgeoreference.h"
#include "streets/streetreader.h"
#include "tiger/autopopulate.h"

#include <optional>
#include <ostream>

namespace vantry {

namespace {

// Loads a TIGER/Line pair into the document as Load TIGER Data does; a file that cannot be read
// is an error here, since a script would otherwise get an empty result without knowing why.
bool loadTiger(CVantryDoc& doc, const std::string& path, std::ostream& err) {
    if (!doc.loadTigerData(path)) {
        err << "Cannot load \"" << path << "\": " << doc.lastError() << ".\n";
        return false;
    }
    if (!doc.lastError().empty()) {
        // One line: each file's problem names its file, one after the other.
        std::string problem = doc.lastError();
        for (std::size_t at = problem.find('\n'); at != std::string::npos;
             at = problem.find('\n', at))
            problem.replace(at, 1, "; ");
        err << "Cannot load \"" << path << "\": " << problem << ".\n";
        return false;
    }
    return true;
}

const char* trafficName(ChainTraffic t) {
    switch (t) {
    case ChainTraffic::ByClass:
        return "class";
    case ChainTraffic::TwoWay:
        return "two-way";
    case ChainTraffic::Forward:
        return "forward";
    case ChainTraffic::Backward:
        return "backward";
    case ChainTraffic::None:
        return "none";
    }
    return "";
}

std::string speedText(const TigerChain& chain) {
    if (chain.speedForward == chain.speedBackward || chain.speedBackward == 0)
        return std::to_string(chain.speedForward);
    return std::to_string(chain.speedForward) + "/" + std::to_string(chain.speedBackward);
}

std::string sixDecimalsPair(WorldPoint p) {
    return sixDecimals(p.x) + " " + sixDecimals(p.y);
}

// The chains of the TIGER/Line layer, one a line: id, class, point count and the points in
// world miles (or, raw, in millionths of a degree); with `streets`, what street data adds after
// them, the name last because it may hold commas.
void printChains(const TigerData& tiger, bool raw, bool streets, std::ostream& out) {
    const WorldRect& e = tiger.tigerExtent();
    out << "origin " << tiger.tigerOrigin().latitude << " " << tiger.tigerOrigin().longitude << "\n"
        << "extent " << sixDecimals(e.top) << " " << sixDecimals(e.bottom) << " "
        << sixDecimals(e.left) << " " << sixDecimals(e.right) << "\n";
    std::string line;
    for (const auto& [tlid, chain] : tiger.store().chains()) {
        line = std::to_string(tlid) + "," + chain.cfcc + "," +
               std::to_string(chain.shapePoints.size() + 2);
        auto add = [&](TigerPoint p) {
            line += ',';
            if (raw)
                line += std::to_string(p.longitude) + " " + std::to_string(p.latitude);
            else
                line += sixDecimalsPair(tiger.TigerToWorld(p));
        };
        add(chain.start);
        for (const TigerPoint& p : chain.shapePoints)
            add(p);
        add(chain.end);
        if (streets)
            line += "," + chain.sourceClass + "," + trafficName(chain.traffic) + "," +
                    std::to_string(chain.lanesForward) + "," + std::to_string(chain.lanesBackward) +
                    "," + speedText(chain) + "," + std::to_string(chain.sourceId) + "," +
                    chain.description;
        out << line << "\n";
    }
}

// Reads --speed-unit's value; false for anything but mph or kmh.
bool parseSpeedUnit(const std::string& text, SpeedUnit& unit) {
    if (text == "mph")
        unit = SpeedUnit::MilesPerHour;
    else if (text == "kmh" || text == "km/h")
        unit = SpeedUnit::KilometresPerHour;
    else
        return false;
    return true;
}

const CliOption kRaw = {"--raw", 0, ""};
const CliOption kLayer = {"--layer", 1, "--layer needs a layer name"};
const CliOption kSpeedUnit = {"--speed-unit", 1, "--speed-unit needs mph or kmh"};

int tigerChains(const CommandLine& line, std::ostream& out, std::ostream& err) {
    if (line.files.size() != 1)
        return usageError(err, "tiger-chains needs one record type 1 file");
    Held<CVantryDoc> heldDoc;
    CVantryDoc& doc = *heldDoc;
    if (!loadTiger(doc, line.files[0], err))
        return kExitFileError;
    // --raw is its only option.
    const bool raw = !line.options.empty();
    printChains(doc.tiger(), raw, false, out);
    return kExitSuccess;
}

int streetChains(const CommandLine& line, std::ostream& out, std::ostream& err) {
    std::string layer;
    StreetReadOptions options;
    bool raw = false;
    for (const GivenOption& given : line.options) {
        const std::string name = given.option->name;
        if (name == kRaw.name)
            raw = true;
        else if (name == kSpeedUnit.name && !parseSpeedUnit(given.values[0], options.speedUnit))
            return usageError(err, given.option->problem);
        else if (name == kLayer.name)
            layer = given.values[0];
    }
    if (line.files.size() != 1)
        return usageError(err, "street-chains needs one source");
    Held<CVantryDoc> heldDoc;
    CVantryDoc& doc = *heldDoc;
    if (const int code = loadSource(doc, line.files[0], layer, err, options))
        return code;
    printChains(doc.tiger(), raw, true, out);
    return kExitSuccess;
}

int populate(const CommandLine& line, std::ostream&, std::ostream& err) {
    std::string into;
    std::optional<WorldRect> rect;
    std::optional<WorldPoint> click;
    std::string layer;
    float scale = 100.0f;
    PopulateOptions options = CVantryDoc::populateOptions();
    StreetReadOptions readOptions;
    for (const GivenOption& given : line.options) {
        const std::string name = given.option->name;
        const std::vector<std::string>& v = given.values;
        const auto problem = [&] { return usageError(err, given.option->problem); };
        if (name == "--classes") {
            std::string why;
            if (!RoadClassChoice::parse(v[0], options.classes, why))
                return usageError(err, "--classes: " + why);
        } else if (name == kSpeedUnit.name) {
            if (!parseSpeedUnit(v[0], readOptions.speedUnit))
                return problem();
        } else if (name == kLayer.name) {
            layer = v[0];
        } else if (name == "--into") {
            into = v[0];
        } else if (name == "--rect") {
            WorldRect r;
            if (!parseFloat(v[0], r.left) || !parseFloat(v[1], r.bottom) ||
                !parseFloat(v[2], r.right) || !parseFloat(v[3], r.top))
                return problem();
            rect = r;
        } else if (name == "--click") {
            WorldPoint p;
            if (!parseFloat(v[0], p.x) || !parseFloat(v[1], p.y))
                return problem();
            click = p;
        } else if (name == "--scale") {
            if (!parseFloat(v[0], scale) || scale <= 0)
                return problem();
        }
    }
    if (line.files.size() != 2)
        return usageError(err, "populate needs a source and an output file");
    if (rect && click)
        return usageError(err, "--rect and --click cannot be used together");

    Held<CVantryDoc> heldDoc;
    CVantryDoc& doc = *heldDoc;
    doc.setShowsPictures(false);
    if (!into.empty() && !openNetwork(doc, into, err))
        return kExitFileError;
    readOptions.railways = options.classes.railways();
    if (const int code = loadSource(doc, line.files[0], layer, err, readOptions))
        return code;
    const TigerData& tiger = doc.tiger();
    doc.edit("Auto-Populate", [&](Network& net) {
        bool added = false;
        if (!click && !rect) {
            added = AutoPopulateAll(net, tiger.store(), tiger.tigerOrigin(), options);
        } else {
            const WorldPoint start = click ? *click : WorldPoint{rect->left, rect->bottom};
            const WorldPoint end = click ? *click : WorldPoint{rect->right, rect->top};
            added =
                AutoPopulateAt(net, tiger.store(), tiger.tigerOrigin(), start, end, scale, options);
        }
        if (added)
            placePopulated(net, tiger.tigerOrigin());
        return added;
    });
    return saveNetwork(doc, line.files[1], err) ? kExitSuccess : kExitFileError;
}

} // namespace

int loadSource(CVantryDoc& doc, const std::string& path, const std::string& layer,
               std::ostream& err, const StreetReadOptions& options) {
    if (roadSourceOf(path) == RoadSource::RecordFiles) {
        if (!layer.empty())
            return usageError(err, "--layer goes with street data, not with record files");
        return loadTiger(doc, path, err) ? kExitSuccess : kExitFileError;
    }
    if (layer.empty()) {
        std::vector<std::string> layers;
        std::string why;
        if (listStreetLayers(path, layers, why) && layers.size() > 1) {
            std::string names;
            for (const std::string& n : layers)
                names += (names.empty() ? "" : ", ") + n;
            return usageError(err, "\"" + path + "\" holds several layers of lines (" + names +
                                       "): choose one with --layer");
        }
    }
    if (!doc.loadStreetData(path, layer, options)) {
        err << oneLine(doc.lastError()) << "\n";
        return kExitFileError;
    }
    if (!doc.lastWarning().empty())
        err << oneLine(doc.lastWarning()) << "\n";
    return kExitSuccess;
}

CliCommand tigerChainsCommand() {
    return {"tiger-chains",
            {"FILE.RT1 [--raw]"},
            "      Load a TIGER/Line record type 1 file with its type 2 companion and print the\n"
            "      chains kept, in world miles or, with --raw, in millionths of a degree.\n",
            {kRaw},
            tigerChains};
}

CliCommand streetChainsCommand() {
    return {
        "street-chains",
        {"SOURCE [--layer NAME] [--speed-unit mph|kmh] [--raw]"},
        "      Read street data (OpenStreetMap .osm, .osm.bz2 or .osm.pbf, a shapefile,\n"
        "      GeoPackage, GeoJSON, FlatGeobuf or any other line layer) and print every chain\n"
        "      read like tiger-chains, each followed by its class as the source names it, one-way\n"
        "      rule (\"none\" for what is never populated), lanes each way, speed (\"F/B\" when "
        "the\n"
        "      directions differ; 0 leaves it to the class), id and name. --layer NAME chooses "
        "the\n"
        "      layer of a file that has several. --speed-unit says what a speed without a unit\n"
        "      means in a layer (default: km/h for OpenStreetMap layouts, mph otherwise).\n",
        {kLayer, kSpeedUnit, kRaw},
        streetChains};
}

CliCommand populateCommand() {
    return {
        "populate",
        {"SOURCE OUT [--into NET] [--rect LEFT BOTTOM RIGHT TOP |",
         "--click X Y] [--scale S] [--layer NAME] [--classes LIST]", "[--speed-unit mph|kmh]"},
        "      Fill a new network, or the one read from NET, from a TIGER/Line record type 1\n"
        "      file or street data as Auto-Populate does, for a rectangle in miles or for a\n"
        "      click at view scale S (default 100); without either, from all of it. Save it as\n"
        "      OUT. --classes takes the road classes to populate from street data, as\n"
        "      OpenStreetMap's highway values separated by commas (motorway, trunk, primary,\n"
        "      secondary, tertiary, their _link ramps, unclassified, residential, living_street,\n"
        "      service, and the service kinds driveway, parking_aisle and drive-through), or\n"
        "      \"all\"; by default the Road Classes chosen in the editor, at first motorway down\n"
        "      to living_street with their ramps. Roads closed to cars are never populated.\n"
        "      Street data gives its roads and water; \"railway\" in the list reads its railway\n"
        "      tracks too, which are never populated. Power lines, walls and the like are never\n"
        "      read.\n",
        {{"--into", 1, "--into needs a network file"},
         {"--rect", 4, "--rect needs LEFT BOTTOM RIGHT TOP in miles"},
         {"--click", 2, "--click needs X Y in miles"},
         {"--scale", 1, "--scale needs a positive number"},
         kLayer,
         {"--classes", 1, "--classes needs a list of road classes"},
         kSpeedUnit},
        populate};
}

} // namespace vantry
