#include "app/aboutdlg.h"
#include "app/childframe.h"
#include "app/commandtable.h"
#include "app/editortest.h"
#include "app/framestate.h"
#include "app/mainframe.h"
#include "app/recoverycontroller.h"
#include "app/vantryapp.h"
#include "dialogs/dialogbuttons.h"
#include "dialogs/help.h"
#include "document/recovery.h"
#include "document/vantrydoc.h"
#include "excel/cellvalue.h"
#include "excel/workbookfile.h"
#include "model/snapshot.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "support/scriptedprompter.h"
#include "support/solidbmp.h"
#include "support/testdir.h"
#include "support/toolkit.h"
#include "view/vantryview.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include <functional>
#include <map>
#include <thread>

#include <gtest/gtest.h>

namespace vantry {

namespace {

// Lets closed windows go, as the event loop would.
void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

const std::string kSample = std::string(VANTRY_EXAMPLES) + "/corridor-work-zone.txt";
const std::string kEmptyNetwork = "KX101\nEndNodes\nEndLinks\n\n0 0 0 0\n";

// The application with scripted answers, its settings and recent files in a private folder.
class AppTest : public EditorTest {
protected:
    AppTest() {}

    QStringList menuTexts() const {
        QStringList titles;
        for (QAction* a : app.mainFrame()->menuBar()->actions())
            titles << a->text();
        return titles;
    }
    bool enabled(int id) const { return app.mainFrame()->action(id)->isEnabled(); }
    // As the window system shows it.
    QString title() const { return shownTitle(*app.mainFrame()); }
    void edit() {
        app.activeView()->GetDocument()->edit("Edit", [](Network& net) {
            createNodeAt(net, {0.5f, 0.5f});
            return true;
        });
    }
};

TEST_F(AppTest, StartsWithAnEmptyNetworkAndWithoutADocumentKeepsOnlyTheApplicationsCommands) {
    ASSERT_TRUE(app.InitInstance({}));
    ASSERT_EQ(app.documents().size(), 1u);
    EXPECT_EQ(title(), "NetQuill - Network1");
    EXPECT_EQ(menuTexts(),
              (QStringList{"&File", "&Edit", "&View", "&Network", "&Window", "&Help"}));
    EXPECT_EQ(app.mainFrame()->idleText(), "For Help, press F1");
    EXPECT_EQ(app.mainFrame()->viewPaneText(), "Grid: 1 miles");
    app.route(ID_FILE_NEW);
    EXPECT_EQ(title(), "NetQuill - Network2");

    for (int i = 0; i < 2; ++i) {
        app.route(ID_FILE_CLOSE);
        settle();
    }
    ASSERT_TRUE(app.documents().empty());
    EXPECT_EQ(menuTexts(), (QStringList{"&File", "&View", "&Network", "&Help"}));
    EXPECT_EQ(title(), "NetQuill");
    for (int id : {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_IMPORT, ID_APP_EXIT, ID_PREFERENCES,
                   ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, ID_HELP_FINDER, ID_APP_ABOUT})
        EXPECT_TRUE(enabled(id)) << id;
    for (int id : {ID_FILE_SAVE, ID_FILE_CLOSE, ID_FILE_EXPORT, ID_NETWORK_GEOREFERENCE,
                   ID_EDIT_UNDO, ID_VIEW_ZOOM_IN_CENTER, ID_FILE_PRINT, ID_WINDOW_CASCADE})
        EXPECT_FALSE(enabled(id)) << id;
}

TEST_F(AppTest, CommandsAreEnabledByWhoCanHandleThemNow) {
    ASSERT_TRUE(app.InitInstance({}));
    for (int id :
         {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_SAVE_AS, ID_FILE_CLOSE, ID_FILE_PRINT,
          ID_FILE_PRINT_PREVIEW, ID_VIEW_ZOOM_IN_CENTER, ID_VIEW_SHOW_ENTIRE_NETWORK, ID_WINDOW_NEW,
          ID_HELP_FINDER, ID_APP_ABOUT, ID_TOOL_NODE, ID_TOOL_LINK, ID_EDIT_COPY_IMAGE})
        EXPECT_TRUE(enabled(id)) << id;
    EXPECT_TRUE(app.mainFrame()->action(ID_TOOL_SELECT)->isChecked());
    for (int id : {ID_EDIT_UNDO, ID_EDIT_REDO, ID_TOOL_AUTO_POPULATE, ID_EDIT_CLEAR,
                   ID_EDIT_PROPERTIES, ID_VIEW_BITMAP, ID_VIEW_TIGER})
        EXPECT_FALSE(enabled(id)) << id;
    EXPECT_TRUE(app.mainFrame()->action(ID_VIEW_GRID)->isChecked());

    edit();
    EXPECT_TRUE(enabled(ID_EDIT_UNDO));
    app.route(ID_EDIT_UNDO);
    EXPECT_FALSE(enabled(ID_EDIT_UNDO));
    EXPECT_TRUE(enabled(ID_EDIT_REDO));

    app.route(ID_VIEW_GRID);
    EXPECT_FALSE(app.mainFrame()->action(ID_VIEW_GRID)->isChecked());
    EXPECT_EQ(app.mainFrame()->viewPaneText(), "");
}

// A key a menu item names must do what the item does: typed, it reaches a window that answers
// that command (Help Topics names F1, which opens the guide at its index from anywhere).
TEST_F(AppTest, EveryKeyAMenuNamesIsBoundAndAnswered) {
    ASSERT_TRUE(app.InitInstance({}));
    std::map<QKeySequence, int> bound;
    for (const auto& [id, action] : app.mainFrame()->actions())
        for (const QKeySequence& key : action->shortcuts())
            bound.emplace(key, id);
    for (const CommandInfo& c : commandTable()) {
        SCOPED_TRACE(c.menuText);
        QAction* action = app.mainFrame()->action(c.id);
        ASSERT_NE(action, nullptr);
        if (*c.keys) {
            EXPECT_TRUE(app.queryRouted(c.id)) << "a key for a command nobody answers";
        }
        if (!*c.keyHint)
            continue;
        const auto it = bound.find(QKeySequence(QString::fromLatin1(c.keyHint)));
        ASSERT_NE(it, bound.end()) << "named in the menu but bound to nothing: " << c.keyHint;
        EXPECT_TRUE(it->second == c.id || (c.id == ID_HELP_FINDER && it->second == ID_HELP))
            << c.keyHint << " does another command";
        EXPECT_TRUE(action->text().endsWith(QLatin1Char('\t') + QString::fromLatin1(c.keyHint)));
    }
}

// The access key of a menu text: the character after a single '&', or none.
QChar accessKey(const QString& text) {
    for (int i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&')
            continue;
        if (text[i + 1] != '&')
            return text[i + 1].toLower();
        ++i;
    }
    return {};
}

TEST_F(AppTest, EveryMenuHasDifferentAccessKeysAndEveryKeyOneCommand) {
    const std::string odd = dir.file("a&b.txt");
    spit(odd, kEmptyNetwork);
    ASSERT_TRUE(app.InitInstance({QString::fromStdString(odd)}));
    for (int i = 0; i < 10; ++i)
        app.route(ID_FILE_NEW);
    app.route(ID_FILE_CLOSE);
    settle();
    const auto checkBar = [&](const char* bar) {
        std::map<QChar, QString> titles;
        for (QAction* m : app.mainFrame()->menuBar()->actions()) {
            const QChar key = accessKey(m->text());
            ASSERT_FALSE(key.isNull()) << bar << " " << m->text().toStdString();
            EXPECT_TRUE(titles.emplace(key, m->text()).second)
                << bar << ": " << m->text().toStdString() << " and " << titles[key].toStdString();
            QMenu* menu = m->menu();
            emit menu->aboutToShow();
            std::map<QChar, QString> items;
            for (QAction* a : menu->actions()) {
                if (a->isSeparator() || !a->isVisible())
                    continue;
                const QChar item = accessKey(a->text());
                EXPECT_FALSE(item.isNull())
                    << m->text().toStdString() << " " << a->text().toStdString();
                if (item.isNull())
                    continue;
                EXPECT_TRUE(items.emplace(item, a->text()).second)
                    << m->text().toStdString() << ": " << a->text().toStdString() << " and "
                    << items[item].toStdString();
            }
        }
    };
    checkBar("with documents");
    ASSERT_TRUE(app.closeAllDocuments());
    settle();
    ASSERT_EQ(menuTexts(), (QStringList{"&File", "&View", "&Network", "&Help"}));
    checkBar("without");

    std::map<QString, int> owners;
    for (const auto& [id, action] : app.mainFrame()->actions())
        for (const QKeySequence& key : action->shortcuts())
            EXPECT_TRUE(owners.emplace(key.toString(), id).second)
                << key.toString().toStdString() << ": " << id << " and " << owners[key.toString()];
}

// The menu that is open now, or null.
QMenu* openMenu() {
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

TEST_F(AppTest, MenusOpenAndMoveFromTheKeyboard) {
    ASSERT_TRUE(app.InitInstance({}));
    CMainFrame* frame = app.mainFrame();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));

