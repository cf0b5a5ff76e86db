#include "view/ProfileView.h"

#include "common/Strings.h"
#include "document/RolvetDoc.h"
#include "document/Tr.h"
#include "track/MonotoneCubic.h"
#include "track/VertexStore.h"
#include "view/PlanPainter.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace rolvet::profile {

double ProfileAxes::X(double along) const {
    const double span = width - 2.0 * kMargin;
    return lapLength > 0.0 ? kMargin + along / lapLength * span : kMargin;
}

double ProfileAxes::AlongAt(double x) const {
    const double span = width - 2.0 * kMargin;
    return span > 0.0 ? std::clamp((x - kMargin) / span, 0.0, 1.0) * lapLength : 0.0;
}

double ProfileAxes::Y(double h) const {
    return height / 2.0 - (h - heightCentre) * pixelsPerUnit;
}

double ProfileAxes::HeightAt(double y) const {
    return heightCentre + (height / 2.0 - y) / pixelsPerUnit;
}

double ProfileAxes::BankY(double degrees) const {
    const double half = std::max(height / 2.0 - kMargin, 1.0);
    return height / 2.0 - degrees / bankRange * half;
}

ProfileAxes FitAxes(int width, int height, double lapLength, double lo, double hi,
                    double bankRange) {
    ProfileAxes axes;
    axes.width = width;
    axes.height = height;
    axes.lapLength = lapLength;
    axes.bankRange = bankRange;
    if (!(std::isfinite(lo) && std::isfinite(hi)) || hi < lo) {
        lo = hi = 0.0;
    }
    const double span = std::max(hi - lo, 20.0);
    axes.heightCentre = (lo + hi) / 2.0;
    axes.pixelsPerUnit = std::max(height - 2.0 * kMargin, 1.0) / span;
    return axes;
}

std::vector<float> SampleBanks(std::span<const PointShape> shapes, int pointCount, int divisions) {
    if (divisions < 1 || pointCount < 1 || shapes.size() != static_cast<std::size_t>(pointCount) ||
        std::none_of(shapes.begin(), shapes.end(), [](const PointShape& s) { return s.bank; })) {
        return {};
    }
    std::vector<double> values(shapes.size());
    std::transform(shapes.begin(), shapes.end(), values.begin(),
                   [](const PointShape& s) { return static_cast<double>(s.bank.value_or(0.0f)); });
    const MonotoneLoop loop(std::move(values));
    std::vector<float> banks(static_cast<std::size_t>(pointCount) *
                             static_cast<std::size_t>(divisions));
    std::size_t j = 0;
    for (std::size_t k = 0; k < static_cast<std::size_t>(pointCount); ++k) {
        for (int i = 0; i < divisions; ++i) {
            banks[j++] = static_cast<float>(loop.Sample(k, i, divisions));
        }
    }
    return banks;
}

double BankRange(std::span<const float> banks) {
    float largest = 0.0f;
    for (const float b : banks) {
        if (std::isfinite(b)) {
            largest = std::max(largest, std::abs(b));
        }
    }
    return std::max(10.0, std::ceil(static_cast<double>(largest) / 5.0) * 5.0);
}

namespace {

// Pixel coordinates far outside the view are held where integer conversion stays defined.
double Held(double v) {
    return std::clamp(v, -1.0e6, 1.0e6);
}
int ToPixel(double v) {
    return static_cast<int>(std::lround(Held(v)));
}

// One curve reduced to its pixel columns (the first, lowest, highest and last sample of each,
// in their order along the road). It works on lap distances and values as they are and maps
// only the points it keeps to pixels, so each sample costs a few comparisons.
class ColumnReducer {
public:
    // The pixel of a value is offset − value · scale (heights grow upwards).
    ColumnReducer(std::vector<QPointF>& out, const ProfileAxes& axes, double offset, double scale)
        : m_out(out), m_axes(axes), m_offset(offset), m_scale(scale) {}

