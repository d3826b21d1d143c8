#include "cli/vantrycli.h"

#include "cli/pngencoder.h"

#include "check/checker.h"
#include "document/vantrydoc.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "streets/streetreader.h"
#include "tiger/autopopulate.h"
#include "view/layers.h"
#include "view/renderer.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QSaveFile>
#include <QString>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <ostream>
#include <stdexcept>

namespace {

// Where a command's large objects go when the process is to end without freeing them.
CliKeep* keepUntilExit = nullptr;

// An object that lives to the end of the command, or to the end of the process when the run
// keeps its objects.
template <typename T> class Held {
public:
    template <typename... Args>
    explicit Held(Args&&... args) : object_(std::make_shared<T>(std::forward<Args>(args)...)) {
        if (keepUntilExit)
            keepUntilExit->push_back(object_);
    }
    T& operator*() const { return *object_; }

private:
    std::shared_ptr<T> object_;
};

std::shared_ptr<QGuiApplication> keepToolkit(std::unique_ptr<QGuiApplication> toolkit) {
    std::shared_ptr<QGuiApplication> shared = std::move(toolkit);
    if (shared && keepUntilExit)
        keepUntilExit->push_back(shared);
    return shared;
}

constexpr const char* kUsage =
    "usage: vantry-cli convert IN OUT [--precision N]\n"
    "       vantry-cli info IN\n"
    "       vantry-cli render IN OUT.png [--size WxH] [--scale S --center X,Y] [--no-grid]\n"
    "                         [--no-numbers] [--tiger SOURCE] [--background] [--repeat N]\n"
    "       vantry-cli tiger-chains FILE.RT1 [--raw]\n"
    "       vantry-cli street-chains SOURCE [--layer NAME] [--speed-unit mph|kmh] [--raw]\n"
    "       vantry-cli populate SOURCE OUT [--into NET] [--rect LEFT BOTTOM RIGHT TOP |\n"
    "                           --click X Y] [--scale S] [--layer NAME] [--classes LIST]\n"
    "                           [--speed-unit mph|kmh]\n"
    "  SOURCE is a TIGER/Line record type 1 file (FILE.RT1) or street data: OpenStreetMap\n"
    "  (.osm, .osm.pbf), a shapefile, GeoPackage, GeoJSON, FlatGeobuf or other line layer.\n"
    "       vantry-cli check NET\n";

// What --help prints, and so what the manual page made from it says: what each command does
// with its options, and the exit codes.
constexpr const char* kHelp =
    "Usage: vantry-cli COMMAND ARGUMENTS...\n"
    "Converts, inspects and draws Vantry road network files (.txt or .xls) with the same\n"
    "document code as the editor, without a window. The user's preferences are read as the\n"
    "editor reads them and never written.\n"
    "\n"
    "Commands:\n"
    "  convert IN OUT [--precision N]\n"
    "      Open IN as File Open does and save it as OUT as File Save does; the extension of\n"
    "      each name (.txt or .xls) chooses its format. --precision N writes N decimals\n"
    "      instead of the Precision preference.\n"
    "  info IN\n"
    "      Print four lines: \"nodes N\", \"links M\", \"bounds TOP BOTTOM LEFT RIGHT\" and\n"
    "      \"bitmap PATH\", the network's background picture (empty when it has none).\n"
    "  render IN OUT.png [--size WxH] [--scale S --center X,Y] [--no-grid] [--no-numbers]\n"
    "  [--tiger FILE.RT1] [--background] [--repeat N]\n"
    "      Draw IN as a view of WxH pixels (default 800x600) shows it, at one pixel per\n"
    "      hundredth of an inch, into a PNG picture. Without --scale (logical units per mile)\n"
    "      the whole network is shown. --no-grid and --no-numbers hide the grid and the node\n"
    "      and link numbers, --tiger shows TIGER/Line data behind the network, --background\n"
    "      its background picture. --repeat N draws N times and prints the median\n"
    "      milliseconds per drawing.\n"
    "  tiger-chains FILE.RT1 [--raw]\n"
    "      Load a TIGER/Line record type 1 file with its type 2 companion and print the\n"
    "      chains kept, in world miles or, with --raw, in millionths of a degree.\n"
    "  street-chains SOURCE [--layer NAME] [--speed-unit mph|kmh] [--raw]\n"
    "      Read street data (OpenStreetMap .osm, .osm.bz2 or .osm.pbf, a shapefile,\n"
    "      GeoPackage, GeoJSON, FlatGeobuf or any other line layer) and print every chain\n"
    "      read like tiger-chains, each followed by its class as the source names it, one-way\n"
    "      rule (\"none\" for what is never populated), lanes each way, speed (\"F/B\" when the\n"
    "      directions differ; 0 leaves it to the class), id and name. --layer NAME chooses the\n"
    "      layer of a file that has several. --speed-unit says what a speed without a unit\n"
    "      means in a layer (default: km/h for OpenStreetMap layouts, mph otherwise).\n"
    "  populate SOURCE OUT [--into NET] [--rect LEFT BOTTOM RIGHT TOP | --click X Y]\n"
    "  [--scale S] [--layer NAME] [--classes LIST] [--speed-unit mph|kmh]\n"
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
    "      read.\n"
    "  check NET\n"
    "      Run the network checks and print each finding on a line, as \"error RULE: link N:\n"
    "      message\" or \"warning RULE: node N: message\".\n"
    "\n"
    "Options:\n"
    "  -h, --help     Print this help and exit.\n"
    "  --version      Print the version and exit.\n"
    "\n"
    "Exit status:\n"
    "  0 on success, 1 when a file cannot be read or written (with a one-line message on\n"
    "  standard error), 2 on bad usage, 3 when check finds errors.\n";

// Messages may run over several lines for a window; on standard error they take one.
std::string oneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

// Keeps what the document would have shown in a message box, so that the failure can be told on
// standard error instead; every question gets the answer a run without a window gives.
class CliPrompter : public Prompter {
public:
    void showMessage(const std::string& text, Icon) override { message_ = text; }
    bool askYesNo(const std::string&, Icon) override { return false; }
    Answer askYesNoCancel(const std::string&, Icon) override { return Answer::Cancel; }
    std::optional<std::string> chooseOpenPath(const std::string&) override { return std::nullopt; }
    std::optional<std::string> chooseSavePath(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::uint32_t> pickColour(std::uint32_t) override { return std::nullopt; }

    const std::string& message() const { return message_; }

private:
    std::string message_;
};

// Opens the network as File Open does. A file read only in part is still opened, with what was
// left out told on standard error.
bool openNetwork(CVantryDoc& doc, const std::string& path, std::ostream& err) {
    if (!doc.OnOpenDocument(path)) {
        err << oneLine(doc.lastError()) << "\n";
        return false;
    }
    if (!doc.lastWarning().empty())
        err << oneLine(doc.lastWarning()) << "\n";
    return true;
}

int usageError(std::ostream& err, const std::string& problem) {
    err << "vantry-cli: " << problem << "\n" << kUsage;
    return 2;
}

bool parseInt(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, value);
    return r.ec == std::errc{} && r.ptr == end;
}

bool parseFloat(const std::string& text, float& value) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, value);
    return r.ec == std::errc{} && r.ptr == end && std::isfinite(value);
}

