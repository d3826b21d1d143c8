// The view's mouse input: presses, moves, releases and double clicks handed to the active tool
// in world miles, the right button's selection and context menu, and the mouse capture kept
// while a tool drags.

#include "view/hittest.h"
#include "view/vantryview.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>

namespace vantry {

void CVantryView::mousePress(QPointF pos, Qt::MouseButton button, MouseMods mods) {
    // A click elsewhere while a link or a measurement waits for its next click ends it, and
    // the click goes where the user aimed it (a toolbar button, a menu, another window).
    if (button == Qt::LeftButton && grab_.held() && !viewport()->rect().contains(pos.toPoint())) {
        const QPoint global = viewport()->mapToGlobal(pos.toPoint());
        grab_.lose();
        grab_.forwardClick(global);
        return;
    }
    lastPointer_ = pos;
    const WorldPoint p = worldAt(pos);
    if (button == Qt::LeftButton) {
        if (tool_->press(p, mods))
            grab_.take();
        refreshFeedback();
        emit commandStateChanged();
    } else if (button == Qt::RightButton && mode() == ToolMode::Select) {
        rightPress(p);
    }
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
            grab_.release();
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
        grab_.release();
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

} // namespace vantry
