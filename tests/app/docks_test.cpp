#include "app/checkerdock.h"
#include "app/dockpanels.h"
#include "app/docktable.h"
#include "app/editortest.h"
#include "app/linktable.h"
#include "app/mainframe.h"
#include "app/vantryapp.h"
#include "dialogs/integeredit.h"
#include "dialogs/linkdlg.h"
#include "document/vantrydoc.h"
#include "model/editing.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "support/recordingview.h"
#include "support/scriptedprompter.h"
#include "support/testdir.h"
#include "support/toolkit.h"
#include "view/vantryview.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QSettings>
#include <QTest>

#include <cmath>

#include <gtest/gtest.h>

namespace vantry {

namespace {

// The editor with one document of four links, the docks hidden as on a first run.
//   node 1 (0,0) -> node 2 (1,0) -> node 3 (1,1) -> node 4 (0,1), and node 1 -> node 3.
class DocksTest : public EditorTest {
protected:
    DocksTest() {
        start();
        doc->edit("Edit", [](Network& net) {
            const WorldPoint at[] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
            for (WorldPoint p : at)
                createNodeAt(net, p);
            const int ends[][2] = {{0, 1}, {1, 2}, {2, 3}, {0, 2}};
            const int capacity[] = {1800, 1200, 1500, 900};
            const char* text[] = {"Main St", "Oak Ave", "main ramp", ""};
            for (int i = 0; i < 4; ++i) {
                Link* l = createLink(net, net.nodes()[ends[i][0]], net.nodes()[ends[i][1]], {});
                l->setCapacity(capacity[i]);
                l->setDescription(text[i]);
            }
            net.links()[3]->setLength(3.0f);
            return true;
        });
    }