    QTest::keyClick(frame, Qt::Key_F, Qt::AltModifier);
    ASSERT_TRUE(openMenu());
    EXPECT_EQ(openMenu()->title(), "&File");
    QTest::keyClick(openMenu(), Qt::Key_Right);
    ASSERT_TRUE(openMenu());
    EXPECT_EQ(openMenu()->title(), "&Edit");
    QTest::keyClick(openMenu(), Qt::Key_Escape);
    QTest::keyClick(frame, Qt::Key_Escape);

    // A command without a key of its own, through the menus' access keys: New Window.
    QTest::keyClick(frame, Qt::Key_W, Qt::AltModifier);
    ASSERT_TRUE(openMenu());
    EXPECT_EQ(openMenu()->title(), "&Window");
    QTest::keyClick(openMenu(), Qt::Key_N);
    settle();
    EXPECT_FALSE(openMenu());
    EXPECT_EQ(frame->mdiArea()->subWindowList().size(), 2);
}

TEST_F(AppTest, TheWindowMenuListsTheWindowsToSwitchBetween) {
    const std::string odd = dir.file("a&b.txt");
    spit(odd, kEmptyNetwork);
    ASSERT_TRUE(app.InitInstance({}));
    ASSERT_TRUE(app.OpenDocumentFile(odd));
    app.OnWindowNew();
    QMenu* window = nullptr;
    for (QAction* a : app.mainFrame()->menuBar()->actions())
        if (a->text() == "&Window")
            window = a->menu();
    ASSERT_TRUE(window);

    const auto listed = [window] {
        emit window->aboutToShow();
        QStringList items;
        for (QAction* a : window->actions())
            if (a->text().startsWith('&') && a->text()[1].isDigit())
                items << a->text() + (a->isChecked() ? "*" : "");
        return items;
    };
    EXPECT_EQ(listed(), (QStringList{"&1 Network1", "&2 a&&b.txt:1", "&3 a&&b.txt:2*"}));
    for (QAction* a : window->actions())
        if (a->text().startsWith("&1"))
            a->trigger();
    EXPECT_EQ(app.activeView()->GetDocument()->GetTitle(), "Network1");
    EXPECT_EQ(listed(), (QStringList{"&1 Network1*", "&2 a&&b.txt:1", "&3 a&&b.txt:2"}));

    for (int i = 0; i < 8; ++i)
        app.route(ID_FILE_NEW);
    EXPECT_EQ(listed().size(), 9) << "of eleven";
    EXPECT_EQ(window->actions().back()->text(), "&More Windows...");
}

TEST_F(AppTest, EveryFileOnTheCommandLineOpensInItsOwnWindowOrSaysWhyNot) {
    const CommandLine line =
        parseCommandLine({"vantry", QString::fromStdString(kSample), "second.txt"});
    EXPECT_EQ(line.action, CommandLine::Action::Run);
    EXPECT_EQ(line.files, (QStringList{QString::fromStdString(kSample), "second.txt"}));
    EXPECT_EQ(parseCommandLine({"vantry", "--help"}).action, CommandLine::Action::Help);
    EXPECT_TRUE(parseCommandLine({"vantry", "-h"}).text.contains("[FILE...]"));
    EXPECT_EQ(parseCommandLine({"vantry", "--version"}).action, CommandLine::Action::Version);
    const CommandLine wrong = parseCommandLine({"vantry", "--frobnicate"});
    EXPECT_EQ(wrong.action, CommandLine::Action::Error);
    EXPECT_TRUE(wrong.text.contains("frobnicate")) << wrong.text.toStdString();

    const std::string second = dir.file("second.txt");
    const QString missing = QString::fromStdString(dir.file("missing.txt"));
    spit(second, kEmptyNetwork);
    ASSERT_TRUE(app.InitInstance(
        {QString::fromStdString(kSample), QString::fromStdString(second), missing}));
    ASSERT_EQ(app.documents().size(), 2u);
    EXPECT_EQ(app.documents().front()->network().links().size(), 40u);
    EXPECT_EQ(app.mainFrame()->mdiArea()->subWindowList().size(), 2);
    EXPECT_EQ(title(), "NetQuill - second.txt");
    EXPECT_EQ(app.recentFiles(), (std::vector<std::string>{second, kSample}));
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_NE(prompter.asked[0].text.find("missing.txt"), std::string::npos);

    // With nothing it could open, the program does not start.
    ScriptedPrompter other;
    CVantryApp failing(&other);
    EXPECT_FALSE(failing.InitInstance({missing}));
    ASSERT_EQ(other.asked.size(), 1u);
    EXPECT_NE(other.asked[0].text.find("missing.txt"), std::string::npos);
}

TEST_F(AppTest, AWindowOpenedWhileOneIsMaximisedOpensMaximisedInFront) {
    ASSERT_TRUE(app.InitInstance({}));
    CChildFrame* first = app.activeFrame();
    first->showMaximized();
    settle();
    EXPECT_EQ(title(), "NetQuill - [Network1]");
    ASSERT_TRUE(app.OpenDocumentFile(kSample));
    settle();
    QMdiArea* area = app.mainFrame()->mdiArea();
    CChildFrame* opened = app.activeFrame();
    ASSERT_NE(opened, first);
    EXPECT_TRUE(opened->isMaximized());
    EXPECT_EQ(opened->geometry(), area->viewport()->rect());
    EXPECT_EQ(area->subWindowList(QMdiArea::StackingOrder).back(), opened) << "in front";
    EXPECT_EQ(title(), "NetQuill - [corridor-work-zone.txt]");

    app.activeFrame()->showNormal();
    settle();
    EXPECT_EQ(title(), "NetQuill - corridor-work-zone.txt");
    app.route(ID_FILE_NEW);
    settle();
    EXPECT_FALSE(app.activeFrame()->isMaximized()) << "as the window before it";
    EXPECT_EQ(area->subWindowList(QMdiArea::StackingOrder).back(), app.activeFrame());
}

TEST_F(AppTest, CascadedAndNewWindowsAreLargeAndWithinTheArea) {
    ASSERT_TRUE(app.InitInstance({}));
    QMdiArea* area = app.mainFrame()->mdiArea();
    for (int i = 0; i < 11; ++i)
        app.route(ID_FILE_NEW);
    settle();
    const QRect inside = area->viewport()->rect();
    const auto check = [&](const char* when) {
        for (QMdiSubWindow* w : area->subWindowList()) {
            EXPECT_TRUE(inside.contains(w->geometry())) << when << ": " << w->geometry().x();
            EXPECT_GE(w->width(), inside.width() * 3 / 4) << when;
            EXPECT_GE(w->height(), inside.height() * 3 / 4) << when;
        }
    };
    check("new");
    area->subWindowList().front()->showMaximized();
    app.route(ID_WINDOW_CASCADE);
    settle();
    check("cascaded");
    EXPECT_NE(area->subWindowList()[0]->pos(), area->subWindowList()[1]->pos()) << "in steps";

    // A small area still gives windows a size to work in, within it.
    EXPECT_EQ(cascadeGeometry(QSize(300, 200), 5, 20), QRect(0, 0, 300, 200));
    EXPECT_EQ(cascadeGeometry(QSize(1000, 500), 2, 25), QRect(50, 50, 800, 400));
    EXPECT_EQ(cascadeGeometry(QSize(1000, 500), 5, 25), QRect(0, 0, 800, 400)) << "starts over";
}

TEST_F(AppTest, PasteFollowsTheClipboardAndAboutShowsTheVersion) {
    ASSERT_TRUE(app.InitInstance({}));
    QGuiApplication::clipboard()->clear();
    settle();
    EXPECT_FALSE(enabled(ID_EDIT_PASTE));
    // Another program copies a network.
    auto* data = new QMimeData;
    data->setData(QStringLiteral("application/x-qt-windows-mime;value=\"KXNetwork\""),
                  "KX101\n0 0\n1 1\nEndNodes\n1 2 2 1400 1.000 50 190 I M \nEndLinks\n");
    QGuiApplication::clipboard()->setMimeData(data);
    settle();
    EXPECT_TRUE(enabled(ID_EDIT_PASTE));

    CAboutDlg about;
    const auto* version = about.findChild<QLabel*>("version");
    ASSERT_TRUE(version);
    EXPECT_EQ(version->text(), QStringLiteral("Version " VANTRY_VERSION));
}

TEST_F(AppTest, FileFailuresShowTheErrorIconAndDecliningAWorkbookSaysNothingMore) {
    ASSERT_TRUE(app.InitInstance({}));
    EXPECT_FALSE(app.OpenDocumentFile(dir.file("missing.txt")));
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.asked[0].icon, Prompter::Icon::Stop);

