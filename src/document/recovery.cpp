#include "document/recovery.h"

#include "base/filecalls.h"
#include "base/files.h"
#include "document/vantrydoc.h"
#include "model/network.h"
#include "model/snapshot.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLockFile>
#include <QString>

#include <zstd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <new>
#include <set>
#include <stdexcept>

namespace vantry {

namespace {

constexpr std::string_view kTag = "Vantry recovery 1\n";
constexpr std::string_view kFileEnd = ".vrec";
constexpr std::string_view kLockEnd = ".lock";
constexpr std::string_view kDamagedEnd = ".damaged";
// More than any network the program can hold; a larger size can only be damage.
constexpr std::uint64_t kMaxSnapshotBytes = std::uint64_t(1) << 34;
// A compressed block of the smallest kind (3 bytes of header and the 1 byte it repeats) gives
// 128 KiB at most, so no frame can give more than this many bytes for each of its own. A size
// beyond that is damage, and is refused before room for it is taken.
constexpr std::uint64_t kMaxExpansion = (std::uint64_t(128) << 10) / 4;

void putInteger(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void putText(std::string& out, const std::string& text) {
    putInteger(out, text.size(), 4);
    out += text;
}

// Reads the fields of a recovery file in order, remembering when it ran out of bytes.
class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    bool integer(std::uint64_t& value, int bytes) {
        if (bytes_.size() - at_ < static_cast<std::size_t>(bytes))
            return false;
        value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= std::uint64_t(static_cast<unsigned char>(bytes_[at_++])) << (8 * i);
        return true;
    }
    bool text(std::string& out) {
        std::uint64_t size = 0;
        if (!integer(size, 4) || bytes_.size() - at_ < size)
            return false;
        out.assign(bytes_.substr(at_, size));
        at_ += size;
        return true;
    }
    std::string_view rest() const { return bytes_.substr(at_); }

private:
    std::string_view bytes_;
    std::size_t at_ = 0;
};

bool endsWith(const std::string& text, std::string_view end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The run a recovery file belongs to: its name up to the last '-'.
std::string runOf(const std::string& fileName) {
    const auto dash = fileName.rfind('-');
    return dash == std::string::npos ? std::string() : fileName.substr(0, dash);
}

std::unique_ptr<QLockFile> lockFor(const std::string& folder, const std::string& run) {
    auto lock = std::make_unique<QLockFile>(QString::fromStdString(
        utf8FromPath(pathFromUtf8(folder) / pathFromUtf8(run + std::string(kLockEnd)))));
    // Only a process that is gone makes a lock stale; however old a lock is, its owner may
    // still be running.
    lock->setStaleLockTime(0);
    return lock;
}

std::string lockError(const QLockFile& lock) {
    switch (lock.error()) {
    case QLockFile::LockFailedError:
        return "another program holds its lock";
    case QLockFile::PermissionError:
        return "the folder cannot be written";
    default:
        return "its lock file cannot be made";
    }
}

std::size_t hashOf(const RecoveryRecord& r) {
    const std::hash<std::string_view> h;
    std::size_t seed = h(r.snapshot);
    for (const std::string* s : {&r.originalPath, &r.title})
        seed ^= h(*s) + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    return seed;
}

} // namespace

namespace {

bool readOrphan(const std::string& path, RecoveryRecord& record, std::string& why) {
    try {
        std::string bytes;
        return readWholeFile(path, bytes, why) && decodeRecoveryFile(bytes, record, why);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    why = "its network is too large to hold in memory";
    return false;
}

} // namespace

std::string encodeRecoveryFile(const RecoveryRecord& record) {
    std::string out(kTag);
    putText(out, record.originalPath);
    putText(out, record.title);
    putInteger(out, static_cast<std::uint64_t>(record.format), 1);
    putInteger(out, static_cast<std::uint64_t>(record.savedAt), 8);
    putInteger(out, record.snapshot.size(), 8);

    ZSTD_CCtx* context = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, 3);
    // A checksum over the network, so that a damaged file is told from a good one.
    ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
    const std::size_t start = out.size();
    out.resize(start + ZSTD_compressBound(record.snapshot.size()));
    const std::size_t written = ZSTD_compress2(context, out.data() + start, out.size() - start,
                                               record.snapshot.data(), record.snapshot.size());
    ZSTD_freeCCtx(context);
    // The bound always suffices, so a failure here is a broken library; an empty result is
    // refused when read.
    out.resize(start + (ZSTD_isError(written) ? 0 : written));
    return out;
}

bool decodeRecoveryFile(std::string_view bytes, RecoveryRecord& record, std::string& why) {
    if (bytes.substr(0, kTag.size()) != kTag) {
        why = "it is not a recovery file of this program";
        return false;
    }
    Reader in(bytes.substr(kTag.size()));
    std::uint64_t format = 0, savedAt = 0, size = 0;
    RecoveryRecord r;
    if (!in.text(r.originalPath) || !in.text(r.title) || !in.integer(format, 1) ||
        !in.integer(savedAt, 8) || !in.integer(size, 8) || in.rest().empty()) {
        why = "it is cut short";
        return false;
    }
    if (format > static_cast<std::uint64_t>(NetworkFormat::Unknown)) {
        why = "it names a file format this program does not know";
        return false;
    }
    const std::string_view frame = in.rest();
    if (size > kMaxSnapshotBytes || size / kMaxExpansion > frame.size() ||
        ZSTD_getFrameContentSize(frame.data(), frame.size()) != size) {
        why = "its network is damaged (its size is wrong)";
        return false;
    }
    try {
        r.snapshot.resize(size);
    } catch (const std::bad_alloc&) {
        why = "its network is too large to hold in memory";
        return false;
    }
    const std::size_t got = ZSTD_decompress(r.snapshot.data(), size, frame.data(), frame.size());
    if (ZSTD_isError(got) || got != size) {
        why = std::string("its network is damaged (") +
              (ZSTD_isError(got) ? ZSTD_getErrorName(got) : "it is cut short") + ")";
        return false;
    }
    Network check;
    std::string snapshotWhy;
    if (!decodeSnapshot(r.snapshot, check, &snapshotWhy)) {
        why = "its network is damaged (" + snapshotWhy + ")";
        return false;
    }
    r.format = static_cast<NetworkFormat>(format);
    r.savedAt = static_cast<std::int64_t>(savedAt);
    record = std::move(r);
    return true;
}

std::string recoveryListing(const RecoveryRecord& record) {
    const QDateTime when = QDateTime::fromSecsSinceEpoch(record.savedAt);
    const bool today = when.date() == QDate::currentDate();
    const QString time =
        when.toString(today ? QStringLiteral("HH:mm") : QStringLiteral("HH:mm 'on' yyyy-MM-dd"));
    return record.title + ", changed at " + time.toStdString() + " (" +
           (record.originalPath.empty() ? std::string("never saved") : record.originalPath) + ")";
}

// ---- RecoveryStore ----------------------------------------------------------------------------

RecoveryStore::RecoveryStore(std::string folder) : folder_(std::move(folder)) {}

RecoveryStore::~RecoveryStore() = default;

bool RecoveryStore::open(std::string& why) {
    std::error_code ec;
    std::filesystem::create_directories(pathFromUtf8(folder_), ec);
    if (ec) {
        why = "the folder " + folder_ + " cannot be made: " + ec.message();
        return false;
    }
    // The process id names the run for people; the clock keeps a later run whose process
    // happens to get the same id from taking this run's files for its own. Within a process the
    // stamps only go up, so two stores opened in the same millisecond are two runs.
    static std::atomic<qint64> lastStamp{0};
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    qint64 last = lastStamp.load();
    qint64 stamp = 0;
    do
        stamp = std::max(now, last + 1);
    while (!lastStamp.compare_exchange_weak(last, stamp));
    run_ = std::to_string(QCoreApplication::applicationPid()) + "." + std::to_string(stamp);
    auto lock = lockFor(folder_, run_);
    if (!takeLock(*lock)) {
        why = "the folder " + folder_ + " cannot hold a lock: " + lockError(*lock);
        return false;
    }
    lock_ = std::move(lock);
    return true;
}

std::vector<OrphanedRecovery> RecoveryStore::collectOrphans(std::vector<std::string>& problems) {
    std::vector<OrphanedRecovery> orphans;
    if (!isOpen())
        return orphans;
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(pathFromUtf8(folder_), ec)) {
        const std::string name = utf8FromPath(entry.path().filename());
        if (endsWith(name, kFileEnd))
            files.push_back(name);
    }
    std::sort(files.begin(), files.end());
    std::set<std::string> unlockable;
    for (const std::string& name : files) {
        const std::string run = runOf(name);
        if (run.empty() || run == run_ || unlockable.count(run))
            continue;
        if (!takenOver_.count(run)) {
            // Taking a lock reads the lock file that is there, and a pipe in its place would
            // never answer: a run whose lock is not a file is left alone.
            const std::string lockPath =
                utf8FromPath(pathFromUtf8(folder_) / pathFromUtf8(run + std::string(kLockEnd)));
            std::error_code lockError;
            std::string why;
            if (std::filesystem::exists(
                    std::filesystem::symlink_status(pathFromUtf8(lockPath), lockError)) &&
                !checkReadableFile(lockPath, why)) {
                unlockable.insert(run);
                problems.push_back("The recovery files beside " + lockPath +
                                   " are left where they are: that lock cannot be used, because " +
                                   why + ".");
                continue;
            }
            // A live run holds its lock; the lock of a run that has ended is taken over, and so
            // is the place of one that is missing.
            auto lock = lockFor(folder_, run);
            if (!takeLock(*lock))
                continue;
            takenOver_[run] = std::move(lock);
        }
        const std::string path = utf8FromPath(pathFromUtf8(folder_) / pathFromUtf8(name));
        std::string why;
        OrphanedRecovery orphan{path, {}};
        // Anything but a regular file (a pipe would never end) is refused before it is opened.
        if (readOrphan(path, orphan.record, why)) {
            orphans.push_back(std::move(orphan));
            continue;
        }
        const std::string aside = path + std::string(kDamagedEnd);
        std::error_code renameError;
        const bool keptAside =
            fileCalls().rename(pathFromUtf8(path), pathFromUtf8(aside), renameError);
        problems.push_back(
            "The recovery file " + path + " cannot be read: " + why + ". " +
            (keptAside ? "It is kept as " + aside + "." : "It is left where it is."));
    }
    std::stable_sort(orphans.begin(), orphans.end(), [](const auto& a, const auto& b) {
        return a.record.savedAt < b.record.savedAt;
    });
    for (auto it = takenOver_.begin(); it != takenOver_.end();) {
        const std::string run = (it++)->first;
        releaseEndedRun(run);
    }
    return orphans;
}

void RecoveryStore::releaseEndedRun(const std::string& run) {
    const auto it = takenOver_.find(run);
    if (it == takenOver_.end())
        return;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(pathFromUtf8(folder_), ec)) {
        const std::string name = utf8FromPath(entry.path().filename());
        if (endsWith(name, kFileEnd) && runOf(name) == run)
            return;
    }
    // Unlocking removes the lock file: nothing of that run is left.
    takenOver_.erase(it);
}

