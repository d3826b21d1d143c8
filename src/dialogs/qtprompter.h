#pragma once

#include "document/prompter.h"

#include <QString>

class QWidget;

namespace vantry {

// Asks the user with the toolkit's message boxes and file and colour dialogs.
class QtPrompter : public Prompter {
public:
    explicit QtPrompter(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    void showMessage(const std::string& text, Icon icon) override;
    bool askYesNo(const std::string& text, Icon icon) override;
    Answer askYesNoCancel(const std::string& text, Icon icon) override;
    std::optional<std::string> chooseOpenPath(const std::string& filter) override;
    std::optional<std::string> chooseSavePath(const std::string& proposed,
                                              const std::string& filter) override;
    std::optional<std::string> chooseExportPath(const std::string& proposed,
                                                const std::string& filter) override;
    std::optional<std::uint32_t> pickColour(std::uint32_t initial) override;
    std::optional<std::string> choosePictureFile() override;
    std::optional<std::string> chooseRoadDataFile() override;
    std::optional<PictureChoice> choosePicture(const PictureChoice& initial) override;
    std::optional<StreetLoadChoice> chooseStreetLoad(const StreetLoadChoice& initial) override;
    std::optional<Georeference> chooseGeoreference(const Georeference& initial) override;
    // Runs the work beside the user interface, which keeps painting; a busy indicator appears
    // when the work lasts more than half a second.
    void runLongTask(const std::string& label, const std::function<void()>& task) override;
    // The same with a progress bar and a Cancel button.
    void runProgressTask(const std::string& label,
                         const std::function<void(const TaskProgress&)>& task) override;
    // One dialog listing every document with a check box each (all checked at first), and
    // Recover and Discard buttons; Escape puts the decision off.
    std::optional<std::vector<bool>>
    chooseRecoveries(const std::vector<std::string>& documents) override;
    std::optional<std::string> chooseItem(const std::string& text,
                                          const std::vector<std::string>& items) override;

private:
    // Questions asked from inside a dialog belong to that dialog, so that they block it and not
    // only the main window.
    QWidget* owner() const;

    // A chosen path, its folder kept for the next dialog; nothing when the dialog was cancelled.
    std::optional<std::string> remembered(const QString& path);
    std::optional<std::string> chooseSaveFile(const QString& title, const std::string& proposed,
                                              const std::string& filter);

    QWidget* parent_;
    // The open and save dialogs start where the user last chose a file; the program's current
    // folder never changes.
    QString lastFolder_;
};

// Turns a "text|patterns|text|patterns||" filter into the toolkit's "text (patterns);;..."
// form. "*.*" becomes "*", so that files without an extension are listed too.
QString toQtFileFilter(const std::string& filter);

} // namespace vantry
