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

    // Drag feedback drawn over the rendered image by inverting what lies beneath, so that
    // drawing the same shape a second time removes it. The next render clears all of it.
    void XorLine(WorldPoint a, WorldPoint b, Qt::PenStyle style, int width);
    void XorRect(WorldPoint a, WorldPoint b);
    void XorCircle(WorldPoint p, int radius);
    // A line from a to b, drawn solid and 2 wide to the node b snaps to, else dashed to b.
    void RubberLink(WorldPoint a, WorldPoint b);
    // The selected nodes moved by an offset, with the links that touch them.
    void MoveGhost(WorldPoint offset);
    bool hasFeedback() const { return !feedback_.empty(); }
    // The rendered image with the feedback on top, as painted.
    QImage composedFrame() const;

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

    struct Feedback {
        enum Kind { Line, Rect, Circle } kind;
        LogicalPoint a, b;
        int radius;
        Qt::PenStyle style;
        int width;
        bool operator==(const Feedback&) const = default;
    };
    void toggle(const Feedback& shape);
    void drawFeedback(QPainter& painter) const;

    CVantryDoc* doc_;
    std::vector<Feedback> feedback_;
    ViewTransform transform_;
    Selection selection_;
    QImage offscreen_;
    ScrollBarState hState_;
    ScrollBarState vState_;
    bool updatingBars_ = false;
};