    void Add(long long column, double along, double value) {
        if (m_count > 0 && column == m_column) {
            if (value < m_min.value) {
                m_min = {along, value, m_count};
            } else if (value > m_max.value) {
                m_max = {along, value, m_count};
            }
            m_last = {along, value, m_count};
            ++m_count;
            return;
        }
        Flush();
        m_column = column;
        m_first = m_min = m_max = m_last = {along, value, 0};
        m_count = 1;
    }

    void Flush() {
        if (m_count == 0) {
            return;
        }
        Put(m_first);
        if (m_count > 1) {
            const bool minFirst = m_min.order <= m_max.order;
            Put(minFirst ? m_min : m_max);
            Put(minFirst ? m_max : m_min);
            Put(m_last);
        }
        m_count = 0;
    }

private:
    struct Sample {
        double along = 0.0;
        double value = 0.0;
        long long order = 0;
    };

    void Put(const Sample& s) {
        m_out.emplace_back(Held(m_axes.X(s.along)), Held(m_offset - s.value * m_scale));
    }

    std::vector<QPointF>& m_out;
    const ProfileAxes& m_axes;
    double m_offset;
    double m_scale;
    long long m_column = 0;
    long long m_count = 0;
    Sample m_first, m_min, m_max, m_last;
};

// Handle squares of one column that touch or overlap, merged into one rectangle.
class HandleMerger {
public:
    explicit HandleMerger(std::vector<QRect>& out) : m_out(out) {}

    void Add(int x, int y) {
        if (m_open && x == m_x && y >= m_lo - (2 * kHandleHalf + 1) &&
            y <= m_hi + (2 * kHandleHalf + 1)) {
            m_lo = std::min(m_lo, y);
            m_hi = std::max(m_hi, y);
            return;
        }
        Flush();
        m_open = true;
        m_x = x;
        m_lo = m_hi = y;
    }

    void Flush() {
        if (m_open) {
            m_out.emplace_back(m_x - kHandleHalf, m_lo - kHandleHalf, 2 * kHandleHalf + 1,
                               m_hi - m_lo + 2 * kHandleHalf + 1);
            m_open = false;
        }
    }

private:
    std::vector<QRect>& m_out;
    bool m_open = false;
    int m_x = 0, m_lo = 0, m_hi = 0;
};

} // namespace

ProfileLines BuildLines(const CRoadModel& model, std::span<const float> banks,
                        const ProfileAxes& axes, int selected) {
    ProfileLines lines;
    const std::int64_t samples = model.SampleCount();
    const double lap = model.LapLength();
    if (samples == 0 || !std::isfinite(lap) || !(lap > 0.0) || axes.width <= 0) {
        return lines;
    }
    const auto& centres = model.Centres();
    const std::span<const CVector3D> points = model.Points();
    const int divisions = model.Divisions();
    const bool hasBanks = banks.size() == static_cast<std::size_t>(samples);
    const double bankScale = (axes.height / 2.0 - axes.BankY(1.0));
    // x = kMargin + along · columnScale; the column is its integer part (x is never negative).
    const double columnScale = (axes.X(lap) - axes.X(0.0)) / lap;
    const double heightOffset = axes.Y(0.0);
    ColumnReducer height(lines.height, axes, heightOffset, axes.pixelsPerUnit);
    ColumnReducer bank(lines.bank, axes, axes.height / 2.0, bankScale);
    HandleMerger handles(lines.handles);
    const std::size_t reserve =
        static_cast<std::size_t>(4 * static_cast<std::int64_t>(axes.width) + 8);
    lines.height.reserve(reserve);
    lines.bank.reserve(hasBanks ? reserve : 8);

    // Arc lengths come a segment at a time; sample S closes the lap with the values of sample 0.
    std::vector<double> along(static_cast<std::size_t>(divisions) + 1);
    const auto segments = static_cast<std::int64_t>(points.size());
    for (std::int64_t k = 0; k <= segments; ++k) {
        const std::int64_t first = k * divisions;
        const int count = k < segments ? divisions : 1;
        if (k < segments) {
            model.ArcLengths(first, count, along.data());
        } else {
            along[0] = lap;
        }
        for (int i = 0; i < count; ++i) {
            const std::size_t s = k < segments ? static_cast<std::size_t>(first + i) : 0;
            const double a = along[static_cast<std::size_t>(i)];
            const auto column = static_cast<long long>(kMargin + a * columnScale);
            const double h = centres[s].y;
            if (!std::isnan(h)) {
                height.Add(column, a, h);
            }
            if (hasBanks) {
                bank.Add(column, a, banks[s]);
            }
        }
        if (k < segments) {
            const QPoint centre(ToPixel(axes.X(along[0])), ToPixel(axes.Y(points[k].y)));
            handles.Add(centre.x(), centre.y());
            if (k == selected) {
                lines.selected = centre;
            }
        }
    }
    height.Flush();
    bank.Flush();
    handles.Flush();
    if (!hasBanks) {
        // No point has a bank: the curve lies on the bank scale's zero all along.
        lines.bank = {QPointF(axes.X(0.0), axes.BankY(0.0)), QPointF(axes.X(lap), axes.BankY(0.0))};
    }
    return lines;
}

