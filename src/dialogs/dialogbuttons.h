#pragma once

#include <functional>

class QDialog;
class QDialogButtonBox;
class QLabel;
class QWidget;

namespace vantry {

// The OK, Cancel and Help row shared by the dialogs: OK is the default button and accepts,
// Cancel (and Escape) rejects, Help calls `onHelp`.
QDialogButtonBox* createDialogButtons(QDialog* dialog, std::function<void()> onHelp);

// The line under a dialog's fields that says, in red, why OK did not close it: named "problem"
// and hidden until there is something to say.
QLabel* createProblemLabel(QWidget* parent);

// Runs a dialog modal to its own window only: the user's guide, a window of its own, stays
// usable beside it. Returns what exec() returns.
int execWindowModal(QDialog& dialog);

} // namespace vantry
