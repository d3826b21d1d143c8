#pragma once

#include "document/documentchange.h"
#include "document/prompter.h"
#include "document/snapshothistory.h"
#include "model/editing.h"
#include "model/network.h"
#include "picture/backgroundimage.h"
#include "streets/streetreader.h"
#include "tiger/roadclasses.h"
#include "tiger/tigerstore.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantry {

class CVantryDoc;

// Hears of a document's state as a file: the recent-file list and the recovery files follow it.
class DocumentStateListener {
public:
    virtual ~DocumentStateListener() = default;
    // The document was saved under its own name, which is now its path.
    virtual void documentSaved(CVantryDoc&) {}
    // The modified flag was set, or cleared (by a save, or by undoing back to the file's state).
    virtual void documentModifiedChanged(CVantryDoc&) {}
};

// One open network file: the network, its path, title and modified flag, its undo history, its
// background picture and TIGER/Line data. It runs every edit through one protocol, edit(), and
// tells its views and docks about every change as a DocumentChange. It has no window of its own.
class CVantryDoc {
public:
    explicit CVantryDoc(Prompter* prompter = nullptr);
    ~CVantryDoc();
    CVantryDoc(const CVantryDoc&) = delete;
    CVantryDoc& operator=(const CVantryDoc&) = delete;

    Network& network() { return network_; }
    const Network& network() const { return network_; }
    Prompter* prompter() const { return prompter_; }

    bool IsModified() const { return modified_; }
    void SetModifiedFlag(bool modified = true);
    const std::string& GetPathName() const { return pathName_; }
    // Makes path, taken as absolute, the document's file and its file name the title.
    void SetPathName(const std::string& path);
    const std::string& GetTitle() const { return title_; }
    void SetTitle(const std::string& title) { title_ = title; }

    bool OnNewDocument();
    // Open and save report failure through the result and lastError(), which names the file
    // and what went wrong; they show nothing themselves. A file opened only in part is a
    // success that the open tells the user about through the prompter, and lastWarning() keeps
    // what it said until the next open. A relative path is taken against the
    // current folder at the moment of the call. Saving into another folder than the one the
    // network came from writes the background picture's path anew, so that the saved file
    // still names the same picture; the network in memory is not changed by a save.
    bool OnOpenDocument(const std::string& path);
    bool OnSaveDocument(const std::string& path);
    // Takes a network kept for recovery (an exact snapshot) as this document's, under the file
    // and title it had; a network never saved keeps only its title. The document is modified,
    // and stays so through any undo, since the network is not its file's. False, with the
    // reason in lastError(), when the snapshot cannot be restored.
    bool OnRecoverDocument(std::string_view snapshot, const std::string& path,
                           const std::string& title);
    const std::string& lastError() const { return lastError_; }
    const std::string& lastWarning() const { return lastWarning_; }
    // True after an open the user ended by answering No to the workbook question: nothing
    // needs to be told then, though lastError() still says why.
    bool openDeclined() const { return openDeclined_; }
    // Save and Save As: without a name the user is asked for one, starting from
    // proposedSaveName(). With replace the saved name becomes the document's path. A failed
    // save is reported to the user.
    bool DoSave(std::optional<std::string> name, bool replace = true);
    std::string proposedSaveName(bool replace = true) const;
    // File Save: saves to the document's path, or asks for a name when there is none or the
    // file there is missing or read-only.
    bool OnFileSave();
    bool OnFileSaveAs() { return DoSave(std::nullopt, true); }
    // Before the document closes: asks whether to save a modified document. False when the
    // user cancels or the save fails, so that the document stays open.
    bool SaveModified();

    void UpdateAllViews(DocumentObserver* sender, const DocumentChange& change);
    void addView(DocumentObserver* view);
    void removeView(DocumentObserver* view);
    const std::vector<DocumentObserver*>& views() const { return views_; }
    void addStateListener(DocumentStateListener* listener);
    void removeStateListener(DocumentStateListener* listener);

    // One user edit, named for the Undo and Redo menu items ("Move Nodes"): snapshot, the
    // change, then the modified flag and a redraw of every view. When the change reports that it
    // changed nothing, the snapshot is withdrawn instead and the views are left alone. A change
    // that would leave a number no file can store (nodes so far apart that a link's length
    // overflows) is refused: the network is put back as it was, the views are told that every
    // object was replaced, and the user is told why. True only when the change was made; after
    // false, objects the change created no longer exist. A change that names another
    // background picture, or places it elsewhere, shows that picture, as Undo and Redo do.
    bool edit(std::string name, const std::function<bool(Network&)>& change);
    // An edit that only moves the given nodes (the links attached to them follow) and changes
    // attributes of the given links, adding and removing nothing. The views are told which
    // area changed (the changed nodes, both ends of every link attached to one and of the
    // changed links, before and after), so that they redraw only that.
    bool editObjects(std::string name, const std::vector<Node*>& nodes,
                     const std::vector<Link*>& links, const std::function<bool(Network&)>& change);
    // What Undo (Redo) would undo (redo), as its edit was named; empty when nothing or unnamed.
    const std::string& undoName() const { return history_.undoName(); }
    const std::string& redoName() const { return history_.redoName(); }