    const std::string workbook = dir.file("other.xls");
    edit();
    prompter.paths.push_back(workbook);
    app.route(ID_FILE_SAVE_AS);
    ASSERT_TRUE(app.closeAllDocuments());
    settle();
    {
        WorkbookFile excel;
        excel.open(workbook);
        excel.selectSheet("Sheet1");
        excel.setCell(0, 0, CellValue::text("not a network"));
        excel.save();
    }
    prompter.asked.clear();
    prompter.yesNo.push_back(false);
    EXPECT_FALSE(app.OpenDocumentFile(workbook));
    ASSERT_EQ(prompter.asked.size(), 1u) << prompter.asked.back().text;
    EXPECT_EQ(prompter.asked[0].kind, "yesno");
    EXPECT_EQ(prompter.asked[0].icon, Prompter::Icon::Question);
}

TEST_F(AppTest, AFileNamedRelativelyIsSavedWhereItWasFoundAfterOtherFilesAreOpened) {
    std::filesystem::create_directories(dir.file("a"));
    std::filesystem::create_directories(dir.file("b"));
    const std::string network = "KX101\n0 0\nEndNodes\nEndLinks\n\n0 0 0 0\n";
    spit(dir.file("a/net.txt"), network);
    spit(dir.file("b/net.txt"), network);
    spit(dir.file("b/other.txt"), network);
    const auto here = std::filesystem::current_path();
    std::filesystem::current_path(dir.file("a"));
    const bool started = app.InitInstance({QStringLiteral("net.txt")});
    prompter.paths.push_back(dir.file("b/other.txt"));
    app.route(ID_FILE_OPEN);
    const std::filesystem::path folderAfterOpen = std::filesystem::current_path();
    std::filesystem::current_path(here);
    ASSERT_TRUE(started);
    ASSERT_EQ(app.documents().size(), 2u);
    EXPECT_EQ(folderAfterOpen, dir.path() / "a") << "opening a file leaves the folder alone";

    app.closeDocument(app.documents().back().get());
    settle();
    std::filesystem::current_path(dir.file("b"));
    edit();
    app.route(ID_FILE_SAVE);
    std::filesystem::current_path(here);
    EXPECT_NE(slurp(dir.file("a/net.txt")), network);
    EXPECT_EQ(slurp(dir.file("b/net.txt")), network);
    EXPECT_EQ(app.recentFiles(),
              (std::vector<std::string>{dir.file("a/net.txt"), dir.file("b/other.txt")}));
}

