// Timings of the map view's work on large selections: a rectangle selection of every node of
// a 40,000-node street grid, and each mouse move while all of those nodes are dragged (the
// tool's step and its feedback shapes, and the painting of the feedback over the map).

#include "document/vantrydoc.h"
#include "gridnetwork.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "view/commands.h"
#include "view/hittest.h"
#include "view/routeoverlay.h"
#include "view/vantryview.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <memory>

using namespace vantry;

namespace {

// 40,000 nodes and 80,000 links.
constexpr std::int64_t kLinks = 80000;

// A document holding the grid, shown in an 800 x 600 view that fits all of it.
struct GridView {
    GridView() {
        settings->persistOnExit = false;
        std::unique_ptr<Network> grid = buildGrid(kLinks);
        doc.network().swap(*grid);
        view.resize(800, 600);
        view.setPixelsPerLogical(1.0);
        view.ShowEntireNetwork();
    }
    QPointF devicePoint(WorldPoint p) const {
        const ViewTransform& t = view.transform();
        const LogicalPoint l = t.WorldToLogical(p);
        return {t.logicalToDeviceX(l.x) + 0.25, t.logicalToDeviceY(l.y) + 0.25};
    }

    SingletonPtr<UserDefinedSettings> settings;
    CVantryDoc doc;
    CVantryView view{&doc};
};

void BM_RectangleSelectsEveryNode(benchmark::State& state) {
    GridView g;
    const WorldRect b = g.doc.network().bounds();
    std::size_t selected = 0;
    for (auto _ : state) {
        Selection selection;
        SelectInRect(g.doc.network(), selection, {b.left - 0.1f, b.top + 0.1f},
                     {b.right + 0.1f, b.bottom - 0.1f}, g.view.transform().scale, true);
        selected = selection.nodeCount();
        benchmark::DoNotOptimize(selection);
    }
    state.counters["nodes"] = static_cast<double>(selected);
}
BENCHMARK(BM_RectangleSelectsEveryNode)->Unit(benchmark::kMillisecond)->UseRealTime();

// Starts a drag of every node from the first node; returns the press point.
WorldPoint startDragOfEverything(GridView& g) {
    for (Node* n : g.doc.network().nodes())
        g.view.selection().addNode(n);
    const WorldPoint start = g.doc.network().nodes().front()->position();
    g.view.mousePress(g.devicePoint(start), Qt::LeftButton, {});
    g.view.mouseMove(g.devicePoint({start.x + 0.5f, start.y + 0.5f}), {});
    return start;
}

void BM_MoveWhileDraggingEveryNode(benchmark::State& state) {
    GridView g;
    const WorldPoint start = startDragOfEverything(g);
    int i = 0;
    for (auto _ : state) {
        const float d = 0.2f + 0.01f * static_cast<float>(i++ % 20);
        g.view.mouseMove(g.devicePoint({start.x + d, start.y + d}), {});
    }
    state.counters["shapes"] = static_cast<double>(g.view.feedbackShapes());
}
BENCHMARK(BM_MoveWhileDraggingEveryNode)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PaintTheDragOfEveryNode(benchmark::State& state) {
    GridView g;
    startDragOfEverything(g);
    for (auto _ : state)
        benchmark::DoNotOptimize(g.view.composedFrame());
}
BENCHMARK(BM_PaintTheDragOfEveryNode)->Unit(benchmark::kMillisecond)->UseRealTime();

// The county of the scale targets: 50,000 nodes and 100,000 links, the whole network in a
// 1600 x 1000 map, grid and numbers on, one node selected near the middle.
struct CountyView {
    explicit CountyView(std::int64_t links = 100000) {
        settings->persistOnExit = false;
        std::unique_ptr<Network> grid = buildGrid(links);
        doc.network().swap(*grid);
        view.viewport()->resize(1600, 1000);
        view.setPixelsPerLogical(1.0);
        view.ShowEntireNetwork();
        Node* middle = doc.network().nodes()[doc.network().nodes().size() / 2 + 100];
        view.selectOnly(middle, nullptr);
    }
    SingletonPtr<UserDefinedSettings> settings;
    CVantryDoc doc;
    CVantryView view{&doc};
};

// One arrow-key nudge: the edit with its undo snapshot and the view's refresh; the process's
// CPU time counts the drawing threads too.
void BM_NudgeOneNode(benchmark::State& state) {
    CountyView c;
    int i = 0;
    for (auto _ : state)
        c.view.execute(i++ % 2 ? ID_VIEW_MOVE_LEFT : ID_VIEW_MOVE_RIGHT);
    state.counters["areaRenders"] = static_cast<double>(c.view.areaRenders());
}
BENCHMARK(BM_NudgeOneNode)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The same nudge while the view shows a route across the whole county, from corner to corner:
// the route is searched again on a graph built anew after the edit, so this against the plain
// nudge is what following a moved node costs.
void BM_NudgeOneNodeWithARouteShown(benchmark::State& state) {
    CountyView c;
    const auto& nodes = c.doc.network().nodes();
    c.view.showRoute({nodes.front(), nodes.back(), {}, {}});
    if (c.view.route().links().empty())
        state.SkipWithError("the grid has no route between its corners");
    int i = 0;
    for (auto _ : state)
        c.view.execute(i++ % 2 ? ID_VIEW_MOVE_LEFT : ID_VIEW_MOVE_RIGHT);
}
BENCHMARK(BM_NudgeOneNodeWithARouteShown)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// Undo of a nudge, then its Redo: the restore and the view's refresh.
void BM_UndoAndRedoANudge(benchmark::State& state) {
    CountyView c;
    c.view.execute(ID_VIEW_MOVE_RIGHT);
    for (auto _ : state) {
        c.doc.OnEditUndo();
        c.doc.OnEditRedo();
    }
    state.counters["areaRenders"] = static_cast<double>(c.view.areaRenders());
}
BENCHMARK(BM_UndoAndRedoANudge)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// A nudge, its Undo and its Redo with the view's refresh, on grids growing four times at each
// step: every part of the path, drawing included, grows no faster than the network.
void BM_NudgeUndoRedoScaling(benchmark::State& state) {
    CountyView c(state.range(0));
    Node* node = c.view.selection().selectedNodes().front();
    for (auto _ : state) {
        // Undo ended the selection; the nudge needs its node again.
        c.view.selection().addNode(node);
        c.view.execute(ID_VIEW_MOVE_RIGHT);
        c.doc.OnEditUndo();
        c.doc.OnEditRedo();
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_NudgeUndoRedoScaling)
    ->Arg(25000)
    ->Arg(100000)
    ->Arg(400000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
