#pragma once

#include "fields/storedtext.h"
#include "model/network.h"

#include <QDialog>
#include <QString>

#include <vector>

class QButtonGroup;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vantry {

class CIntegerEdit;
class Prompter;

// The modal dialog in which the user edits the traffic attributes of one link, or of several
// links at once where only what they share is shown and only what is filled in is applied.
class CLinkDlg : public QDialog {
    Q_OBJECT
public:
    // One link gives the single-link form (every attribute, length and description included),
    // two or more the multiple-link form. The links must stay alive until apply() has run.
    CLinkDlg(const std::vector<Link*>& links, Prompter& prompter, QWidget* parent = nullptr);

    // Called after exec() returned Accepted and the undo snapshot was taken. A single link gets
    // the whole data (a length left as shown keeps the link's length as it was, automatic after
    // Reset Length); several links get each of lanes, capacity, free-flow speed, jam density,
    // direction and type that was filled in or chosen, and keep their lengths and descriptions.
    // Does nothing unless the dialog was accepted.
    void apply();

    // Closes the dialog only when every field can be read; otherwise names the field to the
    // user, focuses it and stays open.
    void accept() override;

private:
    // Which attributes are written to the links. For several links an attribute starts set only
    // when all of them share it, and ends set when its field was filled in or a choice was made.
    struct ApplyFlags {
        bool numLanes = true;
        bool capacity = true;
        bool ffSpeed = true;
        bool jamDensity = true;
        bool direction = true;
        bool type = true;
    };

    void fillFromLinks();
    void buildControls();
    void load();
    void resetLength();
    bool exchange();

    std::vector<Link*> links_;
    Prompter& prompter_;
    bool single_;
    LinkAttributes data_;
    ApplyFlags flags_;
    // The length and description as the boxes first showed them, and what a length left
    // unchanged means (negative: automatic).
    QString shownLength_;
    float unchangedLength_ = -1.0f;
    QString shownDescription_;
    // The stored description's bytes behind the characters shown.
    StoredText description_;

    CIntegerEdit* numLanesEdit_ = nullptr;
    CIntegerEdit* capacityEdit_ = nullptr;
    QLineEdit* lengthEdit_ = nullptr;
    QPushButton* resetLengthButton_ = nullptr;
    CIntegerEdit* ffSpeedEdit_ = nullptr;
    CIntegerEdit* jamDensityEdit_ = nullptr;
    QButtonGroup* directionGroup_ = nullptr;
    QButtonGroup* typeGroup_ = nullptr;
    QPlainTextEdit* descriptionEdit_ = nullptr;
};

} // namespace vantry
