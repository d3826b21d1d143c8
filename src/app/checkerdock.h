#pragma once

#include "check/checker.h"
#include "view/commands.h"

#include <QAbstractTableModel>
#include <QDockWidget>

#include <vector>

class QLabel;
class QMdiArea;

namespace vantry {

class ActiveDocument;
class CVantryApp;
class DockTable;

// The checker's findings as table rows: severity, rule, object and message.
class FindingsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { SeverityColumn, RuleColumn, ObjectColumn, MessageColumn, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;
    void setFindings(std::vector<Finding> findings);
    const std::vector<Finding>& findings() const { return findings_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::vector<Finding> findings_;
};

// The network checker's dock: the findings on the active document, checked again after every
// change while the dock shows. Clicking a finding selects its link or node on the map and
// centres the view on it; while the list has the focus, Edit > Copy copies the finding and
// Delete and Properties act on its object.
class CheckerDock : public QDockWidget, public CommandTarget {
    Q_OBJECT
public:
    CheckerDock(CVantryApp& app, QMdiArea* area, QWidget* parent = nullptr);

    const FindingsModel& findings() const { return model_; }
    DockTable* table() const { return table_; }
    QString summary() const;
    // Checks the active document again.
    void runChecks();
    // Selects the finding's object on the map alone and centres the view on it.
    void showInView(int row);

    std::optional<CommandState> query(int id) const override;

protected:
    void run(int id) override;
    void showEvent(QShowEvent* event) override;

private:
    int selectedRow() const;
    // Selects the finding's object on the map alone; false when it is gone.
    bool selectOnMap(int row, bool centre);
    void showContextMenu(const QPoint& at);

    ActiveDocument* active_;
    FindingsModel model_;
    DockTable* table_;
    QLabel* summary_;
};

} // namespace vantry
