#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace vantry {

// Objects a command leaves for the end of the process. vantry-cli's main() ends the process
// without freeing them: the system takes a large network back at once, where freeing it object
// by object takes about as long as reading it.
using CliKeep = std::vector<std::shared_ptr<void>>;

// The headless front end: batch conversion and inspection of network files with the same
// document code as the editor. Returns the process exit code: 0 on success, 1 when a file
// cannot be opened or saved, 2 on bad usage; `check` exits 3 when it finds errors.
// With `keep`, the documents and the toolkit a command used are put there instead of freed.
int runVantryCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                 CliKeep* keep = nullptr);

} // namespace vantry
