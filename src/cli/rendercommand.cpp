// The render command: a network drawn into a PNG picture exactly as an editor's view of that
// size shows it.
#include "cli/commands.h"
#include "cli/commandsupport.h"
#include "cli/pngencoder.h"

#include "document/vantrydoc.h"
#include "view/documentlayers.h"
#include "view/linkcolouring.h"
#include "view/renderer.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QSaveFile>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <ostream>

namespace vantry {

namespace {

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

int render(const CommandLine& line, std::ostream& out, std::ostream& err) {
    int width = 800, height = 600, repeat = 0;
    std::optional<float> scale;
    std::optional<WorldPoint> center;
    std::string tigerFile;
    LayerVisibility layers;
    ColourChoice colours;
    for (const GivenOption& given : line.options) {
        const std::string name = given.option->name;
        const std::string value = given.values.empty() ? std::string() : given.values[0];
        const auto problem = [&] { return usageError(err, given.option->problem); };
        std::string x, y;
        if (name == "--size") {
            if (!splitPair(value, 'x', x, y) || !parseInt(x, width) || !parseInt(y, height) ||
                width < 1 || height < 1 || width > 20000 || height > 20000)
                return problem();
        } else if (name == "--scale") {
            float s = 0;
            if (!parseFloat(value, s) || s <= 0)
                return problem();
            scale = s;
        } else if (name == "--center") {
            WorldPoint c;
            if (!splitPair(value, ',', x, y) || !parseFloat(x, c.x) || !parseFloat(y, c.y))
                return problem();
            center = c;
        } else if (name == "--repeat") {
            if (!parseInt(value, repeat) || repeat < 1)
                return problem();
        } else if (name == "--no-grid") {
            layers.grid = false;
        } else if (name == "--no-numbers") {
            layers.numbers = false;
        } else if (name == "--tiger") {
            tigerFile = value;
        } else if (name == "--background") {
            layers.bitmap = true;
        } else if (name == "--colour-by") {
            const std::optional<ColourField> field = parseColourField(value);
            if (!field)
                return problem();
            colours.field = *field;
        } else if (name == "--classes") {
            if (!parseInt(value, colours.classes) || colours.classes < kMinClasses ||
                colours.classes > kMaxClasses)
                return problem();
        } else if (name == "--quantiles") {
            colours.method = ClassMethod::Quantiles;
        }
    }
    if (line.files.size() != 2)
        return usageError(err, "render needs an input file and an output picture");
    if (center && !scale)
        return usageError(err, "--center goes with --scale");

    const std::shared_ptr<QGuiApplication> toolkit = startToolkit();
    keepUntilExit(toolkit);
    Held<CliPrompter> heldPrompter;
    CliPrompter& prompter = *heldPrompter;
    Held<CVantryDoc> heldDoc(&prompter);
    CVantryDoc& doc = *heldDoc;
    if (!openNetwork(doc, line.files[0], err))
        return kExitFileError;
    if (layers.bitmap && !canShowBackground(doc, prompter, err))
        return kExitFileError;
    if (!tigerFile.empty()) {
        if (const int code = loadSource(doc, tigerFile, "", err))
            return code;
        layers.tiger = true;
    }
    // The same layers, colours and extent as an editor's view of the document.
    RenderOptions options = layerRenderOptions(documentLayers(doc), layers, false);
    const std::optional<LinkColouring> colouring = colourLinks(doc.network(), colours);
    if (colouring)
        options.colouring = &*colouring;
    const WorldRect extent = layerExtent(documentLayers(doc), layers);

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
        err << "Cannot render \"" << line.files[1]
            << "\": there is not enough memory for a picture of " << width << " x " << height
            << " pixels.\n";
        return kExitFileError;
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
    return savePng(image, line.files[1], err) ? kExitSuccess : kExitFileError;
}

} // namespace

CliCommand renderCommand() {
    return {
        "render",
        {"IN OUT.png [--size WxH] [--scale S --center X,Y] [--no-grid]",
         "[--no-numbers] [--tiger SOURCE] [--background] [--repeat N]",
         "[--colour-by FIELD [--classes N] [--quantiles]]"},
        "      Draw IN as a view of WxH pixels (default 800x600) shows it, at one pixel per\n"
        "      hundredth of an inch, into a PNG picture. Without --scale (logical units per mile)\n"
        "      the whole network is shown. --no-grid and --no-numbers hide the grid and the node\n"
        "      and link numbers, --tiger shows TIGER/Line data behind the network, --background\n"
        "      its background picture. --repeat N draws N times and prints the median\n"
        "      milliseconds per drawing. --colour-by fills the links by lanes, capacity, speed,\n"
        "      jam or ratio (length over drawn distance) instead of by type, with a legend:\n"
        "      one colour per value for up to 7 values, else N classes (2 to 9, default 5) of\n"
        "      equal width, or with --quantiles of equal numbers of links.\n",
        {{"--size", 1, "--size needs WIDTHxHEIGHT in pixels (1 to 20000)"},
         {"--scale", 1, "--scale needs a positive number (logical units per mile)"},
         {"--center", 1, "--center needs X,Y in miles"},
         {"--no-grid", 0, ""},
         {"--no-numbers", 0, ""},
         {"--tiger", 1, "--tiger needs a record type 1 file or street data"},
         {"--background", 0, ""},
         {"--repeat", 1, "--repeat needs a positive whole number"},
         {"--colour-by", 1, "--colour-by needs type, lanes, capacity, speed, jam or ratio"},
         {"--classes", 1, "--classes needs a whole number from 2 to 9"},
         {"--quantiles", 0, ""}},
        render};
}

} // namespace vantry
