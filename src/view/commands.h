#pragma once

#include <optional>
#include <string>

namespace vantry {

// Every command of the program by the number menus, toolbar buttons and keys carry.
enum CommandId : int {
    // Tools of the map view.
    ID_TOOL_SELECT = 32791,
    ID_TOOL_NODE = 32792,
    ID_TOOL_LINK = 32793,
    ID_TOOL_TWOWAY_LINK = 32808,
    ID_TOOL_AUTO_POPULATE = 32821,
    ID_TOOL_DISTANCE = 32802,
    ID_TOOL_PAN = 32799,
    ID_TOOL_ZOOM_IN = 32797,
    ID_TOOL_ZOOM_OUT = 32798,
    ID_TOOL_ROUTE = 32870,
    // View commands.
    ID_VIEW_ZOOM_IN_CENTER = 32804,
    ID_VIEW_ZOOM_OUT_CENTER = 32805,
    ID_VIEW_SHOW_ENTIRE_NETWORK = 32803,
    ID_VIEW_NUMBERS = 32824,
    ID_VIEW_GRID = 32800,
    ID_VIEW_BITMAP = 32801,
    ID_VIEW_TIGER = 32819,
    ID_VIEW_COLOUR_BY = 32860,
    ID_VIEW_FINE_ZOOM_OUT = 32812,
    ID_VIEW_FINE_ZOOM_IN = 32813,
    ID_VIEW_MOVE_RIGHT = 32814,
    ID_VIEW_MOVE_LEFT = 32815,
    ID_VIEW_MOVE_UP = 32816,
    ID_VIEW_MOVE_DOWN = 32817,
    ID_VIEW_ESCAPE = 32823,
    // Docks of the main window.
    ID_VIEW_LINK_TABLE = 32830,
    ID_NETWORK_CHECK = 32831,
    ID_NETWORK_GEOREFERENCE = 32832,
    // The fastest route between two nodes, shown on the map.
    ID_NETWORK_ROUTE = 32873,
    // A work zone and its detours.
    ID_NETWORK_WORK_ZONE = 32871,
    // Exchange with other programs' formats.
    ID_FILE_EXPORT = 32833,
    ID_FILE_IMPORT = 32834,
    // Editing.
    ID_EDIT_PROPERTIES = 32806,
    ID_EDIT_COPY_IMAGE = 32828,
    ID_EDIT_CLEAR = 57632,
    ID_EDIT_COPY = 57634,
    ID_EDIT_CUT = 57635,
    ID_EDIT_PASTE = 57637,
    ID_EDIT_UNDO = 57643,
    ID_EDIT_REDO = 57644,
    // Finding and changing links by number or by expression.
    ID_EDIT_GOTO = 32850,
    ID_EDIT_SELECT_BY_EXPRESSION = 32851,
    ID_EDIT_FIELD_CALCULATOR = 32852,
    // Document.
    ID_LOAD_BITMAP = 32809,
    ID_LOAD_TIGER_DATA = 32818,
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_CLOSE = 57602,
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_FILE_PRINT = 57607,
    ID_FILE_PRINT_PREVIEW = 57609,
    ID_FILE_MRU_FIRST = 57616,
    ID_FILE_MRU_LAST = 57631,
    // Application and frames.
    ID_PREFERENCES = 32811,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_HELP_FINDER = 57667,
    ID_HELP = 57670,
    ID_WINDOW_NEW = 57648,
    ID_WINDOW_ARRANGE = 57649,
    ID_WINDOW_CASCADE = 57650,
    ID_WINDOW_TILE = 57651,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
};

// Whether a command can run now, whether its menu item shows a check mark, and what the item
// says of what it would do ("Move Nodes" makes "Undo Move Nodes"), when it says anything.
struct CommandState {
    bool enabled = true;
    bool checked = false;
    std::string object = {};
};

// Something that handles commands. query() answers nothing for commands the target does not
// handle, so that routing can move on to the next target. execute() runs a command only when
// query() says it is enabled, and reports whether the command was this target's: a disabled
// command is handled, by doing nothing.
class CommandTarget {
public:
    virtual ~CommandTarget() = default;
    virtual std::optional<CommandState> query(int id) const = 0;
    bool execute(int id) {
        const auto state = query(id);
        if (!state)
            return false;
        if (state->enabled)
            run(id);
        return true;
    }

protected:
    // Carries out a command query() has just answered as enabled.
    virtual void run(int id) = 0;
};

} // namespace vantry
