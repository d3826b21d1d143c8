#include "base/filereasons.h"

#include <cctype>

namespace vantry {

std::string reasonOf(const std::error_code& ec) {
    std::string text = ec.message();
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

std::string reasonOf(int err) {
    return reasonOf(std::error_code(err, std::generic_category()));
}

} // namespace vantry
