#pragma once

#include "model/geometry.h"
#include "view/viewtransform.h"

#include <QObject>

#include <functional>

class QAbstractScrollArea;

namespace vantry {

// The map view's two scroll bars in the classic (min, max, page, position) model: set from the
// view's transform and data extent, with every action of a bar handed on as a scroll code. The
// wheel over a bar scrolls nothing, as the wheel over the map does not.
class ViewScrollBars : public QObject {
public:
    using Scroll = std::function<void(bool horizontal, ScrollCode code, int trackPos)>;
    ViewScrollBars(QAbstractScrollArea& area, Scroll scroll);

    // Sets both bars for what the transform shows of the extent.
    void update(const ViewTransform& transform, const WorldRect& dataExtent);
    const ScrollBarState& horizontal() const { return h_; }
    const ScrollBarState& vertical() const { return v_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply(bool horizontal, const ScrollBarState& state);
    void onAction(bool horizontal, int action);

    QAbstractScrollArea& area_;
    Scroll scroll_;
    ScrollBarState h_;
    ScrollBarState v_;
    // Setting a bar's value is not the user's action.
    bool updating_ = false;
};

} // namespace vantry
