#include "view/viewscrollbars.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace vantry {

ViewScrollBars::ViewScrollBars(QAbstractScrollArea& area, Scroll scroll)
    : area_(area), scroll_(std::move(scroll)) {
    connect(area.horizontalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { onAction(true, action); });
    connect(area.verticalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { onAction(false, action); });
    area.horizontalScrollBar()->installEventFilter(this);
    area.verticalScrollBar()->installEventFilter(this);
}

void ViewScrollBars::update(const ViewTransform& transform, const WorldRect& dataExtent) {
    h_ = transform.horizontalBar(dataExtent);
    v_ = transform.verticalBar(dataExtent);
    updating_ = true;
    apply(true, h_);
    apply(false, v_);
    updating_ = false;
}

void ViewScrollBars::apply(bool horizontal, const ScrollBarState& state) {
    QScrollBar* bar = horizontal ? area_.horizontalScrollBar() : area_.verticalScrollBar();
    // The bar's own model runs the thumb from min to max - page + 1.
    const int top = std::max(state.min, state.max - state.page + 1);
    bar->setRange(state.min, top);
    bar->setPageStep(std::max(1, state.page));
    bar->setSingleStep(std::max(1, static_cast<int>(std::floor(state.page * 0.1 + 0.5))));
    bar->setValue(state.pos);
    bar->setEnabled(state.max - state.min + 1 > state.page);
}

void ViewScrollBars::onAction(bool horizontal, int action) {
    if (updating_)
        return;
    QScrollBar* bar = horizontal ? area_.horizontalScrollBar() : area_.verticalScrollBar();
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
    scroll_(horizontal, code, bar->sliderPosition());
}

bool ViewScrollBars::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel &&
        (watched == area_.horizontalScrollBar() || watched == area_.verticalScrollBar())) {
        event->accept();
        return true;
    }
    return false;
}

} // namespace vantry
