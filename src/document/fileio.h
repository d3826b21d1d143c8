#pragma once

#include <string>

// Reads a whole file as bytes. On failure `why` says what went wrong (in words for the user).
bool readWholeFile(const std::string& path, std::string& contents, std::string& why);

// Replaces the file at `path` with `contents` without ever leaving a half-written file behind:
// the bytes go to a temporary file in the same folder, which is renamed over the old file only
// once everything was written. The old file's permissions are kept, and a symbolic link keeps
// pointing at the file it named.
bool writeFileSafely(const std::string& path, const std::string& contents, std::string& why);

// True when a file exists at path and may be written to.
bool isWritableFile(const std::string& path);

// The absolute, lexically normal form of a path; relative paths are taken against the current
// folder. Symbolic links are not resolved, and an empty path stays empty.
std::string absolutePath(const std::string& path);
