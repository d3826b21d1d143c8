#pragma once

#include "dialogs/routedlg.h"
#include "model/network.h"
#include "view/commands.h"
#include "view/routeoverlay.h"

#include <cstddef>
#include <functional>
#include <optional>

namespace vantry {

class CVantryApp;
class CVantryView;

// Network > Route... on the active map view: asks for the two nodes and what to avoid, and the
// view shows the fastest route until Escape. The dialog starts from the two selected nodes when
// exactly two are selected, else from the route the view shows (or was last asked for).
class RouteCommands : public CommandTarget {
public:
    // Asks for the route, given where to start from and how many links are selected; nothing
    // when the user cancelled.
    using Chooser = std::function<std::optional<RouteChoice>(
        const Network&, const RouteChoice& initial, std::size_t selectedLinks)>;

    explicit RouteCommands(CVantryApp& app);
    // The dialog unless another chooser is given (tests script the answers).
    void setChooser(Chooser chooser) { choose_ = std::move(chooser); }

    std::optional<CommandState> query(int id) const override;

    // What the dialog starts from on this view.
    static RouteChoice initialChoice(const CVantryView& view);
    // The request for a choice the dialog accepted (its numbers are the network's nodes).
    static RouteRequest requestFor(const CVantryView& view, const RouteChoice& choice);

protected:
    void run(int id) override;

private:
    CVantryApp& app_;
    Chooser choose_;
};

} // namespace vantry
