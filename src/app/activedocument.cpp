#include "app/activedocument.h"

#include "app/vantryapp.h"
#include "view/vantryview.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace vantry {

ActiveDocument::ActiveDocument(CVantryApp& app, QMdiArea* area, QObject* parent)
    : QObject(parent), app_(app) {
    connect(area, &QMdiArea::subWindowActivated, this, &ActiveDocument::followActive);
}

ActiveDocument::~ActiveDocument() {
    attach(nullptr);
}

void ActiveDocument::followActive() {
    follow(app_.activeView());
}

void ActiveDocument::follow(CVantryView* view) {
    if (view == view_)
        return;
    disconnect(stateConnection_);
    disconnect(destroyedConnection_);
    view_ = view;
    // Hints reach this after the followed view, which by then has let go of objects an edit
    // removed: the view's selection may be read safely here. So this goes to the end of the
    // document's list again even when the document stays the same.
    attach(nullptr);
    attach(view ? view->GetDocument() : nullptr);
    if (view) {
        stateConnection_ = connect(view, &CVantryView::commandStateChanged, this,
                                   &ActiveDocument::viewStateChanged);
        // The document outlives its last view only until the application hears the window went:
        // letting go of it here keeps this from holding on to a document about to be deleted.
        destroyedConnection_ =
            connect(view, &QObject::destroyed, this, [this] { follow(nullptr); });
    }
    emit viewChanged();
}

void ActiveDocument::attach(CVantryDoc* doc) {
    if (doc == doc_)
        return;
    if (doc_)
        doc_->removeView(this);
    doc_ = doc;
    if (doc_)
        doc_->addView(this);
}

void ActiveDocument::OnUpdate(DocumentObserver*, const DocumentChange& change) {
    emit documentUpdated(change.kind);
}

} // namespace vantry
