#pragma once

// File calls that fail the way a full or failing disk makes them fail, for the error paths of the
// file layer's readers and writers. Each gives the real calls with one of them replaced; a test
// puts them in place with ScopedFileCalls.

#include "base/filecalls.h"

#include <algorithm>
#include <cerrno>
#include <string>

namespace vantry {

namespace faulty {

// The error the failing call gives, and how many bytes pass before a read or write fails.
inline int error = EIO;
inline std::size_t bytesLeft = 0;
// What opening a file for reading opens instead: a pipe put in the file's place after it was
// looked at.
inline std::string substitute;

inline long long spend(long long n) {
    if (n > 0)
        bytesLeft -= static_cast<std::size_t>(n);
    return n;
}

inline FileCalls readFailsAfter(std::size_t bytes, int err = EIO) {
    error = err;
    bytesLeft = bytes;
    FileCalls calls = realFileCalls();
    calls.read = [](int fd, char* buffer, std::size_t size) -> long long {
        if (bytesLeft == 0) {
            errno = error;
            return -1;
        }
        return spend(realFileCalls().read(fd, buffer, std::min(size, bytesLeft)));
    };
    calls.readAt = [](int fd, char* buffer, std::size_t size, std::uintmax_t at) -> long long {
        if (bytesLeft == 0) {
            errno = error;
            return -1;
        }
        return spend(realFileCalls().readAt(fd, buffer, std::min(size, bytesLeft), at));
    };
    return calls;
}

inline FileCalls writeFailsAfter(std::size_t bytes, int err = ENOSPC) {
    error = err;
    bytesLeft = bytes;
    FileCalls calls = realFileCalls();
    calls.write = [](int fd, const char* data, std::size_t size) -> long long {
        if (bytesLeft == 0) {
            errno = error;
            return -1;
        }
        return spend(realFileCalls().write(fd, data, std::min(size, bytesLeft)));
    };
    return calls;
}

inline FileCalls createFails(int err) {
    error = err;
    FileCalls calls = realFileCalls();
    calls.createNew = [](const std::filesystem::path&) {
        errno = error;
        return -1;
    };
    return calls;
}

inline FileCalls flushFails(int err = EIO) {
    error = err;
    FileCalls calls = realFileCalls();
    calls.flushToDisk = [](int) {
        errno = error;
        return false;
    };
    return calls;
}

// The file is closed all the same, as the system does, and only its last writes are lost.
inline FileCalls closeFails(int err = EIO) {
    error = err;
    FileCalls calls = realFileCalls();
    calls.close = [](int fd) {
        realFileCalls().close(fd);
        errno = error;
        return false;
    };
    return calls;
}

inline FileCalls renameFails(int err = EIO) {
    error = err;
    FileCalls calls = realFileCalls();
    calls.rename = [](const std::filesystem::path&, const std::filesystem::path&,
                      std::error_code& ec) {
        ec.assign(error, std::generic_category());
        return false;
    };
    return calls;
}

inline FileCalls removeFails(int err = EIO) {
    error = err;
    FileCalls calls = realFileCalls();
    calls.remove = [](const std::filesystem::path&, std::error_code& ec) {
        ec.assign(error, std::generic_category());
        return false;
    };
    return calls;
}

inline FileCalls openGives(std::string path) {
    substitute = std::move(path);
    FileCalls calls = realFileCalls();
    calls.openForReading = [](const std::filesystem::path&) {
        return realFileCalls().openForReading(substitute);
    };
    return calls;
}

} // namespace faulty

} // namespace vantry
