#pragma once

#include "document/commands.h"

#include <QMainWindow>

#include <map>
#include <vector>

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QToolBar;
class CVantryApp;

// The main window: menus, toolbar and status bar built from the command table, and the area
// holding one child window per map view.
class CMainFrame : public QMainWindow, public CommandTarget {
    Q_OBJECT
public:
    explicit CMainFrame(CVantryApp* app);

    QMdiArea* mdiArea() const { return mdi_; }
    QAction* action(int id) const;
    const std::map<int, QAction*>& actions() const { return actions_; }
    QToolBar* toolBar() const { return toolBar_; }
    // Switches between the menus for no document and for an open document.
    void showDocumentMenus(bool withDocument);
    bool showsDocumentMenus() const { return documentMenus_; }
    void setRecentFiles(const std::vector<std::string>& paths);
    // The status bar's second pane, filled by the active map view.
    void setViewPaneText(const QString& text);
    QString viewPaneText() const;
    QString idleText() const;

    std::optional<CommandState> query(int id) const override;
    bool execute(int id) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildActions();
    QMenu* buildMenu(const char* title, const std::vector<int>& items);
    void buildToolBar();
    void buildStatusBar();
    void arrangeIcons();

    CVantryApp* app_;
    QMdiArea* mdi_;
    QToolBar* toolBar_ = nullptr;
    QLabel* idle_ = nullptr;
    QLabel* viewPane_ = nullptr;
    std::map<int, QAction*> actions_;
    std::vector<QAction*> recentActions_;
    std::vector<QMenu*> menusNoDoc_;
    std::vector<QMenu*> menusDoc_;
    bool documentMenus_ = false;
};
