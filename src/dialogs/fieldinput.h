#pragma once

#include "fields/numbertext.h"

class QWidget;

namespace vantry {

class Prompter;

// Tells the user why the field's content was refused, then puts the focus on the field with its
// text selected so that it can be retyped at once.
void refuseField(QWidget* field, Prompter& prompter, const QString& message);

} // namespace vantry
