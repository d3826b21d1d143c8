#pragma once

#include <optional>

// Command ids as the menus, toolbar and accelerators know them.
enum CommandId : int {
    ID_LOAD_BITMAP = 32809,
    ID_LOAD_TIGER_DATA = 32818,
    ID_EDIT_UNDO = 57643,
    ID_EDIT_REDO = 57644,
};

// Whether a command can run now, and whether its menu item shows a check mark.
struct CommandState {
    bool enabled = true;
    bool checked = false;
};

// Something that handles commands. query() answers nothing for commands the target does not
// handle, so that routing can move on to the next target; execute() runs a command only when
// query() says it is enabled, and reports whether it was handled.
class CommandTarget {
public:
    virtual ~CommandTarget() = default;
    virtual std::optional<CommandState> query(int id) const = 0;
    virtual bool execute(int id) = 0;
};
