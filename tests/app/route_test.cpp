#include "app/editortest.h"
#include "app/mainframe.h"
#include "app/routecommands.h"
#include "app/vantryapp.h"
#include "dialogs/routedlg.h"
#include "document/vantrydoc.h"
#include "model/editing.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "support/scriptedprompter.h"
#include "support/testdir.h"
#include "support/toolkit.h"
#include "view/vantryview.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QSettings>

#include <gtest/gtest.h>

namespace vantry {

namespace {

// The editor with one document: 1 (0,0) -> 2 (1,0) -> 3 (2,0) at 50 mph, and 1 -> 3 typed
// Work Zone at 10 mph.
class RouteCommandTest : public EditorTest {
protected:
    RouteCommandTest() {
        start();
        doc->edit("Edit", [](Network& net) {
            for (float x : {0.0f, 1.0f, 2.0f})
                createNodeAt(net, {x, 0.0f});
            createLink(net, net.nodes()[0], net.nodes()[1], {});
            createLink(net, net.nodes()[1], net.nodes()[2], {});
            Link* slow = createLink(net, net.nodes()[0], net.nodes()[2], {});
            slow->setType(LinkType::Workzone);
            slow->setFFSpeed(10);
            return true;
        });
        app.routes().setChooser([this](const Network& network, const RouteChoice& initial,
                                       std::size_t selectedLinks) -> std::optional<RouteChoice> {
            offered = initial;
            CRouteDlg dialog(network, initial, selectedLinks);
            if (typedFrom)
                child<QLineEdit>(dialog, "from")->setText(*typedFrom);
            if (typedTo)
                child<QLineEdit>(dialog, "to")->setText(*typedTo);
            if (avoidSelected)
                child<QCheckBox>(dialog, "avoid selected")->setChecked(true);
            dialog.accept();
            problem = dialog.problem();
            if (dialog.result() != QDialog::Accepted)
                return std::nullopt;
            return dialog.choice();
        });
    }
    std::vector<const Link*> shown() { return view->route().links(); }

    std::optional<QString> typedFrom, typedTo;
    bool avoidSelected = false;
    RouteChoice offered;
    QString problem;
};

TEST_F(RouteCommandTest, BadNodeNumbersAreRefusedWithTheRangeAndNothingIsShown) {
    const struct {
        const char* from;
        const char* to;
        const char* says;
    } cases[] = {
        {"", "3",
         "From node: Type the number of the node the route starts at (the nodes are "
         "numbered 1 to 3)."},
        {"1", "4", "To node: There is no node 4: the nodes are numbered 1 to 3."},
        {"0", "3", "From node: There is no node 0: the nodes are numbered 1 to 3."},
        {"1", "two", "To node: \"two\" is not a node number: the nodes are numbered 1 to 3."},
        {"99999999999999999999", "3", "From node: \"99999999999999999999\" is not a node number"},
        {"2", " 2 ", "The route starts and ends at node 2: choose another To node."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from + std::string(" -> ") + c.to);
        typedFrom = QString::fromUtf8(c.from);
        typedTo = QString::fromUtf8(c.to);
        app.route(ID_NETWORK_ROUTE);
        EXPECT_TRUE(problem.startsWith(QString::fromUtf8(c.says))) << problem.toStdString();
        EXPECT_FALSE(view->route().shown());
    }
    Network empty;
    EXPECT_EQ(routeNodeProblem(empty, QStringLiteral("1"), QStringLiteral("start")),
              QStringLiteral("The network has no nodes to route between."));
}

TEST_F(RouteCommandTest, TheDialogStartsFromTwoSelectedNodesOrTheRouteShownAndAvoidsWhatIsChosen) {
    EXPECT_TRUE(app.mainFrame()->action(ID_NETWORK_ROUTE)->isEnabled());
    view->selection().addNode(node(3));
    view->selection().addNode(node(1));
    app.route(ID_NETWORK_ROUTE);
    EXPECT_EQ(offered.from, 3) << "the first selected node is where the route starts";
    EXPECT_EQ(offered.to, 1);
    EXPECT_TRUE(view->route().shown());
    EXPECT_FALSE(view->route().route()) << "no link leads back to node 1";

    // Typed 1 to 3: over node 2, faster than the slow work zone link.
    view->selection().clear();
    typedFrom = QStringLiteral("1");
    typedTo = QStringLiteral("3");
    app.route(ID_NETWORK_ROUTE);
    EXPECT_EQ(shown(), (std::vector<const Link*>{link(1), link(2)}));

    // The selected link 2 avoided: only the work zone link is left; the next dialog starts from
    // this route.
    view->selection().addLink(link(2));
    typedFrom.reset();
    typedTo.reset();
    avoidSelected = true;
    app.route(ID_NETWORK_ROUTE);
    EXPECT_EQ(offered.from, 1);
    EXPECT_EQ(offered.to, 3);
    EXPECT_EQ(shown(), std::vector<const Link*>{link(3)});

    // Work Zone avoided as well: no route, but the route's ends stay shown until Escape.
    app.routes().setChooser([](const Network&, const RouteChoice& initial, std::size_t) {
        RouteChoice choice = initial;
        choice.avoidTypes = {LinkType::Workzone};
        choice.avoidSelected = true;
        return std::optional<RouteChoice>(choice);
    });
    app.route(ID_NETWORK_ROUTE);
    EXPECT_TRUE(view->route().shown());
    EXPECT_FALSE(view->route().route());
    EXPECT_EQ(RouteCommands::initialChoice(*view).avoidTypes,
              std::vector<LinkType>{LinkType::Workzone});
    app.route(ID_VIEW_ESCAPE);
    EXPECT_FALSE(view->route().shown());
    EXPECT_EQ(doc->undoName(), "Edit") << "a route is no edit";
}

} // namespace

} // namespace vantry
