#pragma once

// The temporary files a safe save writes beside its target: their names, which carry the machine
// and the process that writes them, and the removal of those left by saves that were killed.

#include <filesystem>
#include <random>

namespace vantry {

// A name in the folder that no other file has at this moment:
// ".vantry-save-HOST.PID-RANDOM.tmp", so that one left by a process that was killed can be told
// from one that is still being written.
std::filesystem::path temporaryName(const std::filesystem::path& folder, std::mt19937& random);

// Removes the temporary files that saves into the folder left behind when their process was
// killed: only files of this program's own naming, written on this machine by a process that is
// no longer running. Anything that cannot be looked at is left alone.
void removeStaleTemporaries(const std::filesystem::path& folder);

} // namespace vantry
