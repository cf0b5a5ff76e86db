#include "view/PreviewWindow.h"

#include "common/Strings.h"
#include "document/RacingLineService.h"
#include "document/RolvetDoc.h"
#include "document/Tr.h"
#include "view/PreviewView.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QVBoxLayout>

#include <cstdio>

namespace {

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

QSettings OpenSettings() {
    return QSettings(Utf8(rolvet::str::kSettingsOrganization),
                     Utf8(rolvet::str::kSettingsApplication));
}

constexpr const char* kGeometryKey = "Preview/Geometry";
constexpr const char* kOpenKey = "Preview/Open";

QString Number(double value, int decimals) {
    return QString::number(value, 'f', decimals);
}

} // namespace

CPreviewWindow::CPreviewWindow(CRolvetDoc& doc, QWidget* parent)
    : QWidget(parent, Qt::Window), m_doc(doc) {
    setObjectName(QStringLiteral("PreviewWindow"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // The readouts in two rows of four cells (the racing line's last), so that the window
    // can be narrower than all of them in one line.
    m_status = new QStatusBar(this);
    m_status->setSizeGripEnabled(true);
    auto* cells = new QWidget(m_status);
    auto* grid = new QGridLayout(cells);
    grid->setContentsMargins(2, 0, 2, 0);
    grid->setVerticalSpacing(0);
    grid->setHorizontalSpacing(12);
    constexpr int kColumns = 4;
    for (int i = 0; i < 7; ++i) {
        auto* label = new QLabel(cells);
        label->setObjectName(QStringLiteral("Readout%1").arg(i));
        grid->addWidget(label, i / kColumns, i % kColumns);
        m_readouts.append(label);
    }

    // The racing line's readout, shown while the line is switched on.
    m_racingReadout = new QLabel(cells);
    m_racingReadout->setObjectName(QStringLiteral("RacingReadout"));
    grid->addWidget(m_racingReadout, 1, kColumns - 1);
    grid->setColumnStretch(kColumns, 1);
    m_status->addWidget(cells, 1);
    m_racingReadout->hide();
    connect(&m_doc.RacingLine(), &CRacingLineService::lineChanged, this,
            &CPreviewWindow::UpdateRacingReadout);
    connect(&m_doc, &CRolvetDoc::trackChanged, this, &CPreviewWindow::UpdateRacingReadout);

    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("PreviewMessage"));
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setWordWrap(true);
    m_message->setMargin(16);
    m_message->hide();
    layout->addWidget(m_message, 1);

    if (OpenGLAvailable()) {
        m_view = new CPreviewView(this);
        layout->addWidget(m_view, 1);
        connect(m_view, &CPreviewView::readoutsChanged, this, &CPreviewWindow::UpdateReadouts);
        connect(m_view, &CPreviewView::openGLFailed, this,
                [this] { ShowMessage(Tr(rolvet::str::kPreviewNoOpenGL)); });
        m_view->SetDocument(&m_doc);
    } else {
        ShowMessage(Tr(rolvet::str::kPreviewNoOpenGL));
    }

    layout->addWidget(m_status);

    connect(&m_doc, &CRolvetDoc::titleChanged, this, &CPreviewWindow::UpdateTitle);
    UpdateTitle();
    UpdateReadouts();
    UpdateRacingReadout();
    resize(640, 480);
}

bool CPreviewWindow::OpenGLAvailable() {
    // The offscreen platform can make a context where an X display is at hand, but it cannot
    // show an OpenGL widget in a window (Qt 6.4 crashes flushing it), and "minimal" has none.
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) {
        return false;
    }
    QOpenGLContext context;
    if (!context.create() || context.isOpenGLES()) {
        return false;
    }
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface)) {
        return false;
    }
    // The version the driver reports ("4.5 (Compatibility Profile) Mesa ..."): some platforms
    // leave the context's format at its default, so ask the driver itself.
    const auto* version =
        reinterpret_cast<const char*>(context.functions()->glGetString(GL_VERSION));
    int major = 0, minor = 0;
    const bool parsed = version != nullptr && std::sscanf(version, "%d.%d", &major, &minor) == 2;
    context.doneCurrent();
    return parsed && (major > 2 || (major == 2 && minor >= 1));
}

void CPreviewWindow::ShowMessage(const QString& text) {
    if (m_view) {
        m_view->hide();
    }
    m_message->setText(text);
    m_message->show();
}

void CPreviewWindow::UpdateTitle() {
    setWindowTitle(Tr(rolvet::str::kPreviewTitle).arg(m_doc.Title()));
}