bool RecoveryStore::discard(const OrphanedRecovery& orphan, std::string& why) {
    std::error_code ec;
    if (!fileCalls().remove(pathFromUtf8(orphan.file), ec)) {
        why = "The recovery file " + orphan.file + " cannot be deleted: " + ec.message() + ".";
        return false;
    }
    releaseEndedRun(runOf(utf8FromPath(pathFromUtf8(orphan.file).filename())));
    return true;
}

bool RecoveryStore::update(const CVantryDoc& doc, std::string& why) {
    if (!doc.IsModified()) {
        forget(doc);
        return true;
    }
    if (!isOpen()) {
        why = "the recovery folder " + folder_ + " is not in use";
        return false;
    }
    RecoveryRecord record;
    record.originalPath = doc.GetPathName();
    record.title = doc.GetTitle();
    record.format =
        record.originalPath.empty() ? NetworkFormat::Unknown : networkFormatOf(record.originalPath);
    record.snapshot = encodeSnapshot(doc.network());
    const std::size_t hash = hashOf(record);
    Kept& kept = kept_[&doc];
    if (!kept.file.empty() && kept.hash == hash)
        return true;
    if (kept.file.empty())
        kept.file = utf8FromPath(
            pathFromUtf8(folder_) /
            pathFromUtf8(run_ + "-" + std::to_string(nextFile_++) + std::string(kFileEnd)));
    // The user's own file is never the one written, whatever folder it lies in.
    if (absolutePath(kept.file) == absolutePath(record.originalPath)) {
        why = "the recovery file would be the network's own file";
        return false;
    }
    record.savedAt = QDateTime::currentSecsSinceEpoch();
    kept.hash = 0;
    if (!writeFileSafely(kept.file, encodeRecoveryFile(record), why)) {
        why = "the recovery file " + kept.file + " cannot be written: " + why;
        return false;
    }
    kept.hash = hash;
    return true;
}

void RecoveryStore::forget(const CVantryDoc& doc) {
    const auto it = kept_.find(&doc);
    if (it == kept_.end())
        return;
    std::error_code ec;
    fileCalls().remove(pathFromUtf8(it->second.file), ec);
    kept_.erase(it);
}

bool RecoveryStore::takeLock(QLockFile& lock) {
    return lock.tryLock(0);
}

std::string RecoveryStore::fileOf(const CVantryDoc& doc) const {
    const auto it = kept_.find(&doc);
    if (it == kept_.end())
        return {};
    std::error_code ec;
    return std::filesystem::exists(pathFromUtf8(it->second.file), ec) ? it->second.file
                                                                      : std::string();
}

} // namespace vantry
