#include "document/vantrydoc.h"

#include "base/files.h"
#include "document/changedarea.h"
#include "document/networkfiles.h"
#include "document/picturefile.h"
#include "model/snapshot.h"
#include "picture/relativepath.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"

#include <algorithm>
#include <cerrno>
#include <optional>

namespace vantry {

namespace {

// The picture path to write into a file saved at savePath, for a network whose stored path is
// relative to the folder of base. Within one folder it stays exactly as it is.
std::string rebasedPicturePath(const std::string& stored, const std::string& base,
                               const std::string& savePath) {
    const std::string from = StoredPath(base), to = StoredPath(savePath);
    if (stored.empty() || IsAbsolutePath(stored) ||
        (!from.empty() && SamePathText(StoredFolder(from), StoredFolder(to))))
        return stored;
    std::string picture = ResolvePath(from, stored);
    if (!IsAbsolutePath(picture))
        picture = StoredPath(absolutePath(NativePath(picture)));
    return MakeRelativePath(to, picture);
}

} // namespace

CVantryDoc::CVantryDoc(Prompter* prompter) : prompter_(prompter) {}

CVantryDoc::~CVantryDoc() {
    background_.reset();
    trimPictureCache();
}

void CVantryDoc::tell(const std::string& text) const {
    if (prompter_)
        prompter_->showMessage(text, Prompter::Icon::Exclamation);
}

void CVantryDoc::SetPathName(const std::string& path) {
    pathName_ = absolutePath(path);
    const auto slash = pathName_.find_last_of("/\\");
    title_ = slash == std::string::npos ? pathName_ : pathName_.substr(slash + 1);
}

void CVantryDoc::SetModifiedFlag(bool modified) {
    if (modified_ == modified)
        return;
    modified_ = modified;
    // A listener may remove itself while it is told; work on a copy of the list.
    const std::vector<DocumentStateListener*> listeners = stateListeners_;
    for (DocumentStateListener* l : listeners)
        l->documentModifiedChanged(*this);
}

void CVantryDoc::addStateListener(DocumentStateListener* listener) {
    if (std::find(stateListeners_.begin(), stateListeners_.end(), listener) ==
        stateListeners_.end())
        stateListeners_.push_back(listener);
}

void CVantryDoc::removeStateListener(DocumentStateListener* listener) {
    stateListeners_.erase(std::remove(stateListeners_.begin(), stateListeners_.end(), listener),
                          stateListeners_.end());
}

bool CVantryDoc::OnNewDocument() {
    pathName_.clear();
    bitmapBase_.clear();
    SetModifiedFlag(false);
    return true;
}

bool CVantryDoc::OnOpenDocument(const std::string& requested) {
    const std::string path = absolutePath(requested);
    network_.clear();
    SetModifiedFlag(false);
    history_.clear();
    lastError_.clear();
    lastWarning_.clear();
    if (!readNetworkFile(path, network_, prompter_, lastError_, lastWarning_, &openDeclined_))
        return false;
    if (!lastWarning_.empty())
        tell(lastWarning_);
    // A picture stored relative to the network is looked for beside the file being opened,
    // wherever the program was started from.
    bitmapBase_ = path;
    if (showsPictures_ && !network_.bitmapPath().empty())
        loadBackground(network_.bitmapPath(), network_.bitmapRect(), bitmapBase_);
    return true;
}

bool CVantryDoc::OnRecoverDocument(std::string_view snapshot, const std::string& path,
                                   const std::string& title) {
    lastError_.clear();
    lastWarning_.clear();
    std::string why;
    if (!decodeSnapshot(snapshot, network_, &why)) {
        lastError_ = "The unsaved changes to " + title + " cannot be recovered: " + why + ".";
        return false;
    }
    history_.clearUnsaved();
    if (path.empty()) {
        pathName_.clear();
        title_ = title;
    } else {
        SetPathName(path);
    }
    bitmapBase_ = pathName_;
    if (showsPictures_ && !network_.bitmapPath().empty())
        loadBackground(network_.bitmapPath(), network_.bitmapRect(), bitmapBase_);
    SetModifiedFlag(true);
    return true;
}

bool CVantryDoc::OnSaveDocument(const std::string& requested) {
    const std::string path = absolutePath(requested);
    lastError_.clear();
    network_.setPrecision(SingletonPtr<UserDefinedSettings>::instance().precision.value);
    network_.recomputeBounds();

    // The network keeps its path relative to the file it came from, so that Undo brings back
    // paths that still mean the same picture; only the written file gets the path anew.
    const std::string kept = network_.bitmapPath();
    const std::string written = rebasedPicturePath(kept, bitmapBase_, path);
    network_.setBitmap(written, network_.bitmapRect());
    const bool ok = writeNetworkFile(path, network_, prompter_, lastError_);
    network_.setBitmap(kept, network_.bitmapRect());
    if (!ok)
        return false;
    history_.markSaved();
    SetModifiedFlag(false);
    return true;
}

std::string CVantryDoc::proposedSaveName(bool replace) const {
    if (!pathName_.empty() || !replace)
        return pathName_;
    const auto cut = title_.find_first_of("#%;/\\");
    return title_.substr(0, cut) + defaultNetworkExtension();
}

bool CVantryDoc::DoSave(std::optional<std::string> name, bool replace) {
    if (!name) {
        if (!prompter_)
            return false;
        name = prompter_->chooseSavePath(proposedSaveName(replace), networkFileFilter());
        if (!name)
            return false;
    }
    *name = absolutePath(*name);
    if (!OnSaveDocument(*name)) {
        if (prompter_)
            prompter_->showMessage(lastError_, Prompter::Icon::Stop);
        return false;
    }
    if (replace) {
        SetPathName(*name);
        // A new network names its pictures absolutely so far; from now on they are kept
        // relative to its file.
        if (bitmapBase_.empty())
            bitmapBase_ = pathName_;
        const std::vector<DocumentStateListener*> listeners = stateListeners_;
        for (DocumentStateListener* l : listeners)
            l->documentSaved(*this);
    }
    return true;
}

bool CVantryDoc::OnFileSave() {
    if (pathName_.empty() || !isWritableFile(pathName_))
        return DoSave(std::nullopt, true);
    return DoSave(pathName_, true);
}

bool CVantryDoc::SaveModified() {
    if (!IsModified())
        return true;
    if (!prompter_)
        return false;
    const std::string name = pathName_.empty() ? title_ : pathName_;
    switch (
        prompter_->askYesNoCancel("Save changes to " + name + "?", Prompter::Icon::Exclamation)) {
    case Prompter::Answer::Yes:
        return OnFileSave();
    case Prompter::Answer::No:
        return true;
    default:
        return false;
    }
}

void CVantryDoc::UpdateAllViews(DocumentObserver* sender, const DocumentChange& change) {
    // A view may close itself while handling a change; work on a copy of the list.
    const std::vector<DocumentObserver*> views = views_;
    for (DocumentObserver* v : views)
        if (v != sender)
            v->OnUpdate(sender, change);
}

void CVantryDoc::addView(DocumentObserver* view) {
    if (std::find(views_.begin(), views_.end(), view) == views_.end())
        views_.push_back(view);
}

void CVantryDoc::removeView(DocumentObserver* view) {
    views_.erase(std::remove(views_.begin(), views_.end(), view), views_.end());
}

bool CVantryDoc::edit(std::string name, const std::function<bool(Network&)>& change) {
    return runEdit(std::move(name), change, nullptr);
}

bool CVantryDoc::editObjects(std::string name, const std::vector<Node*>& nodes,
                             const std::vector<Link*>& links,
                             const std::function<bool(Network&)>& change) {
    const EditedObjects objects{nodes, links};
    return runEdit(std::move(name), change, &objects);
}

bool CVantryDoc::runEdit(std::string name, const std::function<bool(Network&)>& change,
                         const EditedObjects* objects) {
    // The links that follow the nodes are found once: the edit adds and removes nothing.
    std::vector<const Link*> around;
    std::optional<WorldRect> before;
    if (objects) {
        around = linksAround(objects->nodes, objects->links);
        before = areaOf(objects->nodes, around);
    }
    const std::string pictureBefore = network_.bitmapPath();
    const WorldRect placeBefore = network_.bitmapRect();
    history_.take(network_, std::move(name));
    if (!change(network_)) {
        history_.cancel();
        return false;
    }
    std::string why;
    if (!network_.checkStorable(&why)) {
        std::string restoreWhy;
        if (history_.revert(network_, &restoreWhy)) {
            UpdateAllViews(nullptr, ChangeKind::NetworkReplaced);
            tell("The change was not made: " + why + ".");
            return false;
        }
        // The change stays rather than lose the network; saving refuses it with the reason.
        tell("The change leaves a number no network file can store (" + why +
             "), and the network before it could not be restored (" + restoreWhy +
             "). Undo the change before saving.");
    }
    SetModifiedFlag(true);
    const bool pictureChanged = followBackground(pictureBefore, placeBefore);
    const std::optional<WorldRect> after = before ? areaOf(objects->nodes, around) : std::nullopt;
    if (after)
        UpdateAllViews(nullptr, DocumentChange(ChangeKind::AreaChanged, united(before, after)));
    else
        UpdateAllViews(nullptr, ChangeKind::Redraw);
    if (pictureChanged)
        UpdateAllViews(nullptr, ChangeKind::BackgroundChanged);
    return true;
}

void CVantryDoc::takeSnapshot() {
    history_.take(network_);
}

void CVantryDoc::cancelSnapshot() {
    history_.cancel();
}

void CVantryDoc::step(bool undo) {
    std::string why;
    RestoreChanges changes;
    const std::string pictureBefore = network_.bitmapPath();
    const WorldRect placeBefore = network_.bitmapRect();
    if (!(undo ? history_.undo(network_, &why, &changes)
               : history_.redo(network_, &why, &changes))) {
        tell(std::string(undo ? "Cannot undo" : "Cannot redo") +
             ": the kept state of the network could not be restored (" + why +
             "). The network is as it was.");
        return;
    }
    SetModifiedFlag(!history_.isAtSavedState());
    const bool pictureChanged = followBackground(pictureBefore, placeBefore);
    if (changes.reshaped) {
        UpdateAllViews(nullptr, ChangeKind::NetworkReplaced);
        if (pictureChanged)
            UpdateAllViews(nullptr, ChangeKind::BackgroundChanged);
        return;
    }
    UpdateAllViews(nullptr, DocumentChange(ChangeKind::AreaRestored, restoredArea(changes)));
    if (pictureChanged)
        UpdateAllViews(nullptr, ChangeKind::BackgroundChanged);
}

void CVantryDoc::OnEditUndo() {
    if (canUndo())
        step(true);
}

void CVantryDoc::OnEditRedo() {
    if (canRedo())
        step(false);
}

} // namespace vantry
