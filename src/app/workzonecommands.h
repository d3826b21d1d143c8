#pragma once

#include "model/network.h"
#include "route/workzone.h"
#include "view/commands.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace vantry {

class CVantryApp;
class CVantryDoc;
class Prompter;

// Network > Work Zone on the active map view: the selected links, one run head to tail, become
// Work Zone with the lanes and capacity the user gives, and the detours the user keeps become
// Detour 1 and Detour 2, all in one undo step, "Work Zone".
class WorkZoneCommands : public CommandTarget {
public:
    // What the user chose for a run: its values and the detours' links (by id), in order.
    struct Choice {
        WorkZoneValues values;
        std::vector<std::vector<std::int32_t>> detours;
    };
    // Asks about the run (ordered head to tail); nothing when the user cancelled.
    using Chooser = std::function<std::optional<Choice>(const Network&, const std::vector<Link*>&)>;

    WorkZoneCommands(CVantryApp& app, Prompter& prompter);
    // The dialog unless another chooser is given (tests script the answers).
    void setChooser(Chooser chooser) { choose_ = std::move(chooser); }

    std::optional<CommandState> query(int id) const override;

    // Marks the run and the detours in the document as one undo step; true when anything changed.
    static bool apply(CVantryDoc& doc, const std::vector<Link*>& run, const Choice& choice);

protected:
    void run(int id) override;

private:
    CVantryApp& app_;
    Prompter& prompter_;
    Chooser choose_;
};

} // namespace vantry
