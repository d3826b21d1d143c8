#include "model/clipboardpaste.h"

#include "model/linereader.h"

#include <new>
#include <stdexcept>

namespace vantry {

namespace {

// How the fragment's two sections lie in the text, found before any object is made.
struct Layout {
    std::size_t nodeLines = 0;
    std::size_t linkLines = 0;
};

bool refuse(std::string* why, std::string message) {
    if (why)
        *why = std::move(message);
    return false;
}

std::string endsBefore(const char* marker) {
    return std::string("the clipboard text ends before \"") + marker + "\"";
}

// Checks that both markers are there and counts the lines of each section, so that text which
// is cut short or far too long is refused before any object is made.
bool measure(std::string_view text, Layout& layout, std::string* why) {
    LineReader lines(text);
    std::string_view line;
    std::size_t* count = &layout.nodeLines;
    const char* awaited = kEndNodesMarker;
    for (;;) {
        if (!lines.next(line))
            return refuse(why, endsBefore(awaited));
        if (lines.lineNumber() > kMaxClipboardLines)
            return refuse(why, "the clipboard text is too long (more than " +
                                   std::to_string(kMaxClipboardLines) + " lines)");
        if (line == awaited) {
            if (awaited == kEndLinksMarker)
                return true;
            count = &layout.linkLines;
            awaited = kEndLinksMarker;
        } else {
            ++*count;
        }
    }
}

std::string malformed(const char* what, std::size_t lineNumber, const std::string& problem) {
    return std::string("the clipboard holds a malformed ") + what + " on line " +
           std::to_string(lineNumber) + ": " + problem;
}

// Objects parsed but not yet handed to a network. Whatever is still held when this goes away
// is detached and deleted, so a refused paste leaves nothing behind.
class Pending {
public:
    Pending() = default;
    Pending(const Pending&) = delete;
    Pending& operator=(const Pending&) = delete;
    ~Pending() {
        for (Link* l : links) {
            l->setFromNode(nullptr);
            l->setToNode(nullptr);
            delete l;
        }
        for (Node* n : nodes)
            delete n;
    }

    void release() {
        nodes.clear();
        links.clear();
    }

    std::vector<Node*> nodes;
    std::vector<Link*> links;
};

} // namespace

bool pasteClipboardText(Network& net, std::string_view text, PastedObjects& pasted,
                        std::string* why) {
    pasted = {};
    // Another program may hand over a block longer than its text: the text ends at a zero.
    if (const std::size_t zero = text.find('\0'); zero != std::string_view::npos)
        text = text.substr(0, zero);
    if (text.empty())
        return true;

    Layout layout;
    if (!measure(text, layout, why))
        return false;

    // Another program's text may claim more than memory holds: that is a refusal like any other,
    // and what was read so far goes with the pending objects.
    Pending pending;
    try {
        pending.nodes.reserve(layout.nodeLines);
        pending.links.reserve(layout.linkLines);
        NodeTable table;
        table.reserve(layout.nodeLines + 1);
        table.push_back(nullptr);

        LineReader lines(text);
        std::string_view line;
        std::string problem;
        while (lines.next(line) && line != kEndNodesMarker) {
            pending.nodes.push_back(new Node);
            Node* n = pending.nodes.back();
            if (!n->readLine(line, &problem))
                return refuse(why, malformed("node line", lines.lineNumber(), problem));
            table.push_back(n);
        }
        while (lines.next(line) && line != kEndLinksMarker) {
            pending.links.push_back(new Link);
            if (!pending.links.back()->readLine(line, table, &problem))
                return refuse(why, malformed("link line", lines.lineNumber(), problem));
        }
    } catch (const std::bad_alloc&) {
        return refuse(why, "there is not enough memory to paste it");
    } catch (const std::length_error&) {
        return refuse(why, "there is not enough memory to paste it");
    }

    if (pending.nodes.empty() && pending.links.empty())
        return true;
    for (Node* n : pending.nodes)
        net.addNode(n);
    for (Link* l : pending.links)
        net.addLink(l);
    net.recomputeBounds();
    pasted.nodes = std::move(pending.nodes);
    pasted.links = std::move(pending.links);
    pending.release();
    return true;
}

} // namespace vantry
