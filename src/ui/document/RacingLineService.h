// The racing line of the document's track, kept up to date off the interface thread.
//
// While it is switched on, every change of the track restarts a short settling timer and
// cancels the solve in progress; once the timer runs out with no drag held, the road is sampled
// and solved on a worker thread, and the finished line replaces the shown one (lineChanged).
// So the line moves when editing stops, not on every mouse move, and a newer edit always wins
// over an older solve. The last finished line stays shown until its successor is ready.
#pragma once

#include "racing/RacingLine.h"
#include "track/TrackChange.h"

#include <QObject>
#include <QThreadPool>
#include <QTimer>

#include <atomic>
#include <memory>

class CRolvetDoc;

class CRacingLineService : public QObject {
    Q_OBJECT

public:
    // The service follows doc, which must outlive it.
    explicit CRacingLineService(CRolvetDoc& doc, QObject* parent = nullptr);
    ~CRacingLineService() override;

    bool IsEnabled() const { return m_enabled; }
    // Off drops the line and cancels any solve; on solves the track as it is now.
    void SetEnabled(bool enabled);
    double VehicleWidth() const { return m_vehicleWidth; }
    void SetVehicleWidth(double width);
    // How long the track must stay unchanged before a solve starts, in milliseconds.
    void SetSettleInterval(int milliseconds) { m_settle.setInterval(milliseconds); }

    // The last finished line (status NoRoad while off or before the first solve ends). Its
    // status says why there is no line: too few points, a track too large, numbers that are not
    // finite.
    const rolvet::RacingLine& Line() const { return m_line; }
    // A solve is waiting for the track to settle or running.
    bool IsBusy() const { return m_settle.isActive() || m_running > 0; }
    // Solves started so far (each edit that settles starts one).
    int SolvesStarted() const { return m_started; }

signals:
    // Line() changed: a solve finished or the service was switched off.
    void lineChanged();

private:
    void OnTrackChanged();
    void StartSolve();

    CRolvetDoc& m_doc;
    bool m_enabled = false;
    double m_vehicleWidth = rolvet::kDefaultVehicleWidth;
    rolvet::RacingLine m_line;
    QTimer m_settle;
    QThreadPool m_pool;
    // Bumped by every change: a solve whose number is no longer current stops and is dropped.
    std::shared_ptr<std::atomic<int>> m_generation = std::make_shared<std::atomic<int>>(0);
    int m_running = 0;
    int m_started = 0;
};