TEST_F(AppTest, OpeningAnOpenFileAgainActivatesItsWindow) {
    ASSERT_TRUE(app.InitInstance({QString::fromStdString(kSample)}));
    app.route(ID_FILE_NEW);
    EXPECT_EQ(app.OpenDocumentFile(kSample), app.documents().front().get());
    EXPECT_EQ(app.documents().size(), 2u);
    EXPECT_EQ(app.activeView()->GetDocument(), app.documents().front().get());
}

TEST_F(AppTest, SaveAsProposesAWorkbookNamedAfterTheTitle) {
    ASSERT_TRUE(app.InitInstance({}));
    prompter.paths.push_back(std::nullopt);
    app.route(ID_FILE_SAVE_AS);
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.asked[0].kind, "save");
    EXPECT_EQ(prompter.asked[0].text.substr(0, 13), "Network1.xls|");

    edit();
    prompter.paths.push_back(dir.file("saved.txt"));
    app.route(ID_FILE_SAVE);
    EXPECT_EQ(title(), "NetQuill - saved.txt");
    EXPECT_EQ(app.recentFiles().front(), dir.file("saved.txt"));
}

TEST_F(AppTest, ClosingAModifiedDocumentAsksFirst) {
    ASSERT_TRUE(app.InitInstance({}));
    app.OnWindowNew();
    edit();
    // Closing one of two windows of a document does not ask.
    app.activeFrame()->close();
    settle();
    EXPECT_TRUE(prompter.asked.empty());
    ASSERT_EQ(app.documents().size(), 1u);

    prompter.yesNoCancel.push_back(Prompter::Answer::Cancel);
    app.route(ID_FILE_CLOSE);
    settle();
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.asked[0].text, "Save changes to Network1?");
    EXPECT_EQ(app.documents().size(), 1u);

    prompter.yesNoCancel.push_back(Prompter::Answer::No);
    EXPECT_TRUE(app.closeAllDocuments());
    settle();
    EXPECT_TRUE(app.documents().empty());
}

TEST_F(AppTest, WindowsOfOneDocumentStayInStepAndTheirTitlesShowAStar) {
    ASSERT_TRUE(app.InitInstance({QString::fromStdString(kSample)}));
    CVantryView* first = app.activeView();
    CVantryView* second = app.OnWindowNew();
    second->transform() = first->transform();
    second->resize(first->size());
    second->OnUpdate(nullptr, ChangeKind::Redraw);
    edit();
    EXPECT_EQ(first->offscreen(), second->offscreen());
    QStringList titles;
    for (QMdiSubWindow* w : app.mainFrame()->mdiArea()->subWindowList(QMdiArea::CreationOrder))
        titles << shownTitle(*w);
    EXPECT_EQ(titles, (QStringList{"corridor-work-zone.txt:1*", "corridor-work-zone.txt:2*"}));
    EXPECT_EQ(title(), "NetQuill - corridor-work-zone.txt:2*");

    first->selection().addNode(first->GetDocument()->network().nodes().front());
    app.route(ID_EDIT_UNDO);
    EXPECT_TRUE(first->selection().empty()) << "objects were replaced";
    EXPECT_EQ(title(), "NetQuill - corridor-work-zone.txt:2");
}

