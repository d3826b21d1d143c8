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
#include <process.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

// Linux follows at most this many links in one path.
constexpr int kMaxLinks = 40;
constexpr int kMaxTemporaryAttempts = 100;
constexpr const char* kFolderReason = "it is a folder, not a file";
constexpr const char* kPipeReason = "it is a pipe, not a file";
constexpr const char* kSocketReason = "it is a socket, not a file";
constexpr const char* kDeviceReason = "it is a device, not a file";
constexpr const char* kOtherReason = "it is not an ordinary file";
constexpr const char* kReadOnlyReason = "it is read-only: no one has permission to write to it";

std::string reasonOf(const std::error_code& ec) {
    std::string text = ec.message();
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

std::string reasonOf(int err) {
    return reasonOf(std::error_code(err, std::generic_category()));
}

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

// Windows names no pipes or devices among ordinary paths that opening would wait on; the type is
// looked at before the file is opened.
int openRegularFile(const fs::path& path, std::string& why) {
    if (!checkReadableFile(utf8FromPath(path), why))
        return -1;
    const int fd = openForReading(path);
    if (fd < 0)
        why = reasonOf(errno);
    return fd;
}

bool fileSizeOf(int fd, std::uintmax_t& size) {
    const long long n = _filelengthi64(fd);
    if (n < 0)
        return false;
    size = static_cast<std::uintmax_t>(n);
    return true;
}

long long readSomeAt(int fd, char* buffer, std::size_t size, std::uintmax_t offset) {
    if (_lseeki64(fd, static_cast<long long>(offset), SEEK_SET) < 0)
        return -1;
    return _read(fd, buffer, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
}

int processId() {
    return _getpid();
}

// Without a cheap test for another process, every process is taken to be running, so that no
// temporary file is ever removed from under its writer.
bool processIsGone(long long) {
    return false;
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

// Opens a regular file for reading and refuses anything else without waiting: opening a pipe
// waits for a writer and a device may never end, so the file is opened without blocking and
// looked at before any byte is read. Blocking comes back for the reading itself.
int openRegularFile(const fs::path& path, std::string& why) {
    int fd;
    do
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        // A socket cannot be opened at all; say what it is rather than what opening said.
        const int err = errno;
        if (err != EISDIR && err != ENXIO)
            why = reasonOf(err);
        else if (checkReadableFile(utf8FromPath(path), why))
            why = reasonOf(err);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        why = reasonOf(errno);
        ::close(fd);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        why = S_ISDIR(st.st_mode)                          ? kFolderReason
              : S_ISFIFO(st.st_mode)                       ? kPipeReason
              : S_ISSOCK(st.st_mode)                       ? kSocketReason
              : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? kDeviceReason
                                                           : kOtherReason;
        ::close(fd);
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

bool fileSizeOf(int fd, std::uintmax_t& size) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    size = static_cast<std::uintmax_t>(st.st_size);
    return true;
}

long long readSomeAt(int fd, char* buffer, std::size_t size, std::uintmax_t offset) {
    ssize_t n;
    do
        n = ::pread(fd, buffer, size, static_cast<off_t>(offset));
    while (n < 0 && errno == EINTR);
    return n;
}

int processId() {
    return static_cast<int>(::getpid());
}

// Only "no such process" means gone: a process of another user answers that it may not be
// signalled, and it is still running.
bool processIsGone(long long pid) {
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
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

constexpr std::string_view kTemporaryStart = ".vantry-save-";
constexpr std::string_view kTemporaryEnd = ".tmp";
constexpr std::size_t kTemporaryRandomDigits = 8;
constexpr std::size_t kMaxHostLetters = 24;

// This machine's name as it goes into temporary names: letters and digits only, so that the
// parts of a name cannot be mistaken for one another. A folder shared between machines holds
// the temporary files of processes this machine cannot see.
std::string hostTag() {
    char name[256] = {};
#ifndef _WIN32
    if (::gethostname(name, sizeof name - 1) != 0)
        name[0] = '\0';
#endif
    std::string tag;
    for (const char* c = name; *c && tag.size() < kMaxHostLetters; ++c)
        if (std::isalnum(static_cast<unsigned char>(*c)))
            tag += *c;
    return tag.empty() ? std::string("host") : tag;
}

// A name in the folder that no other file has at this moment. It carries the machine and the
// process that writes it ".vantry-save-HOST.PID-RANDOM.tmp", so that one left by a process that
// was killed can be told from one that is still being written.
fs::path temporaryName(const fs::path& folder, std::mt19937& random) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string name(kTemporaryStart);
    name += hostTag() + "." + std::to_string(native::processId()) + "-";
    for (std::size_t i = 0; i < kTemporaryRandomDigits; ++i)
        name += kHex[random() % 16];
    name += kTemporaryEnd;
    return folder / name;
}

// The process that wrote a temporary file of this program on this machine, from its name; 0
// for any other name.
long long temporaryWriter(const std::string& name, const std::string& host) {
    if (name.size() <= kTemporaryStart.size() + kTemporaryEnd.size() ||
        !name.starts_with(kTemporaryStart) || !name.ends_with(kTemporaryEnd))
        return 0;
    const std::string_view middle = std::string_view(name).substr(
        kTemporaryStart.size(), name.size() - kTemporaryStart.size() - kTemporaryEnd.size());
    const auto dash = middle.rfind('-');
    const auto dot = middle.rfind('.', dash);
    if (dash == std::string_view::npos || dot == std::string_view::npos ||
        middle.substr(0, dot) != host)
        return 0;
    const std::string_view random = middle.substr(dash + 1);
    const std::string_view pid = middle.substr(dot + 1, dash - dot - 1);
    const auto isHex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    const auto isDigit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    if (random.size() != kTemporaryRandomDigits ||
        !std::all_of(random.begin(), random.end(), isHex) || pid.empty() || pid.size() > 9 ||
        !std::all_of(pid.begin(), pid.end(), isDigit))
        return 0;
    return std::stoll(std::string(pid));
}

// Removes the temporary files that saves into the folder left behind when their process was
// killed: only files of this program's own naming, written on this machine by a process that is
// no longer running. Anything that cannot be looked at is left alone.
void removeStaleTemporaries(const fs::path& folder) {
    const std::string host = hostTag();
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = utf8FromPath(it->path().filename());
        const long long writer = temporaryWriter(name, host);
        std::error_code typeError;
        if (writer == 0 || !it->is_regular_file(typeError) || it->is_symlink(typeError) ||
            !native::processIsGone(writer))
            continue;
        std::error_code ignored;
        fs::remove(it->path(), ignored);
    }
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

} // namespace

bool checkReadableFile(const std::string& path, std::string& why) {
    std::error_code ec;
    const fs::file_status st = fs::status(pathFromUtf8(path), ec);
    if (ec) {
        why = reasonOf(ec);
        return false;
    }
    switch (st.type()) {
    case fs::file_type::regular:
        return true;
    case fs::file_type::directory:
        why = kFolderReason;
        return false;
    case fs::file_type::fifo:
        why = kPipeReason;
        return false;
    case fs::file_type::socket:
        why = kSocketReason;
        return false;
    case fs::file_type::block:
    case fs::file_type::character:
        why = kDeviceReason;
        return false;
    default:
        why = kOtherReason;
        return false;
    }
}

namespace {

template <typename Bytes> bool readInto(const std::string& path, Bytes& text, std::string& why) {
    const int fd = native::openRegularFile(pathFromUtf8(path), why);
    if (fd < 0)
        return false;
    std::uintmax_t size = 0;
    const bool sized = native::fileSizeOf(fd, size);
    const bool ok = readOpenFile(fd, sized ? std::optional(size) : std::nullopt, text, why);
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
    const int fd = native::openRegularFile(pathFromUtf8(path), why);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        why = reasonOf(errno);
        native::closeFile(fd);
        return false;
    }
    // A regular file of size 0 may still have contents (the system's own files say 0), and an
    // empty one reads at the cost of one call, so only files with a size are mapped.
    if (st.st_size > 0 &&
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
    const bool ok =
        readOpenFile(fd, std::optional(static_cast<std::uintmax_t>(st.st_size)), copy_, why);
    native::closeFile(fd);
    if (!ok) {
        close();
        return false;
    }
    view_ = copy_;
    return true;
#endif
}

InputFile::~InputFile() {
    close();
}

void InputFile::close() {
    if (fd_ >= 0)
        native::closeFile(fd_);
    fd_ = -1;
    size_ = 0;
}

bool InputFile::open(const std::string& path, std::string& why) {
    close();
    const int fd = native::openRegularFile(pathFromUtf8(path), why);
    if (fd < 0)
        return false;
    if (!native::fileSizeOf(fd, size_)) {
        why = reasonOf(errno);
        native::closeFile(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

bool InputFile::readAt(std::uintmax_t offset, char* buffer, std::size_t count, std::size_t& got,
                       std::string& why) {
    got = 0;
    while (got < count) {
        const long long n = native::readSomeAt(fd_, buffer + got, count - got, offset + got);
        if (n < 0) {
            why = "it could not be read completely: " + reasonOf(errno);
            return false;
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

namespace {

constexpr fs::perms kAnyWrite =
    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;

// A regular file whose permissions let no one write to it has been marked read-only by its
// owner. Root may write it all the same, and so may anyone on a disk that keeps no modes.
bool isMarkedReadOnly(const fs::file_status& status) {
    return fs::is_regular_file(status) && status.permissions() != fs::perms::unknown &&
           (status.permissions() & kAnyWrite) == fs::perms::none;
}

} // namespace

bool isReadOnlyButReplaceable(const std::string& path) {
    fs::path target;
    std::string why;
    if (!followLinks(pathFromUtf8(path), target, why))
        return false;
    std::error_code ec;
    return isMarkedReadOnly(fs::status(target, ec)) && native::mayWriteFile(target);
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
    if (exists && !native::mayWriteFile(target)) {
        why = refusal(errno, "you do not have permission to write to it");
        return false;
    }
    if (isMarkedReadOnly(status) && readOnly != ReadOnlyFiles::Replace) {
        why = kReadOnlyReason;
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
    removeStaleTemporaries(folder);
    return true;
}

bool isWritableFile(const std::string& path) {
    const fs::path p = pathFromUtf8(path);
    std::error_code ec;
    const fs::file_status status = fs::status(p, ec);
    return fs::is_regular_file(status) && !isMarkedReadOnly(status) && native::mayWriteFile(p);
}
