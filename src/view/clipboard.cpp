#include "view/clipboard.h"

#include "view/selection.h"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QString>

#include <new>
#include <sstream>
#include <stdexcept>

const char* const kClipboardFormat = "application/x-qt-windows-mime;value=\"KXNetwork\"";

namespace {

// Splits text into lines, accepting LF and CRLF line ends; a final line without a line end
// still counts.
class LineSplitter {
public:
    explicit LineSplitter(std::string_view text) : text_(text) {}

    bool next(std::string_view& line) {
        if (pos_ >= text_.size())
            return false;
        std::size_t end = text_.find('\n', pos_);
        const bool hasEnd = end != std::string_view::npos;
        if (!hasEnd)
            end = text_.size();
        line = text_.substr(pos_, end - pos_);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        pos_ = hasEnd ? end + 1 : end;
        ++number_;
        return true;
    }

    std::size_t lineNumber() const { return number_; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t number_ = 0;
};

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
    LineSplitter lines(text);
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

QClipboard* systemClipboard() {
    return qGuiApp ? QGuiApplication::clipboard() : nullptr;
}

} // namespace

std::string clipboardText(const Selection& selection) {
    // A default stream: general notation with 6 significant digits.
    std::ostringstream out;
    NodeNumbering numbering;
    int next = 1;
    auto take = [&](const Node* n) {
        if (n && numbering.emplace(n, next).second) {
            ++next;
            n->writeLine(out);
        }
    };
    for (const Node* n : selection.selectedNodes())
        take(n);
    for (const Link* l : selection.selectedLinks()) {
        if (!l)
            continue;
        take(l->fromNode());
        take(l->toNode());
    }
    out << kEndNodesMarker << '\n';
    for (const Link* l : selection.selectedLinks())
        if (l)
            l->writeLine(out, numbering);
    out << kEndLinksMarker << '\n';
    return out.str();
}

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

        LineSplitter lines(text);
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

void putNetworkOnClipboard(const std::string& text) {
    QClipboard* clipboard = systemClipboard();
    if (!clipboard)
        return;
    QByteArray bytes(text.data(), static_cast<qsizetype>(text.size()));
    bytes.append('\0');
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kClipboardFormat), bytes);
    clipboard->setMimeData(data);
}

bool clipboardHasNetwork() {
    const QClipboard* clipboard = systemClipboard();
    const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
    return data && data->hasFormat(QString::fromLatin1(kClipboardFormat));
}

std::optional<std::string> networkFromClipboard() {
    const QClipboard* clipboard = systemClipboard();
    const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
    const QString format = QString::fromLatin1(kClipboardFormat);
    if (!data || !data->hasFormat(format))
        return std::nullopt;
    QByteArray bytes = data->data(format);
    if (const qsizetype zero = bytes.indexOf('\0'); zero >= 0)
        bytes.truncate(zero);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void putImageOnClipboard(const QImage& image) {
    QClipboard* clipboard = systemClipboard();
    if (!clipboard)
        return;
    if (image.isNull()) {
        clipboard->clear();
        return;
    }
    auto* data = new QMimeData;
    data->setImageData(image);
    clipboard->setMimeData(data);
}