    LinkTableDock& table() { return *app.mainFrame()->docks().linkTable(); }
    CheckerDock& checker() { return *app.mainFrame()->docks().checker(); }
    LinkTableModel& model() { return table().model(); }
    QString cell(int row, int column) {
        return model().data(model().index(row, column)).toString();
    }
    QStringList column(int c) {
        QStringList out;
        for (int r = 0; r < model().rowCount(); ++r)
            out << cell(r, c);
        return out;
    }
    void selectRows(const std::vector<int>& rows) {
        QItemSelection selection;
        for (int r : rows)
            selection.select(model().index(r, 0),
                             model().index(r, LinkTableModel::ColumnCount - 1));
        table().table()->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    }
    std::string lastMessage() const {
        return prompter.asked.empty() ? std::string() : prompter.asked.back().text;
    }
    std::vector<int> capacities() {
        std::vector<int> out;
        for (const Link* l : doc->network().links())
            out.push_back(l->capacity());
        return out;
    }
};

TEST_F(DocksTest, BothDocksStartHiddenAndRememberBeingShown) {
    EXPECT_TRUE(table().isHidden());
    EXPECT_TRUE(checker().isHidden());
    EXPECT_FALSE(app.mainFrame()->action(ID_VIEW_LINK_TABLE)->isChecked());

    app.route(ID_VIEW_LINK_TABLE);
    EXPECT_TRUE(table().isVisible());
    EXPECT_TRUE(app.mainFrame()->action(ID_VIEW_LINK_TABLE)->isChecked());
    app.route(ID_NETWORK_CHECK);
    EXPECT_TRUE(checker().isVisible());

    // The next run shows them again; closing one is remembered too.
    {
        ScriptedPrompter otherPrompter;
        CVantryApp next(&otherPrompter);
        next.InitInstance({});
        EXPECT_FALSE(next.mainFrame()->docks().linkTable()->isHidden());
        EXPECT_FALSE(next.mainFrame()->docks().checker()->isHidden());
        next.mainFrame()->docks().checker()->close();
    }
    ScriptedPrompter thirdPrompter;
    CVantryApp third(&thirdPrompter);
    third.InitInstance({});
    EXPECT_FALSE(third.mainFrame()->docks().linkTable()->isHidden());
    EXPECT_TRUE(third.mainFrame()->docks().checker()->isHidden());
}

TEST_F(DocksTest, RowsShowTheLinksAndSort) {
    EXPECT_EQ(model().rowCount(), 0) << "a hidden table holds nothing";
    app.route(ID_VIEW_LINK_TABLE);
    ASSERT_EQ(model().rowCount(), 4);
    EXPECT_EQ(column(LinkTableModel::Number), (QStringList{"1", "2", "3", "4"}));
    EXPECT_EQ(cell(1, LinkTableModel::From), "2");
    EXPECT_EQ(cell(1, LinkTableModel::To), "3");
    EXPECT_EQ(cell(0, LinkTableModel::Direction), "Inbound");
    EXPECT_EQ(cell(0, LinkTableModel::Type), "None");
    // Automatic lengths are grey italics; the explicit one is plain.
    EXPECT_EQ(cell(0, LinkTableModel::Length), "1.000");
    const QModelIndex automatic = model().index(0, LinkTableModel::Length);
    const QModelIndex given = model().index(3, LinkTableModel::Length);
    EXPECT_TRUE(model().data(automatic, Qt::FontRole).value<QFont>().italic());
    EXPECT_FALSE(model().data(given, Qt::FontRole).isValid());
    EXPECT_EQ(cell(3, LinkTableModel::Length), "3.000");

    table().table()->sortByColumn(LinkTableModel::Capacity, Qt::DescendingOrder);
    EXPECT_EQ(column(LinkTableModel::Number), (QStringList{"1", "3", "2", "4"}));
    table().table()->sortByColumn(LinkTableModel::Length, Qt::AscendingOrder);
    EXPECT_EQ(column(LinkTableModel::Number).back(), "4");

    table().table()->sortByColumn(LinkTableModel::Number, Qt::AscendingOrder);

    // New links show at once, in the sort order.
    doc->edit("Edit", [](Network& net) {
        return createLink(net, net.nodes()[3], net.nodes()[0], {}) != nullptr;
    });
    EXPECT_EQ(column(LinkTableModel::Number), (QStringList{"1", "2", "3", "4", "5"}));
}

TEST_F(DocksTest, EditingSelectedCellsOfAColumnIsOneUndoStep) {
    app.route(ID_VIEW_LINK_TABLE);
    selectRows({0, 2});
    const std::size_t depth = doc->undoDepth();
    RecordingView heard;
    doc->addView(&heard);
    const auto unhear = qScopeGuard([&] { doc->removeView(&heard); });
    // Typed into the cell's editor, as the user does.
    DockTable* view = table().table();
    view->selectionModel()->setCurrentIndex(model().index(2, LinkTableModel::Capacity),
                                            QItemSelectionModel::NoUpdate);
    view->edit(model().index(2, LinkTableModel::Capacity));
    auto* editor = view->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText("1650");
    QTest::keyClick(editor, Qt::Key_Return);
    // The delegate commits a moment after the key.
    QApplication::processEvents();
    EXPECT_EQ(capacities(), (std::vector<int>{1650, 1200, 1650, 900}));
    EXPECT_EQ(doc->undoDepth(), depth + 1);
    EXPECT_EQ(doc->undoName(), "Edit Links");
    EXPECT_TRUE(doc->IsModified());
    // An editor closed on the text it opened with changes nothing, not even the other rows.
    selectRows({0, 1});
    view->edit(model().index(1, LinkTableModel::Capacity));
    editor = view->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(capacities(), (std::vector<int>{1650, 1200, 1650, 900}));
    EXPECT_EQ(doc->undoDepth(), depth + 1);

    // Direction and type by name or code, blank leaves each link as it was.
    model().setColumnText({0, 1, 2, 3}, LinkTableModel::Type, "wz");
    heard.clear();
    model().setColumnText({1}, LinkTableModel::Direction, "Outbound");
    model().setColumnText({0, 1, 2, 3}, LinkTableModel::Lanes, "  ");
    EXPECT_EQ(link(4)->type(), LinkType::Workzone);
    EXPECT_EQ(link(2)->direction(), LinkDirection::Outbound);
    EXPECT_EQ(link(1)->direction(), LinkDirection::Inbound);
    EXPECT_EQ(doc->undoDepth(), depth + 3);
    EXPECT_EQ(doc->undoName(), "Edit Link");
    // Views redraw only around link 2, from (1,0) to (1,1); the blank lanes told them nothing.
    ASSERT_EQ(heard.hints, (std::vector<ChangeKind>{ChangeKind::AreaChanged}));
    ASSERT_TRUE(heard.areas[0]);
    const WorldRect area = *heard.areas[0];
    EXPECT_EQ((std::vector<float>{area.left, area.right, area.bottom, area.top}),
              (std::vector<float>{1, 1, 0, 1}));

    for (int step = 0; step < 3; ++step)
        doc->OnEditUndo();
    EXPECT_EQ(capacities(), (std::vector<int>{1800, 1200, 1500, 900}));
}

TEST_F(DocksTest, AValueTheDialogRefusesIsRefusedWithTheDialogsMessage) {
    app.route(ID_VIEW_LINK_TABLE);
    // What the dialog says for the same text, the same field.
    auto dialogSays = [&](const char* field, const QString& text) {
        CLinkDlg dlg({link(1)}, prompter);
        if (auto* number = dlg.findChild<CIntegerEdit*>(field))
            number->setText(text);
        else
            dlg.findChild<QLineEdit*>(field)->setText(text);
        dlg.accept();
        return lastMessage();
    };
    const std::size_t depth = doc->undoDepth();
    const std::string tooBig = dialogSays("numLanes", "99999999999");
    EXPECT_EQ(tooBig, "Please enter an integer for Number of Lanes.");
    prompter.asked.clear();
    EXPECT_FALSE(model().setColumnText({0, 1}, LinkTableModel::Lanes, "99999999999"));
    EXPECT_EQ(lastMessage(), tooBig);

    const std::string noLength = dialogSays("length", "abc");
    prompter.asked.clear();
    EXPECT_FALSE(model().setColumnText({0}, LinkTableModel::Length, "abc"));
    EXPECT_EQ(lastMessage(), noLength);
    EXPECT_EQ(prompter.asked.back().icon, Prompter::Icon::Exclamation);
    EXPECT_EQ(doc->undoDepth(), depth);
    EXPECT_TRUE(link(1)->hasAutomaticLength());

    // A length left as shown keeps an automatic length; "1.5 mi" is 1.5 as in the dialog.
    EXPECT_TRUE(model().setColumnText({0}, LinkTableModel::Length, "1.000"));
    EXPECT_TRUE(link(1)->hasAutomaticLength());
    EXPECT_EQ(doc->undoDepth(), depth);
    EXPECT_TRUE(model().setColumnText({0}, LinkTableModel::Length, "1.5 mi"));
    EXPECT_EQ(link(1)->effectiveLength(), 1.5f);

    // Typed into a cell, the refused text comes back in the cell's editor to be corrected.
    DockTable* view = table().table();
    const QModelIndex lanes = model().index(1, LinkTableModel::Lanes);
    view->edit(lanes);
    auto* editor = view->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText("two");
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(lastMessage(), "Please enter an integer for Number of Lanes.");
    editor = view->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(editor->text(), "two");
    EXPECT_EQ(editor->selectedText(), "two");
    editor->setText("3");
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(link(2)->numLanes(), 3);
}

TEST_F(DocksTest, CopiedRowsPasteBackExactlyAndABadValueRefusesThePasteWhole) {
    app.route(ID_VIEW_LINK_TABLE);
    doc->edit("Edit", [](Network& net) {
        // Code page 1252 bytes must come back as they were.
        net.links()[1]->setDescription("Caf\xE9 corner");
        return true;
    });
    selectRows({0, 1, 3});
    table().table()->setFocus();
    QTest::keyClick(table().table(), Qt::Key_C, Qt::ControlModifier);
    const QString copied = QApplication::clipboard()->text();
    const QStringList lines = copied.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], "Link\tFrom\tTo\tLanes\tCapacity\tLength\tFree-flow Speed\tJam "
                        "Density\tDirection\tType\tDescription");
    // An automatic length goes as "auto"; the typed one as its value.
    EXPECT_EQ(lines[2], QString::fromUtf8("2\t2\t3\t2\t1200\tauto\t50\t190\tInbound\tNone\tCaf"
                                          "\xC3\xA9 corner"));
    EXPECT_TRUE(lines[3].startsWith("4\t1\t3\t2\t900\t3.000\t"));
    const std::string before = doc->network().toText();