void CPreviewWindow::UpdateReadouts() {
    for (QLabel* label : std::as_const(m_readouts)) {
        label->clear();
        label->setStyleSheet(QString());
    }
    if (!m_view) {
        return;
    }
    const rolvet::CRoadModel& model = m_view->Model();
    if (model.State() == rolvet::RoadModelState::NoRoad) {
        m_readouts[0]->setText(Tr(rolvet::str::kPreviewNoRoad));
        return;
    }
    if (model.State() == rolvet::RoadModelState::TooLarge) {
        m_readouts[0]->setText(Tr(rolvet::str::kTrackTooLarge));
        return;
    }
    const rolvet::TrackReadouts r = model.Readouts();
    const QString none = QStringLiteral("-");
    m_readouts[0]->setText(
        Tr(rolvet::str::kReadoutLength).arg(r.length ? Number(*r.length, 1) : none));
    if (r.minRadius && r.minRadiusSample) {
        // The tightest circle lies between the control points of its sample's segment.
        const std::int64_t segment = *r.minRadiusSample / model.Divisions();
        const std::int64_t points = model.SampleCount() / model.Divisions();
        m_readouts[1]->setText(Tr(rolvet::str::kReadoutMinRadius)
                                   .arg(Number(*r.minRadius, 1))
                                   .arg(segment)
                                   .arg((segment + 1) % points));
    } else {
        m_readouts[1]->setText(Tr(rolvet::str::kReadoutNoRadius));
    }
    m_readouts[2]->setText(Tr(rolvet::str::kReadoutHeight)
                               .arg(r.heightMin ? Number(*r.heightMin, 1) : none,
                                    r.heightMax ? Number(*r.heightMax, 1) : none));
    m_readouts[3]->setText(
        Tr(rolvet::str::kReadoutGrade).arg(r.maxGrade ? Number(*r.maxGrade * 100.0, 1) : none));
    const std::int64_t folds = r.folds.value_or(0);
    m_readouts[4]->setText(Tr(rolvet::str::kReadoutFolds).arg(folds));
    m_readouts[5]->setText(Tr(rolvet::str::kReadoutWidth)
                               .arg(r.widthMin ? Number(*r.widthMin, 1) : none,
                                    r.widthMax ? Number(*r.widthMax, 1) : none));
    m_readouts[6]->setText(
        Tr(rolvet::str::kReadoutBank).arg(r.bankMax ? Number(*r.bankMax, 1) : none));
    if (folds > 0) {
        m_readouts[4]->setStyleSheet(QStringLiteral("color: #d0104c; font-weight: bold;"));
    }
}

void CPreviewWindow::UpdateRacingReadout() {
    const CRacingLineService& racing = m_doc.RacingLine();
    m_racingReadout->setVisible(racing.IsEnabled());
    if (!racing.IsEnabled()) {
        return;
    }
    const rolvet::RacingLine& line = racing.Line();
    QString text;
    if (racing.IsBusy()) {
        text = Tr(rolvet::str::kReadoutRacingBusy);
    } else if (line.status == rolvet::RacingStatus::Ok) {
        text = Tr(rolvet::str::kReadoutRacingLine)
                   .arg(Number(line.length, 1),
                        line.minRadius ? Number(*line.minRadius, 1) : QStringLiteral("-"));
        if (!line.narrowSamples.empty()) {
            text +=
                QStringLiteral("  ") + Tr(rolvet::str::kReadoutRacingNarrow)
                                           .arg(static_cast<qlonglong>(line.narrowSamples.size()));
        }
    } else if (line.status == rolvet::RacingStatus::TooLarge) {
        text = Tr(rolvet::str::kRacingTooLarge);
    } else if (line.status != rolvet::RacingStatus::NoRoad) {
        text = Tr(rolvet::str::kRacingFailed);
    }
    m_racingReadout->setText(text);
}

void CPreviewWindow::RestoreGeometry() {
    const QByteArray geometry = OpenSettings().value(QLatin1String(kGeometryKey)).toByteArray();
    if (geometry.isEmpty() || !restoreGeometry(geometry)) {
        if (QWidget* main = parentWidget()) {
            // Beside the editor, but kept on the editor's screen where that is too narrow.
            QRect frame(main->frameGeometry().topRight() + QPoint(8, 0), frameGeometry().size());
            if (const QScreen* screen = main->screen()) {
                const QRect area = screen->availableGeometry();
                if (frame.right() > area.right()) {
                    frame.moveRight(area.right());
                }
                if (frame.left() < area.left()) {
                    frame.moveLeft(area.left());
                }
            }
            move(frame.topLeft());
        }
    }
}

bool CPreviewWindow::WasOpen() {
    return OpenSettings().value(QLatin1String(kOpenKey), false).toBool();
}

void CPreviewWindow::SaveState(bool open) const {
    QSettings settings = OpenSettings();
    settings.setValue(QLatin1String(kGeometryKey), saveGeometry());
    settings.setValue(QLatin1String(kOpenKey), open);
}

void CPreviewWindow::CloseWithMainWindow() {
    m_closingWithMain = true;
    close();
    m_closingWithMain = false;
}

void CPreviewWindow::closeEvent(QCloseEvent* event) {
    SaveState(m_closingWithMain);
    event->accept();
    emit closed();
}
