#pragma once

#include "document/commands.h"

#include <QMdiSubWindow>

class CVantryView;
class CVantryDoc;

// The window around one map view inside the main window.
class CChildFrame : public QMdiSubWindow, public CommandTarget {
    Q_OBJECT
public:
    explicit CChildFrame(CVantryView* view, QWidget* parent = nullptr);
    ~CChildFrame() override;

    CVantryView* view() const { return view_; }
    CVantryDoc* document() const;

    std::optional<CommandState> query(int) const override { return std::nullopt; }
    bool execute(int) override { return false; }

signals:
    // Asked before the window closes; the handler clears `allow` to keep it open.
    void closeRequested(CChildFrame* frame, bool& allow);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    CVantryView* view_;
};