    // A snapshot outside edit(), for measuring the history alone.
    void takeSnapshot();
    void cancelSnapshot();
    bool canUndo() const { return history_.canUndo(); }
    bool canRedo() const { return history_.canRedo(); }
    // Undo and Redo tell the user, and change nothing, when the kept state cannot be restored.
    void OnEditUndo();
    void OnEditRedo();
    const SnapshotHistory& history() const { return history_; }
    std::size_t undoDepth() const { return history_.undoDepth(); }
    std::size_t redoDepth() const { return history_.redoDepth(); }

    // The background picture and its whole pixels per mile (0 without a picture). It is always
    // the picture the network names, at the place it names, or none: Undo and Redo that change
    // either bring the picture in line (from the pictures kept in memory where they can) and
    // tell the views with ChangeKind::BackgroundChanged after the restore's own change.
    const BackgroundImage& background() const;
    std::int32_t pixelsPerMile() const { return pixelsPerMile_; }
    // Load Bitmap: asks for the picture and its place, then loads it (one undo step); a picture
    // that cannot be read changes nothing. A picture given here (one dropped on a view) is
    // offered in place of the one the network names.
    void OnLoadBitmap(const std::string& picture = {});
    // Loads the picture a network names: storedPath is resolved against the folder of
    // documentPath. Failures are told to the user; the network keeps naming the picture.
    bool loadBackground(const std::string& storedPath, WorldRect rect,
                        const std::string& documentPath);
    // The file whose folder the network's stored picture path is relative to: the file the
    // network was opened from (empty for a new network, whose pictures are named absolutely).
    const std::string& bitmapBase() const { return bitmapBase_; }
    // Whether opening a network reads its background picture (the default). A document that
    // is never drawn (the command line's info, check and convert) spares itself the decoding.
    void setShowsPictures(bool shows) { showsPictures_ = shows; }

    // TIGER/Line data loaded for this document; never saved and not part of undo.
    const TigerData& tiger() const { return tiger_; }
    // Load TIGER Data: asks for a record type 1 file and loads it with its type 2 companion, or
    // for a file of street data, whose layer of lines it asks for when there are several, and
    // then which road classes are wanted and, unless the file is OpenStreetMap's, what unit a
    // speed without one is in. The classes chosen are remembered for Auto-Populate.
    void OnLoadTigerData();
    // Loads a file pair. False, with the reason in lastError(), when the name does not end in
    // "1"; files that could not be read are reported in lastError() too.
    bool loadTigerData(const std::string& path);
    // Adds the chains of a file of street data (layer empty for a file with one layer of
    // lines). False, with the reason in lastError(), when nothing could be read; features that
    // could not be placed on the map are told in lastWarning().
    bool loadStreetData(const std::string& path, const std::string& layer,
                        const StreetReadOptions& options = {});
    // True while work for this document runs beside the user interface (a TIGER/Line load):
    // its windows must stay open, and it must stay alive, until the work ends.
    bool isBusy() const { return busy_; }

    // The attributes the user's preferences give a newly drawn link.
    static LinkDefaults linkDefaults();
    // The road classes the user last chose to populate; the default ones when the stored list
    // names none or cannot be read.
    static RoadClassChoice roadClasses();
    // The defaults of every road class as the user's preferences change them; a class whose
    // stored values cannot be read keeps the built-in ones.
    static RoadClassDefaultsTable roadClassDefaults();
    // Everything Auto-Populate takes from the preferences: the link defaults, the road classes
    // and their defaults, and the precision lengths are kept to.
    static PopulateOptions populateOptions();

private:
    struct EditedObjects {
        const std::vector<Node*>& nodes;
        const std::vector<Link*>& links;
    };
    bool runEdit(std::string name, const std::function<bool(Network&)>& change,
                 const EditedObjects* objects);
    void step(bool undo);
    void loadStreetsAsked(const std::string& path);
    void tell(const std::string& text) const;
    // The picture the stored path names, resolved against documentPath, or nothing with the
    // reason told to the user.
    std::shared_ptr<const BackgroundImage> readBackground(const std::string& storedPath,
                                                          const std::string& documentPath) const;
    void showBackground(std::shared_ptr<const BackgroundImage> picture, WorldRect rect);
    // Load Bitmap's edit: the network names the picture at the place, or none.
    bool placeBackground(const std::string& stored, WorldRect rect);
    // After Undo or Redo: the picture the network names now, when it names another or places
    // it elsewhere than before. True when the views must hear of it.
    bool followBackground(const std::string& path, WorldRect rect);

    Prompter* prompter_;
    Network network_;
    TigerData tiger_;
    std::shared_ptr<const BackgroundImage> background_;
    std::int32_t pixelsPerMile_ = 0;
    bool showsPictures_ = true;
    SnapshotHistory history_;
    bool modified_ = false;
    bool busy_ = false;
    std::string pathName_;
    std::string bitmapBase_;
    std::string title_;
    std::string lastError_;
    std::string lastWarning_;
    bool openDeclined_ = false;
    std::vector<DocumentObserver*> views_;
    std::vector<DocumentStateListener*> stateListeners_;
};

} // namespace vantry