    // Link 2's description is left alone, so the paste finds its text unchanged and keeps its
    // bytes.
    model().setColumnText({0, 1, 3}, LinkTableModel::Capacity, "1");
    model().setColumnText({0, 3}, LinkTableModel::Description, "x");
    model().setColumnText({1, 3}, LinkTableModel::Length, "7");
    QTest::keyClick(table().table(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(doc->network().toText(), before);
    EXPECT_TRUE(link(1)->hasAutomaticLength());

    // Without a header the columns are the table's; one line goes to every selected row.
    const std::size_t depth = doc->undoDepth();
    EXPECT_TRUE(model().pasteTsv({0, 1}, "9\t9\t9\t3\t2000\r\n"));
    EXPECT_EQ(capacities(), (std::vector<int>{2000, 2000, 1500, 900}));
    EXPECT_EQ(link(2)->numLanes(), 3);
    EXPECT_EQ(link(2)->toNode()->id(), 3) << "number, from and to are not changed";
    EXPECT_EQ(doc->undoDepth(), depth + 1);
    EXPECT_EQ(doc->undoName(), "Paste Links");

    struct Refused {
        const char* text;
        std::vector<int> rows;
        std::string message;
    };
    const Refused refused[] = {
        {"Capacity\tLength\n100\t1\n200\tfar\n",
         {0, 1},
         "Row 2 (link 2), column Length: Please enter a number of miles for Length."},
        {"Type\tFree-flow Speed\nR\t55\nBus\t55\n",
         {2, 3},
         "Row 2 (link 4), column Type: Please enter Mainline, Workzone, Detour1, Detour2, Ramp "
         "or None for Type."},
        {"1\t2\t3\tmany\n",
         {0},
         "Row 1 (link 1), column Lanes: Please enter an integer for "
         "Number of Lanes."},
        {"Capacity\n1\n2\n3\n",
         {0, 1},
         "The clipboard holds 3 rows of values, but 2 rows are "
         "selected."},
        {"Capacity\n1\n2\n", {0}, "The clipboard holds 2 rows of values, but 1 row is selected."},
        // A header the table does not know is named, not pasted as values.
        {"Speeed\n55\n",
         {0},
         "The table has no column \"Speeed\". Name the columns as the table "
         "does, or as lanes, capacity, length, speed, jam density, direction, type or "
         "description."},
        {"Lanes\tVelocity\tCap\n2\t55\t1800\n",
         {0, 1},
         "The table has no column \"Velocity\". "
         "Name the columns as the table does, or as lanes, capacity, length, speed, jam density, "
         "direction, type or description."},
        {"Capacity\tcapacity\n1\t2\n",
         {0},
         "The column Capacity is named twice in the first "
         "line."},
        {"Capacity\n5\n", {}, "Select the rows of the links to paste onto."},
    };
    const std::string kept = doc->network().toText();
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.text);
        EXPECT_FALSE(model().pasteTsv(r.rows, QString::fromLatin1(r.text)));
        EXPECT_EQ(lastMessage(), r.message);
        EXPECT_EQ(doc->network().toText(), kept);
    }
    // Quoted cells, as spreadsheets write a cell holding a tab or a quote; copied the same way.
    EXPECT_TRUE(model().pasteTsv({2}, "Description\n\"say \"\"hi\"\"\tnow\"\n"));
    EXPECT_EQ(link(3)->description(), "say \"hi\"\tnow");
    EXPECT_TRUE(model().rowsAsTsv({2}).endsWith("\t\"say \"\"hi\"\"\tnow\"\n"));
}

