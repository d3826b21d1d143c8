// Loading road data under a document's network: TIGER/Line record files and street data. The
// data is read into a copy beside the user interface and replaces the document's between two
// paints; it is never saved and not part of undo.
#include "document/vantrydoc.h"

#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "streets/streetreader.h"

#include <new>
#include <optional>
#include <stdexcept>

namespace vantry {

namespace {

// Reads a file pair into a copy of the data loaded so far, leaving the document's own alone, so
// that the reading can run beside the user interface while views keep drawing the old data.
// Nothing when the name does not end in "1"; problems tells which files could not be read.
std::optional<TigerData> readTigerData(const TigerData& current, const std::string& path,
                                       std::string& problems) {
    std::optional<TigerData> data;
    TigerLoadReport report;
    // Memory that runs out is a file that cannot be loaded, not the end of the program.
    try {
        data = current;
        if (!data->load(path, &problems, &report))
            return std::nullopt;
    } catch (const std::bad_alloc&) {
        problems = "Cannot load \"" + path + "\": there is not enough memory to read it.";
        return std::nullopt;
    }
    // Whatever could be read is kept; a file that could not be read is still worth knowing.
    for (const std::string* problem : {&report.type1Problem, &report.type2Problem})
        if (!problem->empty())
            problems += (problems.empty() ? "" : "\n") + *problem;
    return data;
}

// Reads a layer of street data into a copy of the data loaded so far, as readTigerData does.
// Nothing when the layer could not be read, was cancelled, or would not fit; why says which.
std::optional<TigerData> readStreetData(const TigerData& current, const std::string& path,
                                        const std::string& layer, const StreetReadOptions& options,
                                        const Prompter::TaskProgress& progress, std::string& why,
                                        std::string& warning) {
    // Memory that runs out is a file that cannot be loaded, as for record files.
    try {
        StreetRead read;
        if (!readStreetChains(path, layer, options, read, why, progress))
            return std::nullopt;
        if (read.broken > 0)
            warning = std::to_string(read.broken) + " of the " + std::to_string(read.features) +
                      " features of \"" + path +
                      "\" lie off the globe or cannot be placed on the map, and were left out.";
        TigerData data = current;
        std::string problem;
        if (!data.add(std::move(read.chains), &problem)) {
            why = "Cannot add the streets of \"" + path + "\": " + problem + ".";
            return std::nullopt;
        }
        return data;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    warning.clear();
    why = "Cannot load \"" + path + "\": there is not enough memory to read it.";
    return std::nullopt;
}

// Marks the document busy for as long as it lives, however the work ends: its windows must
// stay open while the work runs beside the user interface.
class BusyScope {
public:
    explicit BusyScope(bool& busy) : busy_(busy) { busy_ = true; }
    ~BusyScope() { busy_ = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& busy_;
};

} // namespace

void CVantryDoc::OnLoadTigerData() {
    if (!prompter_ || busy_)
        return;
    const auto path = prompter_->chooseRoadDataFile();
    if (!path)
        return;
    if (roadSourceOf(*path) == RoadSource::StreetData) {
        loadStreetsAsked(*path);
        return;
    }
    std::optional<TigerData> loaded;
    std::string problems;
    {
        const BusyScope busy(busy_);
        prompter_->runLongTask("Loading TIGER/Line data...",
                               [&] { loaded = readTigerData(tiger_, *path, problems); });
    }
    lastError_ = problems;
    if (!loaded) {
        prompter_->showMessage("Unable to Load Requested Tiger Data File", Prompter::Icon::Stop);
        return;
    }
    // Back on the interface's thread: the new data replaces the old between two paints.
    tiger_ = std::move(*loaded);
    if (!lastError_.empty())
        prompter_->showMessage(lastError_, Prompter::Icon::Exclamation);
    UpdateAllViews(nullptr, ChangeKind::StreetsLoaded);
}

bool CVantryDoc::loadTigerData(const std::string& path) {
    std::string problems;
    auto loaded = readTigerData(tiger_, path, problems);
    lastError_ = problems;
    if (!loaded)
        return false;
    tiger_ = std::move(*loaded);
    return true;
}

void CVantryDoc::loadStreetsAsked(const std::string& path) {
    std::vector<std::string> layers;
    std::string why, warning;
    const auto refuse = [&] {
        lastError_ = why;
        prompter_->showMessage("Unable to Load Requested Tiger Data File\n\n" + why,
                               Prompter::Icon::Stop);
    };
    if (!listStreetLayers(path, layers, why))
        return refuse();
    std::string layer = layers.front();
    if (layers.size() > 1) {
        const auto chosen = prompter_->chooseItem("Which layer of lines shall be loaded?", layers);
        if (!chosen)
            return;
        layer = *chosen;
    }
    StreetLoadChoice ask;
    ask.classes = roadClasses();
    const RoadDataKind* kind = roadDataKindOf(path);
    ask.askSpeedUnit = !kind || !kind->speedsCarryTheirUnit;
    const std::optional<StreetLoadChoice> choice = prompter_->chooseStreetLoad(ask);
    if (!choice)
        return;
    UserDefinedSettings& settings = SingletonPtr<UserDefinedSettings>::instance();
    settings.roadClasses.value = choice->classes.text();
    settings.commit();
    StreetReadOptions options;
    if (ask.askSpeedUnit)
        options.speedUnit = choice->speedUnit;
    options.railways = choice->classes.railways();
    std::optional<TigerData> loaded;
    bool cancelled = false;
    {
        const BusyScope busy(busy_);
        prompter_->runProgressTask("Loading street data...", [&](const Prompter::TaskProgress& p) {
            const auto progress = [&](double fraction) {
                cancelled = !p(fraction);
                return !cancelled;
            };
            loaded = readStreetData(tiger_, path, layer, options, progress, why, warning);
        });
    }
    if (!loaded) {
        if (cancelled)
            return;
        return refuse();
    }
    lastError_.clear();
    tiger_ = std::move(*loaded);
    if (!warning.empty())
        prompter_->showMessage(warning, Prompter::Icon::Exclamation);
    UpdateAllViews(nullptr, ChangeKind::StreetsLoaded);
}

bool CVantryDoc::loadStreetData(const std::string& path, const std::string& layer,
                                const StreetReadOptions& options) {
    std::string why, warning;
    auto loaded = readStreetData(tiger_, path, layer, options, {}, why, warning);
    lastError_ = why;
    lastWarning_ = warning;
    if (!loaded)
        return false;
    tiger_ = std::move(*loaded);
    return true;
}

} // namespace vantry
