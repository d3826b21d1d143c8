#include "viewdriver.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace vantry {

namespace {

// The shown view, with two nodes 2 miles apart.
class Drags : public DrivenView {
protected:
    Drags() {
        a = createNodeAt(doc.network(), {-1.0f, 0.0f});
        b = createNodeAt(doc.network(), {1.0f, 0.0f});
        view.show();
        view.rerender();
    }
    ~Drags() override { view.execute(ID_VIEW_ESCAPE); }

    Node* a;
    Node* b;
};

TEST_F(Drags, APopupTakingTheMouseEndsTheSelectionRectangle) {
    // Press on empty map, drag; the right button raises the background menu, which the user
    // closes; the left button comes up over the menu.
    startDrag({0.0f, 1.0f}, {0.5f, 1.5f});
    ASSERT_TRUE(view.captured());
    ASSERT_TRUE(view.hasFeedback());
    QTimer::singleShot(0, [] {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
    });
    view.mousePress(at({0.5f, 1.5f}), Qt::RightButton, {});
    view.mouseRelease(at({0.5f, 1.5f}), Qt::RightButton, {});
    EXPECT_FALSE(view.captured());
    EXPECT_FALSE(view.hasFeedback()) << "no rectangle left following the pointer";
    moveTo({1.0f, 2.0f});
    EXPECT_FALSE(view.hasFeedback());
    release({1.0f, 2.0f});

    // The next press-drag on a node moves it.
    drag(b->position(), {1.5f, 0.5f});
    EXPECT_NEAR(b->x(), 1.5f, 0.011f);
    EXPECT_EQ(doc.undoDepth(), 1u);
}

TEST_F(Drags, AnyPopupOrDialogEndsAPendingLinkAndADistance) {
    view.execute(ID_TOOL_LINK);
    click({0.0f, 1.0f});
    moveTo({0.5f, 1.0f});
    ASSERT_TRUE(view.captured()) << "click, then click";
    {
        QMenu menu;
        menu.addAction(QStringLiteral("elsewhere"));
        menu.popup(QPoint(0, 0));
        EXPECT_FALSE(view.captured());
        EXPECT_FALSE(view.hasFeedback());
        menu.close();
    }
    click({1.0f, 2.0f});
    EXPECT_TRUE(net().links().empty()) << "the pending link was cancelled, this click starts one";

    view.execute(ID_TOOL_DISTANCE);
    click({0.0f, 0.0f});
    moveTo({0.5f, 0.5f});
    ASSERT_TRUE(view.hasFeedback());
    QWidget dialog;
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    EXPECT_FALSE(view.captured());
    EXPECT_FALSE(view.hasFeedback());
}

TEST_F(Drags, EveryToolChangeEndsTheDragWithoutAnEdit) {
    const ToolMode tools[] = {ToolMode::Select,     ToolMode::Node,     ToolMode::Link,
                              ToolMode::TwoWayLink, ToolMode::Distance, ToolMode::ZoomIn};
    const int commands[] = {ID_TOOL_SELECT,      ID_TOOL_NODE,     ID_TOOL_LINK,
                            ID_TOOL_TWOWAY_LINK, ID_TOOL_DISTANCE, ID_TOOL_ZOOM_IN};
    for (ToolMode tool : tools) {
        for (int next : commands) {
            view.setTool(tool);
            view.selection().clear();
            if (tool == ToolMode::Select)
                view.selection().addNode(a);
            const WorldPoint from = tool == ToolMode::Select ? a->position() : WorldPoint{0, 1};
            startDrag(from, {0.5f, 1.5f});
            ASSERT_TRUE(view.hasFeedback()) << static_cast<int>(tool);
            view.execute(next);
            EXPECT_FALSE(view.hasFeedback()) << static_cast<int>(tool) << " then " << next;
            EXPECT_FALSE(view.captured());
            release({0.5f, 1.5f});
            EXPECT_EQ(doc.undoDepth(), 0u);
            EXPECT_EQ(net().nodes().size(), 2u);
            EXPECT_FLOAT_EQ(a->x(), -1.0f);
        }
    }
}

TEST_F(Drags, ARenderInTheMiddleOfADragDrawsTheLiveShapeOnce) {
    view.execute(ID_TOOL_LINK);
    startDrag({0.0f, 1.0f}, {0.5f, 1.5f});
    ASSERT_EQ(view.feedbackShapes(), 1u);
    const QImage before = view.composedFrame();
    view.rerender();
    EXPECT_EQ(view.composedFrame(), before) << "the rubber line is drawn again";
    view.scrollAction(false, ScrollCode::LineDown);
    ASSERT_EQ(view.feedbackShapes(), 1u);
    ASSERT_TRUE(view.captured());
    moveTo({1.0f, 1.5f});
    EXPECT_EQ(view.feedbackShapes(), 1u) << "only the line to the pointer";
    view.execute(ID_VIEW_FINE_ZOOM_IN);
    view.execute(ID_VIEW_ESCAPE);
    EXPECT_EQ(view.composedFrame(), view.offscreen());

    // A right press re-renders too.
    view.selection().addNode(a);
    startDrag(a->position(), {-1.0f, 1.0f});
    const std::size_t ghost = view.feedbackShapes();
    view.mousePress(at({2.0f, 2.0f}), Qt::RightButton, {});
    EXPECT_EQ(view.feedbackShapes(), ghost);
    view.mouseRelease(at({2.0f, 2.0f}), Qt::RightButton, {});
    EXPECT_FALSE(view.hasFeedback()) << "the right release cancels the move";
    release({-1.0f, 1.0f});
    EXPECT_EQ(doc.undoDepth(), 0u);
}

TEST_F(Drags, UndoAndDeleteInTheMiddleOfAnObjectDragLeaveNoEmptyStep) {
    view.selection().addNode(a);
    view.execute(ID_VIEW_MOVE_RIGHT);
    view.execute(ID_VIEW_MOVE_RIGHT);
    doc.OnEditUndo();
    ASSERT_TRUE(doc.canRedo());
    a = net().nodes()[0];
    view.selection().addNode(a);
    startDrag(a->position(), {-1.0f, 1.0f});
    doc.OnEditUndo();
    release({-1.0f, 1.0f});
    EXPECT_TRUE(doc.canRedo()) << "no step was made after the undo";
    EXPECT_EQ(doc.undoDepth(), 0u);

    a = net().nodes()[0];
    view.selection().addNode(a);
    startDrag(a->position(), {-1.0f, 1.0f});
    view.execute(ID_EDIT_CLEAR);
    release({-1.0f, 1.0f});
    EXPECT_EQ(doc.undoDepth(), 1u) << "the delete only";
    EXPECT_EQ(net().nodes().size(), 1u);
}

TEST_F(Drags, APictureDroppedIsTakenAsACopyWhateverTheSourceProposes) {
    // Qt's own sources propose a move; one told that its file was moved may delete it.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QStringLiteral("/nonexistent/plan.png"))});
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    const QPoint at(300, 250);
    QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, Qt::ShiftModifier);
    ASSERT_EQ(enter.proposedAction(), Qt::MoveAction);
    QApplication::sendEvent(view.viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
    QDragMoveEvent move(at, offered, &data, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(view.viewport(), &move);
    EXPECT_TRUE(move.isAccepted());
    EXPECT_EQ(move.dropAction(), Qt::CopyAction);
    QDropEvent drop(at, offered, &data, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(view.viewport(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);

    prompter.bitmaps.push_back(std::nullopt);
    QApplication::processEvents();
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.asked[0].kind, "bitmap") << "Load Bitmap starts from the picture";
    EXPECT_EQ(prompter.asked[0].text, "/nonexistent/plan.png");
}

TEST_F(Drags, ReachingTheZoomLimitByKeyboardReturnsTheZoomToolToSelect) {
    const struct {
        int tool, command;
        float scale;
        bool returnsToSelect;
    } cases[] = {{ID_TOOL_ZOOM_IN, ID_VIEW_ZOOM_IN_CENTER, 6000.0f, true},
                 {ID_TOOL_ZOOM_IN, ID_VIEW_ZOOM_IN_CENTER, 4000.0f, false},
                 {ID_TOOL_ZOOM_IN, ID_VIEW_FINE_ZOOM_IN, 9000.0f, true},
                 {ID_TOOL_ZOOM_IN, ID_VIEW_FINE_ZOOM_IN, 8000.0f, false},
                 {ID_TOOL_ZOOM_OUT, ID_VIEW_ZOOM_OUT_CENTER, 0.015f, true},
                 {ID_TOOL_ZOOM_OUT, ID_VIEW_FINE_ZOOM_OUT, 0.012f, true},
                 {ID_TOOL_ZOOM_OUT, ID_VIEW_FINE_ZOOM_OUT, 0.02f, false},
                 {ID_TOOL_ZOOM_OUT, ID_VIEW_ZOOM_IN_CENTER, 6000.0f, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.command << " at " << c.scale);
        view.setTool(ToolMode::Select);
        view.transform().scale = 100.0f;
        view.execute(c.tool);
        ASSERT_NE(view.mode(), ToolMode::Select);
        view.transform().scale = c.scale;
        view.execute(c.command);
        EXPECT_EQ(view.mode() == ToolMode::Select, c.returnsToSelect);
    }
}

TEST_F(Drags, ADragMovesOnlyPastFourteenUnitsAndCtrlClickTogglesWithoutDragging) {
    view.selection().addNode(a);
    view.selection().addNode(b);
    // 13 units: a click, which narrows the selection to the pressed node.
    drag(b->position(), {1.13f, 0.0f});
    EXPECT_EQ(doc.undoDepth(), 0u);
    EXPECT_EQ(view.selection().nodeCount(), 1u);
    // 15 units: a move.
    drag(b->position(), {1.15f, 0.0f});
    EXPECT_EQ(doc.undoDepth(), 1u);
    EXPECT_NEAR(b->x(), 1.15f, 0.0011f);

    // Ctrl-click on a selected node takes it out and starts nothing.
    press(b->position(), {true, false});
    EXPECT_TRUE(view.selection().empty());
    EXPECT_FALSE(view.captured());
    moveTo({2.0f, 1.0f}, {true, false});
    EXPECT_FALSE(view.hasFeedback());
    release({2.0f, 1.0f}, {true, false});
    EXPECT_EQ(doc.undoDepth(), 1u);
}

TEST_F(Drags, TheWheelOverAScrollBarNeitherScrollsNorZooms) {
    for (QWidget* target : {static_cast<QWidget*>(view.verticalScrollBar()),
                            static_cast<QWidget*>(view.horizontalScrollBar()), view.viewport()}) {
        QWheelEvent wheel(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &wheel);
        EXPECT_EQ(view.transform().viewCenter, (WorldPoint{0.0f, 0.0f}));
        EXPECT_EQ(view.transform().scale, 100.0f);
    }
}

TEST_F(Drags, ALinkDragShiftsTheViewByThePointersDistanceOutside) {
    const struct {
        float scale;
        int pixelsOutside;
        float expectedShiftUnits;
    } cases[] = {{10000.0f, 2, 1.0f},
                 {10000.0f, 4, 3.0f},
                 {10000.0f, 7, 6.0f},
                 {100.0f, 2, 1.0f},
                 {100.0f, 1, 0.0f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.pixelsOutside << " pixels out at " << c.scale);
        view.execute(ID_VIEW_ESCAPE);
        view.transform().scale = c.scale;
        view.transform().viewCenter = {0.0f, 0.0f};
        view.rerender();
        view.execute(ID_TOOL_LINK);
        press({0.0f, 0.0f});
        // The last pixel column is width - 1; the pointer is pixelsOutside beyond it.
        view.mouseMove(QPointF(view.transform().clientWidthPixels() - 1 + c.pixelsOutside, 10), {});
        EXPECT_FLOAT_EQ(view.transform().viewCenter.x, c.expectedShiftUnits / c.scale);
    }
}

} // namespace

} // namespace vantry
