#include "view/vantryview.h"

#include "model/drawsizes.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "view/clipboard.h"
#include "view/cursors.h"
#include "view/hittest.h"
#include "view/layers.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_set>

CVantryView::CVantryView(CVantryDoc* doc, QWidget* parent)
    : QAbstractScrollArea(parent), doc_(doc) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAttribute(Qt::WA_NoSystemBackground);
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { onBarAction(true, action); });
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { onBarAction(false, action); });
    viewport()->setMouseTracking(true);
    viewport()->setAcceptDrops(true);
    // The wheel over a scroll bar must not scroll the map either.
    horizontalScrollBar()->installEventFilter(this);
    verticalScrollBar()->installEventFilter(this);
    const ToolInfo& select = toolInfo(ToolMode::Select);
    tool_ = select.make(*this);
    viewport()->setCursor(select.cursor());
    doc_->addView(this);
}

CVantryView::~CVantryView() {
    releaseCapture();
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
    return documentExtent(*doc_, {showGrid, showNumbers, showBitmap, showTiger});
}

RenderOptions CVantryView::renderOptions(bool printing) const {
    return documentRenderOptions(*doc_, {showGrid, showNumbers, showBitmap, showTiger}, printing);
}

namespace {

// The view's transform for an image of `ratio` device pixels per widget pixel: the same logical
// area on as many more pixels, so that lines, numbers and pictures are drawn at the screen's
// resolution rather than enlarged afterwards.
ViewTransform atDeviceRatio(const ViewTransform& t, double ratio) {
    if (ratio == 1.0)
        return t;
    ViewTransform device = t;
    device.setClientSize(static_cast<int>(std::lround(t.clientWidthPixels() * ratio)),
                         static_cast<int>(std::lround(t.clientHeightPixels() * ratio)),
                         t.pixelsPerLogical() * ratio);
    return device;
}

} // namespace

