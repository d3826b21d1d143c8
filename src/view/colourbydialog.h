#pragma once

#include "view/linkcolouring.h"

#include <QDialog>

#include <optional>

class QComboBox;
class QSpinBox;

namespace vantry {

// View > Colour Links By...: the field a window colours its links by, and how its values are
// cut into classes.
class ColourByDialog : public QDialog {
    Q_OBJECT
public:
    ColourByDialog(const ColourChoice& current, QWidget* parent = nullptr);

    ColourChoice choice() const;
    QComboBox* fieldBox() const { return field_; }
    QComboBox* methodBox() const { return method_; }
    QSpinBox* classesBox() const { return classes_; }

private:
    void fieldChosen();

    QComboBox* field_;
    QComboBox* method_;
    QSpinBox* classes_;
};

// Runs the dialog; the new choice when the user pressed OK.
std::optional<ColourChoice> askColourChoice(const ColourChoice& current, QWidget* parent);

} // namespace vantry