TEST_F(DocksTest, PastedRowsKeepAutomaticLengthsAutomatic) {
    app.route(ID_VIEW_LINK_TABLE);
    // "auto" typed makes a length automatic: link 4 runs from (0,0) to (1,1).
    EXPECT_TRUE(model().setColumnText({3}, LinkTableModel::Length, "Auto"));
    ASSERT_TRUE(link(4)->hasAutomaticLength());
    EXPECT_EQ(cell(3, LinkTableModel::Length), "1.414");
    model().setColumnText({1}, LinkTableModel::Length, "0.65");

    auto copyPaste = [&](int from, int onto) {
        selectRows({from});
        ASSERT_TRUE(table().copyRows());
        selectRows({onto});
        ASSERT_TRUE(table().pasteRows());
    };
    // Link 1's automatic 1.000 onto link 4: link 4 stays the distance between its own nodes.
    copyPaste(0, 3);
    EXPECT_TRUE(link(4)->hasAutomaticLength());
    EXPECT_FLOAT_EQ(link(4)->effectiveLength(), std::sqrt(2.0f));
    EXPECT_EQ(link(4)->capacity(), 1800) << "the other values are pasted";
    // A typed length is pasted as typed, and an automatic one makes a typed length automatic.
    copyPaste(1, 2);
    EXPECT_FALSE(link(3)->hasAutomaticLength());
    EXPECT_FLOAT_EQ(link(3)->effectiveLength(), 0.65f);
    copyPaste(0, 2);
    EXPECT_TRUE(link(3)->hasAutomaticLength());
    EXPECT_FLOAT_EQ(link(3)->effectiveLength(), 1.0f);
    // Onto several rows at once, the same.
    selectRows({0});
    table().copyRows();
    selectRows({1, 2, 3});
    table().pasteRows();
    for (int id : {2, 3, 4})
        EXPECT_TRUE(link(id)->hasAutomaticLength()) << id;
}

