#pragma once

// Files as the whole program reads and writes them: paths held as UTF-8 text, whole-file reading,
// and the one safe way to replace a file. Every failure comes back as a flag and a reason in words
// for the user ("it is a folder, not a file"), to be put after the file's name.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

// The path named by UTF-8 text, in the form the operating system takes (wide on Windows).
std::filesystem::path pathFromUtf8(std::string_view utf8);

// The UTF-8 text of a path.
std::string utf8FromPath(const std::filesystem::path& path);

// The absolute, lexically normal form of a path: a relative path is taken against the current
// folder at the moment of the call, "." and ".." parts are removed without looking at the disk,
// so symbolic links are not resolved. An empty path stays empty.
std::string absolutePath(const std::string& path);

// Reads a whole file as bytes, to its end even when the file is longer than its size said.
// A folder is refused.
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
// costs neither a copy nor a page fault per page of it. What cannot be mapped (a pipe, a system
// file whose size says nothing, or any file on a system without mapping) is read whole instead,
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

// Replaces the file at `path` with `bytes`, or creates it, so that a crash never leaves a
// half-written file: the bytes go to a temporary file in the same folder, which is flushed to the
// disk and only then renamed over the old file; on any failure it is removed and the old file is
// left as it was. A file this user may not write, and a folder that cannot take the temporary
// file, are refused. The old file's owner, group and permissions are kept. A symbolic link stays a
// link: the file it points to is written (and created when the link dangles).
bool writeFileSafely(const std::string& path, std::string_view bytes, std::string& why);

// True when a regular file exists at `path` and this user may write to it.
bool isWritableFile(const std::string& path);
