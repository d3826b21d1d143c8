#include "view/vantryview.h"

#include "view/cursors.h"
#include "view/documentlayers.h"

#include <QApplication>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <unordered_set>

namespace vantry {

CVantryView::CVantryView(CVantryDoc* doc, QWidget* parent)
    : QAbstractScrollArea(parent), doc_(doc), docCommands_(*doc),
      grab_(*this, *viewport(), [this] { captureLost(); }),
      scrollBars_(*this, [this](bool horizontal, ScrollCode code, int trackPos) {
          scrollAction(horizontal, code, trackPos);
      }) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAttribute(Qt::WA_NoSystemBackground);
    viewport()->setMouseTracking(true);
    viewport()->setAcceptDrops(true);
    const ToolInfo& select = toolInfo(ToolMode::Select);
    tool_ = select.make(*this);
    viewport()->setCursor(select.cursor());
    doc_->addView(this);
}

CVantryView::~CVantryView() {
    grab_.release();
    doc_->removeView(this);
}

double CVantryView::pixelsPerLogical() const {
    // One logical unit is a hundredth of an inch of the screen.
    return fixedPixelsPerLogical_ > 0 ? fixedPixelsPerLogical_
                                      : std::max(0.25, logicalDpiX() / 100.0);
}

void CVantryView::setPixelsPerLogical(double factor) {
    fixedPixelsPerLogical_ = factor;
    rerender();
}

void CVantryView::OnInitialUpdate() {
    // The bitmap layer starts visible exactly when the document has an image loaded.
    showBitmap = doc_->background().loaded();
    transform_.setClientSize(viewport()->width(), viewport()->height(), pixelsPerLogical());
    ShowEntireNetwork();
}

void CVantryView::OnUpdate(DocumentObserver*, const DocumentChange& change) {
    tool_->networkChanged();
    // Where the pointer is on Earth changes with the georeference, pointer still or not.
    if (underMouse())
        setStatusExtra(statusExtra_);
    switch (change.kind) {
    case ChangeKind::NetworkReplaced:
        // Every object the drag was working on is gone: nothing may be moved or linked later.
        CancelDrag();
        selection_.clear();
        clickedNode_ = nullptr;
        clickedLink_ = nullptr;
        break;
    case ChangeKind::BackgroundChanged:
        if (!showBitmap && !doc_->background().loaded())
            return;
        showBitmap = doc_->background().loaded();
        break;
    case ChangeKind::StreetsLoaded:
        if (!showTiger && !doc_->tiger().hasChains())
            return;
        showTiger = doc_->tiger().hasChains();
        break;
    case ChangeKind::AreaChanged:
        // Nothing was added or removed, so the selection still holds; neither the view nor
        // the objects around the change moved, so the rest of the image still holds too.
        if (renderChangedArea(change.area)) {
            emit commandStateChanged();
            return;
        }
        break;
    case ChangeKind::AreaRestored: {
        // As after every Undo and Redo the selection goes, so its objects are drawn again
        // as well.
        CancelDrag();
        std::optional<WorldRect> area = change.area;
        const auto add = [&](WorldPoint p) {
            if (!area)
                area = WorldRect{p.y, p.y, p.x, p.x};
            area->extendTo(p);
        };
        for (const Node* n : selection_.selectedNodes())
            add(n->position());
        for (const Link* l : selection_.selectedLinks())
            if (l->fromNode() && l->toNode()) {
                add(l->fromNode()->position());
                add(l->toNode()->position());
            }
        selection_.clear();
        clickedNode_ = nullptr;
        clickedLink_ = nullptr;
        if (renderChangedArea(area)) {
            emit commandStateChanged();
            return;
        }
        break;
    }
    default:
        // Another view may have deleted objects this view still has selected.
        dropStaleSelection();
        break;
    }
    render();
    emit commandStateChanged();
}

void CVantryView::dropStaleSelection() {
    if (selection_.empty() && !clickedNode_ && !clickedLink_)
        return;
    // Objects are compared by address only: a pointer to a removed object must never be read.
    const Network& net = doc_->network();
    const std::unordered_set<const Node*> nodes(net.nodes().begin(), net.nodes().end());
    const std::unordered_set<const Link*> links(net.links().begin(), net.links().end());
    selection_.retain([&](const Node* n) { return nodes.count(n) != 0; },
                      [&](const Link* l) { return links.count(l) != 0; });
    if (clickedNode_ && !nodes.count(clickedNode_))
        clickedNode_ = nullptr;
    if (clickedLink_ && !links.count(clickedLink_))
        clickedLink_ = nullptr;
}

WorldRect CVantryView::dataExtent() const {
    return layerExtent(documentLayers(*doc_), {showGrid, showNumbers, showBitmap, showTiger});
}

RenderOptions CVantryView::renderOptions(bool printing) const {
    RenderOptions options = layerRenderOptions(
        documentLayers(*doc_), {showGrid, showNumbers, showBitmap, showTiger}, printing);
    if (colouring_)
        options.colouring = &*colouring_;
    return options;
}

