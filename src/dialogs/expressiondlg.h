#pragma once

#include <QDialog>

#include <vector>

class QLabel;
class QLineEdit;
class QRadioButton;

namespace vantry {

class Link;
class Network;
class Node;

// Edit > Select by Expression: an expression over the links' (or the nodes') attributes, with
// how many it matches shown while it is typed (or why it is not a valid expression, and where).
class CExpressionDlg : public QDialog {
    Q_OBJECT
public:
    explicit CExpressionDlg(const Network& network, QWidget* parent = nullptr);

    // Whether the expression is over nodes rather than links.
    bool choosesNodes() const;
    // The links (or, choosing nodes, the nodes) the expression matched, in the network's order;
    // meaningful once accepted. The other list is empty.
    const std::vector<Link*>& matches() const { return matches_; }
    const std::vector<Node*>& nodeMatches() const { return nodeMatches_; }
    // What the dialog says of the expression now: the count, or the error.
    QString verdict() const;

    // Closes the dialog only on a valid expression; otherwise focuses it at the error.
    void accept() override;

private:
    // Matches the expression against the network; false, after saying why, when it is invalid.
    bool evaluate();

    const Network& network_;
    std::vector<Link*> matches_;
    std::vector<Node*> nodeMatches_;
    int errorColumn_ = 0;
    QRadioButton* nodes_ = nullptr;
    QLineEdit* expression_ = nullptr;
    QLabel* verdict_ = nullptr;
};

} // namespace vantry
