#pragma once

#include "document/commands.h"

class CheckerDock;
class CVantryApp;
class LinkTableDock;
class QDockWidget;
class QMainWindow;
class QMdiArea;

// The main window's docks, the link table and the network checker: the commands that show
// them, and whether each shows, kept between runs. Both start hidden the first time.
class DockPanels : public CommandTarget {
public:
    DockPanels(CVantryApp& app, QMainWindow& window, QMdiArea* area);
    ~DockPanels() override;

    LinkTableDock* linkTable() const { return linkTable_; }
    CheckerDock* checker() const { return checker_; }

    std::optional<CommandState> query(int id) const override;
    bool execute(int id) override;

private:
    void keepVisibility(QDockWidget* dock, const char* key);

    CVantryApp& app_;
    QMainWindow& window_;
    LinkTableDock* linkTable_;
    CheckerDock* checker_;
};
