#include "base/filecalls.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

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

long long readSomeAt(int fd, char* buffer, std::size_t size, std::uintmax_t offset) {
    if (_lseeki64(fd, static_cast<long long>(offset), SEEK_SET) < 0)
        return -1;
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

#else

// Without blocking: opening a pipe waits for a writer. Blocking comes back once the file is known
// to be a regular one.
int openForReading(const fs::path& path) {
    int fd;
    do
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
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

long long readSomeAt(int fd, char* buffer, std::size_t size, std::uintmax_t offset) {
    ssize_t n;
    do
        n = ::pread(fd, buffer, size, static_cast<off_t>(offset));
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

#endif

bool renameFile(const fs::path& from, const fs::path& to, std::error_code& error) {
    fs::rename(from, to, error);
    return !error;
}

bool removeFile(const fs::path& path, std::error_code& error) {
    fs::remove(path, error);
    return !error;
}

constexpr FileCalls kReal{openForReading, createNew, readSome,   readSomeAt, writeSome,
                          flushToDisk,    closeFile, renameFile, removeFile};

std::atomic<const FileCalls*> current{&kReal};

} // namespace

const FileCalls& realFileCalls() {
    return kReal;
}

const FileCalls& fileCalls() {
    return *current.load(std::memory_order_acquire);
}

ScopedFileCalls::ScopedFileCalls(const FileCalls& calls)
    : calls_(calls), previous_(current.exchange(&calls_, std::memory_order_acq_rel)) {}

ScopedFileCalls::~ScopedFileCalls() {
    current.store(previous_, std::memory_order_release);
}
