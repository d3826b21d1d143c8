#include "app/childframe.h"

#include "view/vantryview.h"

#include <QCloseEvent>

namespace vantry {

CChildFrame::CChildFrame(CVantryView* view, QWidget* parent) : QMdiSubWindow(parent), view_(view) {
    setWidget(view);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(QIcon(QStringLiteral(":/icons/vantry.svg")));
}

// The view goes first, so that by the time the frame is reported destroyed its document no
// longer counts it among its views.
CChildFrame::~CChildFrame() {
    delete view_;
}

CVantryDoc* CChildFrame::document() const {
    return view_->GetDocument();
}

void CChildFrame::closeEvent(QCloseEvent* event) {
    bool allow = true;
    emit closeRequested(this, allow);
    if (allow)
        QMdiSubWindow::closeEvent(event);
    else
        event->ignore();
}

} // namespace vantry
