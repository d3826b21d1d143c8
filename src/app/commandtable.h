#pragma once

#include <vector>

namespace vantry {

// One command as the menus, toolbar, status bar and keyboard present it.
struct CommandInfo {
    int id;
    const char* menuText;   // with '&' before the access key; empty when not in a menu
    const char* keyHint;    // shown after the menu text, or empty
    const char* statusText; // shown in the status bar while the item is highlighted
    const char* toolTip;
    const char* keys; // accelerators in portable text form separated by '|', or empty
    const char* icon; // toolbar icon resource name, or empty
    bool checkable;
};

// Marks a separator in a menu or toolbar layout, the place of the recent-file list and the
// place of the list of open windows.
inline constexpr int kSeparator = 0;
inline constexpr int kRecentFiles = -1;
inline constexpr int kWindowList = -2;

struct MenuLayout {
    const char* title;
    std::vector<int> items;
};

// Every command of the program, once.
const std::vector<CommandInfo>& commandTable();
const CommandInfo* findCommand(int id);

// The menus shown without a document and with one, the toolbar, and the commands that only
// have keys.
const std::vector<MenuLayout>& menusWithoutDocument();
const std::vector<MenuLayout>& menusWithDocument();
const std::vector<int>& toolbarLayout();
const std::vector<int>& keyboardOnlyCommands();

} // namespace vantry
