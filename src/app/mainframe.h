#pragma once

#include "view/commands.h"

#include <QMainWindow>
#include <QRect>

#include <map>
#include <memory>
#include <vector>

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QToolBar;

namespace vantry {

class CVantryApp;
class DockPanels;

// Doubles each '&' so that a menu shows the text as it is, without an access key.
QString escapeMenuText(const QString& text);
// A path as a menu shows it: shortened in the middle to about the width of maxChars average
// characters in the menu font, the way file menus do.
QString elidedMenuPath(const QString& path, int maxChars = 60);

// A window's title as the window system shows it: the "[*]" placeholder becomes "*" while the
// window is marked modified and goes otherwise.
QString shownTitle(const QWidget& window);
// Where Window > Cascade and new windows put the window of the given place in the cascade, in an
// area of the given size: four fifths of the area, each a step (a title bar's height) below and
// to the right of the one before, all of each window within the area.
QRect cascadeGeometry(QSize area, int index, int step);

// The main window: menus, toolbar and status bar built from the command table, and the area
// holding one child window per map view.
class CMainFrame : public QMainWindow, public CommandTarget {
    Q_OBJECT
public:
    explicit CMainFrame(CVantryApp* app);
    ~CMainFrame() override;

    QMdiArea* mdiArea() const { return mdi_; }
    QAction* action(int id) const;
    const std::map<int, QAction*>& actions() const { return actions_; }
    QToolBar* toolBar() const { return toolBar_; }
    DockPanels& docks() const { return *docks_; }
    // Switches between the menus for no document and for an open document. The bar is left
    // alone when it already shows the wanted set, so that an open menu stays open.
    void showDocumentMenus(bool withDocument);
    bool showsDocumentMenus() const { return documentMenus_; }
    // Recent files show as "&1 path", the path's '&' kept and its middle elided when long.
    void setRecentFiles(const std::vector<std::string>& paths);
    // The Window menu's numbered list of the open windows, rebuilt each time it opens.
    void fillWindowList();
    // The "More Windows..." choice: every open window in a list to pick from.
    void chooseWindow();
    // The status bar's second pane, filled by the active map view.
    void setViewPaneText(const QString& text);
    QString viewPaneText() const;
    QString idleText() const;
    // The place of a window that is index-th in the cascade of this area.
    QRect cascadePlace(int index) const;
    // Brings the docks floating in windows of their own in front of this one.
    void raiseFloatingDocks();

    std::optional<CommandState> query(int id) const override;

protected:
    void run(int id) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Network files dragged from the desktop open as File Open opens them.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildActions();
    QMenu* buildMenu(const char* title, const std::vector<int>& items);
    void buildToolBar();
    void buildStatusBar();
    void cascade();
    void arrangeIcons();

    CVantryApp* app_;
    QMdiArea* mdi_;
    QMenu* windowMenu_ = nullptr;
    std::vector<QAction*> windowListActions_;
    QToolBar* toolBar_ = nullptr;
    QLabel* idle_ = nullptr;
    QLabel* viewPane_ = nullptr;
    std::map<int, QAction*> actions_;
    std::vector<QAction*> recentActions_;
    std::vector<QMenu*> menusNoDoc_;
    std::vector<QMenu*> menusDoc_;
    bool documentMenus_ = false;
    bool menusShown_ = false;
    std::unique_ptr<DockPanels> docks_;
};

} // namespace vantry
