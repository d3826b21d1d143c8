#include "base/files.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <random>
#include <stdexcept>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

// The operating system's file calls that standard C++ does not offer: the permission test, files
// created only when new, writes that report how far they got, flushing to the disk, and owners.
// Each returns -1 or false with errno set on failure.
namespace native {

#ifdef _WIN32

int openForReading(const fs::path& path) {
    int fd = -1;
    const errno_t err =
        _wsopen_s(&fd, path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT, _SH_DENYNO, 0);
    errno = err;
    return err ? -1 : fd;
}

int createNew(const fs::path& path) {
    int fd = -1;
    const errno_t err =
        _wsopen_s(&fd, path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                  _SH_DENYNO, _S_IREAD | _S_IWRITE);
    errno = err;
    return err ? -1 : fd;
}

long long readSome(int fd, char* buffer, std::size_t size) {
    return _read(fd, buffer, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
}

long long writeSome(int fd, const char* data, std::size_t size) {
    return _write(fd, data, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
}

bool flushToDisk(int fd) {
    return _commit(fd) == 0;
}

bool closeFile(int fd) {
    return _close(fd) == 0;
}

bool mayWriteFile(const fs::path& path) {
    return _waccess(path.c_str(), 2) == 0;
}

bool mayWriteFolder(const fs::path& path) {
    return _waccess(path.c_str(), 2) == 0;
}

// Windows files carry no owner or mode that a new file would lose.
void adoptOwnerAndMode(int, const fs::path&) {}

void flushFolder(const fs::path&) {}

void* allocatePages(std::size_t size) {
    return std::malloc(size);
}

void freePages(void* pages, std::size_t) {
    std::free(pages);
}

#else

int openForReading(const fs::path& path) {
    int fd;
    do
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    return fd;
}

int createNew(const fs::path& path) {
    int fd;
    do
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    return fd;
}

long long readSome(int fd, char* buffer, std::size_t size) {
    ssize_t n;
    do
        n = ::read(fd, buffer, size);
    while (n < 0 && errno == EINTR);
    return n;
}

long long writeSome(int fd, const char* data, std::size_t size) {
    ssize_t n;
    do
        n = ::write(fd, data, size);
    while (n < 0 && errno == EINTR);
    return n;
}

bool flushToDisk(int fd) {
    return ::fsync(fd) == 0;
}

bool closeFile(int fd) {
    return ::close(fd) == 0;
}

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

// Memory that is not cleared before use and that the system may back with large pages. Null
// when there is none.
void* allocatePages(std::size_t size) {
    void* pages = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages == MAP_FAILED)
        return nullptr;
#ifdef MADV_HUGEPAGE
    ::madvise(pages, size, MADV_HUGEPAGE);
#endif
    return pages;
}

void freePages(void* pages, std::size_t size) {
    ::munmap(pages, size);
}

#endif

} // namespace native

// Linux follows at most this many links in one path.
constexpr int kMaxLinks = 40;
constexpr int kMaxTemporaryAttempts = 100;
constexpr const char* kFolderReason = "it is a folder, not a file";

std::string reasonOf(const std::error_code& ec) {
    std::string text = ec.message();
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

std::string reasonOf(int err) {
    return reasonOf(std::error_code(err, std::generic_category()));
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

// A name in the folder that no other file has at this moment.
fs::path temporaryName(const fs::path& folder, std::mt19937& random) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string name = ".vantry-save-";
    for (int i = 0; i < 8; ++i)
        name += kHex[random() % 16];
    name += ".tmp";
    return folder / name;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const long long n = native::writeSome(fd, bytes.data(), bytes.size());
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

fs::path pathFromUtf8(std::string_view utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8FromPath(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string absolutePath(const std::string& path) {
    if (path.empty())
        return {};
    std::error_code ec;
    fs::path absolute = fs::absolute(pathFromUtf8(path), ec);
    // Without a current folder (it was removed) the path can only be tidied.
    if (ec)
        absolute = pathFromUtf8(path);
    absolute = absolute.lexically_normal();
    if (!absolute.has_filename() && absolute != absolute.root_path())
        absolute = absolute.parent_path();
    return utf8FromPath(absolute);
}

namespace {

// Reads an open file to its end. The room is sized from what the file's size said, but the
// reading goes on to the end: a file that grows while it is read, or whose size says nothing (a
// pipe, a system file), is still read whole.
template <typename Bytes>
bool readOpenFile(int fd, std::optional<std::uintmax_t> size, Bytes& text, std::string& why) {
    try {
        text.resize(size ? static_cast<std::size_t>(std::max<std::uintmax_t>(*size + 1, 4096))
                         : std::size_t{1} << 16);
        std::size_t filled = 0;
        for (;;) {
            const long long n = native::readSome(fd, text.data() + filled, text.size() - filled);
            if (n < 0) {
                why = "it could not be read completely: " + reasonOf(errno);
                text.resize(filled);
                return false;
            }
            if (n == 0)
                break;
            filled += static_cast<std::size_t>(n);
            if (filled == text.size())
                text.resize(text.size() * 2);
        }
        text.resize(filled);
        return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    why = "it is too large to be read into memory";
    return false;
}

template <typename Bytes> bool readInto(const std::string& path, Bytes& text, std::string& why) {
    const fs::path p = pathFromUtf8(path);
    std::error_code ec;
    if (fs::is_directory(p, ec)) {
        why = kFolderReason;
        return false;
    }
    const int fd = native::openForReading(p);
    if (fd < 0) {
        why = reasonOf(errno);
        return false;
    }
    const std::uintmax_t size = fs::file_size(p, ec);
    const bool ok = readOpenFile(fd, ec ? std::nullopt : std::optional(size), text, why);
    native::closeFile(fd);
    return ok;
}

} // namespace

bool readWholeFile(const std::string& path, std::string& contents, std::string& why) {
    contents.clear();
    std::string text;
    if (!readInto(path, text, why))
        return false;
    contents = std::move(text);
    return true;
}

FileBytes::~FileBytes() {
    if (data_)
        native::freePages(data_, capacity_);
}

void FileBytes::resize(std::size_t n) {
    if (n <= capacity_) {
        size_ = n;
        return;
    }
    // Whole large pages, so that the system can back the bytes with them.
    constexpr std::size_t kPage = std::size_t{2} << 20;
    const std::size_t capacity = (n + kPage - 1) / kPage * kPage;
    void* pages = native::allocatePages(capacity);
    if (!pages)
        throw std::bad_alloc();
    if (data_) {
        std::memcpy(pages, data_, size_);
        native::freePages(data_, capacity_);
    }
    data_ = static_cast<char*>(pages);
    capacity_ = capacity;
    size_ = n;
}

bool readWholeFile(const std::string& path, FileBytes& contents, std::string& why) {
    contents.resize(0);
    return readInto(path, contents, why);
}

MappedFile::~MappedFile() {
    close();
}

void MappedFile::close() {
#ifndef _WIN32
    if (mapping_)
        ::munmap(mapping_, mappingSize_);
#endif
    mapping_ = nullptr;
    mappingSize_ = 0;
    std::string().swap(copy_);
    view_ = {};
}

bool MappedFile::open(const std::string& path, std::string& why) {
    close();
#ifdef _WIN32
    if (!readWholeFile(path, copy_, why))
        return false;
    view_ = copy_;
    return true;
#else
    const int fd = native::openForReading(pathFromUtf8(path));
    if (fd < 0) {
        why = reasonOf(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        why = reasonOf(errno);
        native::closeFile(fd);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        why = kFolderReason;
        native::closeFile(fd);
        return false;
    }
    // A regular file of size 0 may still have contents (the system's own files say 0), and an
    // empty one reads at the cost of one call, so only files with a size are mapped.
    const bool regular = S_ISREG(st.st_mode);
    if (regular && st.st_size > 0 &&
        static_cast<std::uintmax_t>(st.st_size) <= std::numeric_limits<std::size_t>::max()) {
        const auto size = static_cast<std::size_t>(st.st_size);
        // Read ahead in large steps when the pages are not yet in the cache; filling the mapping
        // in one go then costs one call instead of a fault for every page.
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        int flags = MAP_PRIVATE;
#ifdef MAP_POPULATE
        flags |= MAP_POPULATE;
#endif
        void* mapping = ::mmap(nullptr, size, PROT_READ, flags, fd, 0);
        if (mapping != MAP_FAILED) {
            ::madvise(mapping, size, MADV_SEQUENTIAL);
            mapping_ = mapping;
            mappingSize_ = size;
            view_ = {static_cast<const char*>(mapping), size};
            native::closeFile(fd);
            return true;
        }
    }
    const bool ok = readOpenFile(
        fd, regular ? std::optional(static_cast<std::uintmax_t>(st.st_size)) : std::nullopt, copy_,
        why);
    native::closeFile(fd);
    if (!ok) {
        close();
        return false;
    }
    view_ = copy_;
    return true;
#endif
}

bool writeFileSafely(const std::string& path, std::string_view bytes, std::string& why) {
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
    if (exists && !native::mayWriteFile(target)) {
        why = refusal(errno, "you do not have permission to write to it");
        return false;
    }
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    if (!native::mayWriteFolder(folder)) {
        why = refusal(errno, "you do not have permission to write to its folder");
        return false;
    }

    std::mt19937 random(std::random_device{}());
    fs::path temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        temporary = temporaryName(folder, random);
        fd = native::createNew(temporary);
        if (fd < 0 && (errno != EEXIST || attempt == kMaxTemporaryAttempts)) {
            why = refusal(errno, "you do not have permission to write to its folder");
            return false;
        }
    }

    const auto fail = [&](const std::string& reason) {
        if (fd >= 0)
            native::closeFile(fd);
        std::error_code ignored;
        fs::remove(temporary, ignored);
        why = reason;
        return false;
    };
    if (!writeAll(fd, bytes))
        return fail("it could not be written completely: " + reasonOf(errno));
    if (exists)
        native::adoptOwnerAndMode(fd, target);
    if (!native::flushToDisk(fd))
        return fail("it could not be written to the disk: " + reasonOf(errno));
    const bool closed = native::closeFile(fd);
    fd = -1;
    if (!closed)
        return fail("it could not be written to the disk: " + reasonOf(errno));
    fs::rename(temporary, target, ec);
    if (ec)
        return fail("it cannot be replaced: " + reasonOf(ec));
    native::flushFolder(folder);
    return true;
}

bool isWritableFile(const std::string& path) {
    const fs::path p = pathFromUtf8(path);
    std::error_code ec;
    return fs::is_regular_file(fs::status(p, ec)) && native::mayWriteFile(p);
}
