#include "app/workzonecommands.h"

#include "app/querycommands.h"
#include "app/vantryapp.h"
#include "dialogs/dialogbuttons.h"
#include "dialogs/workzonedlg.h"
#include "document/prompter.h"
#include "document/vantrydoc.h"
#include "view/vantryview.h"

#include <algorithm>

namespace vantry {

namespace {

// While the dialog is open the map shows the run and the detours checked as its selection.
void showSelected(CVantryView& view, const std::vector<Link*>& run,
                  const std::vector<std::vector<std::int32_t>>& detours) {
    QueryCommands::Matches shown;
    shown.links = run;
    const auto& links = view.GetDocument()->network().links();
    for (const auto& detour : detours)
        for (const std::int32_t id : detour)
            if (id >= 1 && static_cast<std::size_t>(id) <= links.size())
                shown.links.push_back(links[static_cast<std::size_t>(id - 1)]);
    std::sort(shown.links.begin(), shown.links.end());
    shown.links.erase(std::unique(shown.links.begin(), shown.links.end()), shown.links.end());
    QueryCommands::selectOnly(view, shown);
}

} // namespace

WorkZoneCommands::WorkZoneCommands(CVantryApp& app, Prompter& prompter)
    : app_(app), prompter_(prompter) {
    choose_ = [this](const Network& network,
                     const std::vector<Link*>& run) -> std::optional<Choice> {
        CVantryView* view = app_.activeView();
        const QueryCommands::Matches selected{view->selection().selectedNodes(),
                                              view->selection().selectedLinks()};
        CWorkZoneDlg dialog(network, run, view);
        QObject::connect(&dialog, &CWorkZoneDlg::chosenDetoursChanged, &dialog,
                         [view, &run](const std::vector<std::vector<std::int32_t>>& detours) {
                             showSelected(*view, run, detours);
                         });
        showSelected(*view, run, dialog.chosenDetours());
        const bool accepted = execWindowModal(dialog) == QDialog::Accepted;
        QueryCommands::selectOnly(*view, selected);
        if (!accepted)
            return std::nullopt;
        return Choice{dialog.values(), dialog.chosenDetours()};
    };
}

std::optional<CommandState> WorkZoneCommands::query(int id) const {
    if (id != ID_NETWORK_WORK_ZONE)
        return std::nullopt;
    const CVantryView* view = app_.activeView();
    return CommandState{view && view->selection().linkCount() > 0, false};
}

void WorkZoneCommands::run(int id) {
    CVantryView* view = app_.activeView();
    if (id != ID_NETWORK_WORK_ZONE || !view)
        return;
    // A running drag would otherwise go on under the dialog.
    view->CancelDrag();
    std::string why;
    const auto run = headToTailRun(view->selection().selectedLinks(), &why);
    if (!run) {
        const std::string text =
            "A work zone is a run of links, each starting where the one before it ends. " + why;
        prompter_.showMessage(text, Prompter::Icon::Exclamation);
        return;
    }
    const auto choice = choose_(view->GetDocument()->network(), *run);
    if (choice)
        apply(*view->GetDocument(), *run, *choice);
}

bool WorkZoneCommands::apply(CVantryDoc& doc, const std::vector<Link*>& run, const Choice& choice) {
    // Every link whose attributes may change, so that the views redraw only around them.
    std::vector<Link*> touched = run;
    const auto& links = doc.network().links();
    for (const auto& detour : choice.detours)
        for (const std::int32_t id : detour)
            if (id >= 1 && static_cast<std::size_t>(id) <= links.size())
                touched.push_back(links[static_cast<std::size_t>(id - 1)]);
    std::sort(touched.begin(), touched.end(),
              [](const Link* a, const Link* b) { return a->id() < b->id(); });
    touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
    return doc.editObjects("Work Zone", {}, touched, [&](Network& net) {
        return markWorkZone(net, run, choice.values, choice.detours);
    });
}

} // namespace vantry
