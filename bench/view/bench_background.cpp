// Repainting the plan over a 4096 x 4096 background picture in a 1920 x 1080 view, turned by 30°:
// the picture drawn whole through the plan's transform at every paint (the baseline), against
// the plan's own background, which keeps the composed frame while nothing moves and draws from
// a halved copy near the zoom while the user pans or zooms. Two zooms: the whole picture in view
// (a quarter of a client pixel per picture pixel) and zoomed in (two client pixels per picture
// pixel).
#include "document/RolvetDoc.h"
#include "track/BackgroundImage.h"
#include "track/VertexStore.h"
#include "view/PlanBackground.h"
#include "view/PlanPainter.h"
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
using rolvet::ImagePlacement;

namespace {

constexpr int kSide = 4096;
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

const QImage& Picture() {
    static const QImage picture = [] {
        QImage image(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < kSide; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < kSide; ++x) {
                line[x] = qRgb(x & 255, y & 255, (x ^ y) & 255);
            }
        }
        return image;
    }();
    return picture;
}

// The picture's centre at the world origin, turned by 30°, magnification client pixels per
// picture pixel at the zoom of 4 world units per pixel.
rolvet::BackgroundImage Placement(double magnification) {
    const double unitsPerPixel = 4.0 * magnification;
    const double angle = std::numbers::pi / 6.0;
    rolvet::BackgroundImage b;
    b.u1 = b.v1 = kSide / 2.0;
    b.u2 = kSide / 2.0 + 100.0;
    b.v2 = kSide / 2.0;
    b.x2 = 100.0 * unitsPerPixel * std::cos(angle);
    b.z2 = 100.0 * unitsPerPixel * std::sin(angle);
    b.opacity = 60;
    return b;
}

ImagePlacement Place(const benchmark::State& state) {
    return *rolvet::PlaceImage(Placement(static_cast<double>(state.range(0)) / 100.0));
}

Centre ViewCentre(int pan) {
    Centre c = CentreOf(kWidth, kHeight);
    c.panX = pan;
    c.panY = pan / 2;
    return c;
}

// pans: whether the plan moves by a pixel between paints, as during a drag of the plan.
void RunStraight(benchmark::State& state, bool pans) {
    const ImagePlacement placement = Place(state);
    QImage frame(kWidth, kHeight, QImage::Format_RGB32);
    int pan = 0;
    for (auto _ : state) {
        frame.fill(QColor::fromRgb(kBackgroundColour));
        QPainter painter(&frame);
        PaintBackgroundStraight(painter, Picture(), placement, 60, 4.0f, ViewCentre(pan));
        painter.end();
        benchmark::DoNotOptimize(frame.constBits());
        pan += pans ? 1 : 0;
    }
}

void RunCached(benchmark::State& state, bool pans) {
    const ImagePlacement placement = Place(state);
    QImage frame(kWidth, kHeight, QImage::Format_RGB32);
    CPlanBackground background;
    background.Paint(frame, Picture(), placement, 60, 4.0f, ViewCentre(-1)); // halved copies
    int pan = 0;
    for (auto _ : state) {
        background.Paint(frame, Picture(), placement, 60, 4.0f, ViewCentre(pan));
        benchmark::DoNotOptimize(frame.constBits());
        pan += pans ? 1 : 0;
    }
}

void BM_BackgroundRepaint(benchmark::State& state) {
    RunCached(state, false);
}
void BM_BackgroundRepaint_Baseline(benchmark::State& state) {
    RunStraight(state, false);
}
void BM_BackgroundPan(benchmark::State& state) {
    RunCached(state, true);
}
void BM_BackgroundPan_Baseline(benchmark::State& state) {
    RunStraight(state, true);
}

// The view's whole repaint with the picture under a 1,000-point track, as when a point is
// dragged over the picture.
void BM_RepaintViewWithBackground(benchmark::State& state) {
    CRolvetDoc doc;
    CRolvetView view;
    view.SetDocument(&doc);
    view.resize(kWidth, kHeight);
    doc.SetBackground(Placement(static_cast<double>(state.range(0)) / 100.0), Picture());
    std::vector<CVector3D> track(1000);
    for (std::size_t i = 0; i < track.size(); ++i) {
        const double a = 2.0 * std::numbers::pi * static_cast<double>(i) / 1000.0;
        track[i] = {static_cast<float>(3000.0 * std::cos(a)), 0.0f,
                    static_cast<float>(1800.0 * std::sin(a))};
    }
    TheVertexStore().Assign(std::move(track));
    QImage target(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        view.render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
    TheVertexStore().Clear();
}

} // namespace

BENCHMARK(BM_BackgroundRepaint)->Arg(25)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BackgroundRepaint_Baseline)->Arg(25)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BackgroundPan)->Arg(25)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BackgroundPan_Baseline)->Arg(25)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepaintViewWithBackground)->Arg(25)->Arg(200)->Unit(benchmark::kMillisecond);

// Where the cached frame draws from the picture itself (zoomed in), it must be the baseline's
// picture; a check that the benchmark compares like with like.
bool SamePictureZoomedIn() {
    const ImagePlacement placement = *rolvet::PlaceImage(Placement(2.0));
    QImage straight(kWidth, kHeight, QImage::Format_RGB32);
    straight.fill(QColor::fromRgb(kBackgroundColour));
    {
        QPainter painter(&straight);
        PaintBackgroundStraight(painter, Picture(), placement, 60, 4.0f, ViewCentre(0));
    }
    QImage cached(kWidth, kHeight, QImage::Format_RGB32);
    CPlanBackground background;
    background.Paint(cached, Picture(), placement, 60, 4.0f, ViewCentre(0));
    return straight == cached;
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    if (!SamePictureZoomedIn()) {
        std::fprintf(stderr, "the cached background differs from its baseline\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