TEST_F(DocksTest, APasteThatChangesNothingSaysWhyAndShortNamesAreKnown) {
    app.route(ID_VIEW_LINK_TABLE);
    // The usual short names, in any case, in any order.
    EXPECT_TRUE(model().pasteTsv({0, 1}, "speed\tLANES\tJam density\tDir\n45\t3\t210\tO\n"));
    for (int id : {1, 2}) {
        EXPECT_EQ(link(id)->ffSpeed(), 45);
        EXPECT_EQ(link(id)->numLanes(), 3);
        EXPECT_EQ(link(id)->jamDensity(), 210);
        EXPECT_EQ(link(id)->direction(), LinkDirection::Outbound);
    }
    const std::size_t depth = doc->undoDepth();
    struct Unchanged {
        const char* text;
        std::vector<int> rows;
        int startColumn;
        std::string message;
    };
    const Unchanged unchanged[] = {
        {"Speed\tlanes\n45\t3\n",
         {0, 1},
         0,
         "Nothing was pasted. The selected links already have these values."},
        {"Capacity\n1800\n",
         {0},
         0,
         "Nothing was pasted. The selected link already has these values."},
        {"Link\tFrom\tTo\n7\t8\t9\n",
         {0},
         0,
         "Nothing was pasted. Link, From and To cannot be changed from the table."},
        {"3\t1500\n",
         {0},
         LinkTableModel::Number,
         "Nothing was pasted. Without a first line naming their columns, the values went to Link "
         "and From, which cannot be changed from the table. Name the columns in a first line "
         "(Lanes, Capacity, ...), or select a cell of the column the first value belongs to "
         "before pasting."},
        {"Lanes\tCapacity\n \t \n",
         {0},
         0,
         "Nothing was pasted. The clipboard holds only empty cells."},
    };
    for (const Unchanged& u : unchanged) {
        SCOPED_TRACE(u.text);
        prompter.asked.clear();
        EXPECT_FALSE(model().pasteTsv(u.rows, QString::fromLatin1(u.text), u.startColumn));
        EXPECT_EQ(lastMessage(), u.message);
        EXPECT_EQ(prompter.asked.back().icon, Prompter::Icon::Information);
    }
    EXPECT_EQ(doc->undoDepth(), depth);

    // Headerless values go to the columns from the current cell's on, as a spreadsheet pastes.
    QApplication::clipboard()->setText("4\t1500\n");
    selectRows({2});
    table().table()->selectionModel()->setCurrentIndex(model().index(2, LinkTableModel::Lanes),
                                                       QItemSelectionModel::NoUpdate);
    table().table()->setFocus();
    QTest::keyClick(table().table(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(link(3)->numLanes(), 4);
    EXPECT_EQ(link(3)->capacity(), 1500);
    prompter.asked.clear();
    EXPECT_FALSE(model().pasteTsv({2}, "1\t2\t3\n", LinkTableModel::Type));
    EXPECT_EQ(lastMessage(), "Row 1 has 3 values, but the table has only 2 columns from Type on.");
}

TEST_F(DocksTest, TheFilterMatchesWordsInAnyOrderAndNumbersInTheTextAndCountsTheRows) {
    doc->edit("Edit", [](Network& net) {
        net.links()[1]->setDescription("I-80 EB");
        net.links()[3]->setDescription("I-180 ramp");
        return true;
    });
    app.route(ID_VIEW_LINK_TABLE);
    EXPECT_EQ(table().countText(), "4 links");
    struct Case {
        const char* filter;
        QStringList links;
    };
    const Case cases[] = {
        {"st main", {"1"}},     {"  MAIN   st ", {"1"}}, {"main", {"1", "3"}},
        {"80", {"2"}}, // a number standing alone in the text, not inside 180
        {"180 ramp", {"4"}},    {"ramp 3", {"3", "4"}}, // link 3, and link 4 to node 3
        {"3", {"2", "3", "4"}},                         // link 3 and the links at node 3
        {"st oak", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter);
        table().filterBox()->setText(c.filter);
        EXPECT_EQ(column(LinkTableModel::Number), c.links);
        EXPECT_EQ(table().countText(), QStringLiteral("%1 of 4 links").arg(c.links.size()));
    }
    table().filterBox()->clear();
    EXPECT_EQ(table().countText(), "4 links");
}

TEST_F(DocksTest, EditCommandsActOnTheTableThatHasTheFocus) {
    CMainFrame* frame = app.mainFrame();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    app.route(ID_VIEW_LINK_TABLE);
    // On the map, Copy copies map objects and Paste waits for a network.
    QApplication::clipboard()->setText("Capacity\n1234\n");
    app.activeView()->setFocus();
    selectRows({0, 1});
    app.updateCommandStates();
    EXPECT_FALSE(frame->action(ID_EDIT_PASTE)->isEnabled());
    // In the table they are the table's, and Cut is nothing.
    table().table()->setFocus();
    EXPECT_TRUE(frame->action(ID_EDIT_PASTE)->isEnabled());
    EXPECT_FALSE(frame->action(ID_EDIT_CUT)->isEnabled());
    frame->action(ID_EDIT_PASTE)->trigger();
    EXPECT_EQ(capacities(), (std::vector<int>{1234, 1234, 1500, 900}));
    frame->action(ID_EDIT_COPY)->trigger();
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith("Link\tFrom\tTo\t"));

    // Del deletes the selected rows' links, one undo step, as Edit > Delete does.
    const std::size_t depth = doc->undoDepth();
    selectRows({1, 3});
    QTest::keyClick(table().table(), Qt::Key_Delete);
    EXPECT_EQ(column(LinkTableModel::Description), (QStringList{"Main St", "main ramp"}));
    EXPECT_EQ(doc->undoDepth(), depth + 1);
    // Not while a cell is being edited: there the key is the editor's.
    selectRows({0});
    table().table()->edit(model().index(0, LinkTableModel::Direction));
    auto* box = table().table()->viewport()->findChild<QComboBox*>();
    ASSERT_NE(box, nullptr);
    QTest::keyClick(box, Qt::Key_Delete);
    EXPECT_EQ(doc->network().links().size(), 2u);
    QTest::keyClick(box, Qt::Key_Escape);

    // In the findings, Del deletes the finding's link.
    doc->edit("Edit", [](Network& net) {
        return createLink(net, net.nodes()[3], net.nodes()[3], {}) != nullptr;
    });
    app.route(ID_NETWORK_CHECK);
    DockTable* findings = checker().table();
    ASSERT_EQ(checker().findings().data(checker().findings().index(0, 2)).toString(), "link 3");
    findings->selectRow(0);
    findings->setFocus();
    EXPECT_FALSE(frame->action(ID_EDIT_PASTE)->isEnabled());
    frame->action(ID_EDIT_COPY)->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(),
              "error self-link: link 3: starts and ends at node 4\n");
    const int found = checker().findings().rowCount();
    QTest::keyClick(findings, Qt::Key_Delete);
    EXPECT_EQ(doc->network().links().size(), 2u);
    EXPECT_EQ(checker().findings().rowCount(), found - 1);
    EXPECT_NE(checker().findings().findings().front().rule, std::string("self-link"));
}

