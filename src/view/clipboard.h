#pragma once

#include "model/clipboardpaste.h"
#include "model/network.h"

#include <optional>
#include <string>

class QImage;

namespace vantry {

class Selection;

// Moving network fragments between documents through the system clipboard (pasteClipboardText,
// in model/clipboardpaste.h, reads them back).
//
// The fragment is text made of node lines, "EndNodes", link lines and "EndLinks", each line
// ended by a line feed. Its node numbers are the fragment's own: the selected nodes first, in
// selection order, then each selected link's from and to node that is not numbered yet. Floats
// are written in the default stream notation (6 significant digits), whatever the network's
// precision.

// The private clipboard format. On Windows Qt maps it to the registered format "KXNetwork", so
// other programs that use that format can exchange fragments with this one.
extern const char* const kClipboardFormat;

// The fragment text for the selected nodes and links and the end nodes of those links.
std::string clipboardText(const Selection& selection);

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

} // namespace vantry
