#include "app/vantrycli.h"

#include "document/vantrydoc.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "view/renderer.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QString>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <ostream>

namespace {

constexpr const char* kUsage =
    "usage: vantry-cli convert IN OUT [--precision N]\n"
    "       vantry-cli info IN\n"
    "       vantry-cli render IN OUT.png [--size WxH] [--scale S --center X,Y] [--no-grid]\n"
    "                         [--no-numbers] [--repeat N]\n";

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

    CVantryDoc doc;
    if (!doc.OnOpenDocument(files[0])) {
        err << doc.lastError() << "\n";
        return 1;
    }
    if (precision)
        SingletonPtr<UserDefinedSettings>::instance().precision.value = *precision;
    if (!doc.OnSaveDocument(files[1])) {
        err << doc.lastError() << "\n";
        return 1;
    }
    return 0;
}

int info(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 2)
        return usageError(err, "info needs exactly one input file");
    CVantryDoc doc;
    if (!doc.OnOpenDocument(args[1])) {
        err << doc.lastError() << "\n";
        return 1;
    }
    const Network& net = doc.network();
    const WorldRect& b = net.bounds();
    out << "nodes " << net.nodes().size() << "\n"
        << "links " << net.links().size() << "\n"
        << "bounds " << sixDecimals(b.top) << " " << sixDecimals(b.bottom) << " "
        << sixDecimals(b.left) << " " << sixDecimals(b.right) << "\n"
        << "bitmap " << net.bitmapPath() << "\n";
    return 0;
}

// Fonts need the toolkit's application object; pictures are drawn without any window, so no
// display is needed.
std::unique_ptr<QGuiApplication> startToolkit() {
    if (QGuiApplication::instance())
        return nullptr;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Only this program's own messages belong on standard error.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    static int argc = 1;
    static char name[] = "vantry-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

int render(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> files;
    int width = 800, height = 600, repeat = 0;
    std::optional<float> scale;
    std::optional<WorldPoint> center;
    RenderOptions options;
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
            options.showGrid = false;
        } else if (a == "--no-numbers") {
            options.showNumbers = false;
        } else if (a == "--tiger" || a == "--background") {
            return usageError(err, a + " is not available in this version");
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

    const auto toolkit = startToolkit();
    CVantryDoc doc;
    if (!doc.OnOpenDocument(files[0])) {
        err << doc.lastError() << "\n";
        return 1;
    }
    const UserDefinedSettings& settings = SingletonPtr<UserDefinedSettings>::instance();
    options.backColor = settings.backColor.value;
    options.gridPixels = settings.gridPixels.value;

    // Exactly what a view of that client size shows, at one pixel per logical unit.
    ViewTransform transform;
    transform.setClientSize(width, height, 1.0);
    if (scale) {
        transform.scale = *scale;
        transform.viewCenter = center ? *center : doc.network().bounds().center();
    } else {
        transform.ShowEntireNetwork(doc.network().bounds());
    }

    std::string readout;
    QImage image = renderToImage(doc.network(), transform, options, nullptr, &readout);
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
    if (!image.save(QString::fromStdString(files[1]), "PNG")) {
        err << "Cannot save \"" << files[1] << "\": the picture could not be written.\n";
        return 1;
    }
    return 0;
}

} // namespace

int runVantryCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty())
        return usageError(err, "no command given");
    if (args[0] == "convert")
        return convert(args, err);
    if (args[0] == "info")
        return info(args, out, err);
    if (args[0] == "render")
        return render(args, out, err);
    return usageError(err, "unknown command \"" + args[0] + "\"");
}
