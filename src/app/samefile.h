#pragma once

#include <filesystem>
#include <string>

namespace vantry {

// Two paths name the same file when they resolve to the same absolute, canonical path: the key
// to compare them by. A path that cannot be resolved is its own key.
inline std::string samePathKey(const std::string& path) {
    std::error_code ec;
    const auto p = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
    return ec ? path : p.string();
}

} // namespace vantry
