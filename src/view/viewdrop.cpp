#include "view/droppedfiles.h"
#include "view/vantryview.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>

namespace vantry {

// A picture is always taken as a copy, whatever the source proposes: a source told that its
// file was moved may delete it.
void CVantryView::dragEnterEvent(QDragEnterEvent* event) {
    if (droppedPicture(*event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void CVantryView::dragMoveEvent(QDragMoveEvent* event) {
    if (droppedPicture(*event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void CVantryView::dropEvent(QDropEvent* event) {
    const std::optional<std::string> picture = droppedPicture(*event->mimeData());
    if (!picture) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // The program that dragged the file waits until the drop returns; the dialog comes after.
    QTimer::singleShot(0, this, [this, path = *picture] {
        doc_->OnLoadBitmap(path);
        emit commandStateChanged();
    });
}

} // namespace vantry
