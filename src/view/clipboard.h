#pragma once

#include "model/network.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QImage;
class Selection;

// Moving network fragments between documents through the system clipboard.
//
// The fragment is text made of node lines, "EndNodes", link lines and "EndLinks", each line
// ended by a line feed. Its node numbers are the fragment's own: the selected nodes first, in
// selection order, then each selected link's from and to node that is not numbered yet. Floats
// are written in the default stream notation (6 significant digits), whatever the network's
// precision.

// The private clipboard format. On Windows Qt maps it to the registered format "KXNetwork", so
// other programs that use that format can exchange fragments with this one.
extern const char* const kClipboardFormat;

// Clipboard text with more lines than this before its "EndLinks" is refused unread.
inline constexpr std::size_t kMaxClipboardLines = 10'000'000;

// The fragment text for the selected nodes and links and the end nodes of those links.
std::string clipboardText(const Selection& selection);

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

// ---- System clipboard (needs the application object; without one these do nothing) ---------

// Replaces the clipboard's contents by the fragment text, stored with a terminating zero byte.
void putNetworkOnClipboard(const std::string& text);
// True when the clipboard offers the private format.
bool clipboardHasNetwork();
// The fragment text on the clipboard, up to its first zero byte; none when the clipboard does
// not offer the private format.
std::optional<std::string> networkFromClipboard();
// Replaces the clipboard's contents by the image; a null image leaves the clipboard empty.
void putImageOnClipboard(const QImage& image);