TEST_F(AppTest, CutAndPasteCarryObjectsBetweenDocuments) {
    ASSERT_TRUE(app.InitInstance({QString::fromStdString(kSample)}));
    CVantryView* source = app.activeView();
    Network& from = source->GetDocument()->network();
    source->selection().addLink(from.links()[3]);
    app.route(ID_EDIT_CUT);
    EXPECT_EQ(from.links().size(), 39u);
    ASSERT_TRUE(enabled(ID_EDIT_PASTE));

    app.route(ID_FILE_NEW);
    CVantryView* target = app.activeView();
    app.route(ID_EDIT_PASTE);
    const Network& to = target->GetDocument()->network();
    ASSERT_EQ(to.nodes().size(), 2u);
    ASSERT_EQ(to.links().size(), 1u);
    EXPECT_EQ(to.links()[0]->type(), LinkType::Workzone);
    EXPECT_EQ(target->selection().nodeCount() + target->selection().linkCount(), 3u);
    // The Edit menu says what Undo and Redo would do.
    QAction* undo = app.mainFrame()->action(ID_EDIT_UNDO);
    QAction* redo = app.mainFrame()->action(ID_EDIT_REDO);
    EXPECT_EQ(undo->text(), "&Undo Paste\tCtrl+Z");
    EXPECT_EQ(source->GetDocument()->undoName(), "Cut");
    app.route(ID_EDIT_UNDO);
    EXPECT_TRUE(to.nodes().empty());
    EXPECT_EQ(undo->text(), "&Undo\tCtrl+Z");
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_EQ(redo->text().section('\t', 0, 0), "&Redo Paste");
}

TEST_F(AppTest, AWindowOnANetworkWithAPictureShowsAndFitsThePicture) {
    std::filesystem::create_directories(dir.file("maps"));
    spit(dir.file("maps/area.bmp"), solidBmp(400, 150, 1, 2, 3));
    spit(dir.file("net.txt"), "KX101\n0 0\n2 1\nEndNodes\nEndLinks\nmaps\\area.bmp\n"
                              "1.25 -0.5 -0.25 3.5\n");
    ASSERT_TRUE(app.InitInstance({QString::fromStdString(dir.file("net.txt"))}));
    CVantryView* view = app.activeView();
    EXPECT_TRUE(view->showBitmap);
    EXPECT_TRUE(app.mainFrame()->action(ID_VIEW_BITMAP)->isChecked());
    const WorldRect visible = view->transform().visibleWorld();
    EXPECT_LE(std::min(visible.left, visible.right), -0.5f);
    EXPECT_GE(std::max(visible.left, visible.right), 3.5f);
}

TEST_F(AppTest, RecentFilesKeepTheFourNewest) {
    ASSERT_TRUE(app.InitInstance({}));
    for (int i = 0; i < 5; ++i) {
        const std::string path = dir.file("net" + std::to_string(i) + ".txt");
        spit(path, kEmptyNetwork);
        ASSERT_TRUE(app.OpenDocumentFile(path));
    }
    ASSERT_EQ(app.recentFiles().size(), 4u);
    EXPECT_EQ(app.recentFiles().front(), dir.file("net4.txt"));
    EXPECT_EQ(app.recentFiles().back(), dir.file("net1.txt"));
    EXPECT_EQ(app.mainFrame()->action(ID_FILE_MRU_FIRST)->text().toStdString(),
              "&1 " + dir.file("net4.txt"));

    // A '&' in a path is shown, not taken as an access key; a long path is shortened in the
    // middle, and its item still opens the whole path.
    const std::string deep = dir.file(std::string(120, 'x') + "/R&D plan.txt");
    std::filesystem::create_directories(std::filesystem::path(deep).parent_path());
    spit(deep, kEmptyNetwork);
    ASSERT_TRUE(app.OpenDocumentFile(deep));
    app.closeAllDocuments();
    settle();
    const QString shown = app.mainFrame()->action(ID_FILE_MRU_FIRST)->text();
    EXPECT_TRUE(shown.startsWith("&1 ")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("/R&&D plan.txt")) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
    EXPECT_LT(shown.size(), 100);
    EXPECT_EQ(shown.count("&&"), 1);
    app.route(ID_FILE_MRU_FIRST);
    ASSERT_EQ(app.documents().size(), 1u);
    EXPECT_EQ(app.documents().front()->GetPathName(), deep);

    CVantryApp later(&prompter);
    ASSERT_TRUE(later.InitInstance({}, false));
    EXPECT_EQ(later.recentFiles(), app.recentFiles());
}

TEST_F(AppTest, PrintingGivesOnePageTurnedToTheNetworksShape) {
    ASSERT_TRUE(app.InitInstance({QString::fromStdString(kSample)}));
    CVantryView* view = app.activeView();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(dir.file("map.pdf")));
    view->preparePrinter(printer);
    EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Landscape);
    const auto backColor = settings->backColor.value;
    view->printPage(printer, false);
    EXPECT_EQ(settings->backColor.value, backColor);
    const std::string pdf = slurp(dir.file("map.pdf"));
    ASSERT_EQ(pdf.substr(0, 4), "%PDF");
    std::size_t pages = 0;
    for (auto at = pdf.find("/Type /Page\n"); at != std::string::npos;
         at = pdf.find("/Type /Page\n", at + 1))
        ++pages;
    EXPECT_EQ(pages, 1u);
}

