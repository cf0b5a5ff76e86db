// The dialog "書き出しオプション", shown after the file dialog for GLB and OBJ: the unit, the
// collision mesh, the walls, the checkpoints and the start line of a game-ready export, and for
// GLB the racing line with its vehicle width (greyed out for OBJ). For the racing line's CSV
// file it asks for the vehicle width alone. What
// was chosen is remembered for the next export; a start beyond the track's last control point
// falls back to point 0. Left as shown at first, it writes the plain road.
//
// Object names: "ExportOptionsDialog", "editScale", "checkCollision", "editWalls",
// "editCheckpoints", "editStart", "checkRacingLine", "editVehicleWidth", "button1" (OK),
// "button2" (キャンセル).
#pragma once

#include "export/GameParts.h"

#include <QDialog>

#include <cstddef>

class QCheckBox;
class QDoubleSpinBox;
class QSpinBox;

class CExportOptionsDialog : public QDialog {
    Q_OBJECT

public:
    enum class Target { Glb, Obj, RacingLineCsv };

    // pointCount: the control points of the track, for the start line's range.
    CExportOptionsDialog(std::size_t pointCount, Target target, QWidget* parent = nullptr);

    // The options as the dialog shows them.
    rolvet::GameExportOptions Options() const;

    // Remembers the options shown, then closes.
    void accept() override;

private:
    Target m_target;
    QDoubleSpinBox* m_scale = nullptr;
    QCheckBox* m_collision = nullptr;
    QDoubleSpinBox* m_walls = nullptr;
    QSpinBox* m_checkpoints = nullptr;
    QSpinBox* m_start = nullptr;
    QCheckBox* m_racingLine = nullptr;
    QDoubleSpinBox* m_vehicleWidth = nullptr;
};
