#pragma once

#include "exchange/networkimport.h"

#include <QDialog>

#include <array>

class QComboBox;
class QLabel;

namespace vantry {

// File > Import's second step: which field of the source each link attribute is read from (as
// the import chose them by name, or "(not read)"), and the units of lengths and speeds, asked
// for when the source does not state them.
class CImportMappingDlg : public QDialog {
    Q_OBJECT
public:
    explicit CImportMappingDlg(const ImportSource& source, QWidget* parent = nullptr);

    // What the user settled; meaningful once the dialog was accepted.
    const ImportChoices& choices() const { return choices_; }
    // The box choosing the field an attribute is read from: item 0 is "(not read)", then the
    // source's fields in its order.
    QComboBox* fieldBox(ImportField field) const {
        return fields_[static_cast<std::size_t>(field)];
    }
    QComboBox* lengthUnitBox() const { return lengthUnit_; }
    QComboBox* speedUnitBox() const { return speedUnit_; }
    // Why the last OK was refused; empty when it was not.
    QString problem() const;

    // Closes the dialog only once both units are known; otherwise says which is missing in the
    // dialog, focuses its box and stays open.
    void accept() override;

private:
    std::array<QComboBox*, static_cast<std::size_t>(ImportField::Count)> fields_{};
    QComboBox* lengthUnit_ = nullptr;
    QComboBox* speedUnit_ = nullptr;
    QLabel* problem_ = nullptr;
    ImportChoices choices_;
};

} // namespace vantry
