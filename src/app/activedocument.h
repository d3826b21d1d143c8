#pragma once

#include "document/vantrydoc.h"

#include <QObject>

class QMdiArea;

namespace vantry {

class CVantryApp;
class CVantryView;

// What a dock shows: the application's active map view and its document. It follows the view
// as windows are activated and closed, and passes on the document's update hints and the view's
// notices that its selection or commands may have changed.
class ActiveDocument : public QObject, public DocumentObserver {
    Q_OBJECT
public:
    ActiveDocument(CVantryApp& app, QMdiArea* area, QObject* parent = nullptr);
    ~ActiveDocument() override;

    CVantryView* view() const { return view_; }
    CVantryDoc* document() const { return doc_; }
    // Follows the application's active view, or the given one.
    void followActive();
    void follow(CVantryView* view);

    void OnUpdate(DocumentObserver* sender, const DocumentChange& change) override;

signals:
    // Another view, or none, is followed now.
    void viewChanged();
    // The document changed (an edit, Undo or Redo); hint as the views get it.
    void documentUpdated(ChangeKind kind);
    // The view's selection, tool or commands may have changed.
    void viewStateChanged();

private:
    void attach(CVantryDoc* doc);

    CVantryApp& app_;
    CVantryView* view_ = nullptr;
    CVantryDoc* doc_ = nullptr;
    QMetaObject::Connection stateConnection_;
    QMetaObject::Connection destroyedConnection_;
};

} // namespace vantry
