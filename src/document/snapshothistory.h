#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <string>

class Network;

// The undo and redo history of one document: an exact snapshot of the whole network taken
// before each edit, kept compressed, and the depth at which the network is the one in its
// file. Restoring never rounds or drops anything, and a snapshot that cannot be restored leaves
// both the network and the history as they were.
class SnapshotHistory {
public:
    SnapshotHistory();
    ~SnapshotHistory();
    SnapshotHistory(const SnapshotHistory&) = delete;
    SnapshotHistory& operator=(const SnapshotHistory&) = delete;

    // Before an edit: keeps the network as it is now and puts the redo steps aside.
    void take(const Network& network);
    // Withdraws the newest snapshot of an edit that changed nothing; the redo steps it put aside
    // come back. It must follow its take with no other take, undo or redo in between.
    void cancel();
    // Puts the network back as the newest snapshot holds it and withdraws that snapshot: an
    // edit that was refused after it had begun.
    bool revert(Network& network, std::string* why = nullptr);

    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    // Swap the network for the newest undo (redo) state. False, with the reason in why, when
    // that state cannot be restored; nothing has changed then.
    bool undo(Network& network, std::string* why = nullptr);
    bool redo(Network& network, std::string* why = nullptr);

    // A newly opened file: no history, and the network is the file's.
    void clear();
    // The network has just been saved: this depth is the file's.
    void markSaved();
    bool isAtSavedState() const;

    std::size_t undoDepth() const { return undo_.size(); }
    std::size_t redoDepth() const { return redo_.size(); }
    // Bytes held by every snapshot, for the memory the history costs.
    std::size_t memoryBytes() const;

private:
    friend struct SnapshotHistoryTestAccess;

    struct Snapshot {
        std::string bytes;
        std::size_t size = 0; // before compression
    };

    Snapshot pack(const Network& network);
    bool unpack(const Snapshot& snapshot, Network& into, std::string* why);
    bool step(std::deque<Snapshot>& from, std::deque<Snapshot>& to, Network& network,
              std::string* why);

    struct Compressor;
    std::unique_ptr<Compressor> compressor_;
    std::deque<Snapshot> undo_;
    std::deque<Snapshot> redo_;
    std::deque<Snapshot> redoBackup_;
    // Undo depth of the state last opened or saved; -1 once that state can no longer be
    // reached by undoing or redoing.
    long savedDepth_ = 0;
    long savedDepthBackup_ = 0;
};
