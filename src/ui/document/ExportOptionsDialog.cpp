#include "document/ExportOptionsDialog.h"

#include "common/Strings.h"
#include "document/DialogUnits.h"
#include "document/Tr.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QSettings Settings() {
    return QSettings(QString::fromUtf8(rolvet::str::kSettingsOrganization),
                     QString::fromUtf8(rolvet::str::kSettingsApplication));
}

constexpr const char* kScaleKey = "export/scale";
constexpr const char* kCollisionKey = "export/collision";
constexpr const char* kWallsKey = "export/wallHeight";
constexpr const char* kCheckpointsKey = "export/checkpoints";
constexpr const char* kStartKey = "export/start";
constexpr const char* kRacingLineKey = "export/racingLine";
constexpr const char* kVehicleWidthKey = "export/vehicleWidth";

} // namespace

CExportOptionsDialog::CExportOptionsDialog(std::size_t pointCount, Target target, QWidget* parent)
    : QDialog(parent), m_target(target) {
    const bool glb = target == Target::Glb;
    const bool csv = target == Target::RacingLineCsv;
    setObjectName(QStringLiteral("ExportOptionsDialog"));
    setWindowTitle(Tr(rolvet::str::kExportOptionsCaption));
    setFont(DialogFont(9));
    const QSettings settings = Settings();

    m_scale = new QDoubleSpinBox(this);
    m_scale->setObjectName(QStringLiteral("editScale"));
    m_scale->setDecimals(3);
    m_scale->setRange(0.001, 1000000.0);
    m_scale->setValue(settings.value(kScaleKey, 1.0).toDouble());

    m_collision = new QCheckBox(Tr(rolvet::str::kExportCollision), this);
    m_collision->setObjectName(QStringLiteral("checkCollision"));
    m_collision->setChecked(settings.value(kCollisionKey, false).toBool());

    m_walls = new QDoubleSpinBox(this);
    m_walls->setObjectName(QStringLiteral("editWalls"));
    m_walls->setDecimals(2);
    m_walls->setRange(0.0, 1000.0);
    m_walls->setValue(settings.value(kWallsKey, 0.0).toDouble());

    m_checkpoints = new QSpinBox(this);
    m_checkpoints->setObjectName(QStringLiteral("editCheckpoints"));
    m_checkpoints->setRange(0, rolvet::kMaxCheckpoints);
    m_checkpoints->setValue(settings.value(kCheckpointsKey, 0).toInt());

    const int lastPoint = static_cast<int>(std::max<std::size_t>(pointCount, 1) - 1);
    m_start = new QSpinBox(this);
    m_start->setObjectName(QStringLiteral("editStart"));
    m_start->setRange(0, lastPoint);
    const int start = settings.value(kStartKey, 0).toInt();
    m_start->setValue(start <= lastPoint ? start : 0);

    m_racingLine = new QCheckBox(Tr(rolvet::str::kExportRacingLine), this);
    m_racingLine->setObjectName(QStringLiteral("checkRacingLine"));
    m_racingLine->setChecked(csv || (glb && settings.value(kRacingLineKey, false).toBool()));
    m_racingLine->setEnabled(glb || csv);

    m_vehicleWidth = new QDoubleSpinBox(this);
    m_vehicleWidth->setObjectName(QStringLiteral("editVehicleWidth"));
    m_vehicleWidth->setDecimals(2);
    m_vehicleWidth->setRange(0.0, 100.0);
    m_vehicleWidth->setValue(
        settings.value(kVehicleWidthKey, rolvet::kDefaultVehicleWidth).toDouble());
    m_vehicleWidth->setEnabled(m_racingLine->isChecked());
    connect(m_racingLine, &QCheckBox::toggled, m_vehicleWidth, &QWidget::setEnabled);

    auto* form = new QFormLayout;
    form->addRow(Tr(rolvet::str::kExportScale), m_scale);
    form->addRow(QString(), m_collision);
    form->addRow(Tr(rolvet::str::kExportWalls), m_walls);
    form->addRow(Tr(rolvet::str::kExportCheckpoints), m_checkpoints);
    form->addRow(Tr(rolvet::str::kExportStart), m_start);
    form->addRow(QString(), m_racingLine);
    form->addRow(Tr(rolvet::str::kExportVehicleWidth), m_vehicleWidth);
    if (csv) {
        // The CSV holds the racing line alone: only its vehicle width is asked.
        for (int row = form->rowCount() - 2; row >= 0; --row) {
            form->setRowVisible(row, false);
        }
    }

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(Tr(rolvet::str::kOk), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("button1"));
    ok->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(Tr(rolvet::str::kCancel), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("button2"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setFixedSize(sizeHint());
}

rolvet::GameExportOptions CExportOptionsDialog::Options() const {
    rolvet::GameExportOptions options;
    options.scale = m_scale->value();
    options.collision = m_collision->isChecked();
    options.wallHeight = m_walls->value();
    options.checkpoints = m_checkpoints->value();
    options.start = m_start->value();
    options.startGiven = options.start != 0;
    options.racingLine = m_racingLine->isEnabled() && m_racingLine->isChecked();
    options.vehicleWidth = m_vehicleWidth->value();
    return options;
}

void CExportOptionsDialog::accept() {
    QSettings settings = Settings();
    settings.setValue(kVehicleWidthKey, m_vehicleWidth->value());
    if (m_target == Target::RacingLineCsv) {
        QDialog::accept();
        return;
    }
    settings.setValue(kScaleKey, m_scale->value());
    settings.setValue(kCollisionKey, m_collision->isChecked());
    settings.setValue(kWallsKey, m_walls->value());
    settings.setValue(kCheckpointsKey, m_checkpoints->value());
    settings.setValue(kStartKey, m_start->value());
    // An OBJ export leaves the racing line's choice as the last GLB export made it.
    if (m_target == Target::Glb) {
        settings.setValue(kRacingLineKey, m_racingLine->isChecked());
    }
    QDialog::accept();
}
