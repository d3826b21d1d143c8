#include "dialogs/integeredit.h"
#include "dialogs/workzonedlg.h"
#include "model/network.h"
#include "support/toolkit.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

namespace vantry {

namespace {

using Ids = std::vector<std::vector<std::int32_t>>;

// A mainline 1 -> 2 -> 3 -> 4 (links 1 to 3, three lanes of 2000) and, when asked, two ways
// around its link 2: 2 -> 5 -> 3 (links 4 and 5, about 1.414 miles) and the longer 2 -> 6 -> 3
// (links 6 and 7).
struct Corridor {
    explicit Corridor(int bypasses = 2) {
        std::string text = "KX101\n0 0\n1 0\n2 0\n3 0\n1.5 0.5\n1.5 -1\nEndNodes\n"
                           "1 2 3 2000 -1 60 190 I M Main\n2 3 3 2000 -1 60 190 I M Main\n"
                           "3 4 3 2000 -1 60 190 I M Main\n";
        if (bypasses >= 1)
            text += "2 5 1 900 -1 30 190 I M Side\n5 3 1 900 -1 30 190 I M Side\n";
        if (bypasses >= 2)
            text += "2 6 1 900 -1 30 190 I M Back\n6 3 1 900 -1 30 190 I M Back\n";
        text += "EndLinks\n\n0 0 0 0\n";
        std::string why;
        if (!network.readText(text, &why))
            throw std::runtime_error(why);
    }
    std::vector<Link*> run() const { return {network.links()[1]}; }
    Network network;
};

struct WorkZoneDialogTest : WithToolkit, ::testing::Test {
    QString at(const CWorkZoneDlg& dialog, int row, int column) {
        const QTableWidgetItem* item = child<QTableWidget>(dialog, "detours")->item(row, column);
        return item ? item->text() : QStringLiteral("(none)");
    }
    void type(CWorkZoneDlg& dialog, const char* field, const char* text) {
        child<CIntegerEdit>(dialog, field)->setText(QString::fromLatin1(text));
    }
};

TEST_F(WorkZoneDialogTest, OffersOneLaneLessAndTheSameCapacityAndListsBothDetoursChecked) {
    Corridor corridor;
    CWorkZoneDlg dialog(corridor.network, corridor.run());
    EXPECT_EQ(child<CIntegerEdit>(dialog, "openLanes")->text(), QStringLiteral("2"));
    EXPECT_EQ(child<CIntegerEdit>(dialog, "capacity")->text(), QStringLiteral("2000"));

    auto* table = child<QTableWidget>(dialog, "detours");
    ASSERT_EQ(table->rowCount(), 2);
    // Use, number, between, links, miles, minutes, extra minutes, shared with the first.
    EXPECT_EQ(at(dialog, 0, 2), QStringLiteral("2 to 3"));
    EXPECT_EQ(at(dialog, 0, 3), QStringLiteral("2"));
    EXPECT_EQ(at(dialog, 0, 4), QStringLiteral("1.414"));
    EXPECT_EQ(at(dialog, 0, 5), QStringLiteral("2.83"));
    EXPECT_EQ(at(dialog, 0, 6), QStringLiteral("+1.83")) << "against the mainline's one minute";
    EXPECT_EQ(at(dialog, 1, 4), QStringLiteral("2.236"));
    EXPECT_EQ(at(dialog, 1, 7), QStringLiteral("0"));
    EXPECT_EQ(dialog.chosenDetours(), (Ids{{4, 5}, {6, 7}}));

    // Unchecking the first leaves the second, and says so to whoever shows them.
    QSignalSpy spy(&dialog, &CWorkZoneDlg::chosenDetoursChanged);
    table->item(0, 0)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(dialog.chosenDetours(), (Ids{{6, 7}}));
    EXPECT_EQ(spy.count(), 1);

    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.values().openLanes, 2);
    EXPECT_EQ(dialog.values().capacityPerLane, 2000);

