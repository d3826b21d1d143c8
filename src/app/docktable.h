#pragma once

#include <QTableView>

class QMenu;

namespace vantry {

class CommandTarget;

// A table in a dock of the main window. While it has the focus, plain keys (arrows, Page Up
// and Down, typing, + and -, F2) work in the table instead of reaching the menu commands that
// share them, which act on the map; Copy, Paste and Delete go to the table's own commands, the
// dock's, which Edit > Copy, Paste and Delete also reach while the table has the focus.
class DockTable : public QTableView {
    Q_OBJECT
public:
    explicit DockTable(QWidget* parent = nullptr);

    void setCommands(CommandTarget* commands) { commands_ = commands; }
    CommandTarget* commands() const { return commands_; }
    // Runs one of the table's commands when it is enabled; false when it is not.
    bool runCommand(int id);
    // Adds an item running the command, enabled as the table's commands say.
    void addCommandItem(QMenu& menu, int id, const QString& text);
    // The width the table asks its dock for when the dock first opens (0: the view's own).
    void setPreferredWidth(int width) { preferredWidth_ = width; }
    QSize sizeHint() const override;

signals:
    // A command ran from the table's keys or menu: the menus' states may have changed.
    void commandRan();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    CommandTarget* commands_ = nullptr;
    int preferredWidth_ = 0;
};

} // namespace vantry
