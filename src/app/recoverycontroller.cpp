#include "app/recoverycontroller.h"

#include "app/samefile.h"
#include "base/files.h"
#include "document/prompter.h"
#include "document/recovery.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"

#include <QStandardPaths>
#include <QTimer>

#include <algorithm>

namespace vantry {

RecoveryController::RecoveryController(Prompter& prompter,
                                       const std::vector<std::unique_ptr<CVantryDoc>>& documents,
                                       QObject* parent)
    : QObject(parent), prompter_(prompter), documents_(documents) {}

RecoveryController::~RecoveryController() = default;

std::string RecoveryController::folder() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return data.isEmpty() ? std::string() : (data + QStringLiteral("/recovery")).toStdString();
}

void RecoveryController::start() {
    const std::string where = folder();
    std::string why = "there is no folder for the program's data";
    auto store = std::make_unique<RecoveryStore>(where);
    if (where.empty() || !store->open(why)) {
        prompter_.showMessage("Unsaved changes cannot be kept for recovery: " + why + ".",
                              Prompter::Icon::Exclamation);
        return;
    }
    store_ = std::move(store);
    autosave_ = new QTimer(this);
    connect(autosave_, &QTimer::timeout, this, &RecoveryController::autosaveNow);
    restartAutosave();
}

int RecoveryController::offer(const QStringList& files,
                              const std::function<CVantryDoc*(const RecoveryRecord&)>& open) {
    if (!store_)
        return 0;
    std::vector<std::string> problems;
    std::vector<OrphanedRecovery> orphans = store_->collectOrphans(problems);
    for (const std::string& problem : problems)
        prompter_.showMessage(problem, Prompter::Icon::Exclamation);
    std::vector<std::string> named;
    for (const QString& file : files)
        named.push_back(samePathKey(absolutePath(file.toStdString())));
    std::stable_partition(orphans.begin(), orphans.end(), [&named](const OrphanedRecovery& o) {
        return !o.record.originalPath.empty() &&
               std::find(named.begin(), named.end(), samePathKey(o.record.originalPath)) !=
                   named.end();
    });
    if (orphans.empty())
        return 0;
    std::vector<std::string> listed;
    for (const OrphanedRecovery& orphan : orphans)
        listed.push_back(recoveryListing(orphan.record));
    const std::optional<std::vector<bool>> chosen = prompter_.chooseRecoveries(listed);
    // Put off: every file stays for the next start.
    if (!chosen)
        return 0;
    int recovered = 0;
    for (std::size_t i = 0; i < orphans.size(); ++i) {
        std::string why;
        if (i < chosen->size() && (*chosen)[i]) {
            CVantryDoc* doc = open(orphans[i].record);
            if (!doc)
                continue;
            ++recovered;
            // The network has a recovery file of this run before the old one goes.
            if (!store_->update(*doc, why) || !store_->discard(orphans[i], why))
                prompter_.showMessage("The recovered changes to " + orphans[i].record.title +
                                          " are kept in the old recovery file only: " + why + ".",
                                      Prompter::Icon::Exclamation);
            continue;
        }
        if (!store_->discard(orphans[i], why))
            prompter_.showMessage(why, Prompter::Icon::Exclamation);
    }
    return recovered;
}

void RecoveryController::autosaveNow() {
    if (!store_)
        return;
    for (const auto& doc : documents_) {
        std::string why;
        // Said once: the same failure every interval would stop the user from working.
        if (!store_->update(*doc, why) && !autosaveWarned_) {
            autosaveWarned_ = true;
            prompter_.showMessage("Unsaved changes cannot be kept for recovery: " + why + ".",
                                  Prompter::Icon::Exclamation);
        }
    }
}

void RecoveryController::restartAutosave() {
    if (!autosave_)
        return;
    const std::int32_t seconds = UserDefinedSettings::saneAutosaveSeconds(
        SingletonPtr<UserDefinedSettings>::instance().autosaveSeconds.value);
    if (seconds == 0)
        autosave_->stop();
    else
        autosave_->start(seconds * 1000);
}

bool RecoveryController::autosaveRunning() const {
    return autosave_ && autosave_->isActive();
}

void RecoveryController::forget(const CVantryDoc& doc) {
    if (store_)
        store_->forget(doc);
}

void RecoveryController::documentModifiedChanged(CVantryDoc& doc) {
    // A save, or an undo back to the file's state, leaves nothing to recover.
    if (!doc.IsModified())
        forget(doc);
}

} // namespace vantry