    // A one-lane link still keeps one lane open.
    corridor.network.links()[1]->setNumLanes(1);
    CWorkZoneDlg narrow(corridor.network, corridor.run());
    EXPECT_EQ(child<CIntegerEdit>(narrow, "openLanes")->text(), QStringLiteral("1"));
}

TEST_F(WorkZoneDialogTest, RefusesValuesAndNodesItCannotUseAndStaysOpenSayingWhy) {
    Corridor corridor;
    CWorkZoneDlg dialog(corridor.network, corridor.run());
    dialog.show();
    const std::pair<const char*, const char*> values[] = {
        {"0", "The open lanes must be at least 1."},
        {"", "Please enter an integer for the open lanes."},
    };
    for (const auto& [lanes, why] : values) {
        type(dialog, "openLanes", lanes);
        dialog.accept();
        EXPECT_TRUE(dialog.isVisible()) << lanes;
        EXPECT_EQ(dialog.problem(), QString::fromLatin1(why));
    }
    type(dialog, "openLanes", "1");
    type(dialog, "capacity", "0");
    dialog.accept();
    EXPECT_EQ(dialog.problem(), QStringLiteral("The capacity per open lane must be at least 1."));
    type(dialog, "capacity", "1500");

    // Nodes: both or neither, in the network, and two of them.
    const std::tuple<const char*, const char*, const char*> nodes[] = {
        {"1", "", "Give both"},
        {"1", "9", "To node 9 is not in the network: its nodes are numbered 1 to 6."},
        {"3", "3", "both node 3"},
    };
    for (const auto& [from, to, why] : nodes) {
        type(dialog, "fromNode", from);
        type(dialog, "toNode", to);
        EXPECT_FALSE(dialog.searchDetours());
        EXPECT_TRUE(dialog.problem().contains(QString::fromLatin1(why)))
            << dialog.problem().toStdString();
        dialog.accept();
        EXPECT_TRUE(dialog.isVisible());
    }

    // Enter in a node field finds the detours between the nodes and leaves the dialog open.
    type(dialog, "fromNode", "");
    type(dialog, "toNode", "");
    dialog.searchDetours();
    child<CIntegerEdit>(dialog, "fromNode")->setFocus();
    type(dialog, "fromNode", "2");
    type(dialog, "toNode", "4");
    QTest::keyClick(child<CIntegerEdit>(dialog, "toNode"), Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_FALSE(dialog.detours().empty());
    EXPECT_EQ(dialog.detours().front().route.links, (std::vector<std::int32_t>{4, 5, 3}));

    // Other nodes typed and OK pressed at once: the list is found again and shown first.
    type(dialog, "fromNode", "1");
    type(dialog, "toNode", "4");
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.problem().contains(QStringLiteral("found again")));
    ASSERT_FALSE(dialog.detours().empty());
    EXPECT_EQ(dialog.detours().front().from, 1);
    EXPECT_EQ(dialog.detours().front().route.links, (std::vector<std::int32_t>{1, 4, 5, 3}));
    dialog.accept();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.values().openLanes, 1);
    EXPECT_EQ(dialog.values().capacityPerLane, 1500);
}

TEST_F(WorkZoneDialogTest, SaysWhenThereIsNoSecondDetourOrNoneAtAll) {
    Corridor one(1);
    CWorkZoneDlg single(one.network, one.run());
    EXPECT_EQ(single.chosenDetours(), (Ids{{4, 5}}));
    EXPECT_TRUE(single.notes().contains(QStringLiteral("No second route")))
        << single.notes().toStdString();
    EXPECT_TRUE(child<QLabel>(single, "notes")->isVisibleTo(&single));

    // Without any, OK still marks the work zone alone.
    Corridor none(0);
    CWorkZoneDlg bare(none.network, none.run());
    EXPECT_EQ(child<QTableWidget>(bare, "detours")->rowCount(), 0);
    EXPECT_TRUE(bare.chosenDetours().empty());
    EXPECT_TRUE(bare.notes().startsWith(QStringLiteral("No route"))) << bare.notes().toStdString();
    bare.accept();
    EXPECT_EQ(bare.result(), QDialog::Accepted);
}

} // namespace

} // namespace vantry