// Parses "AxB" or "A,B" into two parts.
bool splitPair(const std::string& text, char separator, std::string& a, std::string& b) {
    const auto at = text.find(separator);
    if (at == std::string::npos)
        return false;
    a = text.substr(0, at);
    b = text.substr(at + 1);
    return true;
}

std::string sixDecimals(float v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", static_cast<double>(v));
    return buf;
}

int convert(const std::vector<std::string>& args, std::ostream& err) {
    std::vector<std::string> files;
    std::optional<int> precision;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--precision") {
            int value = 0;
            // Any whole number, as the Precision setting takes it.
            if (i + 1 >= args.size() || !parseInt(args[i + 1], value))
                return usageError(err, "--precision needs a whole number");
            precision = value;
            ++i;
        } else if (args[i].starts_with("--")) {
            return usageError(err, "unknown option " + args[i]);
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.size() != 2)
        return usageError(err, "convert needs an input and an output file");

    Held<CVantryDoc> heldDoc;
    CVantryDoc& doc = *heldDoc;
    // A conversion writes the picture's path, never its pixels.
    doc.setShowsPictures(false);
    if (!openNetwork(doc, files[0], err))
        return 1;
    if (precision)
        SingletonPtr<UserDefinedSettings>::instance().precision.value = *precision;
    if (!doc.OnSaveDocument(files[1])) {
        err << oneLine(doc.lastError()) << "\n";
        return 1;
    }
    return 0;
}

