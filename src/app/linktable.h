#pragma once

#include "app/linktablemodel.h"
#include "view/commands.h"

#include <QDockWidget>

#include <vector>

class QLabel;
class QLineEdit;
class QMdiArea;

namespace vantry {

class ActiveDocument;
class CVantryApp;
class DockTable;
class Link;

// The link table dock: every link of the active document in a sortable, filterable table whose
// selection is the map's (both ways), edited cell by cell or column-wise over the selected rows,
// copied and pasted as tab-separated text. While the table has the focus, Edit > Copy, Paste,
// Delete and Properties act on its rows.
class LinkTableDock : public QDockWidget, public CommandTarget {
    Q_OBJECT
public:
    LinkTableDock(CVantryApp& app, QMdiArea* area, QWidget* parent = nullptr);

    LinkTableModel& model() { return model_; }
    DockTable* table() const { return table_; }
    QLineEdit* filterBox() const { return filter_; }
    // How many rows the filter keeps, of how many links.
    QString countText() const;
    // The selected rows, in table order.
    std::vector<int> selectedRows() const;
    // The selected rows to the clipboard as tab-separated text; false with nothing selected.
    bool copyRows();
    // The clipboard's tab-separated text onto the selected rows.
    bool pasteRows();
    // Selects the row's link on the map alone and centres the view on it.
    void showInView(int row);
    // Shows the table, in front, with the focus in its filter box, ready to type into.
    void showForTyping();
    // The selected rows' links become the map's selection alone, the view centred on them when
    // asked; they are returned (none without a view of the table's document).
    std::vector<Link*> selectOnMap(bool centre);

    // Copy, Paste, Delete and Properties on the selected rows; Cut, which has no meaning for
    // rows, is answered disabled so that it cannot reach the map.
    std::optional<CommandState> query(int id) const override;

protected:
    void run(int id) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow();
    void selectionToView();
    void selectionFromView(bool always);
    void showContextMenu(const QPoint& at);
    void updateCount();

    CVantryApp& app_;
    ActiveDocument* active_;
    LinkTableModel model_;
    DockTable* table_;
    QLineEdit* filter_;
    QLabel* count_;
    // What the map had selected when the two were last made the same; compared by address only.
    std::vector<Link*> synced_;
    bool syncing_ = false;
};

} // namespace vantry
