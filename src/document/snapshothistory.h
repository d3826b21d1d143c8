#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace vantry {

class Network;
struct RestoreChanges;

// The undo and redo history of one document: an exact snapshot of the whole network taken
// before each edit, and the depth at which the network is the one in its file. Snapshots are
// cut into pieces along their columns and compressed; a piece that is the same as in the
// snapshot taken before it is kept once and shared, so a small edit on a large network costs
// little time and memory. Restoring never rounds or drops anything, and a snapshot that cannot
// be restored leaves both the network and the history as they were.
class SnapshotHistory {
public:
    SnapshotHistory();
    ~SnapshotHistory();
    SnapshotHistory(const SnapshotHistory&) = delete;
    SnapshotHistory& operator=(const SnapshotHistory&) = delete;

    // Before an edit: keeps the network as it is now and puts the redo steps aside. The name
    // says what the edit does ("Move Nodes"), for the Undo and Redo menu items.
    void take(const Network& network, std::string name = {});
    // Withdraws the newest snapshot of an edit that changed nothing; the redo steps it put aside
    // come back. It must follow its take with no other take, undo or redo in between.
    void cancel();
    // Puts the network back as the newest snapshot holds it and withdraws that snapshot: an
    // edit that was refused after it had begun. Objects the network kept stay where they are.
    bool revert(Network& network, std::string* why = nullptr);

    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    // Make the network the newest undo (redo) state. False, with the reason in why, when that
    // state cannot be restored; nothing has changed then.
    // `changes`, when given, learns what the step changed.
    bool undo(Network& network, std::string* why = nullptr, RestoreChanges* changes = nullptr);
    bool redo(Network& network, std::string* why = nullptr, RestoreChanges* changes = nullptr);

    // A newly opened file: no history, and the network is the file's.
    void clear();
    // No history, and the network is not its file's: no undo or redo makes it so.
    void clearUnsaved();
    // The network has just been saved: this depth is the file's.
    void markSaved();
    bool isAtSavedState() const;

    // What the newest undo (redo) step does; empty when there is none or it has no name.
    const std::string& undoName() const;
    const std::string& redoName() const;

    std::size_t undoDepth() const { return undo_.size(); }
    std::size_t redoDepth() const { return redo_.size(); }
    // Bytes held by the kept snapshots, each shared piece counted once.
    std::size_t memoryBytes() const;

private:
    friend struct SnapshotHistoryTestAccess;

    // One compressed piece of a snapshot; stored as it is when compressing would not shrink it.
    struct Piece {
        std::string bytes;
        std::size_t size = 0; // before compression
    };
    using Snapshot = std::vector<std::shared_ptr<const Piece>>;
    // One undo or redo step: the state it goes back to, and what the edit did.
    struct Step {
        Snapshot snapshot;
        std::string name;
    };

    Snapshot pack(const Network& network);
    bool unpack(const Snapshot& snapshot, std::string& bytes, std::string* why);
    bool step(std::deque<Step>& from, std::deque<Step>& to, Network& network, std::string* why,
              RestoreChanges* changes);

    struct Compressor;
    std::unique_ptr<Compressor> compressor_;
    std::deque<Step> undo_;
    std::deque<Step> redo_;
    std::deque<Step> redoBackup_;
    // The last snapshot packed, uncompressed and cut into its pieces, to find what is unchanged.
    std::string lastBytes_;
    std::vector<std::vector<std::pair<std::size_t, std::size_t>>> lastCuts_;
    Snapshot lastPieces_;
    std::unordered_map<const Piece*, std::size_t> lastOffsets_; // where each lies in lastBytes_
    // Undo depth of the state last opened or saved; -1 once that state can no longer be
    // reached by undoing or redoing.
    long savedDepth_ = 0;
    long savedDepthBackup_ = 0;
};

} // namespace vantry
