#pragma once

#include <QTableView>

// A table in a dock of the main window. While it has the focus, plain keys (arrows, Page Up
// and Down, Delete, typing, + and -, F2) and Copy, Paste and Select All work in the table
// instead of reaching the menu commands that share them, which act on the map.
class DockTable : public QTableView {
    Q_OBJECT
public:
    explicit DockTable(QWidget* parent = nullptr);

protected:
    bool event(QEvent* event) override;
};