void CVantryView::render() {
    transform_.setClientSize(viewport()->width(), viewport()->height(), pixelsPerLogical());
    if (transform_.isEmpty())
        return;
    updateScrollBars();
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
    updateScrollBars();
    // The image is drawn at the screen's device pixels.
    const ViewTransform t = atDeviceRatio(transform_, viewport()->devicePixelRatioF());
    if (!(frameNow() == rendered_) || offscreen_.width() != t.clientWidthPixels() ||
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

void CVantryView::applyBar(bool horizontal, const ScrollBarState& state) {
    QScrollBar* bar = horizontal ? horizontalScrollBar() : verticalScrollBar();
    // The bar's own model runs the thumb from min to max - page + 1.
    const int top = std::max(state.min, state.max - state.page + 1);
    bar->setRange(state.min, top);
    bar->setPageStep(std::max(1, state.page));
    bar->setSingleStep(std::max(1, static_cast<int>(std::floor(state.page * 0.1 + 0.5))));
    bar->setValue(state.pos);
    bar->setEnabled(state.max - state.min + 1 > state.page);
}

void CVantryView::updateScrollBars() {
    hState_ = transform_.horizontalBar(dataExtent());
    vState_ = transform_.verticalBar(dataExtent());
    updatingBars_ = true;
    applyBar(true, hState_);
    applyBar(false, vState_);
    updatingBars_ = false;
}

void CVantryView::onBarAction(bool horizontal, int action) {
    if (updatingBars_)
        return;
    QScrollBar* bar = horizontal ? horizontalScrollBar() : verticalScrollBar();
    ScrollCode code = ScrollCode::Other;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        code = ScrollCode::LineUp;
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        code = ScrollCode::LineDown;
        break;
    case QAbstractSlider::SliderPageStepSub:
        code = ScrollCode::PageUp;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        code = ScrollCode::PageDown;
        break;
    case QAbstractSlider::SliderToMinimum:
        code = ScrollCode::Top;
        break;
    case QAbstractSlider::SliderToMaximum:
        code = ScrollCode::Bottom;
        break;
    case QAbstractSlider::SliderMove:
        code = ScrollCode::ThumbTrack;
        break;
    default:
        return;
    }
    scrollAction(horizontal, code, bar->sliderPosition());
}

void CVantryView::scrollAction(bool horizontal, ScrollCode code, int trackPos) {
    transform_.scroll(horizontal, code, horizontal ? hState_ : vState_, trackPos);
    OnUpdate(nullptr, CVantryDoc::HintRedraw);
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
    if (feedback_.empty())
        painter.drawImage(target, offscreen_, source);
    else
        painter.drawImage(target, composedFrame(), source);
}

QImage CVantryView::composedFrame() const {
    QImage frame = offscreen_.copy();
    if (!feedback_.empty() && !frame.isNull())
        drawFeedback(frame);
    return frame;
}

namespace {

QPointF deviceOf(const ViewTransform& t, LogicalPoint p) {
    return {std::floor(t.logicalToDeviceX(p.x) + 0.5), std::floor(t.logicalToDeviceY(p.y) + 0.5)};
}

QPen feedbackPen(Qt::PenStyle style, int width, double f) {
    return QPen(Qt::white, std::max(1.0, std::round(width * f)), style);
}

// Draws a feedback circle of device radius r around device centre c.
void drawCircle(QPainter& painter, QPointF c, double r) {
    painter.drawEllipse(
        QRectF(c.x() - r + 0.5, c.y() - r + 0.5, outlineSize(2 * r), outlineSize(2 * r)));
}

} // namespace

const std::vector<QPoint>& CVantryView::circlePixels(int radius, double f) const {
    if (circleRadius_ != radius || circleFactor_ != f) {
        // The circle drawn once around a whole pixel: every circle centre is a whole pixel, so
        // any other circle covers the same pixels moved by a whole number of pixels.
        const int reach = static_cast<int>(std::ceil(radius * f)) + 4;
        QImage stamp(2 * reach + 1, 2 * reach + 1, QImage::Format_RGB32);
        stamp.fill(Qt::black);
        QPainter painter(&stamp);
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.setPen(feedbackPen(Qt::DashLine, 1, f));
        painter.setBrush(Qt::NoBrush);
        drawCircle(painter, QPointF(reach, reach), radius * f);
        painter.end();
        circle_.clear();
        for (int y = 0; y < stamp.height(); ++y)
            for (int x = 0; x < stamp.width(); ++x)
                if ((stamp.pixel(x, y) & 0xFFFFFF) != 0)
                    circle_.emplace_back(x - reach, y - reach);
        circleRadius_ = radius;
        circleFactor_ = f;
    }
    return circle_;
}

void CVantryView::drawFeedback(QImage& frame) const {
    // Circles are inverted pixel by pixel from one drawing: a ghost of tens of thousands of
    // nodes then costs a few pixels each. Inverting is its own inverse and order does not
    // matter, so the other shapes are drawn on top afterwards.
    // The frame has the device pixels of the screen, which the feedback is drawn at too.
    const ViewTransform t = atDeviceRatio(transform_, frame.devicePixelRatio());
    const double f = t.pixelsPerLogical();
    const int w = frame.width(), h = frame.height();
    const bool direct =
        frame.format() == QImage::Format_RGB32 || frame.format() == QImage::Format_ARGB32;
    for (const Feedback& shape : feedback_) {
        if (shape.kind != Feedback::Circle || !direct)
            continue;
        const QPointF c = deviceOf(t, shape.a);
        const int cx = static_cast<int>(c.x()), cy = static_cast<int>(c.y());
        for (const QPoint& d : circlePixels(shape.radius, f)) {
            const int x = cx + d.x(), y = cy + d.y();
            if (x >= 0 && x < w && y >= 0 && y < h)
                reinterpret_cast<QRgb*>(frame.scanLine(y))[x] ^= 0x00FFFFFF;
        }
    }
    QPainter painter(&frame);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    // The painter works in the frame's device pixels, as the transform does.
    painter.scale(1.0 / frame.devicePixelRatio(), 1.0 / frame.devicePixelRatio());
    for (const Feedback& shape : feedback_) {
        if (shape.kind == Feedback::Circle && direct)
            continue;
        painter.setPen(feedbackPen(shape.style, shape.width, f));
        // Shapes are outlines only: the inside is left as it is.
        painter.setBrush(Qt::NoBrush);
        switch (shape.kind) {
        case Feedback::Line:
            painter.drawLine(deviceOf(t, shape.a), deviceOf(t, shape.b));
            break;
        case Feedback::Rect: {
            const QRectF r = QRectF(deviceOf(t, shape.a), deviceOf(t, shape.b)).normalized();
            painter.drawRect(
                QRectF(r.topLeft(), QSizeF(outlineSize(r.width()), outlineSize(r.height()))));
            break;
        }
        case Feedback::Circle:
            drawCircle(painter, deviceOf(t, shape.a), shape.radius * f);
            break;
        }
    }
}

void CVantryView::addShape(const Feedback& shape) {
    feedback_.push_back(shape);
}

void CVantryView::refreshFeedback() {
    feedback_.clear();
    tool_->drawFeedback();
    viewport()->update();
}

void CVantryView::XorLine(WorldPoint a, WorldPoint b, Qt::PenStyle style, int width) {
    addShape({Feedback::Line, transform_.WorldToLogical(a), transform_.WorldToLogical(b), 0, style,
              width});
}

void CVantryView::XorRect(WorldPoint a, WorldPoint b) {
    addShape({Feedback::Rect, transform_.WorldToLogical(a), transform_.WorldToLogical(b), 0,
              Qt::DashLine, 1});
}

void CVantryView::XorCircle(WorldPoint p, int radius) {
    const LogicalPoint c = transform_.WorldToLogical(p);
    addShape({Feedback::Circle, c, c, radius, Qt::DashLine, 1});
}

void CVantryView::RubberLink(WorldPoint a, WorldPoint b) {
    const WorldPoint snapped = SnapToNode(doc_->network(), b, transform_.scale);
    const double moved =
        std::hypot(static_cast<double>(snapped.x) - b.x, static_cast<double>(snapped.y) - b.y);
    if (moved > 0.0001)
        XorLine(a, snapped, Qt::SolidLine, 2);
    else
        XorLine(a, b, Qt::DashLine, 1);
}

void CVantryView::MoveGhost(WorldPoint offset, const GhostLinks& ghost) {
    auto shifted = [&](const Node* n, bool moves) {
        WorldPoint p = n->position();
        if (moves) {
            p.x += offset.x;
            p.y += offset.y;
        }
        return p;
    };
    feedback_.reserve(feedback_.size() + selection_.nodeCount() + ghost.links.size());
    for (const Node* n : selection_.selectedNodes())
        XorCircle(shifted(n, true), kNodeRadiusUnits);
    const float shortest = kShortestLinkUnits / transform_.scale;
    for (const GhostLinks::Entry& e : ghost.links) {
        const WorldPoint from = shifted(e.link->fromNode(), e.fromMoves);
        const WorldPoint to = shifted(e.link->toNode(), e.toMoves);
        // As on the map, a link too short to see is left out.
        if (distance(from, to) < shortest)
            continue;
        const auto [a, b] = LinkEndpoints(from, to, transform_.scale);
        XorLine(a, b, Qt::DashLine, 1);
    }
}

void CVantryView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    OnUpdate(nullptr, CVantryDoc::HintRedraw);
}