std::int64_t SampleAt(const CRoadModel& model, double along) {
    const std::int64_t samples = model.SampleCount();
    std::int64_t lo = 0, hi = samples; // ArcLength(lo) <= along, searching the last such lo
    while (hi - lo > 1) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        if (model.ArcLength(mid) <= along) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    return lo;
}

std::optional<double> GradeAt(const CRoadModel& model, std::int64_t sample) {
    const std::int64_t samples = model.SampleCount();
    if (sample < 0 || sample >= samples) {
        return std::nullopt;
    }
    const CVector3D& a = model.Centres()[static_cast<std::size_t>(sample)];
    const CVector3D& b = model.Centres()[static_cast<std::size_t>((sample + 1) % samples)];
    const double dx = static_cast<double>(b.x) - static_cast<double>(a.x);
    const double dz = static_cast<double>(b.z) - static_cast<double>(a.z);
    const double run = std::hypot(dx, dz);
    const double grade = (static_cast<double>(b.y) - static_cast<double>(a.y)) / run;
    return run > 0.0 && std::isfinite(grade) ? std::optional(grade) : std::nullopt;
}

namespace {

// A step of 1, 2 or 5 times a power of ten that puts grid lines at least minPixels apart.
double GridStep(double pixelsPerUnit, double minPixels) {
    const double raw = minPixels / pixelsPerUnit;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0, 10.0}) {
        if (m * power >= raw) {
            return m * power;
        }
    }
    return 10.0 * power;
}

QString Number(double value, int decimals) {
    return QString::number(value, 'f', decimals);
}

void PaintGrid(QPainter& painter, const ProfileAxes& axes) {
    const QFontMetrics metrics = painter.fontMetrics();
    const double step = GridStep(axes.pixelsPerUnit, 3.0 * metrics.height());
    const int decimals = std::clamp(static_cast<int>(-std::floor(std::log10(step))), 0, 6);
    const double top = axes.HeightAt(0.0);
    const double bottom = axes.HeightAt(axes.height);
    if (!(std::isfinite(step) && step > 0.0 && std::isfinite(top) && std::isfinite(bottom))) {
        return;
    }
    // Counted in whole steps: far from zero, adding a small step to a height may not change it.
    const double first = std::ceil(bottom / step);
    const double last = std::floor(top / step);
    if (!(last - first < 1000.0)) {
        return;
    }
    const int lines = static_cast<int>(std::max(last - first + 1.0, 0.0));
    for (int i = 0; i < lines; ++i) {
        const double h = (first + i) * step;
        const int y = ToPixel(axes.Y(h));
        painter.setPen(QColor::fromRgb(kGridColour));
        painter.drawLine(0, y, axes.width, y);
        painter.setPen(QColor::fromRgb(plan::kGreyColour));
        painter.drawText(2, y - 2, Number(h, decimals));
    }
    // The bank scale at the right: its zero and both ends.
    painter.setPen(QColor::fromRgb(kBankColour));
    for (const double b : {axes.bankRange, 0.0, -axes.bankRange}) {
        const QString text = Number(b, 0) + QChar(0x00B0);
        const int y = ToPixel(axes.BankY(b));
        painter.drawText(axes.width - 2 - metrics.horizontalAdvance(text),
                         std::clamp(y + metrics.ascent() / 2, metrics.ascent(), axes.height - 2),
                         text);
    }
}

} // namespace

