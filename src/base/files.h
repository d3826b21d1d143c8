#pragma once

// Files as the whole program reads and writes them: paths held as UTF-8 text, whole-file reading,
// and the one safe way to replace a file. Every failure comes back as a flag and a reason in words
// for the user ("it is a folder, not a file"), to be put after the file's name.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace vantry {

// The path named by UTF-8 text, in the form the operating system takes.
std::filesystem::path pathFromUtf8(std::string_view utf8);

// The UTF-8 text of a path.
std::string utf8FromPath(const std::filesystem::path& path);

// The absolute, lexically normal form of a path: a relative path is taken against the current
// folder at the moment of the call, "." and ".." parts are removed without looking at the disk,
// so symbolic links are not resolved. An empty path stays empty.
std::string absolutePath(const std::string& path);

// True when `path` names a regular file (symbolic links followed) that may be opened for reading
// without waiting: a pipe, a socket or a device would block or never end, and a folder is no file.
// Otherwise `why` says which it is, or why it could not be looked at. Readers that hand a path to
// a library (images, street data) call this first.
bool checkReadableFile(const std::string& path, std::string& why);

// Reads a whole file as bytes, to its end even when the file is longer than its size said.
// Only a regular file is read: a folder, a pipe, a socket or a device is refused with the reason
// checkReadableFile gives, without waiting on it, even when it takes a file's place between the
// look and the opening. A file too large for memory is refused, not the end of the program.
bool readWholeFile(const std::string& path, std::string& contents, std::string& why);

// Bytes read from a file, held in memory the system may back with large pages and that is not
// cleared before it is filled: for the large files read whole and then parsed (a county's
// network is megabytes of text).
class FileBytes {
public:
    FileBytes() = default;
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;
    ~FileBytes();
    std::string_view view() const { return {data_, size_}; }
    // For the reader: room for n bytes, keeping those already held.
    void resize(std::size_t n);
    char* data() { return data_; }
    std::size_t size() const { return size_; }

private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

bool readWholeFile(const std::string& path, FileBytes& contents, std::string& why);

// A whole file's bytes seen where the system's file cache already holds them, for files that are
// parsed once from start to end (a county's TIGER/Line records are tens of megabytes): mapping
// costs neither a copy nor a page fault per page of it. What cannot be mapped (a system file whose
// size says nothing, or any file on a system without mapping) is read whole instead,
// so the view is always the file's bytes. The bytes stay valid until the next open or the end of
// the object; a mapped file that another program cuts short meanwhile is the one thing that
// cannot be guarded against.
class MappedFile {
public:
    MappedFile() = default;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();
    // Replaces what was held by the file's bytes. Refuses what readWholeFile refuses, for the
    // same reasons; on failure the view is empty.
    bool open(const std::string& path, std::string& why);
    void close();
    std::string_view view() const { return view_; }
    // True when the bytes are the file's mapping rather than a copy read from it.
    bool mapped() const { return mapping_ != nullptr; }

private:
    void* mapping_ = nullptr;
    std::size_t mappingSize_ = 0;
    std::string copy_;
    std::string_view view_;
};

// A regular file open for reading a part at a time, for readers that look at a file's start to
// learn how much of it there is to read. Opening refuses what readWholeFile refuses, for the same
// reasons, and never waits for a pipe or a device.
class InputFile {
public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();
    bool open(const std::string& path, std::string& why);
    void close();
    // The file's size when it was opened.
    std::uintmax_t size() const { return size_; }
    // Reads up to `count` bytes from `offset` into `buffer`; `got` is how many came, fewer only
    // where the file ends.
    bool readAt(std::uintmax_t offset, char* buffer, std::size_t count, std::size_t& got,
                std::string& why);

private:
    int fd_ = -1;
    std::uintmax_t size_ = 0;
};

// What writeFileSafely does with a file whose permissions let no one write to it. Its owner
// marked it read-only; root could replace it all the same, so it is replaced only when the user
// has said so.
enum class ReadOnlyFiles { Refuse, Replace };

// Replaces the file at `path` with `bytes`, or creates it, so that a crash never leaves a
// half-written file: the bytes go to a temporary file in the same folder, which is flushed to the
// disk and only then renamed over the old file; on any failure it is removed and the old file is
// left as it was. A file this user may not write, a file marked read-only (unless `readOnly` says
// to replace it), and a folder that cannot take the temporary file, are refused. The old file's
// owner, group and permissions are kept. A symbolic link stays a link: the file it points to is
// written (and created when the link dangles). The temporary file's name carries the machine and
// the process that writes it; after a save, those that killed saves left in the folder are
// removed once their process is gone.
bool writeFileSafely(const std::string& path, std::string_view bytes, std::string& why,
                     ReadOnlyFiles readOnly = ReadOnlyFiles::Refuse);

// True when a regular file exists at `path`, this user may write to it, and it is not marked
// read-only.
bool isWritableFile(const std::string& path);

// True when the file at `path` is marked read-only and yet this user could replace it (as root
// can): writeFileSafely then replaces it only when told to, after asking the user.
bool isReadOnlyButReplaceable(const std::string& path);

} // namespace vantry
