#include "app/exchangecommands.h"

#include "app/mainframe.h"
#include "app/vantryapp.h"
#include "dialogs/dialogbuttons.h"
#include "dialogs/importmappingdlg.h"
#include "document/vantrydoc.h"
#include "exchange/networkexport.h"
#include "view/vantryview.h"

#include <QStatusBar>

#include <algorithm>
#include <filesystem>

namespace vantry {

namespace {

// More remarks than this would make a box taller than the screen; the rest are counted.
constexpr std::size_t kShownWarnings = 25;

std::string quoted(const std::string& path) {
    return "\"" + path + "\"";
}

// A failure that is sure to name the file it is about.
std::string failureNaming(const std::string& why, const char* verb, const std::string& path) {
    if (why.find(path) != std::string::npos)
        return why;
    return std::string(verb) + " " + quoted(path) + ": " + why + ".";
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string counted(std::size_t n, const char* what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

// Runs one exchange with the progress dialog; `cancelled` says whether the user stopped it.
template <class Work>
bool withProgress(Prompter& prompter, const std::string& label, bool& cancelled, Work work) {
    bool ok = false;
    cancelled = false;
    prompter.runProgressTask(label, [&](const Prompter::TaskProgress& progress) {
        ok = work([&](double fraction) {
            if (!progress(fraction))
                cancelled = true;
            return !cancelled;
        });
    });
    return ok;
}

} // namespace

ExchangeCommands::ExchangeCommands(CVantryApp& app, Prompter& prompter)
    : app_(app), prompter_(prompter), chooseMapping_([&app](const ImportSource& source) {
          CImportMappingDlg dialog(source, app.mainFrame());
          return execWindowModal(dialog) == QDialog::Accepted
                     ? std::optional<ImportChoices>(dialog.choices())
                     : std::nullopt;
      }) {}

std::optional<CommandState> ExchangeCommands::query(int id) const {
    if (id == ID_FILE_EXPORT)
        return CommandState{app_.activeView() != nullptr, false};
    if (id == ID_FILE_IMPORT)
        return CommandState{true, false};
    return std::nullopt;
}

void ExchangeCommands::run(int id) {
    if (id == ID_FILE_IMPORT)
        importFile();
    else if (CVantryView* view = app_.activeView())
        exportDocument(*view->GetDocument());
}

std::string ExchangeCommands::exportFilter() {
    std::string filter;
    std::string gmns;
    for (const ExchangeFormatInfo& f : exchangeFormats()) {
        const std::string label = f.label;
        if (*f.extension)
            filter += label + " (*" + f.extension + ")|*" + f.extension + "|";
        else
            gmns = label + " folder, a name without extension (*)|*|";
    }
    return filter + gmns + "|";
}

std::string ExchangeCommands::importFilter() {
    return "GIS and GMNS files (*.gpkg;*.geojson;*.json;*.shp;*.fgb;*.csv)"
           "|*.gpkg;*.geojson;*.json;*.shp;*.fgb;*.csv"
           "|GMNS folder (link.csv;node.csv;config.csv)|link.csv;node.csv;config.csv"
           "|All Files (*.*)|*.*||";
}

std::string ExchangeCommands::importSourcePath(const std::string& chosen) {
    const std::filesystem::path path(chosen);
    const std::string name = lowerCase(path.filename().string());
    if (name == "node.csv" || name == "config.csv")
        return path.parent_path().string();
    return chosen;
}

void ExchangeCommands::exportDocument(CVantryDoc& doc) {
    std::filesystem::path proposed = doc.GetPathName().empty()
                                         ? std::filesystem::path(doc.GetTitle())
                                         : std::filesystem::path(doc.GetPathName());
    proposed.replace_extension(".gpkg");
    const auto path = prompter_.chooseExportPath(proposed.string(), exportFilter());
    if (!path)
        return;
    const auto format = exchangeFormatOfPath(*path);
    if (!format) {
        prompter_.showMessage("Cannot export to " + quoted(*path) +
                                  ": no format is known by its extension.",
                              Prompter::Icon::Stop);
        return;
    }
    ExportResult result;
    std::string why;
    bool cancelled = false;
    const bool ok = withProgress(
        prompter_, "Exporting " + std::filesystem::path(*path).filename().string() + "...",
        cancelled, [&](const ExchangeProgress& progress) {
            return exportNetwork(doc.network(), *path, *format, result, why, progress);
        });
    QStatusBar* status = app_.mainFrame()->statusBar();
    if (!ok) {
        if (cancelled)
            status->showMessage(QStringLiteral("Export cancelled: nothing was written."));
        else
            prompter_.showMessage(failureNaming(why, "Cannot export to", *path),
                                  Prompter::Icon::Stop);
        return;
    }
    status->showMessage(QString::fromStdString("Exported " + counted(result.links, "link") +
                                               " and " + counted(result.nodes, "node") + " to " +
                                               *path + "."));
}

void ExchangeCommands::importFile() {
    const auto chosen = prompter_.chooseOpenPath(importFilter());
    if (!chosen)
        return;
    const std::string path = importSourcePath(*chosen);
    ImportSource source;
    std::string why;
    if (!inspectImport(path, source, why)) {
        prompter_.showMessage(failureNaming(why, "Cannot import", path), Prompter::Icon::Stop);
        return;
    }
    const auto choices = chooseMapping_(source);
    if (!choices)
        return;
    Network network;
    ImportResult result;
    bool cancelled = false;
    const bool ok = withProgress(
        prompter_, "Importing " + std::filesystem::path(path).filename().string() + "...",
        cancelled, [&](const ExchangeProgress& progress) {
            return importNetwork(source, *choices, network, result, why, progress);
        });
    if (!ok) {
        if (cancelled)
            app_.mainFrame()->statusBar()->showMessage(
                QStringLiteral("Import cancelled: no network was made."));
        else
            prompter_.showMessage(failureNaming(why, "Cannot import", path), Prompter::Icon::Stop);
        return;
    }
    CVantryDoc* doc = app_.newDocumentWith(network);
    if (!doc)
        return;
    app_.mainFrame()->statusBar()->showMessage(
        QString::fromStdString("Imported " + counted(result.links, "link") + " and " +
                               counted(result.nodes, "node") + " from " + path + "."));
    if (result.warnings.empty())
        return;
    // All remarks in one box, as an open that could read only part of a workbook shows them.
    std::string text = "Not all of " + quoted(path) + " was read as it stands:";
    for (std::size_t i = 0; i < result.warnings.size() && i < kShownWarnings; ++i)
        text += "\n" + result.warnings[i];
    if (result.warnings.size() > kShownWarnings)
        text +=
            "\n... and " + counted(result.warnings.size() - kShownWarnings, "more remark") + ".";
    prompter_.showMessage(text, Prompter::Icon::Exclamation);
}

} // namespace vantry
