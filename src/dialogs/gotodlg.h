#pragma once

#include <QDialog>
#include <QString>

#include <optional>

class QLabel;
class QLineEdit;
class QRadioButton;

namespace vantry {

class Network;

// What Go To looks for: a link or a node by its number.
enum class GoToKind { Link, Node };

struct GoToTarget {
    GoToKind kind = GoToKind::Link;
    int number = 0;
    bool operator==(const GoToTarget&) const = default;
};

// Reads "link 12", "node 5", "l12", "n 5" or a bare number (which is of the kind given);
// nothing when the text is none of these.
std::optional<GoToTarget> parseGoToText(const QString& text, GoToKind bareNumber);

// Why the network has no such object ("There is no link 12: ..."), or empty when it has.
QString missingObjectReason(const Network& network, const GoToTarget& target);

// Edit > Go To Link / Node: one box to type into, with a choice of what a bare number means.
// An unknown number keeps the dialog open and says why.
class CGoToDlg : public QDialog {
    Q_OBJECT
public:
    explicit CGoToDlg(const Network& network, QWidget* parent = nullptr);

    // Meaningful once the dialog was accepted.
    const GoToTarget& target() const { return target_; }
    // Why the last OK was refused; empty when it was not.
    QString problem() const;

    void accept() override;

private:
    void refuse(const QString& why);

    const Network& network_;
    GoToTarget target_;
    QLineEdit* what_ = nullptr;
    QRadioButton* link_ = nullptr;
    QRadioButton* node_ = nullptr;
    QLabel* problem_ = nullptr;
};

} // namespace vantry