void PaintProfile(QPainter& painter, const ProfileScene& scene) {
    const ProfileAxes& axes = scene.axes;
    painter.setFont(scene.font);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const CRoadModel* model = scene.model;
    if (model == nullptr || model->State() != RoadModelState::Ok || scene.lines == nullptr) {
        painter.setPen(QColor::fromRgb(plan::kGreyColour));
        const char* text = model != nullptr && model->State() == RoadModelState::TooLarge
                               ? str::kTrackTooLarge
                               : str::kPreviewNoRoad;
        painter.drawText(QRect(0, 0, axes.width, axes.height), Qt::AlignCenter | Qt::TextWordWrap,
                         Tr(text));
        return;
    }
    PaintGrid(painter, axes);
    const ProfileLines& lines = *scene.lines;
    painter.setPen(QPen(QColor::fromRgb(kBankColour), 0));
    painter.drawPolyline(lines.bank.data(), static_cast<int>(lines.bank.size()));
    painter.setPen(QPen(QColor::fromRgb(kCurveColour), 0));
    painter.drawPolyline(lines.height.data(), static_cast<int>(lines.height.size()));
    const QColor marker = QColor::fromRgb(plan::kMarkerColour);
    for (const QRect& r : lines.handles) {
        painter.fillRect(r, marker);
    }
    if (lines.selected) {
        const QPoint c = *lines.selected;
        painter.fillRect(c.x() - kHandleHalf - 1, c.y() - kHandleHalf - 1, 2 * kHandleHalf + 3,
                         2 * kHandleHalf + 3, QColor::fromRgb(plan::kSelectedColour));
    }
    if (scene.cursorX) {
        const int x = *scene.cursorX;
        painter.setPen(QColor::fromRgb(kCursorColour));
        painter.drawLine(x, 0, x, axes.height);
        const double along = axes.AlongAt(x);
        const std::int64_t j = SampleAt(*model, along);
        const float h = model->Centres()[static_cast<std::size_t>(j)].y;
        const std::optional<double> grade = GradeAt(*model, j);
        const QString text = Tr(str::kProfileCursor)
                                 .arg(Number(along, 1), Number(h, 1),
                                      grade ? Number(*grade * 100.0, 1) : QStringLiteral("-"));
        const QFontMetrics metrics = painter.fontMetrics();
        // Beside the guide line, on whichever side has room.
        const int boxWidth = metrics.horizontalAdvance(text) + 8;
        const int left = x + 6 + boxWidth <= axes.width ? x + 6 : std::max(x - 6 - boxWidth, 0);
        const QRect box(left, 2, boxWidth, metrics.height() + 2);
        painter.fillRect(box, QColor::fromRgb(plan::kBackgroundColour));
        painter.setPen(QColor::fromRgb(plan::kAxisColour));
        painter.drawText(box, Qt::AlignCenter, text);
    }
}

} // namespace rolvet::profile

using namespace rolvet::profile;

CProfileView::CProfileView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ProfileView"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
    setMinimumHeight(60);
}

void CProfileView::SetDocument(CRolvetDoc* doc) {
    if (m_doc == doc) {
        return;
    }
    if (m_doc) {
        disconnect(m_doc, nullptr, this, nullptr);
    }
    m_doc = doc;
    if (doc != nullptr) {
        connect(doc, &CRolvetDoc::trackChanged, this, &CProfileView::OnTrackChanged);
        connect(doc, &CRolvetDoc::viewsNeedUpdate, this, qOverload<>(&CProfileView::update));
        connect(doc, &CRolvetDoc::selectionChanged, this, [this] {
            m_linesValid = false;
            update();
        });
    }
    OnTrackChanged(rolvet::TrackChange::Whole());
}

