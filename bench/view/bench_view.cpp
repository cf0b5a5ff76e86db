// Painting a 100,000-vertex track into a 1920 x 1080 image, straight into the image's pixels and
// with one QPainter fill and one line call per vertex, and the linear search for the vertex under
// the cursor. Before measuring, both paintings must agree pixel for pixel.
#include "document/RolvetDoc.h"
#include "track/VertexStore.h"
#include "view/PlanPainter.h"
#include "view/PlanTransform.h"
#include "view/RolvetView.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

using namespace rolvet::plan;

namespace {

constexpr int kVertices = 100'000;
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// A closed, self-crossing track that fills the whole view at scale 4: a (31, 37) Lissajous
// figure, about 1.5 pixels between consecutive points, every point on screen.
const std::vector<CVector3D>& Track() {
    static const std::vector<CVector3D> track = [] {
        std::vector<CVector3D> v(kVertices);
        for (int i = 0; i < kVertices; ++i) {
            const double t = 2.0 * std::numbers::pi * i / kVertices;
            v[static_cast<std::size_t>(i)] = {static_cast<float>(3700.0 * std::sin(31.0 * t + 0.3)),
                                              static_cast<float>(i % 5),
                                              static_cast<float>(2050.0 * std::sin(37.0 * t))};
        }
        return v;
    }();
    return track;
}

PlanScene Scene() {
    PlanScene s;
    s.width = kWidth;
    s.height = kHeight;
    s.scale = 4.0f;
    s.vertices = Track();
    s.selected = kVertices / 2;
    s.font = QApplication::font();
    return s;
}

QImage Paint(void (*paint)(QPainter&, const PlanScene&), const PlanScene& scene) {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(QColor::fromRgb(kBackgroundColour));
    QPainter painter(&image);
    paint(painter, scene);
    return image;
}

void Run(benchmark::State& state, void (*paint)(QPainter&, const PlanScene&)) {
    const PlanScene scene = Scene();
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(QColor::fromRgb(kBackgroundColour));
        QPainter painter(&image);
        paint(painter, scene);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["vertices"] = kVertices;
}

void BM_PaintPlan(benchmark::State& state) {
    Run(state, &PaintPlan);
}
void BM_PaintPlan_Baseline(benchmark::State& state) {
    Run(state, &PaintPlanStraight);
}

// The view's own repaint: compose the plan in its frame image and show it.
void BM_RepaintView(benchmark::State& state) {
    CRolvetDoc doc;
    CRolvetView view;
    view.SetDocument(&doc);
    view.resize(kWidth, kHeight);
    TheVertexStore().Assign(std::vector<CVector3D>(Track()));
    QImage target(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        view.render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
    TheVertexStore().Clear();
}

// A view zoomed into a huge track: 1,000,000 points on a circle of 250,000 pixels' radius that
// passes through the centre of the view, so that about a thousand lines cross the view and all
// the others run far off-screen.
const std::vector<CVector3D>& FarOffTrack() {
    static const std::vector<CVector3D> track = [] {
        std::vector<CVector3D> v(1'000'000);
        for (std::size_t i = 0; i < v.size(); ++i) {
            const double a =
                2.0 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(v.size());
            v[i] = {static_cast<float>(1e6 - 1e6 * std::cos(a)), 0.0f,
                    static_cast<float>(1e6 * std::sin(a))};
        }
        return v;
    }();
    return track;
}

PlanScene FarOffScene() {
    PlanScene s = Scene();
    s.vertices = FarOffTrack();
    return s;
}

void RunFarOff(benchmark::State& state, void (*paint)(QPainter&, const PlanScene&)) {
    const PlanScene scene = FarOffScene();
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(QColor::fromRgb(kBackgroundColour));
        QPainter painter(&image);
        paint(painter, scene);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["vertices"] = static_cast<double>(scene.vertices.size());
}

void BM_PaintPlanFarOff(benchmark::State& state) {
    RunFarOff(state, &PaintPlan);
}
void BM_PaintPlanFarOff_Baseline(benchmark::State& state) {
    RunFarOff(state, &PaintPlanStraight);
}

// A click far from every point: the search walks all 100,000 vertices.
void BM_HitTest(benchmark::State& state) {
    const std::vector<CVector3D>& track = Track();
    for (auto _ : state) {
        benchmark::DoNotOptimize(FindVertexNear(track, 1e9f, 1e9f, 4.0f));
    }
    state.counters["vertices"] = kVertices;
}

} // namespace

BENCHMARK(BM_PaintPlan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintPlan_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintPlanFarOff)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintPlanFarOff_Baseline)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_RepaintView)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HitTest)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const PlanScene scene = Scene();
    const QImage fast = Paint(&PaintPlan, scene);
    const QImage straight = Paint(&PaintPlanStraight, scene);
    if (fast != straight) {
        std::fprintf(stderr, "BM_PaintPlan and BM_PaintPlan_Baseline paint different pictures\n");
        return 1;
    }
    std::fprintf(stderr, "Both paintings are pixel-identical (%d x %d, %d vertices).\n", kWidth,
                 kHeight, kVertices);
    if (Paint(&PaintPlan, FarOffScene()) != Paint(&PaintPlanStraight, FarOffScene())) {
        std::fprintf(stderr, "BM_PaintPlanFarOff paints a different picture from its baseline\n");
        return 1;
    }
    if (FindVertexNear(Track(), 1e9f, 1e9f, 4.0f) != -1) {
        std::fprintf(stderr, "the hit-test benchmark click is not a miss\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
