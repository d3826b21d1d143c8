#include "view/vantryview.h"

#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "view/hittest.h"

#include <QApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace {

double screenPixelsPerLogical(const QWidget* w) {
    // One logical unit is a hundredth of an inch of the screen.
    return std::max(0.25, w->logicalDpiX() / 100.0);
}

} // namespace

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
    doc_->addView(this);
}

CVantryView::~CVantryView() {
    doc_->removeView(this);
}

void CVantryView::OnInitialUpdate() {
    // The bitmap layer starts visible exactly when the document has an image loaded; images
    // are not loaded yet, so it starts hidden.
    showBitmap = false;
    transform_.setClientSize(viewport()->width(), viewport()->height(),
                             screenPixelsPerLogical(this));
    ShowEntireNetwork();
}

void CVantryView::OnUpdate(DocumentObserver*, long hint) {
    switch (hint) {
    case CVantryDoc::HintNetworkReplaced:
        selection_.clear();
        break;
    case CVantryDoc::HintBitmapChanged:
        if (!showBitmap)
            return;
        showBitmap = false;
        break;
    case CVantryDoc::HintTigerLoaded:
        if (!showTiger)
            return;
        showTiger = false;
        break;
    default:
        break;
    }
    render();
    emit commandStateChanged();
}

WorldRect CVantryView::dataExtent() const {
    return doc_->network().bounds();
}

RenderOptions CVantryView::renderOptions(bool printing) const {
    const UserDefinedSettings& s = SingletonPtr<UserDefinedSettings>::instance();
    RenderOptions o;
    o.showGrid = showGrid;
    o.showNumbers = showNumbers;
    o.printing = printing;
    o.backColor = s.backColor.value;
    o.gridPixels = s.gridPixels.value;
    return o;
}

void CVantryView::render() {
    transform_.setClientSize(viewport()->width(), viewport()->height(),
                             screenPixelsPerLogical(this));
    if (transform_.isEmpty())
        return;
    updateScrollBars();
    const bool busy = isVisible();
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    std::string readout;
    feedback_.clear();
    offscreen_ =
        renderToImage(doc_->network(), transform_, renderOptions(false), &selection_, &readout);
    if (busy)
        QApplication::restoreOverrideCursor();
    emit gridTextChanged(QString::fromStdString(readout));
    viewport()->update();
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
    QPainter painter(viewport());
    if (offscreen_.isNull())
        painter.fillRect(event->rect(), palette().base());
    else if (feedback_.empty())
        painter.drawImage(event->rect(), offscreen_, event->rect());
    else
        painter.drawImage(event->rect(), composedFrame(), event->rect());
}

QImage CVantryView::composedFrame() const {
    QImage frame = offscreen_.copy();
    if (!feedback_.empty() && !frame.isNull()) {
        QPainter painter(&frame);
        drawFeedback(painter);
    }
    return frame;
}

void CVantryView::drawFeedback(QPainter& painter) const {
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    const double f = transform_.pixelsPerLogical();
    auto device = [&](LogicalPoint p) {
        return QPointF(std::floor(transform_.logicalToDeviceX(p.x) + 0.5),
                       std::floor(transform_.logicalToDeviceY(p.y) + 0.5));
    };
    for (const Feedback& shape : feedback_) {
        painter.setPen(QPen(Qt::white, shape.width * f, shape.style));
        // Shapes are outlines only: the inside is left as it is.
        painter.setBrush(Qt::NoBrush);
        switch (shape.kind) {
        case Feedback::Line:
            painter.drawLine(device(shape.a), device(shape.b));
            break;
        case Feedback::Rect:
            painter.drawRect(QRectF(device(shape.a), device(shape.b)).normalized());
            break;
        case Feedback::Circle: {
            const double r = shape.radius * f;
            painter.drawEllipse(device(shape.a), r, r);
            break;
        }
        }
    }
}

void CVantryView::toggle(const Feedback& shape) {
    const auto it = std::find(feedback_.begin(), feedback_.end(), shape);
    if (it == feedback_.end())
        feedback_.push_back(shape);
    else
        feedback_.erase(it);
    viewport()->update();
}

void CVantryView::XorLine(WorldPoint a, WorldPoint b, Qt::PenStyle style, int width) {
    toggle({Feedback::Line, transform_.WorldToLogical(a), transform_.WorldToLogical(b), 0, style,
            width});
}

void CVantryView::XorRect(WorldPoint a, WorldPoint b) {
    toggle({Feedback::Rect, transform_.WorldToLogical(a), transform_.WorldToLogical(b), 0,
            Qt::DashLine, 1});
}

