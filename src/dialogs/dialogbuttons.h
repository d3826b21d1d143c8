#pragma once

#include <functional>

class QDialog;
class QDialogButtonBox;

namespace vantry {

// The OK, Cancel and Help row shared by the dialogs: OK is the default button and accepts,
// Cancel (and Escape) rejects, Help calls `onHelp`.
QDialogButtonBox* createDialogButtons(QDialog* dialog, std::function<void()> onHelp);

// Runs a dialog modal to its own window only: the user's guide, a window of its own, stays
// usable beside it. Returns what exec() returns.
int execWindowModal(QDialog& dialog);

} // namespace vantry
