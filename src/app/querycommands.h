#pragma once

#include "dialogs/gotodlg.h"
#include "model/network.h"
#include "view/commands.h"

#include <functional>
#include <optional>
#include <vector>

namespace vantry {

class CVantryApp;
class CVantryView;

// Edit > Go To Link / Node, Select by Expression and Field Calculator on the active map view.
// What they select becomes the map's selection alone (and the link table's, which follows the
// map); the calculator's change is one undo step, "Field Calculator".
class QueryCommands : public CommandTarget {
public:
    // Asks which object to go to; nothing when the user cancelled.
    using GoToChooser = std::function<std::optional<GoToTarget>(const Network&)>;
    // What an expression matched: links, or nodes when it was over nodes.
    struct Matches {
        std::vector<Node*> nodes;
        std::vector<Link*> links;
    };
    // Asks for an expression; what it matches, or nothing when the user cancelled.
    using LinkChooser = std::function<std::optional<Matches>(const Network&)>;
    // The links to change and their new attributes, in the same order.
    struct Calculation {
        std::vector<Link*> links;
        std::vector<LinkAttributes> attributes;
    };
    // Asks what to calculate, given the selected links; nothing when the user cancelled.
    using Calculator =
        std::function<std::optional<Calculation>(const Network&, const std::vector<Link*>&)>;

    explicit QueryCommands(CVantryApp& app);
    // The dialogs unless other choosers are given (tests script the answers).
    void setGoToChooser(GoToChooser chooser) { chooseGoTo_ = std::move(chooser); }
    void setLinkChooser(LinkChooser chooser) { chooseLinks_ = std::move(chooser); }
    void setCalculator(Calculator calculator) { calculate_ = std::move(calculator); }

    std::optional<CommandState> query(int id) const override;

    // Selects the object alone and centres the view on it; false when the network has none of
    // that number.
    static bool goTo(CVantryView& view, const GoToTarget& target);
    // The nodes and links become the view's selection alone.
    static void selectOnly(CVantryView& view, const Matches& matches);

protected:
    void run(int id) override;

private:
    void calculate(CVantryView& view);

    CVantryApp& app_;
    GoToChooser chooseGoTo_;
    LinkChooser chooseLinks_;
    Calculator calculate_;
};

} // namespace vantry