void CProfileView::OnTrackChanged(const rolvet::TrackChange& change) {
    if (change.kind == rolvet::TrackChange::Kind::Whole) {
        m_autoFit = true; // a new track is fitted afresh
    }
    m_linesValid = false;
    if (!isVisible()) {
        m_stale = true; // a hidden profile costs nothing; showing it catches up
        return;
    }
    Refresh(change);
    update();
}

void CProfileView::Refresh(const rolvet::TrackChange& change) {
    if (m_doc) {
        m_model.Update(TheVertexStore().All(), m_doc->DivisionCount(),
                       rolvet::HalfRoadWidth(m_doc->RoadWidth()), change);
    } else {
        m_model.Update({}, 0, 0.0f, change);
    }
    UpdateBanks();
    m_stale = false;
}

void CProfileView::UpdateBanks() {
    // A drag of a height leaves every bank as it was: the curve is made again only when a
    // control value or the sampling changed.
    const CVertexStore& store = TheVertexStore();
    const auto shapes = store.Shapes();
    std::vector<double> values(shapes.size());
    std::transform(shapes.begin(), shapes.end(), values.begin(), [](const rolvet::PointShape& s) {
        return static_cast<double>(s.bank.value_or(0.0f));
    });
    const std::int64_t samples = m_model.SampleCount();
    if (values == m_pointBanks && samples == m_bankSamples &&
        m_model.Divisions() == m_bankDivisions) {
        return;
    }
    m_pointBanks = std::move(values);
    m_bankSamples = samples;
    m_bankDivisions = m_model.Divisions();
    m_banks = samples > 0 ? SampleBanks(shapes, store.Count(), m_model.Divisions())
                          : std::vector<float>{};
}

void CProfileView::FitHeights() {
    m_autoFit = true;
    m_linesValid = false;
    update();
}

void CProfileView::UpdateAxes() {
    ProfileAxes axes = m_axes;
    const double bankRange = BankRange(m_banks);
    if (m_autoFit && m_dragIndex < 0) {
        const rolvet::TrackReadouts r = m_model.Readouts();
        axes = FitAxes(width(), height(), m_model.LapLength(), r.heightMin.value_or(0.0f),
                       r.heightMax.value_or(0.0f), bankRange);
    } else {
        axes.width = width();
        axes.height = height();
        axes.lapLength = m_model.LapLength();
        axes.bankRange = bankRange;
    }
    const bool same =
        axes.width == m_axes.width && axes.height == m_axes.height &&
        axes.lapLength == m_axes.lapLength && axes.heightCentre == m_axes.heightCentre &&
        axes.pixelsPerUnit == m_axes.pixelsPerUnit && axes.bankRange == m_axes.bankRange;
    if (!same) {
        m_axes = axes;
        m_linesValid = false;
    }
}

void CProfileView::showEvent(QShowEvent* event) {
    if (m_stale) {
        Refresh(rolvet::TrackChange::Whole());
    }
    QWidget::showEvent(event);
}

void CProfileView::paintEvent(QPaintEvent*) {
    if (m_stale) {
        Refresh(rolvet::TrackChange::Whole());
    }
    if (m_frame.size() != size()) {
        m_frame = QImage(size(), QImage::Format_RGB32);
    }
    if (m_frame.isNull()) {
        return;
    }
    UpdateAxes();
    if (!m_linesValid) {
        m_lines = BuildLines(m_model, m_banks, m_axes, m_doc ? m_doc->SelectedIndex() : -1);
        m_linesValid = true;
    }
    m_frame.fill(QColor::fromRgb(rolvet::plan::kBackgroundColour));
    {
        QPainter framePainter(&m_frame);
        ProfileScene scene;
        scene.model = m_doc ? &m_model : nullptr;
        scene.lines = &m_lines;
        scene.axes = m_axes;
        scene.cursorX = m_cursorX;
        scene.font = font();
        PaintProfile(framePainter, scene);
    }
    QPainter painter(this);
    painter.drawImage(0, 0, m_frame);
}

