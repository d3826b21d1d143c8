#include "base/files.h"

namespace fs = std::filesystem;

namespace vantry {

fs::path pathFromUtf8(std::string_view utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8FromPath(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string absolutePath(const std::string& path) {
    if (path.empty())
        return {};
    std::error_code ec;
    fs::path absolute = fs::absolute(pathFromUtf8(path), ec);
    // Without a current folder (it was removed) the path can only be tidied.
    if (ec)
        absolute = pathFromUtf8(path);
    absolute = absolute.lexically_normal();
    if (!absolute.has_filename() && absolute != absolute.root_path())
        absolute = absolute.parent_path();
    return utf8FromPath(absolute);
}

} // namespace vantry
