#pragma once

#include "support/testdir.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vantry {

// The unprivileged user and group "nobody"/"nogroup" of Debian.
inline constexpr uid_t kNobody = 65534;
inline constexpr gid_t kNogroup = 65534;

// Runs `check` as a user without special rights, so that file permissions mean what they mean
// to the program's users, and returns its complaint ("" when all was well). Root runs it in a
// child process that has become nobody (also a member of `groups`) in the test folder, opened to
// everyone. Nothing comes back when that cannot be arranged.
inline std::optional<std::string> asOrdinaryUser(const TestDir& dir,
                                                 const std::function<std::string()>& check,
                                                 const std::vector<gid_t>& groups = {}) {
    if (geteuid() != 0)
        return check();
    std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
    int channel[2];
    if (pipe(channel) != 0)
        return std::nullopt;
    const pid_t child = fork();
    if (child < 0)
        return std::nullopt;
    if (child == 0) {
        close(channel[0]);
        if (setgroups(groups.size(), groups.data()) != 0 || setgid(kNogroup) != 0 ||
            setuid(kNobody) != 0)
            _exit(77);
        const std::string complaint = check();
        const bool sent =
            write(channel[1], complaint.data(), complaint.size()) == ssize_t(complaint.size());
        _exit(sent ? 0 : 1);
    }
    close(channel[1]);
    std::string complaint;
    char buffer[256];
    for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;)
        complaint.append(buffer, static_cast<std::size_t>(n));
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 77)
        return std::nullopt;
    return WEXITSTATUS(status) == 0 ? complaint : "the check did not finish";
}

} // namespace vantry