TEST_F(DocksTest, ColumnsStartWideEnoughForTheirTitlesAndTheCheckerForItsMessages) {
    app.mainFrame()->show();
    app.route(ID_VIEW_LINK_TABLE);
    app.route(ID_NETWORK_CHECK);
    QApplication::processEvents();
    DockTable* view = table().table();
    QFont bold = view->horizontalHeader()->font();
    bold.setBold(true);
    int widest = 0;
    for (int c = 0; c < LinkTableModel::ColumnCount; ++c) {
        const QString title = LinkTableModel::columnTitle(c);
        EXPECT_GT(view->columnWidth(c), QFontMetrics(bold).horizontalAdvance(title) + 16)
            << title.toStdString();
        if (c != LinkTableModel::Description)
            widest = std::max(widest, view->columnWidth(c));
    }
    EXPECT_GT(view->columnWidth(LinkTableModel::Description), widest);

    DockTable* findings = checker().table();
    const int message =
        findings->fontMetrics().horizontalAdvance("links leave node 1 but none reach it");
    EXPECT_GT(findings->columnWidth(FindingsModel::MessageColumn), message);
}

TEST_F(DocksTest, SelectionIsSharedWithTheMapBothWays) {
    app.route(ID_VIEW_LINK_TABLE);
    CVantryView* view = app.activeView();
    table().table()->sortByColumn(LinkTableModel::Capacity, Qt::AscendingOrder);
    // Rows by capacity: link 4, 2, 3, 1.
    selectRows({0, 2});
    EXPECT_EQ(view->selection().selectedLinks(), (std::vector<Link*>{link(4), link(3)}));

    view->selectOnly(nullptr, link(2));
    view->rerender();
    EXPECT_EQ(table().selectedRows(), (std::vector<int>{1}));

    // Arrow keys move in the table; they do not move the selected objects on the map.
    table().table()->setFocus();
    const WorldPoint was = link(2)->fromNode()->position();
    QTest::keyClick(table().table(), Qt::Key_Down);
    EXPECT_EQ(link(2)->fromNode()->position(), was);

    // A double click shows the link in the middle of the view.
    view->transform().CenterOn({40, 40});
    table().showInView(0);
    EXPECT_EQ(view->selection().selectedLinks(), (std::vector<Link*>{link(4)}));
    EXPECT_FLOAT_EQ(view->transform().viewCenter.x, 0.5f);
    EXPECT_FLOAT_EQ(view->transform().viewCenter.y, 0.5f);

    // After Undo every object is new: the map drops its selection and so does the table.
    doc->OnEditUndo();
    EXPECT_TRUE(table().selectedRows().empty());
    EXPECT_EQ(model().rowCount(), 0);
}

