#include "app/dockpanels.h"
#include "app/editortest.h"
#include "app/linktable.h"
#include "app/mainframe.h"
#include "app/querycommands.h"
#include "app/vantryapp.h"
#include "dialogs/expressiondlg.h"
#include "dialogs/fieldcalcdlg.h"
#include "document/vantrydoc.h"
#include "model/editing.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "support/scriptedprompter.h"
#include "support/testdir.h"
#include "support/toolkit.h"
#include "view/vantryview.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>

#include <gtest/gtest.h>

namespace vantry {

namespace {

// The editor with one document: node 1 (0,0) -> node 2 (2,0) -> node 3 (2,2), and 1 -> 3;
// lanes 1, 2 and 3.
class QueryTest : public EditorTest {
protected:
    QueryTest() {
        start();
        doc->edit("Edit", [](Network& net) {
            for (WorldPoint p : {WorldPoint{0, 0}, WorldPoint{2, 0}, WorldPoint{2, 2}})
                createNodeAt(net, p);
            const int ends[][2] = {{0, 1}, {1, 2}, {0, 2}};
            for (int i = 0; i < 3; ++i) {
                Link* l = createLink(net, net.nodes()[ends[i][0]], net.nodes()[ends[i][1]], {});
                l->setNumLanes(i + 1);
                l->setCapacity(1800);
            }
            return true;
        });
    }