void CVantryView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
    emit commandStateChanged();
}

void CVantryView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    captureLost();
}

bool CVantryView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel &&
        (watched == horizontalScrollBar() || watched == verticalScrollBar())) {
        event->accept();
        return true;
    }
    if (!grabbing_)
        return QAbstractScrollArea::eventFilter(watched, event);
    // Each of these takes the mouse away from the view, whether or not the toolkit's grab
    // itself is taken over.
    switch (event->type()) {
    case QEvent::Show: {
        const auto* w = qobject_cast<const QWidget*>(watched);
        if (w && w->isWindow() && (w->windowType() == Qt::Popup || w->isModal()))
            captureLost();
        break;
    }
    case QEvent::WindowDeactivate:
    case QEvent::WindowBlocked:
        if (watched == window())
            captureLost();
        break;
    case QEvent::ApplicationDeactivate:
        captureLost();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto* w = qobject_cast<const QWidget*>(watched);
        if (w && w != viewport() && !isAncestorOf(w))
            captureLost();
        break;
    }
    default:
        break;
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

void CVantryView::wheelEvent(QWheelEvent* event) {
    // The wheel neither zooms nor scrolls the map.
    event->accept();
}

void CVantryView::ShowEntireNetwork() {
    transform_.setClientSize(viewport()->width(), viewport()->height(), pixelsPerLogical());
    transform_.ShowEntireNetwork(dataExtent());
    OnUpdate(nullptr, CVantryDoc::HintRedraw);
}

