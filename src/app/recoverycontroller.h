#pragma once

#include "document/vantrydoc.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QTimer;

namespace vantry {

class Prompter;
class RecoveryStore;
struct RecoveryRecord;

// Keeps the unsaved changes of the editor's documents where a crash cannot take them: every
// AutosaveSeconds each modified document is written to its recovery file, a document that is
// saved, undone back to its file or closed loses its file, and at start the changes of runs
// that ended without saving them are offered back.
class RecoveryController : public QObject, public DocumentStateListener {
    Q_OBJECT
public:
    RecoveryController(Prompter& prompter,
                       const std::vector<std::unique_ptr<CVantryDoc>>& documents,
                       QObject* parent = nullptr);
    ~RecoveryController() override;

    // Where the files are kept: "recovery" in the user's data folder for the program.
    static std::string folder();
    // Takes this run's lock on the folder and starts the timer; when that cannot be done the
    // user is told why, and nothing is kept.
    void start();
    // The recovery files of this run; null when they cannot be kept.
    RecoveryStore* store() const { return store_.get(); }

    // Offers back the changes of ended runs, those of the named files first. open makes a
    // document with its window from a kept network, or tells the user why it cannot and gives
    // null. Changes not chosen are removed; put off, every file stays for the next start.
    // Gives how many documents were recovered.
    int offer(const QStringList& files,
              const std::function<CVantryDoc*(const RecoveryRecord&)>& open);

    // What the timer does: modified documents are written, the others lose their files.
    void autosaveNow();
    // Follows a change of AutosaveSeconds; 0 stops the timer.
    void restartAutosave();
    bool autosaveRunning() const;
    // A document that closes leaves nothing to recover.
    void forget(const CVantryDoc& doc);

    void documentModifiedChanged(CVantryDoc& doc) override;

private:
    Prompter& prompter_;
    const std::vector<std::unique_ptr<CVantryDoc>>& documents_;
    std::unique_ptr<RecoveryStore> store_;
    QTimer* autosave_ = nullptr;
    bool autosaveWarned_ = false;
};

} // namespace vantry