    LinkTableDock& table() { return *app.mainFrame()->docks().linkTable(); }
    // The links of the table's selected rows.
    std::vector<Link*> tableLinks() {
        std::vector<Link*> out;
        for (int row : table().selectedRows())
            out.push_back(table().model().linkAt(row));
        std::sort(out.begin(), out.end(), [](Link* a, Link* b) { return a->id() < b->id(); });
        return out;
    }
};

TEST_F(QueryTest, GoToSelectsTheObjectAloneOnMapAndTableAndCentresOnIt) {
    app.route(ID_VIEW_LINK_TABLE);
    std::optional<GoToTarget> answer = GoToTarget{GoToKind::Link, 2};
    app.queries().setGoToChooser([&](const Network&) { return answer; });
    view->selection().addLink(link(1));
    view->selection().addNode(node(1));

    EXPECT_TRUE(app.mainFrame()->action(ID_EDIT_GOTO)->isEnabled());
    app.route(ID_EDIT_GOTO);
    EXPECT_EQ(view->selection().selectedLinks(), std::vector<Link*>{link(2)});
    EXPECT_TRUE(view->selection().selectedNodes().empty());
    EXPECT_EQ(tableLinks(), std::vector<Link*>{link(2)});
    EXPECT_FLOAT_EQ(view->transform().viewCenter.x, 2.0f);
    EXPECT_FLOAT_EQ(view->transform().viewCenter.y, 1.0f);

    answer = GoToTarget{GoToKind::Node, 3};
    app.route(ID_EDIT_GOTO);
    EXPECT_EQ(view->selection().selectedNodes(), std::vector<Node*>{node(3)});
    EXPECT_TRUE(view->selection().selectedLinks().empty());
    EXPECT_TRUE(tableLinks().empty());
    EXPECT_FLOAT_EQ(view->transform().viewCenter.x, 2.0f);
    EXPECT_FLOAT_EQ(view->transform().viewCenter.y, 2.0f);

    // Cancelled, and asked for what is not there: nothing changes.
    answer = std::nullopt;
    app.route(ID_EDIT_GOTO);
    EXPECT_FALSE(QueryCommands::goTo(*view, {GoToKind::Link, 4}));
    EXPECT_EQ(view->selection().selectedNodes(), std::vector<Node*>{node(3)});
    EXPECT_EQ(doc->undoName(), "Edit") << "going somewhere is no edit";
}

TEST_F(QueryTest, SelectByExpressionReplacesTheSelectionOnMapAndTable) {
    app.route(ID_VIEW_LINK_TABLE);
    QString typed = QStringLiteral("lanes >= 2");
    bool overNodes = false;
    app.queries().setLinkChooser(
        [&](const Network& network) -> std::optional<QueryCommands::Matches> {
            CExpressionDlg dialog(network);
            if (overNodes)
                child<QRadioButton>(dialog, "nodes")->click();
            child<QLineEdit>(dialog, "expression")->setText(typed);
            dialog.accept();
            if (dialog.result() != QDialog::Accepted)
                return std::nullopt;
            return QueryCommands::Matches{dialog.nodeMatches(), dialog.matches()};
        });
    view->selection().addLink(link(1));
    view->selection().addNode(node(1));
    app.route(ID_EDIT_SELECT_BY_EXPRESSION);
    EXPECT_EQ(view->selection().selectedLinks(), (std::vector<Link*>{link(2), link(3)}));
    EXPECT_TRUE(view->selection().selectedNodes().empty());
    EXPECT_EQ(tableLinks(), (std::vector<Link*>{link(2), link(3)}));

    // An expression the dialog refuses leaves the selection as it was.
    typed = QStringLiteral("lanes >= ");
    app.route(ID_EDIT_SELECT_BY_EXPRESSION);
    EXPECT_EQ(view->selection().selectedLinks(), (std::vector<Link*>{link(2), link(3)}));

    // Over nodes: the matching nodes alone become the selection, the links' is dropped.
    overNodes = true;
    typed = QStringLiteral("in = 0 or y > 1");
    app.route(ID_EDIT_SELECT_BY_EXPRESSION);
    EXPECT_EQ(view->selection().selectedNodes(), (std::vector<Node*>{node(1), node(3)}));
    EXPECT_TRUE(view->selection().selectedLinks().empty());
    EXPECT_TRUE(tableLinks().empty());
}

// The calculator's own dialog, filled in and accepted; what it refused is kept.
struct CalculatorScript {
    QString field = QStringLiteral("capacity");
    QString value;
    const char* which = "all";
    QString where;
    QString refusal;
    QueryCommands::Calculator calculator() {
        return [this](const Network& network, const std::vector<Link*>& selected)
                   -> std::optional<QueryCommands::Calculation> {
            CFieldCalcDlg dialog(network, selected);
            child<QRadioButton>(dialog, which)->setChecked(true);
            child<QLineEdit>(dialog, "where")->setText(where);
            child<QComboBox>(dialog, "field")->setCurrentText(field);
            child<QLineEdit>(dialog, "value")->setText(value);
            dialog.accept();
            refusal = dialog.problem();
            if (dialog.result() != QDialog::Accepted)
                return std::nullopt;
            return QueryCommands::Calculation{dialog.links(), dialog.attributes()};
        };
    }
};

TEST_F(QueryTest, FieldCalculatorIsOneUndoStepAndARefusalChangesNothing) {
    auto capacities = [&] {
        std::vector<int> out;
        for (const Link* l : doc->network().links())
            out.push_back(l->capacity());
        return out;
    };
    CalculatorScript script;
    app.queries().setCalculator(script.calculator());

    script.value = QStringLiteral("lanes * 1900");
    app.route(ID_EDIT_FIELD_CALCULATOR);
    EXPECT_EQ(capacities(), (std::vector<int>{1900, 3800, 5700}));
    EXPECT_EQ(doc->undoName(), "Field Calculator");
    doc->OnEditUndo();
    EXPECT_EQ(capacities(), (std::vector<int>{1800, 1800, 1800}));
    EXPECT_EQ(doc->undoName(), "Edit");

    // Link 1 alone would get a capacity of 0: the whole change is refused, naming it.
    script.value = QStringLiteral("(lanes - 1) * 1900");
    app.route(ID_EDIT_FIELD_CALCULATOR);
    EXPECT_NE(script.refusal.indexOf(QStringLiteral("link 1")), -1) << script.refusal.toStdString();
    EXPECT_EQ(capacities(), (std::vector<int>{1800, 1800, 1800}));
    EXPECT_EQ(doc->undoName(), "Edit");

    // Only the matching links, and only the selected ones.
    script.which = "matching";
    script.where = QStringLiteral("lanes > 1");
    script.field = QStringLiteral("speed");
    script.value = QStringLiteral("30 + lanes");
    const int speed1 = link(1)->ffSpeed();
    app.route(ID_EDIT_FIELD_CALCULATOR);
    EXPECT_EQ(link(1)->ffSpeed(), speed1);
    EXPECT_EQ(link(2)->ffSpeed(), 32);
    EXPECT_EQ(link(3)->ffSpeed(), 33);
    view->selectOnly(nullptr, link(1));
    script.which = "selected";
    script.field = QStringLiteral("description");
    script.value = QStringLiteral("'Ramp'");
    app.route(ID_EDIT_FIELD_CALCULATOR);
    EXPECT_EQ(link(1)->description(), "Ramp");
    EXPECT_EQ(link(2)->description(), "");

    // A wrong expression is refused where it is wrong, counted in what was typed.
    script.which = "all";
    script.field = QStringLiteral("lanes");
    script.value = QStringLiteral("lanes +");
    app.route(ID_EDIT_FIELD_CALCULATOR);
    EXPECT_TRUE(script.refusal.endsWith(QStringLiteral(" at 8"))) << script.refusal.toStdString();
}

TEST_F(QueryTest, TheTableFilterTakesAnExpressionAfterAnEqualsSignAndSaysWhatIsWrongWithIt) {
    app.route(ID_VIEW_LINK_TABLE);
    link(2)->setDescription("Main St");
    LinkTableModel& model = table().model();
    auto shown = [&] {
        std::vector<int> out;
        for (int r = 0; r < model.rowCount(); ++r)
            out.push_back(model.linkAt(r)->id());
        return out;
    };
    table().filterBox()->setText(QStringLiteral("= lanes >= 2"));
    EXPECT_EQ(shown(), (std::vector<int>{2, 3}));
    EXPECT_EQ(table().countText(), QStringLiteral("2 of 3 links"));
    EXPECT_TRUE(model.filterError().isEmpty());

    // Half typed: every row stays, and the count and the box's tip say why, at the box's column.
    table().filterBox()->setText(QStringLiteral("= lanes >="));
    EXPECT_EQ(shown(), (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(model.filterError().endsWith(QStringLiteral(" at 11")))
        << model.filterError().toStdString();
    EXPECT_EQ(table().countText(), model.filterError());
    EXPECT_EQ(table().filterBox()->toolTip(), model.filterError());

    // Without the sign the words are searched for, in any order.
    table().filterBox()->setText(QStringLiteral("st main"));
    EXPECT_EQ(shown(), (std::vector<int>{2}));
    EXPECT_TRUE(table().filterBox()->toolTip().isEmpty());
}

} // namespace

} // namespace vantry