// Runs a long task on a thread of its own, then does what the user does while the task has read
// everything and the interface has not yet taken it.
class LoadWatcher : public ScriptedPrompter {
public:
    std::function<void()> meanwhile;
    void runLongTask(const std::string&, const std::function<void()>& task) override {
        std::thread worker(task);
        worker.join();
        if (meanwhile)
            meanwhile();
    }
};

TEST_F(AppTest, AWindowResizedOrClosedDuringATigerLoadDrawsTheOldDataAndStaysOpen) {
    LoadWatcher watcher;
    CVantryApp shell(&watcher);
    ASSERT_TRUE(shell.InitInstance({}));
    CVantryView* view = shell.activeView();
    CVantryDoc* doc = view->GetDocument();
    CChildFrame* frame = shell.activeFrame();
    bool checked = false;
    watcher.meanwhile = [&] {
        EXPECT_FALSE(doc->tiger().hasChains()) << "the document's data changed off its thread";
        frame->resize(frame->size() / 2);
        settle();
        EXPECT_FALSE(frame->close());
        EXPECT_FALSE(shell.mainFrame()->close());
        settle();
        checked = true;
    };
    watcher.paths.push_back(std::string(VANTRY_TEST_DATA) + "/tiger/TGR99001.RT1");
    shell.route(ID_LOAD_TIGER_DATA);
    settle();
    ASSERT_TRUE(checked);
    ASSERT_EQ(shell.documents().size(), 1u);
    EXPECT_EQ(shell.activeFrame(), frame);
    EXPECT_TRUE(doc->tiger().hasChains());
    EXPECT_TRUE(view->showTiger);
    EXPECT_TRUE(frame->close()) << "closes once the load is over";
    settle();
    EXPECT_TRUE(shell.documents().empty());
}

TEST_F(AppTest, TheGuideStaysUsableBesideADialogAndClosesWithTheProgram) {
    ASSERT_TRUE(app.InitInstance({}));
    app.route(ID_HELP_FINDER);
    QTextBrowser* guide = helpViewer();
    ASSERT_TRUE(guide && guide->isVisible());
    guide->window()->resize(240, 160);
    settle();

    // While the About box is up, the guide still takes keys from the window system.
    bool scrolled = false;
    QTimer::singleShot(0, [&] {
        QWidget* about = QApplication::activeModalWidget();
        guide->setFocus();
        guide->verticalScrollBar()->setValue(0);
        QTest::keyClick(guide->windowHandle(), Qt::Key_Space);
        scrolled = guide->verticalScrollBar()->value() > 0;
        if (about)
            about->close();
    });
    app.route(ID_APP_ABOUT);
    EXPECT_TRUE(scrolled);

    app.route(ID_APP_EXIT);
    settle();
    EXPECT_FALSE(app.mainFrame()->isVisible());
    EXPECT_FALSE(guide->isVisible());
}

