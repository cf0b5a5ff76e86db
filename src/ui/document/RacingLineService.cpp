#include "document/RacingLineService.h"

#include "document/RolvetDoc.h"
#include "racing/RacingLineFile.h"
#include "track/VertexStore.h"

#include <utility>
#include <vector>

namespace {

// The default wait after the last change before a solve starts: long enough that a drag or a
// run of typed values is one solve, short enough to feel immediate.
constexpr int kSettleMilliseconds = 250;

struct SolveJob {
    std::vector<CVector3D> points;
    std::vector<rolvet::PointShape> shapes;
    int divisions = 0;
    int roadWidth = 0;
    double vehicleWidth = 0.0;
};

rolvet::RacingLine Solve(const SolveJob& job, const std::function<bool()>& cancelled) {
    rolvet::RacingLine line;
    rolvet::RacingRoad road;
    switch (rolvet::SampleRacingRoad(job.points, job.shapes, job.divisions, job.roadWidth, road)) {
    case rolvet::RacingRoadStatus::Ok:
        break;
    case rolvet::RacingRoadStatus::TooLarge:
        line.status = rolvet::RacingStatus::TooLarge;
        return line;
    case rolvet::RacingRoadStatus::TooFewVertices:
    case rolvet::RacingRoadStatus::NoDivisions:
        return line;
    }
    rolvet::RacingOptions options;
    options.cancelled = cancelled;
    return rolvet::SolveRacingLine(road.Input(job.vehicleWidth), options);
}

} // namespace

CRacingLineService::CRacingLineService(CRolvetDoc& doc, QObject* parent)
    : QObject(parent), m_doc(doc) {
    m_pool.setMaxThreadCount(1);
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMilliseconds);
    connect(&m_settle, &QTimer::timeout, this, &CRacingLineService::StartSolve);
    connect(&m_doc, &CRolvetDoc::trackChanged, this, &CRacingLineService::OnTrackChanged);
}

CRacingLineService::~CRacingLineService() {
    ++*m_generation;
    m_pool.waitForDone();
}

void CRacingLineService::SetEnabled(bool enabled) {
    if (enabled == m_enabled) {
        return;
    }
    m_enabled = enabled;
    ++*m_generation;
    if (enabled) {
        m_settle.start();
        return;
    }
    m_settle.stop();
    m_line = {};
    emit lineChanged();
}

void CRacingLineService::SetVehicleWidth(double width) {
    if (width == m_vehicleWidth) {
        return;
    }
    m_vehicleWidth = width;
    OnTrackChanged();
}

void CRacingLineService::OnTrackChanged() {
    if (!m_enabled) {
        return;
    }
    ++*m_generation; // the solve in progress is for an older track
    m_settle.start();
}

void CRacingLineService::StartSolve() {
    if (!m_enabled) {
        return;
    }
    if (m_doc.DraggedIndex() >= 0) {
        // A held drag: look again after another settling interval, until it has ended.
        m_settle.start();
        return;
    }
    SolveJob job;
    const auto all = TheVertexStore().All();
    job.points.assign(all.begin(), all.end());
    const auto shapes = TheVertexStore().Shapes();
    job.shapes.assign(shapes.begin(), shapes.end());
    job.divisions = m_doc.DivisionCount();
    job.roadWidth = m_doc.RoadWidth();
    job.vehicleWidth = m_vehicleWidth;
    const int generation = ++*m_generation;
    std::shared_ptr<std::atomic<int>> current = m_generation;
    ++m_running;
    ++m_started;
    m_pool.start([this, job = std::move(job), generation, current] {
        auto line = std::make_shared<rolvet::RacingLine>(
            Solve(job, [&] { return current->load() != generation; }));
        // Delivered on the interface thread; dropped if the service is gone by then.
        QMetaObject::invokeMethod(
            this,
            [this, line, generation] {
                --m_running;
                if (*m_generation != generation || !m_enabled) {
                    return;
                }
                m_line = std::move(*line);
                emit lineChanged();
            },
            Qt::QueuedConnection);
    });
}
