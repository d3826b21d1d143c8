#pragma once

#include <functional>
#include <string>

class QTextBrowser;
class QWidget;

// Help requests, numbered as the help viewer knows them.
inline constexpr int HH_DISPLAY_TOPIC = 0;
inline constexpr int HH_DISPLAY_INDEX = 2;
inline constexpr int HH_HELP_CONTEXT = 15;
inline constexpr const char* kHelpFile = "VantryUsersGuide.chm";

// Shows the user guide: its start, its index, or the topic of a context number. Returns
// non-zero when the guide was shown. When the guide cannot be found, the failure is
// remembered and later requests return 0 at once without looking again. Failures are not
// reported to the user.
long ShowHelp(QWidget* window, const std::string& file, int command, long data);

// The guide page (with anchor) that a request opens, or empty when there is none.
std::string helpTopicFor(int command, long data);

// Closes the guide's window, if it is open; the program ends with its main window.
void closeHelp();

// F1: shows the guide's index, unless an F1 request is still being made.
void OnHelpKey();

// The guide's page browser inside its window, or null before the guide was first shown.
QTextBrowser* helpViewer();

// Makes F1 in any dialog press that dialog's Help button (or, without one, show the guide's
// index). Once per program; the application does it at start.
void installDialogHelpKey();

// For tests: where the guide is looked for, and whether it was found.
void setHelpRootForTesting(const std::string& root);
bool helpHasFailed();
void resetHelpForTesting();
