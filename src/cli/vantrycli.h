#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// The headless front end: batch conversion and inspection of network files with the same
// document code as the editor. Returns the process exit code: 0 on success, 1 when a file
// cannot be opened or saved, 2 on bad usage; `check` exits 3 when it finds errors.
int runVantryCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