std::optional<CommandState> CVantryView::query(int id) const {
    if (const ToolInfo* tool = toolForCommand(id)) {
        const bool enabled = tool->enabled({showTiger, transform_.scale});
        const bool active = mode() == tool->mode;
        return CommandState{enabled, active && (enabled || !tool->checkedOnlyWhenEnabled)};
    }
    switch (id) {
    case ID_VIEW_ZOOM_IN_CENTER:
        return CommandState{transform_.scale < ViewTransform::kMaxScale, false};
    case ID_VIEW_ZOOM_OUT_CENTER:
        return CommandState{transform_.scale > ViewTransform::kMinScale, false};
    case ID_VIEW_FINE_ZOOM_IN:
    case ID_VIEW_FINE_ZOOM_OUT:
    case ID_VIEW_SHOW_ENTIRE_NETWORK:
    case ID_FILE_PRINT:
    case ID_FILE_PRINT_PREVIEW:
        return CommandState{true, false};
    case ID_VIEW_GRID:
        return CommandState{true, showGrid};
    case ID_VIEW_NUMBERS:
        return CommandState{true, showNumbers};
    case ID_VIEW_BITMAP: {
        const bool loaded = doc_->background().loaded();
        return CommandState{loaded, loaded && showBitmap};
    }
    case ID_VIEW_TIGER: {
        const bool loaded = doc_->tiger().hasChains();
        return CommandState{loaded, loaded && showTiger};
    }
    case ID_EDIT_PROPERTIES:
        return CommandState{propertiesAvailable(), false};
    case ID_EDIT_CLEAR:
    case ID_EDIT_CUT:
    case ID_EDIT_COPY:
        return CommandState{!selection_.empty(), false};
    case ID_EDIT_PASTE:
        return CommandState{clipboardHasNetwork(), false};
    case ID_EDIT_COPY_IMAGE:
    case ID_VIEW_MOVE_RIGHT:
    case ID_VIEW_MOVE_LEFT:
    case ID_VIEW_MOVE_UP:
    case ID_VIEW_MOVE_DOWN:
    case ID_VIEW_ESCAPE:
        return CommandState{true, false};
    default:
        return std::nullopt;
    }
}

bool CVantryView::execute(int id) {
    const auto state = query(id);
    if (!state)
        return false;
    if (!state->enabled)
        return true;
    if (const ToolInfo* tool = toolForCommand(id)) {
        // The Select command always selects; any other tool's command toggles it.
        setTool(tool->mode == ToolMode::Select || mode() != tool->mode ? tool->mode
                                                                       : ToolMode::Select);
        return true;
    }
    switch (id) {
    case ID_VIEW_ZOOM_IN_CENTER:
    case ID_VIEW_FINE_ZOOM_IN:
        if (transform_.ZoomInToCenter(id == ID_VIEW_FINE_ZOOM_IN) && mode() == ToolMode::ZoomIn)
            setTool(ToolMode::Select);
        break;
    case ID_VIEW_ZOOM_OUT_CENTER:
    case ID_VIEW_FINE_ZOOM_OUT:
        if (transform_.ZoomOutFromCenter(id == ID_VIEW_FINE_ZOOM_OUT) &&
            mode() == ToolMode::ZoomOut)
            setTool(ToolMode::Select);
        break;
    case ID_VIEW_SHOW_ENTIRE_NETWORK:
        ShowEntireNetwork();
        return true;
    case ID_VIEW_GRID:
        showGrid = !showGrid;
        break;
    case ID_VIEW_NUMBERS:
        showNumbers = !showNumbers;
        break;
    case ID_VIEW_BITMAP:
        showBitmap = !showBitmap;
        break;
    case ID_VIEW_TIGER:
        showTiger = !showTiger;
        if (mode() == ToolMode::AutoPopulate)
            setTool(ToolMode::Select);
        break;
    case ID_FILE_PRINT:
        OnFilePrint();
        return true;
    case ID_FILE_PRINT_PREVIEW:
        OnFilePrintPreview();
        return true;
    case ID_EDIT_PROPERTIES:
        showProperties();
        return true;
    case ID_EDIT_CLEAR:
        CancelDrag();
        deleteSelection();
        return true;
    case ID_EDIT_CUT:
        CancelDrag();
        copySelection();
        deleteSelection();
        return true;
    case ID_EDIT_COPY:
        copySelection();
        return true;
    case ID_EDIT_PASTE:
        CancelDrag();
        paste();
        return true;
    case ID_EDIT_COPY_IMAGE:
        copyImage();
        return true;
    case ID_VIEW_MOVE_RIGHT:
        nudge(1.0f, 0.0f);
        return true;
    case ID_VIEW_MOVE_LEFT:
        nudge(-1.0f, 0.0f);
        return true;
    case ID_VIEW_MOVE_UP:
        nudge(0.0f, 1.0f);
        return true;
    case ID_VIEW_MOVE_DOWN:
        nudge(0.0f, -1.0f);
        return true;
    case ID_VIEW_ESCAPE:
        escape();
        return true;
    default:
        break;
    }
    OnUpdate(nullptr, CVantryDoc::HintRedraw);
    return true;
}

