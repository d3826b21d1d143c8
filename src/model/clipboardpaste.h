#pragma once

#include "model/network.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vantry {

// Reading network fragments that come from the clipboard: node lines, "EndNodes", link lines and
// "EndLinks" in the network text format, with node numbers of the fragment's own.

// Clipboard text with more lines than this before its "EndLinks" is refused unread.
inline constexpr std::size_t kMaxClipboardLines = 10'000'000;

// What one paste added to the network, in the order the text held it.
struct PastedObjects {
    std::vector<Node*> nodes;
    std::vector<Link*> links;
};

// Parses fragment text (LF or CRLF line ends; it may stop at a zero byte and may lack a final
// line end; lines after "EndLinks" are ignored) and appends its nodes and then its links to the
// network with the next free ids. A text that is empty or holds no objects pastes nothing and
// succeeds. Text that is unsound anywhere (a missing marker, a malformed line, a node number no
// node line defined, a number that is not finite, too many lines) is refused as a whole: false,
// the network untouched, pasted empty, and `why` says what is wrong.
bool pasteClipboardText(Network& net, std::string_view text, PastedObjects& pasted,
                        std::string* why = nullptr);

} // namespace vantry