int info(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 2)
        return usageError(err, "info needs exactly one input file");
    Held<CVantryDoc> heldDoc;
    CVantryDoc& doc = *heldDoc;
    doc.setShowsPictures(false);
    if (!openNetwork(doc, args[1], err))
        return 1;
    const Network& net = doc.network();
    const WorldRect& b = net.bounds();
    out << "nodes " << net.nodes().size() << "\n"
        << "links " << net.links().size() << "\n"
        << "bounds " << sixDecimals(b.top) << " " << sixDecimals(b.bottom) << " "
        << sixDecimals(b.left) << " " << sixDecimals(b.right) << "\n"
        << "bitmap " << net.bitmapPath() << "\n";
    return 0;
}

// The checker's findings, one a line. Errors make the exit code 3 so that a script can stop on
// them; warnings alone still succeed.
int check(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 2)
        return usageError(err, "check needs exactly one network file");
    Held<CVantryDoc> heldDoc;
    CVantryDoc& doc = *heldDoc;
    doc.setShowsPictures(false);
    if (!openNetwork(doc, args[1], err))
        return 1;
    bool errors = false;
    for (const Finding& finding : checkNetwork(doc.network())) {
        out << findingLine(finding) << "\n";
        errors = errors || finding.severity == Severity::Error;
    }
    return errors ? 3 : 0;
}

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

// Record files are named by their type, "TGR01001.RT1"; everything else is street data.
bool isRecordFileName(const std::string& path) {
    return !path.empty() && path.back() == '1';
}

// Loads the source into the document: a record file pair as loadTiger does, street data from
// the named layer. 2 when the source has several layers of lines and none was named, 1 when it
// cannot be read, 0 when loaded. What could not be placed on the map is told as a warning.
int loadSource(CVantryDoc& doc, const std::string& path, const std::string& layer,
               std::ostream& err, const StreetReadOptions& options = {}) {
    if (isRecordFileName(path)) {
        if (!layer.empty())
            return usageError(err, "--layer goes with street data, not with record files");
        return loadTiger(doc, path, err) ? 0 : 1;
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
        return 1;
    }
    if (!doc.lastWarning().empty())
        err << oneLine(doc.lastWarning()) << "\n";
    return 0;
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

int tigerChains(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> files;
    bool raw = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--raw")
            raw = true;
        else if (args[i].starts_with("--"))
            return usageError(err, "unknown option " + args[i]);
        else
            files.push_back(args[i]);
    }
    if (files.size() != 1)
        return usageError(err, "tiger-chains needs one record type 1 file");
    Held<CVantryDoc> heldDoc;
    CVantryDoc& doc = *heldDoc;
    if (!loadTiger(doc, files[0], err))
        return 1;
    printChains(doc.tiger(), raw, false, out);
    return 0;
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

int streetChains(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> files;
    std::string layer;
    StreetReadOptions options;
    bool raw = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--raw") {
            raw = true;
        } else if (args[i] == "--speed-unit") {
            if (i + 1 >= args.size() || !parseSpeedUnit(args[i + 1], options.speedUnit))
                return usageError(err, "--speed-unit needs mph or kmh");
            ++i;
        } else if (args[i] == "--layer") {
            if (i + 1 >= args.size())
                return usageError(err, "--layer needs a layer name");
            layer = args[++i];
        } else if (args[i].starts_with("--")) {
            return usageError(err, "unknown option " + args[i]);
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.size() != 1)
        return usageError(err, "street-chains needs one source");
    Held<CVantryDoc> heldDoc;
    CVantryDoc& doc = *heldDoc;
    if (const int code = loadSource(doc, files[0], layer, err, options))
        return code;
    printChains(doc.tiger(), raw, true, out);
    return 0;
}

