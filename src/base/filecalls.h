#pragma once

// The system calls through which the file layer opens, reads, writes, flushes and replaces files,
// gathered in one table. The program always uses the real calls; a test puts a table in place in
// which one call fails as a full disk, a failing drive or a crash would make it fail, and sees
// what the reader or writer makes of it. Each call goes through the table once per system call,
// never per byte.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <system_error>

namespace vantry {

// Each call returns -1 or false with errno set on failure, except rename and remove, which fill
// `error` as std::filesystem does.
struct FileCalls {
    // Opens a file for reading without waiting: neither on a pipe with no writer nor on a
    // device. Nothing is known of the file yet.
    int (*openForReading)(const std::filesystem::path& path);
    // Creates a file for writing; fails when there is one of that name already.
    int (*createNew)(const std::filesystem::path& path);
    long long (*read)(int fd, char* buffer, std::size_t size);
    long long (*readAt)(int fd, char* buffer, std::size_t size, std::uintmax_t offset);
    long long (*write)(int fd, const char* data, std::size_t size);
    bool (*flushToDisk)(int fd);
    bool (*close)(int fd);
    // Puts `from` in the place of `to`, replacing what is there.
    bool (*rename)(const std::filesystem::path& from, const std::filesystem::path& to,
                   std::error_code& error);
    // Removes a file; a file that is not there is no error.
    bool (*remove)(const std::filesystem::path& path, std::error_code& error);
};

// The operating system's calls.
const FileCalls& realFileCalls();

// The calls in use now.
const FileCalls& fileCalls();

// Puts other calls in place of those in use for as long as it lives, then puts those back.
// For tests, one at a time.
class ScopedFileCalls {
public:
    explicit ScopedFileCalls(const FileCalls& calls);
    ~ScopedFileCalls();
    ScopedFileCalls(const ScopedFileCalls&) = delete;
    ScopedFileCalls& operator=(const ScopedFileCalls&) = delete;

private:
    FileCalls calls_;
    const FileCalls* previous_;
};

} // namespace vantry