TEST_F(AppTest, RecoveryListsEveryDocumentWithABoxEach) {
    QtPrompter asking;
    const std::vector<std::string> documents = {"net.txt, changed at 14:02 (/tmp/net.txt)",
                                                "Network4, changed at 14:02 (never saved)"};
    const auto answer = [&](const std::function<void(QWidget*)>& user) {
        QTimer::singleShot(0, [&] {
            if (QWidget* dialog = QApplication::activeModalWidget())
                user(dialog);
        });
        return asking.chooseRecoveries(documents);
    };
    const auto list = [](QWidget* dialog) { return dialog->findChild<QListWidget*>("documents"); };
    const auto recover = answer([&](QWidget* dialog) {
        ASSERT_EQ(list(dialog)->count(), 2);
        EXPECT_EQ(list(dialog)->item(0)->text().toStdString(), documents[0]);
        EXPECT_EQ(list(dialog)->item(1)->checkState(), Qt::Checked);
        list(dialog)->item(1)->setCheckState(Qt::Unchecked);
        dialog->findChild<QPushButton*>("recover")->click();
    });
    EXPECT_EQ(recover, (std::vector<bool>{true, false}));
    const auto discard =
        answer([](QWidget* dialog) { dialog->findChild<QPushButton*>("discard")->click(); });
    EXPECT_EQ(discard, (std::vector<bool>{false, false}));
    const auto putOff = answer([](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
    EXPECT_FALSE(putOff);
}

TEST_F(AppTest, F1InADialogOpensItsPageAndTheGuideHasBackSearchAndEscape) {
    ASSERT_TRUE(app.InitInstance({}));
    resetHelpForTesting();
    QDialog dialog(app.mainFrame());
    int helped = 0;
    createDialogButtons(&dialog, [&] { ++helped; });
    auto* field = new QLineEdit(&dialog);
    dialog.show();
    field->setFocus();
    QTest::keyClick(field, Qt::Key_F1);
    EXPECT_EQ(helped, 1) << "the dialog's Help";
    QTest::keyClick(field, Qt::Key_F1, Qt::ShiftModifier);
    EXPECT_EQ(helped, 1);
    dialog.close();

    // F1 in a dialog without Help opens the index, and the guide goes back from page to page.
    QDialog plain(app.mainFrame());
    plain.show();
    QTest::keyClick(&plain, Qt::Key_F1);
    QTextBrowser* guide = helpViewer();
    ASSERT_TRUE(guide);
    QWidget* window = guide->window();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(guide->source().fileName(), "keywords.html");
    plain.close();
    app.route(ID_HELP_FINDER);
    EXPECT_EQ(guide->source().fileName(), "index.html");
    auto* back = window->findChild<QAction*>("back");
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isEnabled());
    back->trigger();
    EXPECT_EQ(guide->source().fileName(), "keywords.html");

    // The search lists the pages holding every word and opens the first at the word.
    auto* search = window->findChild<QLineEdit*>("search");
    auto* results = window->findChild<QListWidget*>("results");
    ASSERT_TRUE(search && results);
    EXPECT_FALSE(results->isVisibleTo(window));
    search->setText("  Jam   DENSITY ");
    QTest::keyClick(search, Qt::Key_Return);
    ASSERT_TRUE(results->isVisibleTo(window));
    ASSERT_GT(results->count(), 0);
    EXPECT_EQ(guide->source().fileName(), results->item(0)->data(Qt::UserRole).toString());
    EXPECT_EQ(guide->textCursor().selectedText().toLower(), "jam");
    search->setText("nosuchwordanywhere");
    QTest::keyClick(search, Qt::Key_Return);
    ASSERT_EQ(results->count(), 1);
    EXPECT_FALSE(results->item(0)->flags() & Qt::ItemIsEnabled);

    QTest::keyClick(search, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible()) << "Escape closes the guide";
    resetHelpForTesting();
}

TEST(Help, EachRequestOpensItsTopicAndAMissingGuideIsLookedForOnce) {
    toolkit();
    resetHelpForTesting();
    EXPECT_EQ(helpTopicFor(HelpRequest::Start), "index.html");
    EXPECT_EQ(helpTopicFor(HelpRequest::Index), "keywords.html");
    // The other dialogs' topics are checked with the dialogs.
    EXPECT_NE(helpTopicFor(HelpRequest::Context, 35), "") << "Load Bitmap's";
    EXPECT_EQ(helpTopicFor(HelpRequest::Context, 0), "preferences.html#precision");
    EXPECT_TRUE(showGuide(HelpRequest::Context, 15));

    setHelpRootForTesting("/nonexistent/");
    EXPECT_FALSE(showGuide(HelpRequest::Start));
    EXPECT_TRUE(helpHasFailed());
    EXPECT_FALSE(showGuide(HelpRequest::Index));
    resetHelpForTesting();
}

// ---- Recovery, window placement and drops ------------------------------------------------------
// What a recovery file holds, and that a run still alive keeps its files from the next, is the
// recovery store's to test; here the editor keeps, offers back and removes them.

// Leaves a recovery file as a run that ended without saving leaves it.
std::string leaveRecoveryFile(const std::string& name, const std::string& path,
                              const std::string& title, const Network& net) {
    RecoveryRecord record;
    record.originalPath = path;
    record.title = title;
    record.format = path.empty() ? NetworkFormat::Unknown : networkFormatOf(path);
    record.savedAt = QDateTime(QDate::currentDate(), QTime(14, 2)).toSecsSinceEpoch();
    record.snapshot = encodeSnapshot(net);
    const std::string folder = RecoveryController::folder();
    std::filesystem::create_directories(folder);
    const std::string file = folder + "/" + name;
    spit(file, encodeRecoveryFile(record));
    return file;
}

TEST_F(AppTest, UnsavedChangesOfAnEndedRunAreOfferedBackInOneListTheNamedFileFirst) {
    const std::string net = dir.file("net.txt");
    spit(net, kEmptyNetwork);
    Network drawn;
    Node* from = createNodeAt(drawn, {0, 0});
    Node* to = createNodeAt(drawn, {1.25f, 0.5f});
    createLink(drawn, from, to, {2, 1400, 50, 190});
    const std::string declined = leaveRecoveryFile("1000.1-1.vrec", "", "Network4", Network());
    const std::string accepted = leaveRecoveryFile("1000.1-2.vrec", net, "net.txt", drawn);
    prompter.recoveries = {std::vector<bool>{true, false}};
    ASSERT_TRUE(app.InitInstance({QString::fromStdString(net)}));
    ASSERT_EQ(prompter.asked.size(), 1u) << "one question for every document";
    EXPECT_EQ(prompter.asked[0].kind, "recover");
    EXPECT_EQ(prompter.asked[0].text, "net.txt, changed at 14:02 (" + net +
                                          ")\nNetwork4, changed at 14:02 (never saved)\n");
    EXPECT_FALSE(std::filesystem::exists(declined));
    EXPECT_FALSE(std::filesystem::exists(accepted));

    ASSERT_EQ(app.documents().size(), 1u) << "the recovered file is not opened again";
    CVantryDoc* doc = app.documents().front().get();
    EXPECT_EQ(title(), "NetQuill - net.txt*");
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(doc->GetPathName(), net);
    ASSERT_EQ(doc->network().links().size(), 1u);
    EXPECT_NE(app.recovery().store()->fileOf(*doc), "") << "kept by this run from now on";

    app.route(ID_FILE_SAVE);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(title(), "NetQuill - net.txt");
    EXPECT_NE(slurp(net).find("EndNodes\n1 2 2 1400"), std::string::npos) << slurp(net);
    EXPECT_EQ(app.recovery().store()->fileOf(*doc), "") << "saved";
    EXPECT_EQ(prompter.unexpected, 0);
}

TEST_F(AppTest, RecoveryPutOffKeepsEveryFileAndDiscardAllRemovesThem) {
    const std::string first = leaveRecoveryFile("1000.1-1.vrec", "", "Network4", Network());
    const std::string second = leaveRecoveryFile("1000.1-2.vrec", "", "Network7", Network());
    {
        ScriptedPrompter later;
        later.recoveries = {std::nullopt};
        CVantryApp run(&later);
        ASSERT_TRUE(run.InitInstance({}, false));
        ASSERT_EQ(run.documents().size(), 1u);
        EXPECT_EQ(run.documents().front()->GetTitle(), "Network1") << "a new network, as always";
        EXPECT_TRUE(std::filesystem::exists(first));
        EXPECT_TRUE(std::filesystem::exists(second));
        run.mainFrame()->close();
        settle();
    }
    prompter.recoveries = {std::vector<bool>{false, false}};
    ASSERT_TRUE(app.InitInstance({}));
    EXPECT_FALSE(std::filesystem::exists(first));
    EXPECT_FALSE(std::filesystem::exists(second));
    EXPECT_EQ(prompter.unexpected, 0);
}

TEST_F(AppTest, ModifiedDocumentsAreKeptUntilClosedWithoutSaving) {
    ASSERT_TRUE(app.InitInstance({}));
    EXPECT_TRUE(app.recovery().autosaveRunning());
    CVantryDoc* doc = app.documents().front().get();
    app.recovery().autosaveNow();
    EXPECT_EQ(app.recovery().store()->fileOf(*doc), "") << "nothing changed";
    edit();
    app.recovery().autosaveNow();
    const std::string file = app.recovery().store()->fileOf(*doc);
    ASSERT_NE(file, "");

    settings->autosaveSeconds.value = 0;
    app.recovery().restartAutosave();
    EXPECT_FALSE(app.recovery().autosaveRunning());
    settings->autosaveSeconds.value = 2;
    app.recovery().restartAutosave();
    EXPECT_TRUE(app.recovery().autosaveRunning());

    prompter.yesNoCancel.push_back(Prompter::Answer::No);
    EXPECT_TRUE(app.closeAllDocuments());
    settle();
    EXPECT_FALSE(std::filesystem::exists(file)) << "closed without saving, as the user chose";
}

TEST_F(AppTest, TheMainWindowComesBackAsItWasLeft) {
    ASSERT_TRUE(app.InitInstance({}));
    app.mainFrame()->resize(700, 500);
    app.route(ID_VIEW_TOOLBAR);
    app.route(ID_VIEW_STATUS_BAR);
    settle();
    EXPECT_FALSE(app.mainFrame()->toolBar()->isVisible());
    ASSERT_TRUE(app.mainFrame()->close());
    settle();

    ScriptedPrompter other;
    CVantryApp next(&other);
    ASSERT_TRUE(next.InitInstance({}));
    settle();
    EXPECT_EQ(next.mainFrame()->size(), QSize(700, 500));
    EXPECT_FALSE(next.mainFrame()->toolBar()->isVisible());
    EXPECT_FALSE(next.mainFrame()->statusBar()->isVisible());
    EXPECT_FALSE(next.queryRouted(ID_VIEW_STATUS_BAR)->checked);
}

TEST(FrameState, AWindowLargerOrBeyondTheScreenIsBroughtWithinIt) {
    const QRect screen(0, 0, 1280, 800);
    const std::pair<QRect, QRect> cases[] = {
        {QRect(100, 80, 900, 600), QRect(100, 80, 900, 600)},    // fits: left alone
        {QRect(2000, 900, 900, 600), QRect(380, 200, 900, 600)}, // on a screen now gone
        {QRect(-500, -40, 900, 600), QRect(0, 0, 900, 600)},
        {QRect(300, 200, 2560, 1600), QRect(0, 0, 1280, 800)}, // from a larger screen
    };
    for (const auto& [window, expected] : cases)
        EXPECT_EQ(clampToScreen(window, screen), expected) << window.x() << "," << window.y();
    EXPECT_EQ(clampToScreen(QRect(10, 10, 50, 50), QRect(1280, 0, 1024, 768)),
              QRect(1280, 10, 50, 50))
        << "a second screen to the right";
}

// Sends a drag of the given files over a widget and drops it, as a source offering to copy or
// move them and proposing a move (Qt's own sources do); true when it was taken. Whatever is
// taken, is taken as a copy: a source told that its files were moved may delete them.
bool dropFiles(QWidget* target, const std::vector<std::string>& files) {
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& f : files)
        urls << QUrl::fromLocalFile(QString::fromStdString(f));
    data.setUrls(urls);
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(at.toPoint(), offered, &data, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(enter.proposedAction(), Qt::MoveAction);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
    QDragMoveEvent move(at.toPoint(), offered, &data, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(target, &move);
    EXPECT_TRUE(move.isAccepted());
    EXPECT_EQ(move.dropAction(), Qt::CopyAction);
    QDropEvent drop(at, offered, &data, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(target, &drop);
    settle();
    EXPECT_TRUE(!drop.isAccepted() || drop.dropAction() == Qt::CopyAction);
    return drop.isAccepted();
}

TEST_F(AppTest, DroppedNetworksOpenAndAPictureDroppedOnAViewStartsLoadBitmap) {
    ASSERT_TRUE(app.InitInstance({}));
    const std::string second = dir.file("second.xls.txt");
    spit(second, kEmptyNetwork);
    spit(dir.file("plan.PNG"), "not looked at before the dialog");
    EXPECT_FALSE(dropFiles(app.mainFrame(), {dir.file("notes.pdf"), dir.file("plan.PNG")}));
    EXPECT_TRUE(dropFiles(app.mainFrame(), {kSample, dir.file("notes.pdf"), second}));
    ASSERT_EQ(app.documents().size(), 3u);
    EXPECT_EQ(app.documents()[1]->GetPathName(), kSample);
    EXPECT_EQ(app.documents()[2]->GetPathName(), second);

    // A network dragged over a map view goes on to the main window.
    QWidget* viewport = app.activeView()->viewport();
    EXPECT_TRUE(dropFiles(viewport, {dir.file("third.txt")}));
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_NE(prompter.asked[0].text.find("third.txt"), std::string::npos) << "cannot be read";

    prompter.bitmaps.push_back(std::nullopt);
    EXPECT_TRUE(dropFiles(viewport, {dir.file("plan.PNG")}));
    ASSERT_EQ(prompter.asked.size(), 2u);
    EXPECT_EQ(prompter.asked[1].kind, "bitmap");
    EXPECT_EQ(prompter.asked[1].text, dir.file("plan.PNG")) << "the dialog starts from it";
    EXPECT_FALSE(dropFiles(viewport, {dir.file("plan.PNG"), dir.file("plan.PNG")}))
        << "one picture at a time";
    EXPECT_EQ(prompter.unexpected, 0);
}

} // namespace

} // namespace vantry
