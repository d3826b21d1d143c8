#pragma once

#include <functional>
#include <string>

class QTextBrowser;

namespace vantry {

// What part of the user's guide a request opens: its start, its index, or the topic of a
// dialog's help context number.
enum class HelpRequest { Start, Index, Context };

// Shows the user's guide (the HTML pages installed with the program) at the page the request
// names. True when the guide was shown. When the guide cannot be found, the failure is
// remembered and later requests give false at once without looking again. Failures are not
// reported to the user.
bool showGuide(HelpRequest request, long context = 0);

// The guide page (with anchor) that a request opens, or empty when there is none.
std::string helpTopicFor(HelpRequest request, long context = 0);

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

} // namespace vantry
