#include "view/clipboard.h"

#include "view/selection.h"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QString>

#include <sstream>

namespace vantry {

const char* const kClipboardFormat = "application/x-qt-windows-mime;value=\"KXNetwork\"";

namespace {

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

} // namespace vantry
