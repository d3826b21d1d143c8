#include "base/filecalls.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace vantry {

namespace {

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

} // namespace vantry
