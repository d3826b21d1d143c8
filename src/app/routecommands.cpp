#include "app/routecommands.h"

#include "app/vantryapp.h"
#include "dialogs/dialogbuttons.h"
#include "view/vantryview.h"

namespace vantry {

RouteCommands::RouteCommands(CVantryApp& app) : app_(app) {
    choose_ = [this](const Network& network, const RouteChoice& initial,
                     std::size_t selectedLinks) -> std::optional<RouteChoice> {
        CRouteDlg dialog(network, initial, selectedLinks, app_.activeView());
        if (execWindowModal(dialog) != QDialog::Accepted)
            return std::nullopt;
        return dialog.choice();
    };
}

std::optional<CommandState> RouteCommands::query(int id) const {
    if (id != ID_NETWORK_ROUTE)
        return std::nullopt;
    return CommandState{app_.activeView() != nullptr, false};
}

RouteChoice RouteCommands::initialChoice(const CVantryView& view) {
    RouteChoice choice;
    const auto& request = view.route().request();
    if (request) {
        choice.from = request->from->id();
        choice.to = request->to->id();
        choice.avoidTypes = request->avoidTypes;
        choice.avoidSelected = !request->avoidLinks.empty();
    }
    const auto& nodes = view.selection().selectedNodes();
    if (nodes.size() == 2) {
        choice.from = nodes[0]->id();
        choice.to = nodes[1]->id();
    }
    return choice;
}

RouteRequest RouteCommands::requestFor(const CVantryView& view, const RouteChoice& choice) {
    const Network& network = view.GetDocument()->network();
    RouteRequest request;
    request.from = network.nodes()[static_cast<std::size_t>(choice.from - 1)];
    request.to = network.nodes()[static_cast<std::size_t>(choice.to - 1)];
    request.avoidTypes = choice.avoidTypes;
    if (choice.avoidSelected) {
        const auto& links = view.selection().selectedLinks();
        request.avoidLinks.assign(links.begin(), links.end());
    }
    return request;
}

void RouteCommands::run(int id) {
    CVantryView* view = app_.activeView();
    if (id != ID_NETWORK_ROUTE || !view)
        return;
    view->CancelDrag();
    const Network& network = view->GetDocument()->network();
    const auto choice =
        choose_(network, initialChoice(*view), view->selection().selectedLinks().size());
    if (!choice)
        return;
    // The chooser's numbers are checked here too: a scripted one answers without the dialog.
    const std::size_t count = network.nodes().size();
    const auto known = [count](int n) { return n >= 1 && static_cast<std::size_t>(n) <= count; };
    if (!known(choice->from) || !known(choice->to))
        return;
    view->showRoute(requestFor(*view, *choice));
}

} // namespace vantry
