#pragma once

#include "view/commands.h"

#include <optional>

namespace vantry {

class CVantryView;

// The map view's commands: the tools, zooming, the layers shown, printing, and the edit
// commands on the selection. One place says when each is enabled or checked and what it does.
class ViewCommands {
public:
    explicit ViewCommands(CVantryView& view) : view_(view) {}

    std::optional<CommandState> query(int id) const;
    // Carries out a command query() answers as enabled; true when the view must be drawn
    // again afterwards.
    bool run(int id);

private:
    CVantryView& view_;
};

} // namespace vantry