bool CVantryView::refreshColouring() {
    std::optional<LinkColouring> now = colourLinks(doc_->network(), colourChoice);
    if (now == colouring_)
        return false;
    colouring_ = std::move(now);
    return true;
}

void CVantryView::render() {
    transform_.setClientSize(viewport()->width(), viewport()->height(), pixelsPerLogical());
    if (transform_.isEmpty())
        return;
    scrollBars_.update(transform_, dataExtent());
    refreshColouring();
    const bool busy = isVisible();
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    std::string readout;
    const double ratio = viewport()->devicePixelRatioF();
    offscreen_ = renderToImage(doc_->network(), atDeviceRatio(transform_, ratio),
                               renderOptions(false), &selection_, &readout);
    offscreen_.setDevicePixelRatio(ratio);
    if (busy)
        QApplication::restoreOverrideCursor();
    rendered_ = frameNow();
    emit gridTextChanged(QString::fromStdString(readout));
    // The new image has no feedback on it; the running drag is drawn again from its state.
    refreshFeedback();
}

CVantryView::Frame CVantryView::frameNow() const {
    return {transform_.scale,
            transform_.viewCenter,
            transform_.clientWidthPixels(),
            transform_.clientHeightPixels(),
            transform_.pixelsPerLogical(),
            viewport()->devicePixelRatioF(),
            renderOptions(false)};
}

// Room around a changed object for everything drawn with it: node circles, links' heads and
// both kinds of numbers.
constexpr int kRedrawMarginUnits = 100;

bool CVantryView::renderChangedArea(const std::optional<WorldRect>& changed) {
    if (offscreen_.isNull())
        return false;
    transform_.setClientSize(viewport()->width(), viewport()->height(), pixelsPerLogical());
    if (transform_.isEmpty())
        return false;
    // The network's extent may have changed with the edit, and the bars with it.
    scrollBars_.update(transform_, dataExtent());
    // The image is drawn at the screen's device pixels.
    const ViewTransform t = atDeviceRatio(transform_, viewport()->devicePixelRatioF());
    // An edit that moves a class's bounds changes links elsewhere and the legend.
    if (refreshColouring() || !(frameNow() == rendered_) ||
        offscreen_.width() != t.clientWidthPixels() ||
        offscreen_.height() != t.clientHeightPixels())
        return false;
    if (!changed) {
        // Nothing that is drawn changed; the bars and the commands may have.
        refreshFeedback();
        return true;
    }
    const LogicalPoint a = t.WorldToLogical({changed->left, changed->top});
    const LogicalPoint b = t.WorldToLogical({changed->right, changed->bottom});
    const auto device = [&](std::int64_t lx, std::int64_t ly) {
        const auto clamp = [](std::int64_t v) {
            return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
        };
        return QPointF(t.logicalToDeviceX(clamp(lx)), t.logicalToDeviceY(clamp(ly)));
    };
    const QPointF topLeft =
        device(std::int64_t{a.x} - kRedrawMarginUnits, std::int64_t{a.y} + kRedrawMarginUnits);
    const QPointF bottomRight =
        device(std::int64_t{b.x} + kRedrawMarginUnits, std::int64_t{b.y} - kRedrawMarginUnits);
    const QRect client(0, 0, offscreen_.width(), offscreen_.height());
    const QRect area =
        QRectF(topLeft, bottomRight).normalized().toAlignedRect().adjusted(-2, -2, 2, 2) & client;
    if (area.isEmpty()) {
        refreshFeedback();
        return true;
    }
    // A large part is drawn faster whole, in bands on every processor.
    if (static_cast<std::int64_t>(area.width()) * area.height() * 3 >
        static_cast<std::int64_t>(client.width()) * client.height())
        return false;
    RenderOptions options = renderOptions(false);
    options.area = area;
    // Drawn pixel for pixel: a painter on an image that has a ratio would scale by it.
    const double ratio = offscreen_.devicePixelRatio();
    offscreen_.setDevicePixelRatio(1.0);
    renderArea(offscreen_, doc_->network(), t, options, &selection_);
    offscreen_.setDevicePixelRatio(ratio);
    ++areaRenders_;
    refreshFeedback();
    return true;
}

void CVantryView::scrollAction(bool horizontal, ScrollCode code, int trackPos) {
    transform_.scroll(horizontal, code,
                      horizontal ? scrollBars_.horizontal() : scrollBars_.vertical(), trackPos);
    OnUpdate(nullptr, ChangeKind::Redraw);
}

void CVantryView::scrollContentsBy(int, int) {
    // Scrolling moves the view's centre and re-renders; the bars' own scrolling of the
    // viewport is not used.
}

void CVantryView::paintEvent(QPaintEvent* event) {
    // A window moved to a screen of another pixel density needs the image drawn anew for it.
    if (!offscreen_.isNull() && offscreen_.devicePixelRatio() != viewport()->devicePixelRatioF())
        render();
    QPainter painter(viewport());
    if (offscreen_.isNull()) {
        painter.fillRect(event->rect(), palette().base());
        return;
    }
    const QRectF target(event->rect());
    const double ratio = offscreen_.devicePixelRatio();
    const QRectF source(target.topLeft() * ratio, target.size() * ratio);
    if (!feedback_.empty()) {
        painter.drawImage(target, composedFrame(), source);
        return;
    }
    painter.drawImage(target, offscreen_, source);
    // The route is drawn over the map as it is painted, so the image keeps the map alone.
    if (route_.shown()) {
        painter.setClipRect(event->rect());
        route_.draw(painter, transform_);
    }
}

