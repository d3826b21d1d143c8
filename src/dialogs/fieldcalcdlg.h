#pragma once

#include "model/network.h"

#include <QDialog>

#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace vantry {

// The Field Calculator: one attribute of some links (the selected ones, all, or those an
// expression matches) set to the value of an expression ("lanes * 1900"). OK works the new
// attributes out for every link, checked as the Link Properties dialog checks them, and stays
// open naming the first link refused; nothing is changed until the caller applies them.
class CFieldCalcDlg : public QDialog {
    Q_OBJECT
public:
    CFieldCalcDlg(const Network& network, std::vector<Link*> selected, QWidget* parent = nullptr);

    // The links and their new attributes, in the same order; meaningful once accepted.
    const std::vector<Link*>& links() const { return links_; }
    const std::vector<LinkAttributes>& attributes() const { return attributes_; }
    // Why the last OK was refused; empty when it was not.
    QString problem() const;

    void accept() override;

    // The fields the calculator can set, as expressions name them.
    static const std::vector<const char*>& fieldNames();

private:
    void refuse(const QString& why, QLineEdit* field, int column = 0);
    // The links the choice of "which links" stands for; nothing after refusing.
    std::optional<std::vector<Link*>> chosenLinks();

    const Network& network_;
    std::vector<Link*> selected_;
    std::vector<Link*> links_;
    std::vector<LinkAttributes> attributes_;
    QRadioButton* selectedLinks_ = nullptr;
    QRadioButton* allLinks_ = nullptr;
    QRadioButton* matching_ = nullptr;
    QLineEdit* where_ = nullptr;
    QComboBox* field_ = nullptr;
    QLineEdit* value_ = nullptr;
    QLabel* problem_ = nullptr;
};

// Sets the attributes on their links; true when any link's attributes differ from before.
bool applyCalculatedAttributes(const std::vector<Link*>& links,
                               const std::vector<LinkAttributes>& attributes);

} // namespace vantry
