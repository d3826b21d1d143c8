#pragma once

#include "document/vantrydoc.h"
#include "view/commands.h"
#include "view/documentcommands.h"
#include "view/feedbackoverlay.h"
#include "view/linkcolouring.h"
#include "view/pointergrab.h"
#include "view/pointerplace.h"
#include "view/renderer.h"
#include "view/routeoverlay.h"
#include "view/selection.h"
#include "view/tools.h"
#include "view/viewcommands.h"
#include "view/viewscrollbars.h"
#include "view/viewtransform.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QPoint>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QMenu;
class QPrinter;

namespace vantry {

// The property dialogs, provided by the application: each runs its dialog and, when the user
// pressed OK, returns the change to make; an empty function when the user cancelled.
class PropertyEditors {
public:
    virtual ~PropertyEditors() = default;
    virtual std::function<void()> editNode(Node& node, QWidget* parent) = 0;
    virtual std::function<void()> editLinks(const std::vector<Link*>& links, QWidget* parent) = 0;
};

// The map view: shows one document's network, keeps its own scale, centre and scroll bars,
// renders the whole client area into an off-screen image whenever something changes and only
// copies that image when painting. Several views of one document stay in step through the
// document's update hints. It ties together the active tool, the drag feedback over the image
// (FeedbackOverlay), the mouse capture (PointerGrab), the scroll bars (ViewScrollBars) and its
// commands (ViewCommands).
class CVantryView : public QAbstractScrollArea,
                    public DocumentObserver,
                    public CommandTarget,
                    public ToolHost {
    Q_OBJECT
public:
    explicit CVantryView(CVantryDoc* doc, QWidget* parent = nullptr);
    ~CVantryView() override;

    CVantryDoc* GetDocument() const override { return doc_; }
    // The commands of the document this view shows, routed after the view's own.
    CommandTarget& documentCommands() { return docCommands_; }
    void setPropertyEditors(PropertyEditors* editors) { editors_ = editors; }
    ViewTransform& transform() override { return transform_; }
    const ViewTransform& transform() const { return transform_; }
    Selection& selection() override { return selection_; }
    const Selection& selection() const { return selection_; }
    const QImage& offscreen() const { return offscreen_; }
    // How often only the changed part of the image was drawn again instead of all of it.
    std::size_t areaRenders() const { return areaRenders_; }
    // Device pixels per logical unit: the screen's logical DPI / 100 unless fixed (images and
    // tests use exactly 1).
    double pixelsPerLogical() const;
    void setPixelsPerLogical(double factor);

    bool showBitmap = false;
    bool showGrid = true;
    bool showTiger = false;
    bool showNumbers = true;
    // What this window colours its links by; each window keeps its own.
    ColourChoice colourChoice;

    // First display: fit the network into the window.
    void OnInitialUpdate();
    void OnUpdate(DocumentObserver* sender, const DocumentChange& change) override;

    std::optional<CommandState> query(int id) const override;

    void ShowEntireNetwork();
    void OnFilePrint();
    // Turns the page to landscape when the network is wider than tall and the paper is
    // taller than wide, portrait otherwise.
    void preparePrinter(QPrinter& printer) const;
    void OnFilePrintPreview();
    // Prints one page on an already set-up printer: the selection's part of the map at the
    // screen's zoom, or the whole network fitted to the page.
    void printPage(QPrinter& printer, bool selectionOnly);

    // Drag feedback drawn over the rendered image by inverting what lies beneath (two
    // drawings of one shape cancel out). The active tool's shapes are drawn afresh after every
    // render and every mouse event, so feedback always shows the tool's present state.
    void XorLine(WorldPoint a, WorldPoint b, Qt::PenStyle style, int width) override;
    void XorRect(WorldPoint a, WorldPoint b) override;
    void XorCircle(WorldPoint p, int radius) override;
    void RubberLink(WorldPoint a, WorldPoint b) override;
    void MoveGhost(WorldPoint offset, const GhostLinks& ghost) override;
    bool hasFeedback() const { return !feedback_.empty(); }
    std::size_t feedbackShapes() const { return feedback_.size(); }
    // Throws the feedback away and has the tool draw its present shapes.
    void refreshFeedback();
    // The rendered image with the route and the feedback on top, as painted.
    QImage composedFrame() const;

    // The active tool. Choosing the active tool's command again returns to Select.
    ToolMode mode() const { return tool_->mode(); }
    void setTool(ToolMode mode) override;
    Tool& tool() { return *tool_; }
    // Ends a running drag or measurement without its edit; true when there was one.
    bool CancelDrag();
    // Ends a running drag; else returns to Select and takes away the route shown.
    void escape();

    // The fastest route shown over this view's map and described in the status bar; it follows
    // the document's edits until Escape or clearRoute().
    const RouteOverlay& route() const { return route_; }
    void showRoute(RouteRequest request) { route_.show(std::move(request)); }
    void clearRoute() { route_.clear(); }
    void routeBetween(Node* from, Node* to) override;

    // Helpers the tools share.
    Node* clickedNode() const override { return clickedNode_; }
    Link* clickedLink() const override { return clickedLink_; }
    void setClicked(Node* node, Link* link) override;
    void selectOnly(Node* node, Link* link) override;
    void rerender() override { OnUpdate(nullptr, ChangeKind::Redraw); }
    void autoScroll() override;
    void setStatusExtra(const std::string& text) override;
    // The mouse capture is the toolkit's grab of the pointer: while the view holds it every
    // mouse event comes here. Whatever takes it away (a popup, a dialog, another window or
    // program) ends the running drag.
    bool captured() const;
    // Properties of the selection: node dialog, link dialog for one or several links.
    void showProperties() override;
    bool propertiesAvailable() const;
    // The edit commands on the selection (viewedit.cpp).
    // Deletes the selection as one edit, named for the Undo menu ("Delete", "Cut").
    void deleteSelection(const char* name = "Delete");
    void copySelection();
    void paste();
    void copyImage();
    // Moves the selected nodes by (dx, dy) logical units at the view's scale: one step.
    void nudge(float dx, float dy);

    // Mouse input in device pixels of the viewport, as the event handlers receive it.
    void mousePress(QPointF pos, Qt::MouseButton button, MouseMods mods);
    void mouseMove(QPointF pos, MouseMods mods);
    void mouseRelease(QPointF pos, Qt::MouseButton button, MouseMods mods);
    void mouseDoubleClick(QPointF pos, Qt::MouseButton button, MouseMods mods);
    WorldPoint worldAt(QPointF pos) const;
    // The context menu for a point of the viewport: "Background", "Object" or
    // "Multiple Object", after the hit test that chooses it.
    std::unique_ptr<QMenu> contextMenuAt(QPointF pos);

    // The data extent: the network's bounds with the visible layers.
    WorldRect dataExtent() const;
    const ScrollBarState& horizontalState() const { return scrollBars_.horizontal(); }
    const ScrollBarState& verticalState() const { return scrollBars_.vertical(); }
    // Carries out a scroll bar action as the bars would.
    void scrollAction(bool horizontal, ScrollCode code, int trackPos = 0);

signals:
    // The grid readout for the status bar, or an empty text when the grid is hidden.
    void gridTextChanged(const QString& text);
    // Something that decides which commands are enabled or checked has changed.
    void commandStateChanged();
    // The pointer readout for the status bar's message pane.
    void messageTextChanged(const QString& text);

protected:
    void run(int id) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // A picture dragged from the desktop starts Load Bitmap with it; anything else is left to
    // the main window.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void render();
    // Draws again only the part of the image that the document's changed area covers; false
    // when the image does not show the view as it is now, and a whole render is needed.
    bool renderChangedArea(const std::optional<WorldRect>& changed);
    RenderOptions renderOptions(bool printing) const;
    // The classes of the chosen field for the network as it is now; true when they changed.
    bool refreshColouring();
    // The capture went elsewhere: the tool abandons what it was doing.
    void captureLost();
    void rightPress(WorldPoint p);
    void dropStaleSelection();
    void routeChanged();

    CVantryDoc* doc_;
    DocumentCommands docCommands_;
    PropertyEditors* editors_ = nullptr;
    std::unique_ptr<Tool> tool_;
    Node* clickedNode_ = nullptr;
    Link* clickedLink_ = nullptr;
    QPointF lastPointer_;
    ViewTransform transform_;
    FeedbackOverlay feedback_{transform_};
    PointerGrab grab_;
    PointerPlace pointerPlace_;
    std::string statusExtra_; // what the tool last added to the pointer's position
    ViewScrollBars scrollBars_;
    ViewCommands commands_{*this};
    Selection selection_;
    QImage offscreen_;
    std::optional<LinkColouring> colouring_;
    // What the image was drawn for: a part of it may be drawn again only for the same.
    struct Frame {
        float scale = 0.0f;
        WorldPoint center;
        int width = 0;
        int height = 0;
        double pixelsPerLogical = 0.0;
        double devicePixelRatio = 0.0;
        RenderOptions options;
        bool operator==(const Frame&) const = default;
    };
    Frame frameNow() const;
    Frame rendered_;
    std::size_t areaRenders_ = 0;
    double fixedPixelsPerLogical_ = 0.0;
    // Last, so that it hears the document only while the rest of the view is there.
    RouteOverlay route_{*doc_, [this] { routeChanged(); }};
};

} // namespace vantry
