#pragma once

#include <QDialog>
#include <QString>

#include <optional>

class QFormLayout;
class QLineEdit;

namespace vantry {

class Node;
class Prompter;

// The modal dialog in which the user types the position of one node, in miles.
class CNodeDlg : public QDialog {
    Q_OBJECT
public:
    // Shows the node's x and y with 6 significant digits. The node must stay alive until
    // apply() has run.
    CNodeDlg(Node& node, Prompter& prompter, QWidget* parent = nullptr);

    // Called after exec() returned Accepted and the undo snapshot was taken: sets the node's x
    // and then its y (a coordinate left as shown keeps its exact value); the caller then
    // recomputes the network's bounds. Does nothing unless the dialog was accepted.
    void apply();

    // Closes the dialog only when both boxes hold a finite number and nothing else; otherwise
    // names the box to the user, focuses it and stays open.
    void accept() override;

private:
    // Adds the labelled box for one coordinate, showing `value`, and remembers the text shown.
    QLineEdit* addCoordinate(QFormLayout& form, const QString& name, const char* objectName,
                             float value, QString& shown);
    std::optional<float> readCoordinate(QLineEdit* edit, const QString& shown, float unchanged,
                                        const QString& name);

    Node& node_;
    Prompter& prompter_;
    float x_;
    float y_;
    QString shownX_;
    QString shownY_;
    QLineEdit* xEdit_ = nullptr;
    QLineEdit* yEdit_ = nullptr;
};

} // namespace vantry