int populate(const std::vector<std::string>& args, std::ostream& err) {
    std::vector<std::string> files;
    std::string into;
    std::optional<WorldRect> rect;
    std::optional<WorldPoint> click;
    std::string layer;
    float scale = 100.0f;
    PopulateOptions options = CVantryDoc::populateOptions();
    StreetReadOptions readOptions;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto number = [&](std::size_t at, float& v) {
            return at < args.size() && parseFloat(args[at], v);
        };
        if (a == "--classes") {
            std::string why;
            if (i + 1 >= args.size())
                return usageError(err, "--classes needs a list of road classes");
            if (!RoadClassChoice::parse(args[i + 1], options.classes, why))
                return usageError(err, "--classes: " + why);
            ++i;
        } else if (a == "--speed-unit") {
            if (i + 1 >= args.size() || !parseSpeedUnit(args[i + 1], readOptions.speedUnit))
                return usageError(err, "--speed-unit needs mph or kmh");
            ++i;
        } else if (a == "--layer") {
            if (i + 1 >= args.size())
                return usageError(err, "--layer needs a layer name");
            layer = args[++i];
        } else if (a == "--into") {
            if (i + 1 >= args.size())
                return usageError(err, "--into needs a network file");
            into = args[++i];
        } else if (a == "--rect") {
            WorldRect r;
            if (!number(i + 1, r.left) || !number(i + 2, r.bottom) || !number(i + 3, r.right) ||
                !number(i + 4, r.top))
                return usageError(err, "--rect needs LEFT BOTTOM RIGHT TOP in miles");
            rect = r;
            i += 4;
        } else if (a == "--click") {
            WorldPoint p;
            if (!number(i + 1, p.x) || !number(i + 2, p.y))
                return usageError(err, "--click needs X Y in miles");
            click = p;
            i += 2;
        } else if (a == "--scale") {
            if (!number(i + 1, scale) || scale <= 0)
                return usageError(err, "--scale needs a positive number");
            ++i;
        } else if (a.starts_with("--")) {
            return usageError(err, "unknown option " + a);
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 2)
        return usageError(err, "populate needs a source and an output file");
    if (rect && click)
        return usageError(err, "--rect and --click cannot be used together");

    Held<CVantryDoc> heldDoc;
    CVantryDoc& doc = *heldDoc;
    doc.setShowsPictures(false);
    if (!into.empty() && !openNetwork(doc, into, err))
        return 1;
    readOptions.railways = options.classes.railways();
    if (const int code = loadSource(doc, files[0], layer, err, readOptions))
        return code;
    const TigerData& tiger = doc.tiger();
    doc.edit([&](Network& net) {
        if (!click && !rect)
            return AutoPopulateAll(net, tiger.store(), tiger.tigerOrigin(), options);
        const WorldPoint start = click ? *click : WorldPoint{rect->left, rect->bottom};
        const WorldPoint end = click ? *click : WorldPoint{rect->right, rect->top};
        return AutoPopulateAt(net, tiger.store(), tiger.tigerOrigin(), start, end, scale, options);
    });
    if (!doc.OnSaveDocument(files[1])) {
        err << oneLine(doc.lastError()) << "\n";
        return 1;
    }
    return 0;
}

