// Repainting the height profile of a 100,000-point track (400,000 samples) into a 1600 x 300
// image: reduced to the pixel columns, against a straightforward QPainter painting that draws
// one QPainterPath through every sample and fills every handle square. Both start from the
// same road model and axes; before measuring, the two pictures are compared.
#include "document/RolvetDoc.h"
#include "track/VertexStore.h"
#include "view/PlanPainter.h"
#include "view/ProfileView.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

using namespace rolvet::profile;

namespace {

constexpr int kPoints = 100'000;
constexpr int kDivisions = 4;
constexpr int kWidth = 1600;
constexpr int kHeight = 300;

// A large loop with hills of three wave lengths and a bank that swings between ±12°.
const std::vector<CVector3D>& Track() {
    static const std::vector<CVector3D> track = [] {
        std::vector<CVector3D> v(kPoints);
        for (int i = 0; i < kPoints; ++i) {
            const double t = 2.0 * std::numbers::pi * i / kPoints;
            const double h =
                40.0 * std::sin(3.0 * t) + 8.0 * std::sin(41.0 * t) + 1.5 * std::sin(1777.0 * t);
            v[static_cast<std::size_t>(i)] = {static_cast<float>(2.0e5 * std::cos(t)),
                                              static_cast<float>(h),
                                              static_cast<float>(2.0e5 * std::sin(t))};
        }
        return v;
    }();
    return track;
}

std::vector<rolvet::PointShape> Shapes() {
    std::vector<rolvet::PointShape> shapes(kPoints);
    for (int i = 0; i < kPoints; ++i) {
        shapes[static_cast<std::size_t>(i)].bank =
            static_cast<float>(12.0 * std::sin(2.0 * std::numbers::pi * 9.0 * i / kPoints));
    }
    return shapes;
}

struct Fixture {
    rolvet::CRoadModel model;
    std::vector<float> banks;
    ProfileAxes axes;