int CProfileView::HandleAt(QPointF p) const {
    if (m_model.State() != rolvet::RoadModelState::Ok) {
        return -1;
    }
    const std::span<const CVector3D> points = m_model.Points();
    const int divisions = m_model.Divisions();
    const int selected = m_doc ? m_doc->SelectedIndex() : -1;
    int best = -1;
    double bestDistance = 0.0;
    for (std::size_t k = 0; k < points.size(); ++k) {
        const double x = m_axes.X(m_model.ArcLength(static_cast<std::int64_t>(k) * divisions));
        const double y = m_axes.Y(points[k].y);
        const double dx = std::abs(x - p.x()), dy = std::abs(y - p.y());
        if (dx > kPickDistance || dy > kPickDistance) {
            continue;
        }
        // The selected handle is drawn on top, so it is the one a press on it picks.
        const double distance = static_cast<int>(k) == selected ? -1.0 : std::hypot(dx, dy);
        if (best < 0 || distance < bestDistance) {
            best = static_cast<int>(k);
            bestDistance = distance;
        }
    }
    return best;
}

void CProfileView::EndDrag() {
    if (m_dragIndex >= 0 && m_doc && m_doc->DraggedIndex() == m_dragIndex) {
        m_doc->EndVertexDrag(); // however many moves it had, a drag is one step
    }
    m_dragIndex = -1;
}

void CProfileView::mousePressEvent(QMouseEvent* event) {
    const QPointF p = event->position();
    if (event->button() == Qt::LeftButton && m_doc) {
        EndDrag();
        UpdateAxes();
        const int hit = HandleAt(p);
        if (hit >= 0) {
            m_dragIndex = hit;
            m_dragOffset = m_axes.Y(m_model.Points()[static_cast<std::size_t>(hit)].y) - p.y();
            m_doc->BeginVertexDrag(hit);
            m_doc->SetSelectedIndex(hit);
        }
    } else if (event->button() == Qt::MiddleButton) {
        m_panFrom = p.y();
    }
    event->accept();
}

void CProfileView::mouseMoveEvent(QMouseEvent* event) {
    const QPointF p = event->position();
    m_cursorX = static_cast<int>(std::floor(p.x()));
    if (m_panFrom) {
        m_autoFit = false;
        m_axes.heightCentre += (p.y() - *m_panFrom) / m_axes.pixelsPerUnit;
        m_panFrom = p.y();
        m_linesValid = false;
    }
    if (m_dragIndex >= 0 && m_doc) {
        // Heights are kept to a tidy step finer than one pixel, so a dragged point reads as
        // 12.3 rather than 12.3049817.
        const double step =
            std::pow(10.0, std::floor(std::log10(1.0 / m_axes.pixelsPerUnit)) - 1.0);
        const double h = std::round(m_axes.HeightAt(p.y() + m_dragOffset) / step) * step;
        if (!m_doc->DragVertexHeightTo(m_dragIndex, static_cast<float>(h))) {
            m_dragIndex = -1; // undo, redo, New or Open ended the drag
        }
    }
    update();
    event->accept();
}

void CProfileView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        EndDrag();
    } else if (event->button() == Qt::MiddleButton) {
        m_panFrom.reset();
    }
    event->accept();
}

void CProfileView::mouseDoubleClickEvent(QMouseEvent* event) {
    FitHeights();
    event->accept();
}

void CProfileView::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    // The height under the mouse stays where it is.
    UpdateAxes();
    const double y = event->position().y();
    const double anchor = m_axes.HeightAt(y);
    const double factor = std::pow(1.25, std::clamp(delta, -1200, 1200) / 120.0);
    const double zoomed = m_axes.pixelsPerUnit * factor;
    if (!(std::isfinite(zoomed) && zoomed > 0.0 && std::isfinite(anchor))) {
        event->accept(); // as far as the numbers go
        return;
    }
    m_axes.pixelsPerUnit = zoomed;
    m_axes.heightCentre = anchor - (m_axes.height / 2.0 - y) / m_axes.pixelsPerUnit;
    m_autoFit = false;
    m_linesValid = false;
    update();
    event->accept();
}

void CProfileView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Home) {
        FitHeights();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CProfileView::leaveEvent(QEvent* event) {
    m_cursorX.reset();
    update();
    QWidget::leaveEvent(event);
}
