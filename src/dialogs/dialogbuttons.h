#pragma once

#include <functional>

class QDialog;
class QDialogButtonBox;

// The OK, Cancel and Help row shared by the dialogs: OK is the default button and accepts,
// Cancel (and Escape) rejects, Help calls `onHelp`.
QDialogButtonBox* createDialogButtons(QDialog* dialog, std::function<void()> onHelp);