    Fixture() {
        model.Update(Track(), kDivisions, rolvet::HalfRoadWidth(100), rolvet::TrackChange::Whole());
        const auto shapes = Shapes();
        banks = SampleBanks(shapes, kPoints, kDivisions);
        const rolvet::TrackReadouts r = model.Readouts();
        axes = FitAxes(kWidth, kHeight, model.LapLength(), *r.heightMin, *r.heightMax,
                       BankRange(banks));
    }
};

const Fixture& TheFixture() {
    static const Fixture fixture;
    return fixture;
}

ProfileScene Scene(const Fixture& f, const ProfileLines* lines) {
    ProfileScene scene;
    scene.model = &f.model;
    scene.lines = lines;
    scene.axes = f.axes;
    scene.font = QApplication::font();
    return scene;
}

// The profile as the view paints it: the lines reduced to the columns, then drawn.
void PaintReduced(QImage& image, const Fixture& f) {
    const ProfileLines lines = BuildLines(f.model, f.banks, f.axes, kPoints / 2);
    QPainter painter(&image);
    PaintProfile(painter, Scene(f, &lines));
}

// The straightforward painting: every sample into a path, every handle filled on its own.
void PaintStraight(QImage& image, const Fixture& f) {
    const rolvet::CRoadModel& model = f.model;
    const std::int64_t samples = model.SampleCount();
    QPainterPath height, bank;
    for (std::int64_t j = 0; j <= samples; ++j) {
        const std::size_t s = static_cast<std::size_t>(j == samples ? 0 : j);
        const double x = f.axes.X(model.ArcLength(j));
        const QPointF h(x, f.axes.Y(model.Centres()[s].y));
        const QPointF b(x, f.axes.BankY(f.banks[s]));
        if (j == 0) {
            height.moveTo(h);
            bank.moveTo(b);
        } else {
            height.lineTo(h);
            bank.lineTo(b);
        }
    }
    ProfileLines none; // the grid and labels only
    QPainter painter(&image);
    PaintProfile(painter, Scene(f, &none));
    painter.setPen(QPen(QColor::fromRgb(kBankColour), 0));
    painter.drawPath(bank);
    painter.setPen(QPen(QColor::fromRgb(kCurveColour), 0));
    painter.drawPath(height);
    const QColor marker = QColor::fromRgb(rolvet::plan::kMarkerColour);
    const auto points = model.Points();
    for (int k = 0; k < kPoints; ++k) {
        const double x = f.axes.X(model.ArcLength(std::int64_t{k} * kDivisions));
        const double y = f.axes.Y(points[static_cast<std::size_t>(k)].y);
        painter.fillRect(static_cast<int>(std::lround(x)) - kHandleHalf,
                         static_cast<int>(std::lround(y)) - kHandleHalf, 2 * kHandleHalf + 1,
                         2 * kHandleHalf + 1, marker);
    }
    const int k = kPoints / 2;
    const int x =
        static_cast<int>(std::lround(f.axes.X(model.ArcLength(std::int64_t{k} * kDivisions))));
    const int y = static_cast<int>(std::lround(f.axes.Y(points[static_cast<std::size_t>(k)].y)));
    painter.fillRect(x - kHandleHalf - 1, y - kHandleHalf - 1, 2 * kHandleHalf + 3,
                     2 * kHandleHalf + 3, QColor::fromRgb(rolvet::plan::kSelectedColour));
}

QImage Paint(void (*paint)(QImage&, const Fixture&)) {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(QColor::fromRgb(rolvet::plan::kBackgroundColour));
    paint(image, TheFixture());
    return image;
}

void Run(benchmark::State& state, void (*paint)(QImage&, const Fixture&)) {
    const Fixture& f = TheFixture();
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(QColor::fromRgb(rolvet::plan::kBackgroundColour));
        paint(image, f);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["samples"] = static_cast<double>(f.model.SampleCount());
}

void BM_PaintProfile(benchmark::State& state) {
    Run(state, &PaintReduced);
}
void BM_PaintProfile_Baseline(benchmark::State& state) {
    Run(state, &PaintStraight);
}

// The reduction alone, without drawing.
void BM_BuildProfileLines(benchmark::State& state) {
    const Fixture& f = TheFixture();
    for (auto _ : state) {
        benchmark::DoNotOptimize(BuildLines(f.model, f.banks, f.axes, kPoints / 2));
    }
}

// The view while a handle is dragged: each step moves one point's height, updates the view's
// model and repaints the widget.
void BM_ProfileDragStep(benchmark::State& state) {
    CRolvetDoc doc;
    auto shapes = Shapes();
    TheVertexStore().Assign(std::vector<CVector3D>(Track()), std::move(shapes));
    CProfileView view;
    view.resize(kWidth, kHeight);
    view.show();
    view.SetDocument(&doc);
    QImage target(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    const int k = kPoints / 3;
    float step = 0.0f;
    for (auto _ : state) {
        TheVertexStore().At(k).y = (step += 0.25f);
        view.OnTrackChanged(rolvet::TrackChange::Moved(k));
        view.render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
    TheVertexStore().Clear();
}

} // namespace

BENCHMARK(BM_PaintProfile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintProfile_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildProfileLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProfileDragStep)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const QImage reduced = Paint(&PaintReduced);
    const QImage straight = Paint(&PaintStraight);
    int differ = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            differ += reduced.pixel(x, y) != straight.pixel(x, y);
        }
    }
    std::fprintf(stderr, "%d of %d pixels differ between the two paintings (%lld samples).\n",
                 differ, kWidth * kHeight,
                 static_cast<long long>(TheFixture().model.SampleCount()));
    if (qEnvironmentVariableIsSet("ROLVET_BENCH_PICTURES")) {
        reduced.save(QStringLiteral("profile-reduced.png"));
        straight.save(QStringLiteral("profile-straight.png"));
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
