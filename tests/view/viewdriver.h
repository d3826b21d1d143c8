#pragma once

#include "document/vantrydoc.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "support/scriptedprompter.h"
#include "support/toolkit.h"
#include "view/vantryview.h"

#include <gtest/gtest.h>

namespace vantry {

// A view of 600 x 500 pixels at one pixel per logical unit, scale 100, centred on the origin,
// driven through the mouse entry points in device pixels as the event handlers would.
class DrivenView : public WithToolkit, public ::testing::Test {
protected:
    DrivenView() {
        settings->persistOnExit = false;
        view.resize(600, 500);
        view.setPixelsPerLogical(1.0);
        view.transform().scale = 100.0f;
        view.transform().viewCenter = {0.0f, 0.0f};
        view.rerender();
    }

    QPointF at(WorldPoint p) const {
        const ViewTransform& t = view.transform();
        const LogicalPoint l = t.WorldToLogical(p);
        return {t.logicalToDeviceX(l.x) + 0.25, t.logicalToDeviceY(l.y) + 0.25};
    }
    void press(WorldPoint p, MouseMods m = {}) { view.mousePress(at(p), Qt::LeftButton, m); }
    void moveTo(WorldPoint p, MouseMods m = {}) { view.mouseMove(at(p), m); }
    void release(WorldPoint p, MouseMods m = {}) { view.mouseRelease(at(p), Qt::LeftButton, m); }
    void click(WorldPoint p, MouseMods m = {}) {
        press(p, m);
        release(p, m);
    }
    // A press and two moves, so that every tool shows feedback.
    void startDrag(WorldPoint from, WorldPoint to, MouseMods m = {}) {
        press(from, m);
        moveTo({(from.x + to.x) / 2, (from.y + to.y) / 2}, m);
        moveTo(to, m);
    }
    void drag(WorldPoint from, WorldPoint to, MouseMods m = {}) {
        startDrag(from, to, m);
        release(to, m);
    }
    void rightClick(WorldPoint p) {
        view.mousePress(at(p), Qt::RightButton, {});
        view.mouseRelease(at(p), Qt::RightButton, {});
    }
    Network& net() { return doc.network(); }

    SingletonPtr<UserDefinedSettings> settings;
    ScriptedPrompter prompter;
    CVantryDoc doc{&prompter};
    CVantryView view{&doc};
};

} // namespace vantry
