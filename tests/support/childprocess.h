#pragma once

// Runs test code in a child process, for what must not happen to the test program itself: memory
// held to a little more than the process already has, so that reading more than a file's real
// content fails at once instead of taking the machine's memory.

#include "support/addressspace.h"

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vantry {

// The address space the process has now, in bytes; 0 when it cannot be told.
inline rlim_t addressSpaceInUse() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmSize:", 0) == 0)
            return static_cast<rlim_t>(std::stoull(line.substr(7))) * 1024;
    return 0;
}

// Runs `body` in a child process whose address space may grow by `extra` bytes at most, and
// returns what `body` returned, 100 plus the number of a signal that ended it, or -1 when no
// such child could be made (AddressSanitizer's builds need the whole address space).
inline int inChildWithMemoryLeft(rlim_t extra, const std::function<int()>& body) {
    if (kAddressSanitizer)
        return -1;
    const rlim_t used = addressSpaceInUse();
    if (used == 0)
        return -1;
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const rlimit limit{used + extra, used + extra};
        _exit(setrlimit(RLIMIT_AS, &limit) == 0 ? body() : 99);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

} // namespace vantry
