// The dialog "下絵": chooses the picture under the plan and places it. Two points are clicked
// on the picture (or typed in its pixels); the first gets a world position, the second either
// lies a given distance from it, the picture unrotated, or gets a world position of its own,
// which turns the picture too. The opacity is in percent. The command applies the result.
//
// Object names: "editFile", "buttonBrowse", "picker", "radioPick1", "radioPick2",
// "editU1", "editV1", "editU2", "editV2", "editX1", "editZ1", "radioDistance", "editDistance",
// "radioPositions", "editX2", "editZ2", "spinOpacity", "buttonClear", "buttonBox".
#pragma once

#include "track/BackgroundImage.h"

#include <QDialog>
#include <QImage>

#include <optional>

class QDoubleSpinBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;

// Shows a picture scaled to fit and reports clicks in the picture's own pixels.
class CImagePicker : public QWidget {
    Q_OBJECT

public:
    explicit CImagePicker(QWidget* parent = nullptr);
    void SetImage(const QImage& image);
    void SetMarks(QPointF first, QPointF second);
    // Where picture pixel (u, v) is shown, and the reverse.
    QPointF ToWidget(QPointF imagePoint) const;
    QPointF ToImage(QPointF widgetPoint) const;

signals:
    void picked(QPointF imagePoint);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QRectF Shown() const;

    QImage m_image;
    QImage m_shown; // m_image scaled once to the widget
    QPointF m_marks[2];
};

class CBackgroundDialog : public QDialog {
    Q_OBJECT

public:
    CBackgroundDialog(const std::optional<rolvet::BackgroundImage>& image, const QImage& pixels,
                      QWidget* parent = nullptr);

    // After OK: the picture and its placement, nullopt after 下絵を外す.
    const std::optional<rolvet::BackgroundImage>& Image() const { return m_result; }
    const QImage& Pixels() const { return m_pixels; }

    // Takes a picture file; a file that is no readable PNG or JPEG gives a message and keeps
    // the picture there was.
    bool LoadFile(const QString& path);

    // Checks the placement; a problem gives a message and the dialog stays open.
    void accept() override;

private:
    void Browse();
    void Pick(QPointF imagePoint);
    void UpdateMarks();
    void UpdateMode();

    QImage m_pixels;
    QString m_path;
    std::optional<rolvet::BackgroundImage> m_result;
    QLineEdit* m_pFile = nullptr;
    CImagePicker* m_pPicker = nullptr;
    QRadioButton* m_pPick[2] = {};
    QDoubleSpinBox* m_pImage[4] = {}; // u1, v1, u2, v2
    QDoubleSpinBox* m_pWorld[4] = {}; // x1, z1, x2, z2
    QDoubleSpinBox* m_pDistance = nullptr;
    QRadioButton* m_pByDistance = nullptr;
    QRadioButton* m_pByPositions = nullptr;
    QSpinBox* m_pOpacity = nullptr;
};
