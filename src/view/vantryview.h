#pragma once

#include "document/commands.h"
#include "document/vantrydoc.h"
#include "view/renderer.h"
#include "view/selection.h"
#include "view/viewtransform.h"

#include <QAbstractScrollArea>
#include <QImage>

class QPrinter;

// The map view: shows one document's network, keeps its own scale, centre and scroll bars,
// renders the whole client area into an off-screen image whenever something changes and only
// copies that image when painting. Several views of one document stay in step through the
// document's update hints.
class CVantryView : public QAbstractScrollArea, public DocumentObserver, public CommandTarget {
    Q_OBJECT
public:
    explicit CVantryView(CVantryDoc* doc, QWidget* parent = nullptr);
    ~CVantryView() override;

    CVantryDoc* GetDocument() const { return doc_; }
    ViewTransform& transform() { return transform_; }
    const ViewTransform& transform() const { return transform_; }
    Selection& selection() { return selection_; }
    const QImage& offscreen() const { return offscreen_; }

    bool showBitmap = false;
    bool showGrid = true;
    bool showTiger = false;
    bool showNumbers = true;

    // First display: fit the network into the window.
    void OnInitialUpdate();
    void OnUpdate(DocumentObserver* sender, long hint) override;

    std::optional<CommandState> query(int id) const override;
    bool execute(int id) override;

    void ShowEntireNetwork();
    void OnFilePrint();
    // Turns the page to landscape when the network is wider than tall and the paper is
    // taller than wide, portrait otherwise.
    void preparePrinter(QPrinter& printer) const;
    void OnFilePrintPreview();
    // Prints one page on an already set-up printer: the selection's part of the map at the
    // screen's zoom, or the whole network fitted to the page.
    void printPage(QPrinter& printer, bool selectionOnly);

    // The data extent: the network's bounds with the visible layers.
    WorldRect dataExtent() const;
    const ScrollBarState& horizontalState() const { return hState_; }
    const ScrollBarState& verticalState() const { return vState_; }
    // Carries out a scroll bar action as the bars would.
    void scrollAction(bool horizontal, ScrollCode code, int trackPos = 0);

signals:
    // The grid readout for the status bar, or an empty text when the grid is hidden.
    void gridTextChanged(const QString& text);
    // Something that decides which commands are enabled or checked has changed.
    void commandStateChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void render();
    void updateScrollBars();
    void applyBar(bool horizontal, const ScrollBarState& state);
    void onBarAction(bool horizontal, int action);
    RenderOptions renderOptions(bool printing) const;

    CVantryDoc* doc_;
    ViewTransform transform_;
    Selection selection_;
    QImage offscreen_;
    ScrollBarState hState_;
    ScrollBarState vState_;
    bool updatingBars_ = false;
};