TEST_F(DocksTest, ASecondWindowsSelectionIsReadOnlyAfterItLetGoOfRemovedLinks) {
    app.route(ID_VIEW_LINK_TABLE);
    CVantryView* second = app.OnWindowNew();
    ASSERT_EQ(app.activeView(), second);
    selectRows({1, 2});
    ASSERT_EQ(second->selection().linkCount(), 2u);
    // Removed by another window: the table must not look at them (the sanitizer build would
    // see it) and ends up without them.
    doc->edit("Edit", [](Network& net) {
        net.removeLinks({net.links()[1], net.links()[2]});
        return true;
    });
    EXPECT_EQ(model().rowCount(), 2);
    EXPECT_TRUE(table().selectedRows().empty());
    EXPECT_EQ(second->selection().linkCount(), 0u);
}

TEST_F(DocksTest, TheCheckerListsFindingsShowsThemAndFollowsEdits) {
    doc->edit("Edit", [](Network& net) {
        createNodeAt(net, {5, 5});
        createLink(net, net.nodes()[1], net.nodes()[1], {});
        return true;
    });
    app.route(ID_NETWORK_CHECK);
    const FindingsModel& found = checker().findings();
    ASSERT_EQ(found.rowCount(), 4);
    auto row = [&](int r) {
        QStringList cells;
        for (int c = 0; c < FindingsModel::ColumnCount; ++c)
            cells << found.data(found.index(r, c)).toString();
        return cells.join('|');
    };
    EXPECT_EQ(row(0), "error|self-link|link 5|starts and ends at node 2");
    EXPECT_EQ(row(1), "warning|isolated-node|node 5|is on no link");
    EXPECT_EQ(row(2), "warning|dead-end|node 1|links leave node 1 but none reach it");
    EXPECT_EQ(row(3), "warning|dead-end|node 4|links end at node 4 but none leave it");
    EXPECT_EQ(checker().summary(), "1 error, 3 warnings");

    CVantryView* view = app.activeView();
    checker().showInView(1);
    EXPECT_EQ(view->selection().selectedNodes(), (std::vector<Node*>{doc->network().nodes()[4]}));
    EXPECT_TRUE(view->selection().selectedLinks().empty());
    EXPECT_FLOAT_EQ(view->transform().viewCenter.x, 5.0f);

    doc->edit("Edit", [](Network& net) {
        net.removeLink(net.links()[4]);
        return true;
    });
    EXPECT_EQ(found.rowCount(), 3);
    doc->OnEditUndo();
    EXPECT_EQ(found.rowCount(), 4);
}

} // namespace

} // namespace vantry
