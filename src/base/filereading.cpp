#include "base/filecalls.h"
#include "base/filereasons.h"
#include "base/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <stdexcept>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace vantry {

namespace {

// Opens a regular file for reading and refuses anything else without waiting: opening a pipe
// waits for a writer and a device may never end, so the file is opened without blocking and
// looked at before any byte is read. Blocking comes back for the reading itself.
int openRegularFile(const fs::path& path, std::string& why) {
    const int fd = fileCalls().openForReading(path);
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
        fileCalls().close(fd);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        why = S_ISDIR(st.st_mode)                          ? kFolderReason
              : S_ISFIFO(st.st_mode)                       ? kPipeReason
              : S_ISSOCK(st.st_mode)                       ? kSocketReason
              : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? kDeviceReason
                                                           : kOtherReason;
        fileCalls().close(fd);
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
            const long long n = fileCalls().read(fd, text.data() + filled, text.size() - filled);
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
    const int fd = openRegularFile(pathFromUtf8(path), why);
    if (fd < 0)
        return false;
    std::uintmax_t size = 0;
    const bool sized = fileSizeOf(fd, size);
    const bool ok = readOpenFile(fd, sized ? std::optional(size) : std::nullopt, text, why);
    fileCalls().close(fd);
    return ok;
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
        freePages(data_, capacity_);
}

void FileBytes::resize(std::size_t n) {
    if (n <= capacity_) {
        size_ = n;
        return;
    }
    // Whole large pages, so that the system can back the bytes with them.
    constexpr std::size_t kPage = std::size_t{2} << 20;
    const std::size_t capacity = (n + kPage - 1) / kPage * kPage;
    void* pages = allocatePages(capacity);
    if (!pages)
        throw std::bad_alloc();
    if (data_) {
        std::memcpy(pages, data_, size_);
        freePages(data_, capacity_);
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
    if (mapping_)
        ::munmap(mapping_, mappingSize_);
    mapping_ = nullptr;
    mappingSize_ = 0;
    std::string().swap(copy_);
    view_ = {};
}

bool MappedFile::open(const std::string& path, std::string& why) {
    close();
    const int fd = openRegularFile(pathFromUtf8(path), why);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        why = reasonOf(errno);
        fileCalls().close(fd);
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
            fileCalls().close(fd);
            return true;
        }
    }
    const bool ok =
        readOpenFile(fd, std::optional(static_cast<std::uintmax_t>(st.st_size)), copy_, why);
    fileCalls().close(fd);
    if (!ok) {
        close();
        return false;
    }
    view_ = copy_;
    return true;
}

InputFile::~InputFile() {
    close();
}

void InputFile::close() {
    if (fd_ >= 0)
        fileCalls().close(fd_);
    fd_ = -1;
    size_ = 0;
}

bool InputFile::open(const std::string& path, std::string& why) {
    close();
    const int fd = openRegularFile(pathFromUtf8(path), why);
    if (fd < 0)
        return false;
    if (!fileSizeOf(fd, size_)) {
        why = reasonOf(errno);
        fileCalls().close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

bool InputFile::readAt(std::uintmax_t offset, char* buffer, std::size_t count, std::size_t& got,
                       std::string& why) {
    got = 0;
    while (got < count) {
        const long long n = fileCalls().readAt(fd_, buffer + got, count - got, offset + got);
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

} // namespace vantry
