#pragma once

#include "model/georeference.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QRadioButton;

namespace vantry {

// Network > Georeference: where the network lies on Earth, as a projected CRS (an EPSG code or
// a PROJ string) and the CRS coordinates of the network's point 0,0, or that it is not placed.
class CGeoreferenceDlg : public QDialog {
    Q_OBJECT
public:
    explicit CGeoreferenceDlg(const Georeference& initial, QWidget* parent = nullptr);

    // What the user settled; meaningful once the dialog was accepted.
    const Georeference& choice() const { return choice_; }
    // Why the last OK was refused; empty when it was not.
    QString problem() const;

    // Closes the dialog only when the network is left unplaced or PROJ takes the CRS as a
    // projected one and the origin is two finite numbers; otherwise says why in the dialog,
    // focuses the field at fault and stays open.
    void accept() override;

private:
    void refuse(const QString& why, QLineEdit* field);

    Georeference choice_;
    QRadioButton* placed_ = nullptr;
    QRadioButton* unplaced_ = nullptr;
    QLineEdit* crs_ = nullptr;
    QLineEdit* originX_ = nullptr;
    QLineEdit* originY_ = nullptr;
    QLabel* problem_ = nullptr;
};

} // namespace vantry