void CVantryView::setTool(ToolMode mode) {
    // Whatever the old tool was doing ends here, without its edit.
    tool_->abandon();
    releaseCapture();
    const ToolInfo& info = toolInfo(mode);
    tool_ = info.make(*this);
    viewport()->setCursor(info.cursor());
    refreshFeedback();
    emit commandStateChanged();
}

bool CVantryView::CancelDrag() {
    const bool cancelled = tool_->cancel();
    if (cancelled) {
        releaseCapture();
        refreshFeedback();
    }
    return cancelled;
}

bool CVantryView::captured() const {
    return grabbing_ && QWidget::mouseGrabber() == viewport();
}

void CVantryView::takeCapture() {
    if (!grabbing_) {
        grabbing_ = true;
        qApp->installEventFilter(this);
    }
    viewport()->grabMouse();
}

void CVantryView::releaseCapture() {
    if (!grabbing_)
        return;
    grabbing_ = false;
    qApp->removeEventFilter(this);
    if (QWidget::mouseGrabber() == viewport())
        viewport()->releaseMouse();
}

void CVantryView::captureLost() {
    if (!grabbing_)
        return;
    releaseCapture();
    tool_->abandon();
    refreshFeedback();
    emit commandStateChanged();
}

void CVantryView::escape() {
    if (CancelDrag() || mode() != ToolMode::Select)
        setTool(ToolMode::Select);
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
    const WorldPoint p = worldAt(lastPointer_);
    char coordinates[64];
    std::snprintf(coordinates, sizeof coordinates, "(%8.3f, %8.3f) ", static_cast<double>(p.x),
                  static_cast<double>(p.y));
    emit messageTextChanged(QString::fromStdString(coordinates + text));
}

WorldPoint CVantryView::worldAt(QPointF pos) const {
    return transform_.LogicalToWorld(transform_.deviceToLogical(pos.x(), pos.y()));
}

void CVantryView::mousePress(QPointF pos, Qt::MouseButton button, MouseMods mods) {
    // A click elsewhere while a link or a measurement waits for its next click ends it, and
    // the click goes where the user aimed it (a toolbar button, a menu, another window).
    if (button == Qt::LeftButton && grabbing_ && !viewport()->rect().contains(pos.toPoint())) {
        const QPoint global = viewport()->mapToGlobal(pos.toPoint());
        captureLost();
        forwardClick(global);
        return;
    }
    lastPointer_ = pos;
    const WorldPoint p = worldAt(pos);
    if (button == Qt::LeftButton) {
        if (tool_->press(p, mods))
            takeCapture();
        refreshFeedback();
        emit commandStateChanged();
    } else if (button == Qt::RightButton && mode() == ToolMode::Select) {
        rightPress(p);
    }
}

