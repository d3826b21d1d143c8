#include "app/commandtable.h"

#include "document/prompter.h"
#include "view/commands.h"
#include "view/tools.h"

#include <algorithm>

namespace vantry {

namespace {

// The tools' rows come from the view's tool table.
std::vector<CommandInfo> withToolRows(const std::vector<CommandInfo>& others) {
    std::vector<CommandInfo> rows;
    for (const ToolInfo& t : toolTable())
        rows.push_back({t.commandId, t.menuText, "", t.statusText, t.toolTip, "", t.icon, true});
    rows.insert(rows.end(), others.begin(), others.end());
    return rows;
}

} // namespace

const std::vector<CommandInfo>& commandTable() {
    static const std::vector<CommandInfo> table = withToolRows({
        // id, menu text, key hint, status text, tool tip, keys, icon, checkable
        // + and - double and halve the scale; PgUp and PgDn, keyboard-only commands of their
        // own, change it by a fifth. The menu shows only the key that does what the item does.
        {ID_VIEW_ZOOM_IN_CENTER, "Zoom In to &Center", "+",
         "Zoom in to the center, twice as close (PgUp zooms in a little)", "Zoom In", "+|=|Num++",
         "zoom-center-in", false},
        {ID_VIEW_ZOOM_OUT_CENTER, "Zoom Out &from Center", "-",
         "Zoom out from the center, twice as far (PgDn zooms out a little)", "Zoom Out", "-|Num+-",
         "zoom-center-out", false},
        {ID_VIEW_SHOW_ENTIRE_NETWORK, "Show Entire &Network", "", "Show Entire Network",
         "Show Network", "", "show-network", false},
        {ID_VIEW_NUMBERS, "&Link and Node Numbers", "", "Show/hide Link and Node Numbers",
         "Link and Node Numbers", "", "numbers", true},
        {ID_VIEW_GRID, "&Grid", "", "Show/hide grid lines", "Grid", "", "grid", true},
        {ID_VIEW_BITMAP, "&Bitmap Background", "", "Show/hide bitmap background", "Bitmap", "",
         "bitmap", true},
        {ID_VIEW_COLOUR_BY, "Colo&ur Links By...", "",
         "Colour the links by lanes, capacity, speed, jam density or length, with a legend",
         "Colour Links By", "", "", false},
        {ID_VIEW_TIGER, "TIGER/Line &Data", "", "Show/hide TIGER Data", "TIGER Data", "", "tiger",
         true},
        {ID_EDIT_PROPERTIES, "Pr&operties...", "", "Edit Properties of Selected Object",
         "Properties", "", "properties", false},
        {ID_EDIT_COPY_IMAGE, "Copy &Image", "Ctrl+I", "Copy window to clipboard as image",
         "Copy Image", "Ctrl+I", "copy-image", false},
        {ID_EDIT_CLEAR, "&Delete", "Del", "Delete the selection", "Delete", "Del", "delete", false},
        {ID_EDIT_CUT, "Cu&t", "Ctrl+X", "Cut the selection and put it on the Clipboard", "Cut",
         "Ctrl+X|Shift+Del", "cut", false},
        {ID_EDIT_COPY, "&Copy", "Ctrl+C", "Copy the selection and put it on the Clipboard", "Copy",
         "Ctrl+C|Ctrl+Ins", "copy", false},
        {ID_EDIT_PASTE, "&Paste", "Ctrl+V", "Insert Clipboard contents", "Paste",
         "Ctrl+V|Shift+Ins", "paste", false},
        {ID_EDIT_GOTO, "&Go To Link / Node...", "Ctrl+G",
         "Select a link or node by its number and centre the map on it", "Go To", "Ctrl+G", "",
         false},
        {ID_EDIT_SELECT_BY_EXPRESSION, "Select by E&xpression...", "Ctrl+F",
         "Select the links for which an expression holds", "Select by Expression", "Ctrl+F", "",
         false},
        {ID_EDIT_FIELD_CALCULATOR, "&Field Calculator...", "",
         "Set one attribute of links to the value of an expression", "Field Calculator", "", "",
         false},
        {ID_FILE_PRINT, "&Print...", "Ctrl+P", "Print the active document", "Print", "Ctrl+P",
         "print", false},
        {ID_FILE_PRINT_PREVIEW, "P&rint Preview", "", "Preview the active document",
         "Print Preview", "", "print-preview", false},
        {ID_EDIT_UNDO, "&Undo", "Ctrl+Z", "Undo the last action", "Undo", "Ctrl+Z|Alt+Backspace",
         "undo", false},
        {ID_EDIT_REDO, "&Redo", "Ctrl+Y", "Redo the previously undone action", "Redo", "Ctrl+Y",
         "redo", false},
        {ID_LOAD_BITMAP, "Load &Bitmap...", "", "Load Bitmap Background", "Load Bitmap", "",
         "load-bitmap", false},
        {ID_LOAD_TIGER_DATA, "Load &TIGER Data...", "", "Load TIGER/Line File", "Load TIGER Data",
         "", "load-tiger", false},
        {ID_NETWORK_GEOREFERENCE, "&Georeference...", "",
         "Say where the network lies on Earth, or that it is not placed", "Georeference", "", "",
         false},
        {ID_FILE_EXPORT, "&Export...", "", "Export the network to a GIS file or a GMNS folder",
         "Export", "", "", false},
        {ID_FILE_IMPORT, "&Import...", "", "Make a new network from a GIS file or a GMNS folder",
         "Import", "", "", false},
        {ID_FILE_CLOSE, "&Close", "", "Close the active document", "Close", "", "", false},
        {ID_FILE_SAVE, "&Save", "Ctrl+S", "Save the active document", "Save", "Ctrl+S", "save",
         false},
        {ID_FILE_SAVE_AS, "Save &As...", "Ctrl+Shift+S", "Save the active document with a new name",
         "Save As", "Ctrl+Shift+S", "", false},
        {ID_FILE_NEW, "&New", "Ctrl+N", "Create a new document", "New", "Ctrl+N", "new", false},
        {ID_FILE_OPEN, "&Open...", "Ctrl+O", "Open an existing document", "Open", "Ctrl+O", "open",
         false},
        {ID_PREFERENCES, "&Preferences...", "", "Edit Preferences", "Preferences", "",
         "preferences", false},
        // F1 itself is the Help command, which opens the guide at its index.
        {ID_HELP_FINDER, "&Help Topics", "F1", "List Help topics (F1 opens the index)",
         "Help Topics", "", "help", false},
        {ID_HELP, "", "", "Display help for current task or command", "Help", "F1", "", false},
        {ID_APP_ABOUT, "&About Vantry...", "", "", "About", "", "", false},
        {ID_APP_EXIT, "E&xit", "Ctrl+Q", "Quit the application; prompts to save documents", "Exit",
         "Ctrl+Q", "", false},
        {ID_VIEW_LINK_TABLE, "Link &Table", "Ctrl+T", "Show or hide the table of links",
         "Link Table", "Ctrl+T", "link-table", true},
        {ID_NETWORK_CHECK, "Chec&k Network", "Ctrl+K",
         "Check the network and list the problems found", "Check Network", "Ctrl+K",
         "check-network", false},
        {ID_NETWORK_WORK_ZONE, "&Work Zone...", "",
         "Mark the selected run of links Work Zone and choose the detours around it", "Work Zone",
         "", "", false},
        {ID_NETWORK_ROUTE, "&Route...", "",
         "Show the fastest route between two nodes, with its length and free-flow time", "Route",
         "", "", false},
        {ID_VIEW_TOOLBAR, "Toolb&ar", "", "Show or hide the toolbar", "Toggle ToolBar", "", "",
         true},
        {ID_VIEW_STATUS_BAR, "&Status Bar", "", "Show or hide the status bar", "Toggle StatusBar",
         "", "", true},
        {ID_WINDOW_NEW, "&New Window", "", "Open another window for the active document", "", "",
         "", false},
        {ID_WINDOW_CASCADE, "&Cascade", "", "Arrange windows so they overlap", "", "", "", false},
        {ID_WINDOW_TILE, "&Tile", "", "Arrange windows as non-overlapping tiles", "", "", "",
         false},
        {ID_WINDOW_ARRANGE, "&Arrange Icons", "", "Arrange icons at the bottom of the window", "",
         "", "", false},
        // Keyboard only.
        {ID_VIEW_FINE_ZOOM_OUT, "", "", "", "", "PgDown", "", false},
        {ID_VIEW_FINE_ZOOM_IN, "", "", "", "", "PgUp", "", false},
        {ID_VIEW_MOVE_RIGHT, "", "", "", "", "Right", "", false},
        {ID_VIEW_MOVE_LEFT, "", "", "", "", "Left", "", false},
        {ID_VIEW_MOVE_UP, "", "", "", "", "Up", "", false},
        {ID_VIEW_MOVE_DOWN, "", "", "", "", "Down", "", false},
        {ID_VIEW_ESCAPE, "", "", "", "", "Esc", "", false},
    });
    return table;
}

const CommandInfo* findCommand(int id) {
    const auto& table = commandTable();
    const auto it =
        std::find_if(table.begin(), table.end(), [id](const CommandInfo& c) { return c.id == id; });
    return it == table.end() ? nullptr : &*it;
}

const std::vector<MenuLayout>& menusWithoutDocument() {
    static const std::vector<MenuLayout> menus = {
        {"&File",
         {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_IMPORT, kSeparator, kRecentFiles, kSeparator,
          ID_APP_EXIT}},
        {"&View", {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR}},
        {"&Network", {ID_PREFERENCES}},
        {"&Help", {ID_HELP_FINDER, kSeparator, ID_APP_ABOUT}},
    };
    return menus;
}

const std::vector<MenuLayout>& menusWithDocument() {
    static const std::vector<MenuLayout> menus = {
        {"&File",
         {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_CLOSE, ID_FILE_SAVE, ID_FILE_SAVE_AS, kSeparator,
          ID_FILE_IMPORT, ID_FILE_EXPORT, kSeparator, ID_FILE_PRINT, ID_FILE_PRINT_PREVIEW,
          kSeparator, kRecentFiles, kSeparator, ID_APP_EXIT}},
        {"&Edit",
         {ID_EDIT_UNDO, ID_EDIT_REDO, kSeparator, ID_EDIT_CLEAR, ID_EDIT_CUT, ID_EDIT_COPY,
          ID_EDIT_PASTE, ID_EDIT_COPY_IMAGE, kSeparator, ID_EDIT_GOTO, ID_EDIT_SELECT_BY_EXPRESSION,
          ID_EDIT_FIELD_CALCULATOR, kSeparator, ID_EDIT_PROPERTIES}},
        {"&View",
         {ID_TOOL_PAN, ID_TOOL_ZOOM_IN, ID_TOOL_ZOOM_OUT, kSeparator, ID_VIEW_ZOOM_IN_CENTER,
          ID_VIEW_ZOOM_OUT_CENTER, ID_VIEW_SHOW_ENTIRE_NETWORK, kSeparator, ID_VIEW_NUMBERS,
          ID_VIEW_GRID, ID_VIEW_BITMAP, ID_VIEW_TIGER, ID_VIEW_COLOUR_BY, kSeparator,
          ID_VIEW_LINK_TABLE, ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR}},
        {"&Network",
         {ID_TOOL_SELECT, ID_TOOL_NODE, ID_TOOL_LINK, ID_TOOL_TWOWAY_LINK, ID_TOOL_AUTO_POPULATE,
          ID_TOOL_ROUTE, kSeparator, ID_TOOL_DISTANCE, ID_NETWORK_ROUTE, ID_NETWORK_CHECK,
          ID_NETWORK_WORK_ZONE, kSeparator, ID_LOAD_BITMAP, ID_LOAD_TIGER_DATA,
          ID_NETWORK_GEOREFERENCE, ID_PREFERENCES}},
        {"&Window",
         {ID_WINDOW_NEW, ID_WINDOW_CASCADE, ID_WINDOW_TILE, ID_WINDOW_ARRANGE, kWindowList}},
        {"&Help", {ID_HELP_FINDER, kSeparator, ID_APP_ABOUT}},
    };
    return menus;
}

const std::vector<int>& toolbarLayout() {
    static const std::vector<int> layout = {
        ID_FILE_NEW,
        ID_FILE_OPEN,
        ID_FILE_SAVE,
        kSeparator,
        ID_FILE_PRINT,
        ID_FILE_PRINT_PREVIEW,
        kSeparator,
        ID_EDIT_CLEAR,
        ID_EDIT_CUT,
        ID_EDIT_COPY,
        ID_EDIT_PASTE,
        kSeparator,
        ID_EDIT_UNDO,
        ID_EDIT_REDO,
        kSeparator,
        ID_TOOL_SELECT,
        kSeparator,
        ID_TOOL_NODE,
        ID_TOOL_LINK,
        ID_TOOL_TWOWAY_LINK,
        ID_TOOL_AUTO_POPULATE,
        kSeparator,
        ID_TOOL_DISTANCE,
        ID_TOOL_ROUTE,
        kSeparator,
        ID_TOOL_PAN,
        ID_TOOL_ZOOM_IN,
        ID_TOOL_ZOOM_OUT,
        ID_VIEW_SHOW_ENTIRE_NETWORK,
        kSeparator,
        ID_VIEW_GRID,
        ID_VIEW_BITMAP,
        ID_VIEW_TIGER,
        ID_VIEW_NUMBERS,
        kSeparator,
        ID_VIEW_LINK_TABLE,
        ID_NETWORK_CHECK,
    };
    return layout;
}

const std::vector<int>& keyboardOnlyCommands() {
    static const std::vector<int> ids = {
        ID_VIEW_FINE_ZOOM_OUT, ID_VIEW_FINE_ZOOM_IN, ID_VIEW_MOVE_RIGHT, ID_VIEW_MOVE_LEFT,
        ID_VIEW_MOVE_UP,       ID_VIEW_MOVE_DOWN,    ID_VIEW_ESCAPE,     ID_HELP};
    return ids;
}

} // namespace vantry