// Fonts need the toolkit's application object; pictures are drawn without any window, so no
// display is needed.
std::unique_ptr<QGuiApplication> startToolkit() {
    if (QGuiApplication::instance())
        return nullptr;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "vantry-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

// The background the user asked to see must be shown: a picture that is missing, cannot be read
// or has no width in the world is an error, with the reason the editor would have shown.
bool canShowBackground(const CVantryDoc& doc, const CliPrompter& prompter, std::ostream& err) {
    const Network& net = doc.network();
    if (net.bitmapPath().empty())
        return true;
    if (!doc.background().loaded()) {
        err << (prompter.message().empty()
                    ? "Cannot read the background picture \"" + net.bitmapPath() + "\"."
                    : oneLine(prompter.message()))
            << "\n";
        return false;
    }
    if (doc.pixelsPerMile() <= 0) {
        err << "Cannot show the background picture \"" << net.bitmapPath()
            << "\": the network gives it no width in the world.\n";
        return false;
    }
    return true;
}

// Writes the picture to a temporary file that takes the place of `path` only once all of it is
// written, so that a failed write leaves nothing behind and an older picture untouched. The file
// is written unbuffered and every byte counted: a write cut short is not always reported as an
// error otherwise.
bool savePng(const QImage& image, const std::string& path, std::ostream& err) {
    auto fail = [&](const QString& reason) {
        err << "Cannot save \"" << path << "\": " << reason.toStdString() << ".\n";
        return false;
    };
    std::string png;
    if (!encodePng(image, png))
        return fail(QStringLiteral("the picture could not be encoded"));
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(file.errorString());
    const auto size = static_cast<qint64>(png.size());
    qint64 written = 0;
    while (written < size) {
        const qint64 n = file.write(png.data() + written, size - written);
        if (n <= 0)
            break;
        written += n;
    }
    if (written != size) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(reason);
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

int render(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> files;
    int width = 800, height = 600, repeat = 0;
    std::optional<float> scale;
    std::optional<WorldPoint> center;
    std::string tigerFile;
    LayerVisibility layers;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        std::string x, y;
        if (a == "--size") {
            if (!hasValue || !splitPair(args[i + 1], 'x', x, y) || !parseInt(x, width) ||
                !parseInt(y, height) || width < 1 || height < 1 || width > 20000 || height > 20000)
                return usageError(err, "--size needs WIDTHxHEIGHT in pixels (1 to 20000)");
            ++i;
        } else if (a == "--scale") {
            float s = 0;
            if (!hasValue || !parseFloat(args[i + 1], s) || s <= 0)
                return usageError(err, "--scale needs a positive number (logical units per mile)");
            scale = s;
            ++i;
        } else if (a == "--center") {
            WorldPoint c;
            if (!hasValue || !splitPair(args[i + 1], ',', x, y) || !parseFloat(x, c.x) ||
                !parseFloat(y, c.y))
                return usageError(err, "--center needs X,Y in miles");
            center = c;
            ++i;
        } else if (a == "--repeat") {
            if (!hasValue || !parseInt(args[i + 1], repeat) || repeat < 1)
                return usageError(err, "--repeat needs a positive whole number");
            ++i;
        } else if (a == "--no-grid") {
            layers.grid = false;
        } else if (a == "--no-numbers") {
            layers.numbers = false;
        } else if (a == "--tiger") {
            if (!hasValue)
                return usageError(err, "--tiger needs a record type 1 file or street data");
            tigerFile = args[++i];
        } else if (a == "--background") {
            layers.bitmap = true;
        } else if (a.starts_with("--")) {
            return usageError(err, "unknown option " + a);
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 2)
        return usageError(err, "render needs an input file and an output picture");
    if (center && !scale)
        return usageError(err, "--center goes with --scale");

    const auto toolkit = keepToolkit(startToolkit());
    Held<CliPrompter> heldPrompter;
    CliPrompter& prompter = *heldPrompter;
    Held<CVantryDoc> heldDoc(&prompter);
    CVantryDoc& doc = *heldDoc;
    if (!openNetwork(doc, files[0], err))
        return 1;
    if (layers.bitmap && !canShowBackground(doc, prompter, err))
        return 1;
    if (!tigerFile.empty()) {
        if (const int code = loadSource(doc, tigerFile, "", err))
            return code;
        layers.tiger = true;
    }
    // The same layers, colours and extent as an editor's view of the document.
    const RenderOptions options = documentRenderOptions(doc, layers, false);
    const WorldRect extent = documentExtent(doc, layers);

    // Exactly what a view of that client size shows, at one pixel per logical unit.
    ViewTransform transform;
    transform.setClientSize(width, height, 1.0);
    if (scale) {
        transform.scale = *scale;
        transform.viewCenter = center ? *center : extent.center();
    } else {
        transform.ShowEntireNetwork(extent);
    }

    std::string readout;
    QImage image = renderToImage(doc.network(), transform, options, nullptr, &readout);
    // The toolkit answers an image it has no memory for with an empty one.
    if (image.isNull()) {
        err << "Cannot render \"" << files[1] << "\": there is not enough memory for a picture of "
            << width << " x " << height << " pixels.\n";
        return 1;
    }
    if (repeat > 0) {
        std::vector<double> times;
        for (int i = 0; i < repeat; ++i) {
            QElapsedTimer timer;
            timer.start();
            image = renderToImage(doc.network(), transform, options, nullptr);
            times.push_back(timer.nsecsElapsed() / 1.0e6);
        }
        std::sort(times.begin(), times.end());
        const double median = times.size() % 2
                                  ? times[times.size() / 2]
                                  : (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2;
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.3f", median);
        out << buf << "\n";
    } else {
        out << readout << "\n";
    }
    return savePng(image, files[1], err) ? 0 : 1;
}

std::string outOfMemory(const std::vector<std::string>& args) {
    std::string text = "vantry-cli: there is not enough memory";
    if (!args.empty())
        text += " to " + args[0];
    if (args.size() > 1)
        text += " \"" + args[1] + "\"";
    return text + ".\n";
}

int runCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty())
        return usageError(err, "no command given");
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        out << kHelp;
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        out << "vantry-cli " << VANTRY_VERSION << "\n";
        return 0;
    }
    if (args[0] == "convert")
        return convert(args, err);
    if (args[0] == "info")
        return info(args, out, err);
    if (args[0] == "render")
        return render(args, out, err);
    if (args[0] == "tiger-chains")
        return tigerChains(args, out, err);
    if (args[0] == "street-chains")
        return streetChains(args, out, err);
    if (args[0] == "populate")
        return populate(args, err);
    if (args[0] == "check")
        return check(args, out, err);
    return usageError(err, "unknown command \"" + args[0] + "\"");
}

} // namespace

int runVantryCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                 CliKeep* keep) {
    keepUntilExit = keep;
    // Only this program's own messages belong on standard error, not the toolkit's or those of
    // its picture decoders about a damaged background.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    int code = 1;
    // Each reader reports memory that runs out as a file it cannot read; whatever else runs out
    // still ends the run with one line, not with an abort.
    try {
        code = runCommand(args, out, err);
    } catch (const std::bad_alloc&) {
        err << outOfMemory(args);
        return 1;
    } catch (const std::length_error&) {
        err << outOfMemory(args);
        return 1;
    }
    // What was printed is the answer the user asked for: if it did not arrive, the run failed.
    if ((code == 0 || code == 3) && !out.flush()) {
        err << "vantry-cli: the output could not be written.\n";
        return 1;
    }
    return code;
}
