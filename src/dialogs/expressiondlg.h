#pragma once

#include <QDialog>

#include <vector>

class QLabel;
class QLineEdit;

namespace vantry {

class Link;
class Network;

// Edit > Select by Expression: an expression over the links' attributes, with how many links
// it matches shown while it is typed (or why it is not a valid expression, and where).
class CExpressionDlg : public QDialog {
    Q_OBJECT
public:
    explicit CExpressionDlg(const Network& network, QWidget* parent = nullptr);

    // The links the expression matched, in the network's order; meaningful once accepted.
    const std::vector<Link*>& matches() const { return matches_; }
    // What the dialog says of the expression now: the count, or the error.
    QString verdict() const;

    // Closes the dialog only on a valid expression; otherwise focuses it at the error.
    void accept() override;

private:
    // Matches the expression against the network; false, after saying why, when it is invalid.
    bool evaluate();

    const Network& network_;
    std::vector<Link*> matches_;
    int errorColumn_ = 0;
    QLineEdit* expression_ = nullptr;
    QLabel* verdict_ = nullptr;
};

} // namespace vantry
