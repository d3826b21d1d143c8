#pragma once

#include <QObject>
#include <QPoint>

#include <functional>

class QWidget;

namespace vantry {

// The view's mouse capture: the toolkit's grab of the pointer for the viewport, and a watch on
// the whole application for whatever takes the mouse away without taking the grab itself (a
// popup, a modal dialog, the window losing activation, a press on another widget). Whatever
// takes it away ends the hold and is reported, so that the running drag ends.
class PointerGrab : public QObject {
public:
    // `view` is the widget whose children count as the view's own; `lost` is called whenever
    // the hold ends other than by release().
    PointerGrab(QWidget& view, QWidget& viewport, std::function<void()> lost);
    ~PointerGrab() override;

    void take();
    void release();
    // Whether the view holds the pointer, as far as it knows.
    bool held() const { return holding_; }
    // Whether it holds it and the toolkit's grab really is the viewport's.
    bool captured() const;
    // Ends the hold and reports it lost; nothing when it was not held.
    void lose();

    // Delivers a left click to the widget at a screen point, as if the viewport had not held
    // the pointer.
    void forwardClick(QPoint global) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& view_;
    QWidget& viewport_;
    std::function<void()> lost_;
    bool holding_ = false;
};

} // namespace vantry