void CVantryView::forwardClick(QPoint global) {
    QWidget* target = QApplication::widgetAt(global);
    if (!target || target == viewport())
        return;
    const QPointF local = target->mapFromGlobal(QPointF(global));
    QMouseEvent press(QEvent::MouseButtonPress, local, QPointF(global), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, QPointF(global), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

void CVantryView::rightPress(WorldPoint p) {
    // An object drag owns the selection until it ends; the right release will cancel it.
    if (tool_->dragging()) {
        rerender();
        return;
    }
    Selection probe;
    const bool hit = HitTest(doc_->network(), probe, p, transform_.scale, false);
    if (!hit) {
        selection_.clear();
        setClicked(nullptr, nullptr);
    } else {
        Node* node = probe.lastNode();
        Link* link = probe.lastLink();
        const bool isClicked = (node && node == clickedNode_) || (link && link == clickedLink_);
        if (!isClicked) {
            const bool wasSelected = node ? selection_.contains(node) : selection_.contains(link);
            if (!wasSelected)
                selectOnly(node, link);
            setClicked(node, link);
        }
    }
    rerender();
}

void CVantryView::mouseMove(QPointF pos, MouseMods mods) {
    lastPointer_ = pos;
    setStatusExtra(std::string());
    if (captured()) {
        tool_->move(worldAt(pos), mods);
        refreshFeedback();
    }
}

void CVantryView::mouseRelease(QPointF pos, Qt::MouseButton button, MouseMods mods) {
    lastPointer_ = pos;
    const WorldPoint p = worldAt(pos);
    if (button == Qt::LeftButton) {
        if (!captured())
            return;
        tool_->release(p, mods);
        if (!tool_->keepsCapture())
            releaseCapture();
        refreshFeedback();
        emit commandStateChanged();
        return;
    }
    if (button != Qt::RightButton)
        return;
    if (CancelDrag()) {
        setTool(ToolMode::Select);
    } else if (mode() == ToolMode::Distance) {
        setTool(ToolMode::Select);
    } else if (mode() == ToolMode::Select) {
        if (auto menu = contextMenuAt(pos))
            menu->exec(viewport()->mapToGlobal(pos.toPoint()));
    } else {
        setTool(ToolMode::Select);
    }
}

void CVantryView::mouseDoubleClick(QPointF pos, Qt::MouseButton button, MouseMods) {
    lastPointer_ = pos;
    if (button != Qt::LeftButton)
        return;
    tool_->doubleClick(worldAt(pos));
    if (!tool_->keepsCapture())
        releaseCapture();
    refreshFeedback();
}

std::unique_ptr<QMenu> CVantryView::contextMenuAt(QPointF pos) {
    if (!viewport()->rect().contains(pos.toPoint()))
        return nullptr;
    const bool hit = HitTest(doc_->network(), selection_, worldAt(pos), transform_.scale, false);
    auto menu = std::make_unique<QMenu>(this);
    auto add = [&](int id, const char* text) {
        QAction* a = menu->addAction(QString::fromLatin1(text));
        const auto state = query(id);
        a->setEnabled(state && state->enabled);
        if (state && state->checked) {
            a->setCheckable(true);
            a->setChecked(true);
        }
        connect(a, &QAction::triggered, this, [this, id] {
            const auto now = query(id);
            if (now && now->enabled)
                execute(id);
            emit commandStateChanged();
        });
    };
    if (!hit) {
        selection_.clear();
        setClicked(nullptr, nullptr);
        menu->setTitle(QStringLiteral("Background"));
        for (const ToolInfo& tool : toolTable())
            add(tool.commandId, tool.menuText);
        menu->addSeparator();
        add(ID_EDIT_COPY_IMAGE, "&Copy Image");
    } else if (propertiesAvailable()) {
        menu->setTitle(QStringLiteral("Object"));
        add(ID_EDIT_CLEAR, "&Delete");
        add(ID_EDIT_PROPERTIES, "P&roperties...");
    } else {
        menu->setTitle(QStringLiteral("Multiple Object"));
        add(ID_EDIT_CLEAR, "&Delete");
    }
    return menu;
}

namespace {

MouseMods modsOf(const QMouseEvent* e) {
    return {(e->modifiers() & Qt::ControlModifier) != 0, (e->modifiers() & Qt::ShiftModifier) != 0};
}

} // namespace

void CVantryView::mousePressEvent(QMouseEvent* event) {
    mousePress(event->position(), event->button(), modsOf(event));
}

void CVantryView::mouseMoveEvent(QMouseEvent* event) {
    mouseMove(event->position(), modsOf(event));
}

void CVantryView::mouseReleaseEvent(QMouseEvent* event) {
    mouseRelease(event->position(), event->button(), modsOf(event));
}

void CVantryView::mouseDoubleClickEvent(QMouseEvent* event) {
    mouseDoubleClick(event->position(), event->button(), modsOf(event));
}

void CVantryView::contextMenuEvent(QContextMenuEvent* event) {
    // The mouse's menu comes with the right button's release; the keyboard's has no point on
    // the map and shows nothing.
    event->accept();
}
