#include "picture/relativepath.h"

#include <algorithm>
#include <cctype>

namespace vantry {

namespace {

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool IsDrivePath(std::string_view path) {
    return path.size() >= 3 && path[1] == ':' && path[2] == '\\';
}

bool IsUncPath(std::string_view path) {
    return path.starts_with("\\\\");
}

// The server name of a UNC path with the backslash that ends it, or the rest of the path when no
// backslash follows the name.
std::string_view ServerOf(std::string_view path) {
    const std::size_t end = path.find('\\', 2);
    return end == std::string_view::npos ? path.substr(2) : path.substr(2, end - 1);
}

// Paths from the root are how this system's own absolute paths are stored; where its file names
// tell case apart, so must the comparison. Drive and UNC paths come from Windows, which ignores it.
bool CaseMatters(std::string_view a, std::string_view b) {
#if defined(_WIN32) || defined(__APPLE__)
    (void)a;
    (void)b;
    return false;
#else
    const auto rooted = [](std::string_view p) { return p.starts_with('\\') && !IsUncPath(p); };
    return rooted(a) && rooted(b);
#endif
}

} // namespace

std::string_view StoredFolder(std::string_view path) {
    const std::size_t last = path.rfind('\\');
    return last == std::string_view::npos ? std::string_view{} : path.substr(0, last + 1);
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

bool SamePathText(std::string_view a, std::string_view b) {
    return CaseMatters(a, b) ? a == b : SameTextIgnoringCase(a, b);
}

bool IsAbsolutePath(std::string_view path) {
    // A path written on a system whose separator is '/' starts from the root with one, whatever
    // it holds after that.
    return path.empty() || IsDrivePath(path) || path.front() == '\\' || path.front() == '/';
}

std::vector<std::string> SplitPath(std::string_view path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t k; (k = path.find('\\', start)) != std::string_view::npos; start = k + 1)
        parts.emplace_back(path.substr(start, k - start));
    if (start < path.size())
        parts.emplace_back(path.substr(start));
    return parts;
}

std::string MakeRelativePath(std::string_view documentPath, std::string_view targetPath) {
    const std::string target(targetPath);
    if (documentPath.empty() || targetPath.empty())
        return target;
    if (Lower(documentPath.front()) != Lower(targetPath.front()))
        return target;
    if (IsUncPath(documentPath) && IsUncPath(targetPath) &&
        !SameTextIgnoringCase(ServerOf(documentPath), ServerOf(targetPath)))
        return target;

    const std::vector<std::string> folder = SplitPath(StoredFolder(documentPath));
    const std::vector<std::string> parts = SplitPath(targetPath);
    const bool exact = CaseMatters(documentPath, targetPath);
    std::size_t common = 0;
    while (common < folder.size() && common < parts.size() &&
           (exact ? folder[common] == parts[common]
                  : SameTextIgnoringCase(folder[common], parts[common])))
        ++common;
    // Nothing would be left to name the document's own folder with.
    if (common == folder.size() && common == parts.size())
        return target;

    std::string relative;
    for (std::size_t i = common; i < folder.size(); ++i)
        relative += "..\\";
    for (std::size_t i = common; i < parts.size(); ++i)
        relative += parts[i] + '\\';
    relative.pop_back();
    // A doubled backslash or a drive-like name right after the shared folders would make the
    // relative path read as an absolute one, which names another file.
    if (IsAbsolutePath(relative))
        return target;
    return relative;
}

std::string ResolvePath(std::string_view documentPath, std::string_view storedPath) {
    if (IsAbsolutePath(storedPath))
        return std::string(storedPath);
    std::vector<std::string> folder = SplitPath(StoredFolder(documentPath));
    const std::size_t last = storedPath.rfind('\\');
    const bool hasFolder = last != std::string_view::npos;
    const std::vector<std::string> parts =
        hasFolder ? SplitPath(storedPath.substr(0, last + 1)) : std::vector<std::string>{};
    const std::string_view fileName = hasFolder ? storedPath.substr(last + 1) : storedPath;

    std::size_t up = 0;
    while (!folder.empty() && up < parts.size() && parts[up] == "..") {
        folder.pop_back();
        ++up;
    }

    std::string resolved;
    for (const std::string& part : folder)
        resolved += part + '\\';
    for (std::size_t i = up; i < parts.size(); ++i)
        resolved += parts[i] + '\\';
    resolved += fileName;
    return resolved;
}

std::string NativePath(std::string_view storedPath) {
    std::string native(storedPath);
#ifndef _WIN32
    if (!IsDrivePath(storedPath) && !IsUncPath(storedPath))
        std::replace(native.begin(), native.end(), '\\', '/');
#endif
    return native;
}

std::string StoredPath(std::string_view nativePath) {
    std::string stored(nativePath);
    std::replace(stored.begin(), stored.end(), '/', '\\');
    return stored;
}

} // namespace vantry
