#pragma once

#include "document/prompter.h"

#include <QDialog>

#include <string>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QPushButton;

namespace vantry {

// The Street Data dialog, shown before a file of street data is read: which road classes
// Auto-Populate makes links of, and, for layers that may give speeds as bare numbers, which
// unit those are in.
class CStreetLoadDlg : public QDialog {
    Q_OBJECT
public:
    explicit CStreetLoadDlg(const StreetLoadChoice& initial, QWidget* parent = nullptr);

    // What the user settled; meaningful after the dialog was accepted. Every class ticked is
    // "all", so that the choice stays whole when classes are added.
    StreetLoadChoice choice() const;

    // The All and Default buttons.
    void tickAll();
    void tickDefault();

private:
    void tick(const RoadClassChoice& classes);
    void updateControls();

    StreetLoadChoice initial_;
    // One box per class of the road class table, by class name, in the table's order.
    std::vector<std::pair<std::string, QCheckBox*>> boxes_;
    // Railway tracks are no road class: drawn under the streets when asked for, never populated.
    QCheckBox* railways_;
    QComboBox* speedUnit_ = nullptr;
    QPushButton* ok_;
};

} // namespace vantry
