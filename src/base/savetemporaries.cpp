#include "base/savetemporaries.h"

#include "base/filecalls.h"
#include "base/files.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <limits>
#include <string>
#include <string_view>

#include <signal.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace vantry {

namespace {

int processId() {
    return static_cast<int>(::getpid());
}

// Only "no such process" means gone: a process of another user answers that it may not be
// signalled, and it is still running.
bool processIsGone(long long pid) {
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

constexpr std::string_view kTemporaryStart = ".vantry-save-";
constexpr std::string_view kTemporaryEnd = ".tmp";
constexpr std::size_t kTemporaryRandomDigits = 8;
constexpr std::size_t kMaxHostLetters = 24;

// This machine's name as it goes into temporary names: letters and digits only, so that the
// parts of a name cannot be mistaken for one another. A folder shared between machines holds
// the temporary files of processes this machine cannot see.
std::string hostTag() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        name[0] = '\0';
    std::string tag;
    for (const char* c = name; *c && tag.size() < kMaxHostLetters; ++c)
        if (std::isalnum(static_cast<unsigned char>(*c)))
            tag += *c;
    return tag.empty() ? std::string("host") : tag;
}

// The process that wrote a temporary file of this program on this machine, from its name; 0
// for any other name.
long long temporaryWriter(const std::string& name, const std::string& host) {
    if (name.size() <= kTemporaryStart.size() + kTemporaryEnd.size() ||
        !name.starts_with(kTemporaryStart) || !name.ends_with(kTemporaryEnd))
        return 0;
    const std::string_view middle = std::string_view(name).substr(
        kTemporaryStart.size(), name.size() - kTemporaryStart.size() - kTemporaryEnd.size());
    const auto dash = middle.rfind('-');
    const auto dot = middle.rfind('.', dash);
    if (dash == std::string_view::npos || dot == std::string_view::npos ||
        middle.substr(0, dot) != host)
        return 0;
    const std::string_view random = middle.substr(dash + 1);
    const std::string_view pid = middle.substr(dot + 1, dash - dot - 1);
    const auto isHex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    const auto isDigit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    if (random.size() != kTemporaryRandomDigits ||
        !std::all_of(random.begin(), random.end(), isHex) || pid.empty() || pid.size() > 9 ||
        !std::all_of(pid.begin(), pid.end(), isDigit))
        return 0;
    return std::stoll(std::string(pid));
}

} // namespace

fs::path temporaryName(const fs::path& folder, std::mt19937& random) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string name(kTemporaryStart);
    name += hostTag() + "." + std::to_string(processId()) + "-";
    for (std::size_t i = 0; i < kTemporaryRandomDigits; ++i)
        name += kHex[random() % 16];
    name += kTemporaryEnd;
    return folder / name;
}

void removeStaleTemporaries(const fs::path& folder) {
    const std::string host = hostTag();
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = utf8FromPath(it->path().filename());
        const long long writer = temporaryWriter(name, host);
        std::error_code typeError;
        if (writer == 0 || !it->is_regular_file(typeError) || it->is_symlink(typeError) ||
            !processIsGone(writer))
            continue;
        std::error_code ignored;
        fileCalls().remove(it->path(), ignored);
    }
}

} // namespace vantry