void CVantryView::XorCircle(WorldPoint p, int radius) {
    const LogicalPoint c = transform_.WorldToLogical(p);
    toggle({Feedback::Circle, c, c, radius, Qt::DashLine, 1});
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

void CVantryView::MoveGhost(WorldPoint offset) {
    std::unordered_set<const Node*> moving(selection_.selectedNodes().begin(),
                                           selection_.selectedNodes().end());
    auto shifted = [&](const Node* n) {
        WorldPoint p = n->position();
        if (moving.count(n)) {
            p.x += offset.x;
            p.y += offset.y;
        }
        return p;
    };
    for (const Node* n : selection_.selectedNodes())
        XorCircle(shifted(n), 9);
    for (const Link* l : doc_->network().links()) {
        if (!l->fromNode() || !l->toNode())
            continue;
        if (!moving.count(l->fromNode()) && !moving.count(l->toNode()))
            continue;
        const auto [a, b] =
            LinkEndpoints(shifted(l->fromNode()), shifted(l->toNode()), transform_.scale);
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

void CVantryView::wheelEvent(QWheelEvent* event) {
    // The wheel neither zooms nor scrolls the map.
    event->accept();
}

void CVantryView::ShowEntireNetwork() {
    transform_.setClientSize(viewport()->width(), viewport()->height(),
                             screenPixelsPerLogical(this));
    transform_.ShowEntireNetwork(dataExtent());
    OnUpdate(nullptr, CVantryDoc::HintRedraw);
}

std::optional<CommandState> CVantryView::query(int id) const {
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
    switch (id) {
    case ID_VIEW_ZOOM_IN_CENTER:
        transform_.ZoomInToCenter(false);
        break;
    case ID_VIEW_ZOOM_OUT_CENTER:
        transform_.ZoomOutFromCenter(false);
        break;
    case ID_VIEW_FINE_ZOOM_IN:
        transform_.ZoomInToCenter(true);
        break;
    case ID_VIEW_FINE_ZOOM_OUT:
        transform_.ZoomOutFromCenter(true);
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
    case ID_FILE_PRINT:
        OnFilePrint();
        return true;
    case ID_FILE_PRINT_PREVIEW:
        OnFilePrintPreview();
        return true;
    default:
        break;
    }
    OnUpdate(nullptr, CVantryDoc::HintRedraw);
    return true;
}

void CVantryView::preparePrinter(QPrinter& printer) const {
    const WorldRect& bounds = doc_->network().bounds();
    const QSizeF paper = printer.pageLayout().pageSize().size(QPageSize::Point);
    const bool paperTall = paper.height() > paper.width();
    printer.setPageOrientation(bounds.width() > bounds.height() && paperTall
                                   ? QPageLayout::Landscape
                                   : QPageLayout::Portrait);
    printer.setDocName(QString::fromStdString(doc_->GetTitle()));
}

void CVantryView::OnFilePrint() {
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer);
    QPrintDialog dialog(&printer, this);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, true);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setMinMax(1, 1);
    if (dialog.exec() != QDialog::Accepted)
        return;
    printPage(printer, printer.printRange() == QPrinter::Selection);
}

void CVantryView::OnFilePrintPreview() {
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer);
    QPrintPreviewDialog preview(&printer, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* p) { printPage(*p, false); });
    preview.exec();
}

void CVantryView::printPage(QPrinter& printer, bool selectionOnly) {
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    ViewTransform pageTransform = transform_;
    pageTransform.setClientSize(page.width(), page.height(), printer.resolution() / 100.0);
    const LogicalRect pageLogical = pageTransform.clientLogical();
    const int pageW = pageLogical.right - pageLogical.left;
    const int pageH = pageLogical.top - pageLogical.bottom;
    if (selectionOnly) {
        const LogicalRect screen = transform_.clientLogical();
        const double screenW = std::max(1, screen.right - screen.left);
        const double screenH = std::max(1, screen.top - screen.bottom);
        const double r = std::max(pageW / screenW, pageH / screenH);
        pageTransform.scale = static_cast<float>(transform_.scale / r);
    } else {
        pageTransform.ShowEntireNetwork(dataExtent(), pageW, pageH);
    }

    // The map prints on white paper, whatever the screen's background colour is.
    UserDefinedSettings& settings = SingletonPtr<UserDefinedSettings>::instance();
    const auto savedBack = settings.backColor.value;
    settings.backColor.value = 0xFFFFFF;
    QPainter painter(&printer);
    NetworkRenderer renderer(painter, pageTransform, renderOptions(true));
    renderer.draw(doc_->network(), nullptr);
    painter.end();
    settings.backColor.value = savedBack;
}
