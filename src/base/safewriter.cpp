#include "base/filecalls.h"
#include "base/filereasons.h"
#include "base/files.h"
#include "base/savetemporaries.h"

#include <cerrno>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace vantry {

namespace {

// Linux follows at most this many links in one path.
constexpr int kMaxLinks = 40;
constexpr int kMaxTemporaryAttempts = 100;
constexpr const char* kReadOnlyReason = "it is read-only: no one has permission to write to it";

// The permission tests, the old file's owner and mode, and the folder's flush: calls only the
// writer makes, and whose failures it either reports at once or can do without.

// The real test, which knows about owners, groups, access lists and read-only disks.
bool mayWriteFile(const fs::path& path) {
    return ::access(path.c_str(), W_OK) == 0;
}

bool mayWriteFolder(const fs::path& path) {
    return ::access(path.c_str(), W_OK | X_OK) == 0;
}

void adoptOwnerAndMode(int fd, const fs::path& original) {
    struct stat old {};
    if (::stat(original.c_str(), &old) != 0)
        return;
    mode_t mode = old.st_mode & 07777;
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
        // Only root may give a file away, but anyone may hand it to a group they belong to. A file
        // that ends up with another owner must not carry the old owner's set-id bits, nor give
        // the old group's rights to another group.
        mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
        if (::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0)
            mode &= ~static_cast<mode_t>(S_IRWXG);
    }
    // After fchown, which clears the set-id bits. A disk without modes keeps its default.
    ::fchmod(fd, mode);
}

// Makes the rename itself survive a crash; a folder that cannot be flushed costs only that.
void flushFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// Why something may not be written: in the user's terms when it is a matter of permission.
std::string refusal(int err, const std::string& permission) {
    if (err == EACCES || err == EPERM)
        return permission;
    if (err == EROFS)
        return "it is on a disk that can only be read";
    if (err == ENOENT)
        return "its folder does not exist";
    return reasonOf(err);
}

// The file a path names once its symbolic links are followed, a relative link target taken
// against the link's folder. A link to a missing file gives that file.
bool followLinks(fs::path path, fs::path& file, std::string& why) {
    for (int hops = 0; hops <= kMaxLinks; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec))) {
            file = path;
            return true;
        }
        const fs::path next = fs::read_symlink(path, ec);
        if (ec) {
            why = reasonOf(ec);
            return false;
        }
        // Not normalised: ".." after a folder that is itself a link must go where the system
        // takes it.
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    why = "it is a symbolic link that leads round in a loop or through too many others";
    return false;
}

constexpr fs::perms kAnyWrite =
    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;

// A regular file whose permissions let no one write to it has been marked read-only by its
// owner. Root may write it all the same, and so may anyone on a disk that keeps no modes.
bool isMarkedReadOnly(const fs::file_status& status) {
    return fs::is_regular_file(status) && status.permissions() != fs::perms::unknown &&
           (status.permissions() & kAnyWrite) == fs::perms::none;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const long long n = fileCalls().write(fd, bytes.data(), bytes.size());
        if (n < 0)
            return false;
        if (n == 0) {
            errno = EIO;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

bool isReadOnlyButReplaceable(const std::string& path) {
    fs::path target;
    std::string why;
    if (!followLinks(pathFromUtf8(path), target, why))
        return false;
    std::error_code ec;
    return isMarkedReadOnly(fs::status(target, ec)) && mayWriteFile(target);
}

bool writeFileSafely(const std::string& path, std::string_view bytes, std::string& why,
                     ReadOnlyFiles readOnly) {
    if (path.empty()) {
        why = "no file name was given";
        return false;
    }
    fs::path target;
    if (!followLinks(pathFromUtf8(path), target, why))
        return false;

    std::error_code ec;
    const fs::file_status status = fs::status(target, ec);
    const bool exists = fs::exists(status);
    if (fs::is_directory(status)) {
        why = kFolderReason;
        return false;
    }
    if (exists && !fs::is_regular_file(status)) {
        why = "it is not an ordinary file";
        return false;
    }
    // The rename would replace a file the user may not write, as long as its folder is writable.
    if (exists && !mayWriteFile(target)) {
        why = refusal(errno, "you do not have permission to write to it");
        return false;
    }
    if (isMarkedReadOnly(status) && readOnly != ReadOnlyFiles::Replace) {
        why = kReadOnlyReason;
        return false;
    }
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    if (!mayWriteFolder(folder)) {
        why = refusal(errno, "you do not have permission to write to its folder");
        return false;
    }

    std::mt19937 random(std::random_device{}());
    fs::path temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        temporary = temporaryName(folder, random);
        fd = fileCalls().createNew(temporary);
        if (fd < 0 && (errno != EEXIST || attempt == kMaxTemporaryAttempts)) {
            why = refusal(errno, "you do not have permission to write to its folder");
            return false;
        }
    }

    const auto fail = [&](const std::string& reason) {
        if (fd >= 0)
            fileCalls().close(fd);
        std::error_code ignored;
        fileCalls().remove(temporary, ignored);
        why = reason;
        return false;
    };
    if (!writeAll(fd, bytes))
        return fail("it could not be written completely: " + reasonOf(errno));
    if (exists)
        adoptOwnerAndMode(fd, target);
    if (!fileCalls().flushToDisk(fd))
        return fail("it could not be written to the disk: " + reasonOf(errno));
    const bool closed = fileCalls().close(fd);
    fd = -1;
    if (!closed)
        return fail("it could not be written to the disk: " + reasonOf(errno));
    if (!fileCalls().rename(temporary, target, ec))
        return fail("it cannot be replaced: " + reasonOf(ec));
    flushFolder(folder);
    removeStaleTemporaries(folder);
    return true;
}

bool isWritableFile(const std::string& path) {
    const fs::path p = pathFromUtf8(path);
    std::error_code ec;
    const fs::file_status status = fs::status(p, ec);
    return fs::is_regular_file(status) && !isMarkedReadOnly(status) && mayWriteFile(p);
}

} // namespace vantry
