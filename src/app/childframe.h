#pragma once

#include <QMdiSubWindow>

namespace vantry {

class CVantryView;
class CVantryDoc;

// The window around one map view inside the main window.
class CChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit CChildFrame(CVantryView* view, QWidget* parent = nullptr);
    ~CChildFrame() override;

    CVantryView* view() const { return view_; }
    CVantryDoc* document() const;

signals:
    // Asked before the window closes; the handler clears `allow` to keep it open.
    void closeRequested(CChildFrame* frame, bool& allow);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    CVantryView* view_;
};

} // namespace vantry
