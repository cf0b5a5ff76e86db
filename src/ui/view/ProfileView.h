// The height profile: the centre line's height against the distance along the lap, each control
// point as a handle whose height is dragged with the mouse, and the bank angle as a second, thin
// curve on a scale of its own. Lines are reduced to the pixel columns before they are drawn, so a
// repaint costs about the same for a track of ten points or of a hundred thousand.
#pragma once

#include "export/RoadModel.h"
#include "track/PointShape.h"
#include "track/TrackChange.h"

#include <QFont>
#include <QImage>
#include <QPointF>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <optional>
#include <span>
#include <vector>

class CRolvetDoc;
class QPainter;

namespace rolvet::profile {

inline constexpr QRgb kCurveColour = qRgb(0, 96, 192);
inline constexpr QRgb kBankColour = qRgb(230, 140, 0);
inline constexpr QRgb kGridColour = qRgb(228, 228, 228);
inline constexpr QRgb kCursorColour = qRgb(160, 160, 160);
// Pixels kept free at both ends of the lap and above and below the fitted heights.
inline constexpr int kMargin = 12;
// Handles are squares of 2·kHandleHalf + 1 pixels; a press this close to one picks it.
inline constexpr int kHandleHalf = 2;
inline constexpr int kPickDistance = 5;

// Between the profile's pixels and the track: lap distance across, height up; the bank angle
// has its own vertical scale, zero in the middle of the view.
struct ProfileAxes {
    int width = 0;
    int height = 0;
    double lapLength = 0.0;
    double heightCentre = 0.0;  // the height shown at the vertical middle
    double pixelsPerUnit = 1.0; // of height
    double bankRange = 10.0;    // degrees from the middle to the top margin

    double X(double along) const;
    double AlongAt(double x) const;
    double Y(double h) const;
    double HeightAt(double y) const;
    double BankY(double degrees) const;
};

// Axes that show heights lo .. hi in the view between the margins; a flat track gets a span of
// 20 around its height.
ProfileAxes FitAxes(int width, int height, double lapLength, double lo, double hi,
                    double bankRange);

// The bank angle at every sample of a closed track of pointCount points, carried between the
// points as the road carries it. Empty where no point has a bank (the angle is 0 everywhere).
std::vector<float> SampleBanks(std::span<const PointShape> shapes, int pointCount, int divisions);

// The bank scale for those angles: the largest magnitude rounded up to 5°, at least 10°.
double BankRange(std::span<const float> banks);

// What a repaint draws, in pixels. Each curve keeps at most four points per pixel column (the
// first, lowest, highest and last sample in it, in their order along the road): the polyline
// covers the same pixels as a line through every sample. Handles that overlap in one column are
// merged into one rectangle covering exactly their squares.
struct ProfileLines {
    std::vector<QPointF> height;
    std::vector<QPointF> bank;
    std::vector<QRect> handles;
    std::optional<QPoint> selected; // the selected handle's centre
};

ProfileLines BuildLines(const CRoadModel& model, std::span<const float> banks,
                        const ProfileAxes& axes, int selected);

// The sample whose stretch to the next one holds lap distance `along` (0 <= result < S).
std::int64_t SampleAt(const CRoadModel& model, double along);
// The grade from that sample to the next: rise over horizontal run; nothing where the run is 0.
std::optional<double> GradeAt(const CRoadModel& model, std::int64_t sample);

struct ProfileScene {
    const CRoadModel* model = nullptr;
    const ProfileLines* lines = nullptr;
    ProfileAxes axes;
    std::optional<int> cursorX; // the mouse's column: a guide line and the readout there
    QFont font;
};

// Paints the profile over a white background already in the painter's device.
void PaintProfile(QPainter& painter, const ProfileScene& scene);

} // namespace rolvet::profile

class CProfileView : public QWidget {
    Q_OBJECT

public:
    explicit CProfileView(QWidget* parent = nullptr);

    // Follows the document's track; nullptr shows nothing.
    void SetDocument(CRolvetDoc* doc);

    const rolvet::CRoadModel& Model() const { return m_model; }
    rolvet::profile::ProfileAxes Axes() const { return m_axes; }
    // The lines of the last repaint.
    const rolvet::profile::ProfileLines& Lines() const { return m_lines; }
    // Fits the height axis to the track again (the Home key and a double click).
    void FitHeights();

public slots:
    void OnTrackChanged(const rolvet::TrackChange& change);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // Brings the model and the bank curve up to date after change.
    void Refresh(const rolvet::TrackChange& change);
    void UpdateBanks();
    // The axes for the current size: fitted to the heights unless the user zoomed or panned,
    // and held still while a handle is dragged so it stays under the mouse.
    void UpdateAxes();
    // The control point whose handle is within reach of pixel p, or -1.
    int HandleAt(QPointF p) const;
    void EndDrag();

    QPointer<CRolvetDoc> m_doc;
    rolvet::CRoadModel m_model;
    std::vector<double> m_pointBanks; // the control values the bank curve was made from
    std::int64_t m_bankSamples = -1;
    int m_bankDivisions = 0;
    std::vector<float> m_banks;
    bool m_stale = true; // the track changed while the view was hidden
    bool m_linesValid = false;
    rolvet::profile::ProfileAxes m_axes;
    rolvet::profile::ProfileLines m_lines;
    bool m_autoFit = true;
    int m_dragIndex = -1;
    double m_dragOffset = 0.0; // pixels from the mouse to the dragged handle's centre
    std::optional<double> m_panFrom;
    std::optional<int> m_cursorX;
    QImage m_frame;
};
