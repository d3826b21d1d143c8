#include "app/querycommands.h"

#include "app/vantryapp.h"
#include "dialogs/dialogbuttons.h"
#include "dialogs/expressiondlg.h"
#include "dialogs/fieldcalcdlg.h"
#include "view/vantryview.h"

namespace vantry {

namespace {

// After the view's selection changed behind its back: drawn again, and the link table, which
// takes the map's selection when the view says it may have changed, follows.
void selectionChanged(CVantryView& view) {
    view.rerender();
    emit view.commandStateChanged();
}

} // namespace

QueryCommands::QueryCommands(CVantryApp& app) : app_(app) {
    chooseGoTo_ = [this](const Network& network) -> std::optional<GoToTarget> {
        CGoToDlg dialog(network, app_.activeView());
        if (execWindowModal(dialog) != QDialog::Accepted)
            return std::nullopt;
        return dialog.target();
    };
    chooseLinks_ = [this](const Network& network) -> std::optional<Matches> {
        CExpressionDlg dialog(network, app_.activeView());
        if (execWindowModal(dialog) != QDialog::Accepted)
            return std::nullopt;
        return Matches{dialog.nodeMatches(), dialog.matches()};
    };
    calculate_ = [this](const Network& network,
                        const std::vector<Link*>& selected) -> std::optional<Calculation> {
        CFieldCalcDlg dialog(network, selected, app_.activeView());
        if (execWindowModal(dialog) != QDialog::Accepted)
            return std::nullopt;
        return Calculation{dialog.links(), dialog.attributes()};
    };
}

std::optional<CommandState> QueryCommands::query(int id) const {
    switch (id) {
    case ID_EDIT_GOTO:
    case ID_EDIT_SELECT_BY_EXPRESSION:
    case ID_EDIT_FIELD_CALCULATOR:
        return CommandState{app_.activeView() != nullptr, false};
    default:
        return std::nullopt;
    }
}

void QueryCommands::run(int id) {
    CVantryView* view = app_.activeView();
    if (!view)
        return;
    // A running drag would otherwise go on with objects the selection no longer holds.
    view->CancelDrag();
    const Network& network = view->GetDocument()->network();
    switch (id) {
    case ID_EDIT_GOTO:
        if (const auto target = chooseGoTo_(network))
            goTo(*view, *target);
        break;
    case ID_EDIT_SELECT_BY_EXPRESSION:
        if (const auto matches = chooseLinks_(network))
            selectOnly(*view, *matches);
        break;
    case ID_EDIT_FIELD_CALCULATOR:
        calculate(*view);
        break;
    default:
        break;
    }
}

bool QueryCommands::goTo(CVantryView& view, const GoToTarget& target) {
    const Network& network = view.GetDocument()->network();
    if (!missingObjectReason(network, target).isEmpty())
        return false;
    const auto index = static_cast<std::size_t>(target.number - 1);
    Node* node = nullptr;
    Link* link = nullptr;
    WorldPoint centre{0, 0};
    if (target.kind == GoToKind::Node) {
        node = network.nodes()[index];
        centre = node->position();
    } else {
        link = network.links()[index];
        if (link->fromNode() && link->toNode()) {
            const WorldPoint a = link->fromNode()->position(), b = link->toNode()->position();
            centre = {(a.x + b.x) / 2, (a.y + b.y) / 2};
        }
    }
    view.selectOnly(node, link);
    view.setClicked(node, link);
    view.transform().CenterOn(centre);
    selectionChanged(view);
    return true;
}

void QueryCommands::selectOnly(CVantryView& view, const Matches& matches) {
    Selection& selection = view.selection();
    selection.clear();
    selection.reserve(matches.nodes.size(), matches.links.size());
    for (Node* node : matches.nodes)
        selection.addNode(node);
    for (Link* link : matches.links)
        selection.addLink(link);
    view.setClicked(matches.nodes.empty() ? nullptr : matches.nodes.back(),
                    matches.links.empty() ? nullptr : matches.links.back());
    selectionChanged(view);
}

void QueryCommands::calculate(CVantryView& view) {
    const auto calculation =
        calculate_(view.GetDocument()->network(), view.selection().selectedLinks());
    if (!calculation)
        return;
    view.GetDocument()->editObjects("Field Calculator", {}, calculation->links, [&](Network&) {
        return applyCalculatedAttributes(calculation->links, calculation->attributes);
    });
}

} // namespace vantry
