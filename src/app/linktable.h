#pragma once

#include "app/linktablemodel.h"

#include <QDockWidget>

#include <vector>

class ActiveDocument;
class CVantryApp;
class DockTable;
class Link;
class QLineEdit;
class QMdiArea;

// The link table dock: every link of the active document in a sortable, filterable table whose
// selection is the map's (both ways), edited cell by cell or column-wise over the selected rows,
// copied and pasted as tab-separated text.
class LinkTableDock : public QDockWidget {
    Q_OBJECT
public:
    LinkTableDock(CVantryApp& app, QMdiArea* area, QWidget* parent = nullptr);

    LinkTableModel& model() { return model_; }
    DockTable* table() const { return table_; }
    QLineEdit* filterBox() const { return filter_; }
    // The selected rows, in table order.
    std::vector<int> selectedRows() const;
    // The selected rows to the clipboard as tab-separated text; false with nothing selected.
    bool copyRows();
    // The clipboard's tab-separated text onto the selected rows.
    bool pasteRows();
    // Selects the row's link on the map alone and centres the view on it.
    void showInView(int row);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow();
    void selectionToView();
    void selectionFromView(bool always);

    ActiveDocument* active_;
    LinkTableModel model_;
    DockTable* table_;
    QLineEdit* filter_;
    // What the map had selected when the two were last made the same; compared by address only.
    std::vector<Link*> synced_;
    bool syncing_ = false;
};
