// The stored-path functions on arbitrary text: the input's first line is a document's path and
// the rest a target's. A relative path made for an absolute target must lead back to it.

#include "fuzzcheck.h"
#include "picture/relativepath.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using namespace vantry;

namespace {

std::string joined(const std::vector<std::string>& parts) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            text += '\\';
        text += parts[i];
    }
    return text;
}

// Leading ".." components of a stored path climb out of the document's folder, so a target
// that holds them cannot be expected to come back spelt the same; nor can one that ends in a
// backslash, which no component records.
bool comesBackSpeltTheSame(std::string_view target) {
    if (!IsAbsolutePath(target) || target.empty() || target.back() == '\\')
        return false;
    const std::vector<std::string> parts = SplitPath(target);
    return std::find(parts.begin(), parts.end(), "..") == parts.end();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t newline = input.find('\n');
    const std::string_view document = input.substr(0, newline);
    const std::string_view target =
        newline == std::string_view::npos ? std::string_view{} : input.substr(newline + 1);

    FUZZ_CHECK(SameTextIgnoringCase(document, document));
    // Splitting and joining again loses only a trailing backslash.
    std::string_view untrailed = target;
    if (!untrailed.empty() && untrailed.back() == '\\')
        untrailed.remove_suffix(1);
    FUZZ_CHECK(joined(SplitPath(target)) == untrailed);

    const std::string stored = StoredPath(target);
    FUZZ_CHECK(stored.size() == target.size());
    FUZZ_CHECK(stored.find('/') == std::string::npos);
    const std::string native = NativePath(stored);
    FUZZ_CHECK(native.size() == stored.size());
    if (target.find('/') == std::string_view::npos)
        FUZZ_CHECK(StoredPath(NativePath(target)) == target);

    const std::string relative = MakeRelativePath(document, target);
    const std::string resolved = ResolvePath(document, relative);
    if (comesBackSpeltTheSame(target)) {
        // A target above the document's folder comes back as ".." components, which name the
        // same folder but are spelt differently.
        const std::vector<std::string> parts = SplitPath(relative);
        if (parts.empty() || parts.back() != "..")
            FUZZ_CHECK(SameTextIgnoringCase(resolved, target));
    }
    return 0;
}
