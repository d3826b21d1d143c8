#include "dialogs/expressiondlg.h"
#include "dialogs/gotodlg.h"
#include "model/network.h"
#include "support/toolkit.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QRadioButton>

namespace vantry {

namespace {

// Three nodes in a row and two links between them.
struct SmallNetwork {
    SmallNetwork() {
        for (float x : {0.0f, 1.0f, 2.0f})
            network.addNode(new Node({x, 0}));
        for (int i = 0; i < 2; ++i) {
            auto* link = new Link;
            link->setFromNode(network.nodes()[static_cast<std::size_t>(i)]);
            link->setToNode(network.nodes()[static_cast<std::size_t>(i + 1)]);
            network.addLink(link);
        }
    }
    Network network;
};

TEST(GoToText, ReadsTheKindByAnyStartOfItsWordAndABareNumberAsTheChoiceSays) {
    using K = GoToKind;
    const std::pair<const char*, std::optional<GoToTarget>> cases[] = {
        {"link 12", GoToTarget{K::Link, 12}},
        {"Node 5", GoToTarget{K::Node, 5}},
        {"n5", GoToTarget{K::Node, 5}},
        {"  l #7 ", GoToTarget{K::Link, 7}},
        {"3", GoToTarget{K::Node, 3}},
        {"lane 3", std::nullopt},
        {"node", std::nullopt},
        {"node -2", std::nullopt},
        {"1.5", std::nullopt},
        {"", std::nullopt},
        {"link 1234567890", std::nullopt}};
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(parseGoToText(QString::fromUtf8(text), K::Node), expected);
    }
}

TEST(GoToDialog, RefusesANumberTheNetworkLacksAndStaysOpenSayingHowObjectsAreNumbered) {
    toolkit();
    SmallNetwork net;
    CGoToDlg dialog(net.network);
    dialog.show();
    auto* what = child<QLineEdit>(dialog, "what");

    what->setText(QStringLiteral("link 3"));
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.problem(),
              QStringLiteral("There is no link 3: the links are numbered 1 to 2."));
    EXPECT_EQ(what->selectedText(), QStringLiteral("link 3")) << "ready to be typed over";

    what->setText(QStringLiteral("zero"));
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.problem().startsWith(QStringLiteral("Type a link or node number")));

    // A bare 3 is a node once Node is chosen, and this network has three.
    what->setText(QStringLiteral("3"));
    child<QRadioButton>(dialog, "node")->setChecked(true);
    dialog.accept();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.target(), (GoToTarget{GoToKind::Node, 3}));

    Network empty;
    EXPECT_EQ(missingObjectReason(empty, {GoToKind::Node, 1}),
              QStringLiteral("There is no node 1: the network has no nodes."));
}

TEST(ExpressionDialog, CountsTheMatchesAsTheExpressionIsTypedAndRefusesOneInError) {
    toolkit();
    SmallNetwork net;
    net.network.links()[1]->setNumLanes(3);
    CExpressionDlg dialog(net.network);
    dialog.show();
    auto* box = child<QLineEdit>(dialog, "expression");

    box->setText(QStringLiteral("lanes = 3"));
    EXPECT_EQ(dialog.verdict(), QStringLiteral("1 of 2 links matches."));
    box->setText(QStringLiteral("lanes < 9"));
    EXPECT_EQ(dialog.verdict(), QStringLiteral("2 of 2 links match."));

    // Wrong: the verdict names the column, OK keeps the dialog open with the cursor there.
    box->setText(QStringLiteral("lanes = 3 and"));
    EXPECT_TRUE(dialog.verdict().endsWith(QStringLiteral(" at 14")))
        << dialog.verdict().toStdString();
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(box->cursorPosition(), 13);

    box->setText(QStringLiteral("lanes = 3"));
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.matches(), std::vector<Link*>{net.network.links()[1]});
    EXPECT_TRUE(dialog.nodeMatches().empty());
}

TEST(ExpressionDialog, NodesChoiceCountsNodesAndRefusesLinkFields) {
    toolkit();
    SmallNetwork net;
    CExpressionDlg dialog(net.network);
    dialog.show();
    auto* box = child<QLineEdit>(dialog, "expression");
    auto* links = child<QRadioButton>(dialog, "links");
    auto* nodes = child<QRadioButton>(dialog, "nodes");
    EXPECT_TRUE(links->isChecked());
    EXPECT_NE(links->text().indexOf(QLatin1Char('&')), -1);
    EXPECT_NE(links->shortcut(), nodes->shortcut()) << "each choice has its own access key";

    // The verdict follows the choice without retyping.
    box->setText(QStringLiteral("id >= 2"));
    EXPECT_EQ(dialog.verdict(), QStringLiteral("1 of 2 links matches."));
    nodes->click();
    EXPECT_TRUE(dialog.choosesNodes());
    EXPECT_EQ(dialog.verdict(), QStringLiteral("2 of 3 nodes match."));

    box->setText(QStringLiteral("id = 1 and lanes = 1"));
    EXPECT_TRUE(dialog.verdict().endsWith(QStringLiteral(" at 12")))
        << dialog.verdict().toStdString();
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());

    box->setText(QStringLiteral("id = 1"));
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.nodeMatches(), std::vector<Node*>{net.network.nodes()[0]});
    EXPECT_TRUE(dialog.matches().empty());
}

} // namespace

} // namespace vantry
