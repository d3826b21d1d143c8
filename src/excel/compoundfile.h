#pragma once

// The OLE2 compound document that holds a workbook's streams, read and written through libgsf,
// and the safe replacement of a file on disk.

#include "base/files.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vantry {

using ClassId = std::array<std::uint8_t, 16>;

// A stream or a storage (a folder of entries) of a compound document.
struct CompoundEntry {
    std::string name; // UTF-8
    bool storage = false;
    std::vector<std::uint8_t> data; // a stream's bytes
    std::vector<CompoundEntry> children;
    ClassId classId{};
};

struct CompoundFile {
    ClassId classId{};
    std::vector<CompoundEntry> entries;

    // The top-level stream of that name (compared without letter case), or null.
    CompoundEntry* findStream(std::string_view name);
};

// Reads the compound document at path: its header first, then only the sectors it can address.
// Throws WorkbookError with a sentence for the user when the file is missing, cannot be read, is
// not a regular file (a pipe or a device is refused without waiting on it), is another kind of
// file (an .xlsx or other zip archive, a web page, a pre-1997 Excel file), is larger than the
// format allows or is damaged.
CompoundFile readCompoundFile(const std::string& path);
// The same for a document already in memory; `name` is used in messages.
CompoundFile parseCompoundFile(std::span<const std::uint8_t> bytes, const std::string& name);

// The bytes of a compound document holding the entries, in libgsf's MS-OLE layout (512-byte
// blocks; streams of 4096 bytes or more in the big-block area).
std::vector<std::uint8_t> buildCompoundFile(const CompoundFile& file);

// Replaces the file at path with the bytes, or creates it, through writeFileSafely (base/files.h),
// so that a failed save never leaves a half-written file. Throws WorkbookError(WriteFailed) with
// the reason and leaves the old file untouched on failure; a file marked read-only is replaced
// only when `readOnly` says so.
void replaceFile(const std::string& path, std::span<const std::uint8_t> bytes,
                 ReadOnlyFiles readOnly = ReadOnlyFiles::Refuse);

} // namespace vantry
