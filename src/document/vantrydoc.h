#pragma once

#include "document/background.h"
#include "document/commands.h"
#include "document/prompter.h"
#include "model/editing.h"
#include "model/network.h"
#include "tiger/tigerstore.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Anything that shows a document and must hear about its changes (the map views).
class DocumentObserver {
public:
    virtual ~DocumentObserver() = default;
    virtual void OnUpdate(DocumentObserver* sender, long hint) = 0;
};

// One open network file: the network, its path, title and modified flag, and its undo history
// kept as whole-network texts. It opens and saves by file extension and tells its views about
// every change through update hints. It has no window of its own.
class CVantryDoc : public CommandTarget {
public:
    // Update hints sent to the views.
    enum Hint : long {
        HintRedraw = 0,
        HintNetworkReplaced = 17598,
        HintBitmapChanged = 21199,
        HintTigerLoaded = 36009,
    };

    explicit CVantryDoc(Prompter* prompter = nullptr);
    CVantryDoc(const CVantryDoc&) = delete;
    CVantryDoc& operator=(const CVantryDoc&) = delete;

    Network& network() { return network_; }
    const Network& network() const { return network_; }
    Prompter* prompter() const { return prompter_; }

    bool IsModified() const { return modified_; }
    void SetModifiedFlag(bool modified = true) { modified_ = modified; }
    const std::string& GetPathName() const { return pathName_; }
    // Makes path the document's file and its file name the title.
    void SetPathName(const std::string& path);
    const std::string& GetTitle() const { return title_; }
    void SetTitle(const std::string& title) { title_ = title; }

    bool OnNewDocument();
    // Open and save report failure through the result and lastError(), which names the file
    // and what went wrong; they show nothing themselves.
    bool OnOpenDocument(const std::string& path);
    bool OnSaveDocument(const std::string& path);
    const std::string& lastError() const { return lastError_; }
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

    void UpdateAllViews(DocumentObserver* sender, long hint);
    void addView(DocumentObserver* view);
    void removeView(DocumentObserver* view);
    const std::vector<DocumentObserver*>& views() const { return views_; }

    // One user edit: snapshot, the change, then the modified flag and a redraw of every view.
    // When the change reports that it changed nothing, the snapshot is withdrawn instead and
    // the views are left alone. Returns what the change returned.
    bool edit(const std::function<bool(Network&)>& change);

    void takeSnapshot();
    void cancelSnapshot();
    bool canUndo() const { return !undoStack_.empty(); }
    bool canRedo() const { return !redoStack_.empty(); }
    void OnEditUndo();
    void OnEditRedo();
    std::size_t undoDepth() const { return undoStack_.size(); }
    std::size_t redoDepth() const { return redoStack_.size(); }

    std::optional<CommandState> query(int id) const override;
    bool execute(int id) override;

    // The background picture and its whole pixels per mile (0 without a picture).
    const BackgroundImage& background() const { return background_; }
    std::int32_t pixelsPerMile() const { return pixelsPerMile_; }
    // Load Bitmap: asks for the picture and its place, then loads it (one undo step).
    void OnLoadBitmap();
    // Loads the picture a network names: storedPath is resolved against the folder of
    // documentPath. Failures are told to the user; the network keeps naming the picture.
    bool loadBitmap(const std::string& storedPath, WorldRect rect, const std::string& documentPath);

    // TIGER/Line data loaded for this document; never saved and not part of undo.
    const TigerData& tiger() const { return tiger_; }
    // Load TIGER Data: asks for a record type 1 file and loads it with its type 2 companion.
    void OnLoadTigerData();
    // Loads a file pair and tells the views. False, with the reason in lastError(), when the
    // name does not end in "1"; files that could not be read are reported in lastError() too.
    bool loadTigerData(const std::string& path);

    // The attributes the user's preferences give a newly drawn link.
    static LinkDefaults linkDefaults();

    // Case-sensitive extension rule: from the last point of the path to its end.
    static std::string extensionOf(const std::string& path);

private:
    void restoreFrom(std::deque<std::string>& from, std::deque<std::string>& to);
    void updateModifiedFromDepth();

    Prompter* prompter_;
    Network network_;
    TigerData tiger_;
    BackgroundImage background_;
    std::int32_t pixelsPerMile_ = 0;
    std::deque<std::string> undoStack_;
    std::deque<std::string> redoStack_;
    std::deque<std::string> redoBackup_;
    // Undo depth of the state last opened or saved; -1 once that state can no longer be
    // reached by undoing or redoing.
    long savedDepth_ = 0;
    long savedDepthBackup_ = 0;
    bool modified_ = false;
    std::string pathName_;
    std::string title_;
    std::string lastError_;
    std::vector<DocumentObserver*> views_;
};
