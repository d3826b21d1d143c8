#pragma once

#include "document/networkfiles.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QLockFile;

namespace vantry {

class CVantryDoc;
class Network;

// What one recovery file keeps of a modified document: the network in the exact snapshot form
// of the undo history, the file it belongs to and when it was written.
struct RecoveryRecord {
    std::string originalPath; // the document's file; empty for a network never saved
    std::string title;        // the name the user knows it by: "net.txt", "Network1"
    NetworkFormat format = NetworkFormat::Unknown; // of originalPath
    std::int64_t savedAt = 0;                      // seconds since 1970-01-01 UTC
    std::string snapshot;                          // encodeSnapshot of the network, uncompressed
};

// The bytes of a recovery file: a tag, the record's fields, then the snapshot compressed with
// zstd and checksummed.
std::string encodeRecoveryFile(const RecoveryRecord& record);
// Reads a recovery file's bytes; the snapshot is checked down to its last field. On failure
// `why` says what is wrong ("it is cut short").
bool decodeRecoveryFile(std::string_view bytes, RecoveryRecord& record, std::string& why);

// How the recovery dialog lists a recovery file: "net.txt, changed at 14:02 (/home/ann/net.txt)",
// with the date too when it was not today, and "(never saved)" for a new network.
std::string recoveryListing(const RecoveryRecord& record);

// A recovery file left by a run of the editor that has ended without saving or closing its
// documents.
struct OrphanedRecovery {
    std::string file;
    RecoveryRecord record;
};

// The recovery files of the running editor, in one folder shared by every run: every modified
// document is written to a file of its own, named after the run, and the run holds a lock file
// with its process id for as long as it lives. The files of a run whose process is gone are
// offered back to the next run; a run that is alive keeps its own. A document's file goes when
// the document is saved, returns to its saved state or closes.
class RecoveryStore {
public:
    explicit RecoveryStore(std::string folder);
    virtual ~RecoveryStore();
    RecoveryStore(const RecoveryStore&) = delete;
    RecoveryStore& operator=(const RecoveryStore&) = delete;

    // Makes the folder and takes this run's lock. False, with the reason, when either fails;
    // nothing can be kept then.
    bool open(std::string& why);
    bool isOpen() const { return lock_ != nullptr; }
    const std::string& folder() const { return folder_; }

    // The recovery files of runs that have ended, oldest first. Their locks are taken over, so
    // that another run starting now does not offer them too. A file that cannot be read is
    // renamed aside (its name ending in ".damaged") rather than deleted, and `problems` gets a
    // message naming it and saying why.
    std::vector<OrphanedRecovery> collectOrphans(std::vector<std::string>& problems);
    // Deletes an orphan's file (the user declined it, or its network now has a file of this run).
    // The lock of its run goes with the run's last file.
    bool discard(const OrphanedRecovery& orphan, std::string& why);

    // Writes the document's recovery file when the document is modified and its network or name
    // changed since the last write; removes the file when the document is not modified. False,
    // with the reason, when the file could not be written.
    bool update(const CVantryDoc& doc, std::string& why);
    // Removes the document's recovery file: it was saved or closed.
    void forget(const CVantryDoc& doc);
    // The document's recovery file; empty when it has none.
    std::string fileOf(const CVantryDoc& doc) const;

protected:
    // Takes a run's lock at once, or says it cannot: another run holds it, or the lock file
    // cannot be made. Tests put a lock that fails in its place.
    virtual bool takeLock(QLockFile& lock);

private:
    struct Kept {
        std::string file;
        std::size_t hash = 0;
    };
    void releaseEndedRun(const std::string& run);

    std::string folder_;
    std::string run_;
    std::unique_ptr<QLockFile> lock_;
    std::map<std::string, std::unique_ptr<QLockFile>> takenOver_; // by run
    std::map<const CVantryDoc*, Kept> kept_;
    int nextFile_ = 1;
};

} // namespace vantry
