#pragma once

#include "view/commands.h"

#include <QMetaObject>
#include <QPointer>

class QDockWidget;
class QMainWindow;
class QMdiArea;
class QWidget;

namespace vantry {

class CheckerDock;
class CVantryApp;
class DockTable;
class LinkTableDock;

// The main window's docks, the link table and the network checker: the commands that show
// them, and whether each shows, kept between runs. Both start hidden the first time. While one
// of their tables has the focus (or had it when a menu opened), the edit commands are the
// table's: the application asks this before the map.
class DockPanels : public CommandTarget {
public:
    DockPanels(CVantryApp& app, QMainWindow& window, QMdiArea* area);
    ~DockPanels() override;

    LinkTableDock* linkTable() const { return linkTable_; }
    CheckerDock* checker() const { return checker_; }
    // The table the edit commands go to, or null.
    DockTable* focusedTable() const;

    std::optional<CommandState> query(int id) const override;

protected:
    void run(int id) override;

private:
    void keepVisibility(QDockWidget* dock, const char* key);
    void followFocus(QWidget* now);

    CVantryApp& app_;
    QMainWindow& window_;
    LinkTableDock* linkTable_;
    CheckerDock* checker_;
    QPointer<DockTable> focused_;
    QMetaObject::Connection focusConnection_;
};

} // namespace vantry