QImage CVantryView::composedFrame() const {
    QImage frame = offscreen_.copy();
    if (frame.isNull())
        return frame;
    if (route_.shown()) {
        QPainter painter(&frame);
        route_.draw(painter, transform_);
    }
    if (!feedback_.empty())
        feedback_.draw(frame);
    return frame;
}

void CVantryView::refreshFeedback() {
    feedback_.clear();
    tool_->drawFeedback();
    viewport()->update();
}

void CVantryView::XorLine(WorldPoint a, WorldPoint b, Qt::PenStyle style, int width) {
    feedback_.line(a, b, style, width);
}

void CVantryView::XorRect(WorldPoint a, WorldPoint b) {
    feedback_.rect(a, b);
}

void CVantryView::XorCircle(WorldPoint p, int radius) {
    feedback_.circle(p, radius);
}

void CVantryView::RubberLink(WorldPoint a, WorldPoint b) {
    feedback_.rubberLink(doc_->network(), a, b);
}

void CVantryView::MoveGhost(WorldPoint offset, const GhostLinks& ghost) {
    feedback_.moveGhost(selection_, offset, ghost);
}

void CVantryView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    OnUpdate(nullptr, ChangeKind::Redraw);
}

void CVantryView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
    emit commandStateChanged();
}

void CVantryView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    grab_.lose();
}

void CVantryView::wheelEvent(QWheelEvent* event) {
    // The wheel neither zooms nor scrolls the map.
    event->accept();
}

void CVantryView::ShowEntireNetwork() {
    transform_.setClientSize(viewport()->width(), viewport()->height(), pixelsPerLogical());
    transform_.ShowEntireNetwork(dataExtent());
    OnUpdate(nullptr, ChangeKind::Redraw);
}

std::optional<CommandState> CVantryView::query(int id) const {
    return commands_.query(id);
}

void CVantryView::run(int id) {
    if (commands_.run(id))
        OnUpdate(nullptr, ChangeKind::Redraw);
}

void CVantryView::setTool(ToolMode mode) {
    // Whatever the old tool was doing ends here, without its edit.
    tool_->abandon();
    grab_.release();
    const ToolInfo& info = toolInfo(mode);
    tool_ = info.make(*this);
    viewport()->setCursor(info.cursor());
    refreshFeedback();
    emit commandStateChanged();
}

bool CVantryView::CancelDrag() {
    const bool cancelled = tool_->cancel();
    if (cancelled) {
        grab_.release();
        refreshFeedback();
    }
    return cancelled;
}

bool CVantryView::captured() const {
    return grab_.captured();
}

void CVantryView::captureLost() {
    tool_->abandon();
    refreshFeedback();
    emit commandStateChanged();
}

void CVantryView::escape() {
    if (CancelDrag()) {
        setTool(ToolMode::Select);
        return;
    }
    if (mode() != ToolMode::Select)
        setTool(ToolMode::Select);
    clearRoute();
}

void CVantryView::routeBetween(Node* from, Node* to) {
    RouteRequest request;
    // The avoid options stay as last chosen for this view.
    if (route_.request()) {
        request.avoidTypes = route_.request()->avoidTypes;
        request.avoidLinks = route_.request()->avoidLinks;
    }
    request.from = from;
    request.to = to;
    showRoute(std::move(request));
}

void CVantryView::routeChanged() {
    viewport()->update();
    setStatusExtra(statusExtra_);
}

void CVantryView::setClicked(Node* node, Link* link) {
    clickedNode_ = node;
    clickedLink_ = link;
}

void CVantryView::selectOnly(Node* node, Link* link) {
    selection_.clear();
    if (link)
        selection_.addLink(link);
    else if (node)
        selection_.addNode(node);
}

void CVantryView::autoScroll() {
    if (transform_.AutoScroll(transform_.deviceToLogical(lastPointer_.x(), lastPointer_.y())))
        rerender();
}

void CVantryView::setStatusExtra(const std::string& text) {
    statusExtra_ = text;
    const WorldPoint p = worldAt(lastPointer_);
    char coordinates[64];
    std::snprintf(coordinates, sizeof coordinates, "(%8.3f, %8.3f) ", static_cast<double>(p.x),
                  static_cast<double>(p.y));
    // A placed network also says where the pointer is on Earth.
    std::string place = pointerPlace_.describe(doc_->network().georeference(), p);
    if (!place.empty())
        place += "  ";
    // The route shown stays in the readout until it goes.
    std::string route = route_.text();
    if (!route.empty() && !text.empty())
        route.insert(0, "  ");
    emit messageTextChanged(QString::fromStdString(coordinates + place + text + route));
}

WorldPoint CVantryView::worldAt(QPointF pos) const {
    return transform_.LogicalToWorld(transform_.deviceToLogical(pos.x(), pos.y()));
}

} // namespace vantry
