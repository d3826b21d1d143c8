// Timings of drawing a view: the whole client area rendered into an image, as every update of
// the map view does, for a large street grid.

#include "gridnetwork.h"
#include "view/renderer.h"

#include <QGuiApplication>
#include <QImage>

#include <benchmark/benchmark.h>

#include <memory>

using namespace vantry;

namespace {

constexpr std::int64_t kLinks = 100000;

const Network& largeNetwork() {
    static const std::unique_ptr<Network> net = buildGrid(kLinks);
    return *net;
}

// Plain: the frame drawn in one piece on one thread, as the exactness tests' reference draws it.
void render(benchmark::State& state, float scale, bool plain = false) {
    const Network& net = largeNetwork();
    ViewTransform transform;
    transform.setClientSize(1600, 1000, 1.0);
    if (scale > 0) {
        transform.scale = scale;
        transform.viewCenter = net.bounds().center();
    } else {
        transform.ShowEntireNetwork(net.bounds());
    }
    RenderOptions options; // grid and numbers on
    QImage image(1600, 1000, QImage::Format_RGB32);
    for (auto _ : state) {
        if (plain)
            benchmark::DoNotOptimize(renderArea(image, net, transform, options, nullptr));
        else
            benchmark::DoNotOptimize(renderToImage(net, transform, options, nullptr));
    }
    state.counters["scale"] = transform.scale;
}

// The whole network in the window: every node is drawn, links are too short to draw.
void BM_RenderEntireNetwork(benchmark::State& state) {
    render(state, 0.0f);
}
BENCHMARK(BM_RenderEntireNetwork)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RenderEntireNetworkOneThread(benchmark::State& state) {
    render(state, 0.0f, true);
}
BENCHMARK(BM_RenderEntireNetworkOneThread)->Unit(benchmark::kMillisecond)->UseRealTime();

// Zoomed in so that links are drawn: about 1,300 links and 700 nodes in view, the rest skipped.
void BM_RenderStreetLevel(benchmark::State& state) {
    render(state, 400.0f);
}
BENCHMARK(BM_RenderStreetLevel)->Unit(benchmark::kMillisecond)->UseRealTime();

// Zoomed to where links just reach the drawn length: the most objects drawn in full.
void BM_RenderDensest(benchmark::State& state) {
    render(state, 190.0f);
}
BENCHMARK(BM_RenderDensest)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RenderDensestOneThread(benchmark::State& state) {
    render(state, 190.0f, true);
}
BENCHMARK(BM_RenderDensestOneThread)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    // Fonts need the toolkit's application object; no display is needed.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
