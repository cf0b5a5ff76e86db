#include "document/BackgroundDialog.h"

#include "common/Strings.h"
#include "document/NativePath.h"
#include "document/Prompts.h"
#include "document/RolvetDoc.h"
#include "document/Tr.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

namespace str = rolvet::str;

CImagePicker::CImagePicker(QWidget* parent) : QWidget(parent) {
    setFixedSize(400, 300);
    setCursor(Qt::CrossCursor);
}

void CImagePicker::SetImage(const QImage& image) {
    m_image = image;
    // Scaled once: a large photo is not scaled again at every repaint.
    m_shown = image.isNull() ? QImage()
                             : image.scaled(size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    update();
}

void CImagePicker::SetMarks(QPointF first, QPointF second) {
    m_marks[0] = first;
    m_marks[1] = second;
    update();
}

QRectF CImagePicker::Shown() const {
    const QSizeF s = m_shown.size();
    return {(width() - s.width()) / 2.0, (height() - s.height()) / 2.0, s.width(), s.height()};
}

QPointF CImagePicker::ToWidget(QPointF p) const {
    const QRectF r = Shown();
    if (m_image.isNull()) {
        return r.topLeft();
    }
    return {r.left() + p.x() * r.width() / m_image.width(),
            r.top() + p.y() * r.height() / m_image.height()};
}

QPointF CImagePicker::ToImage(QPointF p) const {
    const QRectF r = Shown();
    if (m_image.isNull() || r.isEmpty()) {
        return {};
    }
    return {(p.x() - r.left()) * m_image.width() / r.width(),
            (p.y() - r.top()) * m_image.height() / r.height()};
}

void CImagePicker::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (m_shown.isNull()) {
        return;
    }
    painter.drawImage(Shown().topLeft(), m_shown);
    const QColor colours[2] = {Qt::red, Qt::blue}; // as the plan marks the selected point
    for (int i = 0; i < 2; ++i) {
        const QPointF c = ToWidget(m_marks[i]);
        painter.setPen(QPen(colours[i], 1));
        painter.drawLine(c - QPointF(6, 0), c + QPointF(6, 0));
        painter.drawLine(c - QPointF(0, 6), c + QPointF(0, 6));
        painter.drawText(c + QPointF(4, -4), QString::number(i + 1));
    }
}

void CImagePicker::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && !m_image.isNull() &&
        Shown().contains(event->position())) {
        emit picked(ToImage(event->position()));
    }
}

namespace {

QDoubleSpinBox* NumberBox(QWidget* parent, const char* name, double value) {
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(-1e9, 1e9);
    box->setDecimals(3);
    box->setValue(value);
    box->setMinimumWidth(100);
    return box;
}

} // namespace

CBackgroundDialog::CBackgroundDialog(const std::optional<rolvet::BackgroundImage>& image,
                                     const QImage& pixels, QWidget* parent)
    : QDialog(parent), m_pixels(pixels) {
    setObjectName(QStringLiteral("CBackgroundDialog"));
    setWindowTitle(Tr(str::kBackgroundCaption));
    rolvet::BackgroundImage start;
    if (image) {
        start = *image;
        m_path = PathFromNative(image->path);
    }

    auto* layout = new QVBoxLayout(this);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(new QLabel(Tr(str::kBackgroundFileLabel), this));
    m_pFile = new QLineEdit(DisplayPath(m_path), this);
    m_pFile->setObjectName(QStringLiteral("editFile"));
    m_pFile->setReadOnly(true);
    fileRow->addWidget(m_pFile, 1);
    auto* browse = new QPushButton(Tr(str::kBackgroundBrowse), this);
    browse->setObjectName(QStringLiteral("buttonBrowse"));
    connect(browse, &QPushButton::clicked, this, &CBackgroundDialog::Browse);
    fileRow->addWidget(browse);
    layout->addLayout(fileRow);

    m_pPicker = new CImagePicker(this);
    m_pPicker->setObjectName(QStringLiteral("picker"));
    m_pPicker->SetImage(m_pixels);
    connect(m_pPicker, &CImagePicker::picked, this, &CBackgroundDialog::Pick);
    layout->addWidget(m_pPicker, 0, Qt::AlignHCenter);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(Tr(str::kBackgroundClickSets), this), 0, 0);
    grid->addWidget(new QLabel(Tr(str::kBackgroundImagePoint), this), 0, 1, 1, 2);
    grid->addWidget(new QLabel(Tr(str::kBackgroundWorldPoint), this), 0, 3, 1, 2);
    const char* pickNames[2] = {"radioPick1", "radioPick2"};
    const char* pointTexts[2] = {str::kBackgroundPoint1, str::kBackgroundPoint2};
    const char* imageNames[4] = {"editU1", "editV1", "editU2", "editV2"};
    const char* worldNames[4] = {"editX1", "editZ1", "editX2", "editZ2"};
    const double imageValues[4] = {start.u1, start.v1, start.u2, start.v2};
    const double worldValues[4] = {start.x1, start.z1, start.x2, start.z2};
    for (int i = 0; i < 2; ++i) {
        m_pPick[i] = new QRadioButton(Tr(pointTexts[i]), this);
        m_pPick[i]->setObjectName(QString::fromLatin1(pickNames[i]));
        grid->addWidget(m_pPick[i], i + 1, 0);
        for (int j = 0; j < 2; ++j) {
            const int k = 2 * i + j;
            m_pImage[k] = NumberBox(this, imageNames[k], imageValues[k]);
            connect(m_pImage[k], &QDoubleSpinBox::valueChanged, this,
                    &CBackgroundDialog::UpdateMarks);
            grid->addWidget(m_pImage[k], i + 1, 1 + j);
        }
    }
    // Two separate choices among the dialog's radio buttons.
    auto* pickGroup = new QButtonGroup(this);
    pickGroup->addButton(m_pPick[0]);
    pickGroup->addButton(m_pPick[1]);
    m_pPick[0]->setChecked(true);
    for (int k = 0; k < 2; ++k) {
        m_pWorld[k] = NumberBox(this, worldNames[k], worldValues[k]);
        grid->addWidget(m_pWorld[k], 1, 3 + k);
    }
    m_pByDistance = new QRadioButton(Tr(str::kBackgroundByDistance), this);
    m_pByDistance->setObjectName(QStringLiteral("radioDistance"));
    grid->addWidget(m_pByDistance, 3, 0);
    const double distance = std::hypot(start.x2 - start.x1, start.z2 - start.z1);
    m_pDistance = NumberBox(this, "editDistance", distance);
    m_pDistance->setMinimum(0.0);
    grid->addWidget(m_pDistance, 3, 1);
    m_pByPositions = new QRadioButton(Tr(str::kBackgroundByPositions), this);
    m_pByPositions->setObjectName(QStringLiteral("radioPositions"));
    grid->addWidget(m_pByPositions, 4, 0);
    for (int k = 2; k < 4; ++k) {
        m_pWorld[k] = NumberBox(this, worldNames[k], worldValues[k]);
        grid->addWidget(m_pWorld[k], 4, 1 + k);
    }
    auto* modeGroup = new QButtonGroup(this);
    modeGroup->addButton(m_pByDistance);
    modeGroup->addButton(m_pByPositions);
    // A placed picture keeps its two positions; a new one starts unrotated, by distance.
    (image ? m_pByPositions : m_pByDistance)->setChecked(true);
    connect(m_pByDistance, &QRadioButton::toggled, this, &CBackgroundDialog::UpdateMode);
    grid->addWidget(new QLabel(Tr(str::kBackgroundOpacity), this), 5, 0);
    m_pOpacity = new QSpinBox(this);
    m_pOpacity->setObjectName(QStringLiteral("spinOpacity"));
    m_pOpacity->setRange(0, 100);
    m_pOpacity->setSuffix(QStringLiteral(" %"));
    m_pOpacity->setValue(start.opacity);
    grid->addWidget(m_pOpacity, 5, 1);
    layout->addLayout(grid);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    auto* clear = buttons->addButton(Tr(str::kBackgroundClear), QDialogButtonBox::ResetRole);
    clear->setObjectName(QStringLiteral("buttonClear"));
    clear->setEnabled(image.has_value());
    connect(buttons, &QDialogButtonBox::accepted, this, &CBackgroundDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CBackgroundDialog::reject);
    connect(clear, &QPushButton::clicked, this, [this] {
        m_result.reset();
        m_pixels = QImage();
        QDialog::accept();
    });
    layout->addWidget(buttons);
    UpdateMode();
    UpdateMarks();
}

void CBackgroundDialog::UpdateMode() {
    const bool byDistance = m_pByDistance->isChecked();
    m_pDistance->setEnabled(byDistance);
    m_pWorld[2]->setEnabled(!byDistance);
    m_pWorld[3]->setEnabled(!byDistance);
}

void CBackgroundDialog::UpdateMarks() {
    m_pPicker->SetMarks({m_pImage[0]->value(), m_pImage[1]->value()},
                        {m_pImage[2]->value(), m_pImage[3]->value()});
}

void CBackgroundDialog::Pick(QPointF p) {
    const int i = m_pPick[1]->isChecked() ? 1 : 0;
    m_pImage[2 * i]->setValue(p.x());
    m_pImage[2 * i + 1]->setValue(p.y());
    // The next click places the other point.
    m_pPick[1 - i]->setChecked(true);
}

void CBackgroundDialog::Browse() {
    FileDialogRequest request;
    request.caption = Tr(str::kBackgroundCaption);
    request.filters = {Tr(str::kBackgroundFilter)};
    request.proposedPath = m_path;
    const QString path = ResolveLossyPath(Prompts().AskFileName(this, request));
    if (!path.isEmpty()) {
        LoadFile(path);
    }
}

bool CBackgroundDialog::LoadFile(const QString& path) {
    const QString full = QFileInfo(path).absoluteFilePath();
    QImage pixels = CRolvetDoc::ReadBackgroundPixels(full);
    if (pixels.isNull()) {
        Prompts().ShowMessage(this, Tr(str::kBackgroundUnreadable).arg(DisplayPath(full)));
        return false;
    }
    const bool first = m_path.isEmpty();
    m_path = full;
    m_pixels = std::move(pixels);
    m_pFile->setText(DisplayPath(full));
    m_pPicker->SetImage(m_pixels);
    if (first) {
        // A first picture: its top corners, one world unit per pixel, the top-left corner at
        // the world origin.
        m_pImage[0]->setValue(0.0);
        m_pImage[1]->setValue(0.0);
        m_pImage[2]->setValue(m_pixels.width());
        m_pImage[3]->setValue(0.0);
        m_pDistance->setValue(m_pixels.width());
    }
    UpdateMarks();
    return true;
}

void CBackgroundDialog::accept() {
    if (m_pixels.isNull() && m_path.isEmpty()) {
        Prompts().ShowMessage(this, Tr(str::kBackgroundNoImage));
        return;
    }
    rolvet::BackgroundImage image;
    image.path = PathToNative(m_path);
    image.u1 = m_pImage[0]->value();
    image.v1 = m_pImage[1]->value();
    image.u2 = m_pImage[2]->value();
    image.v2 = m_pImage[3]->value();
    image.x1 = m_pWorld[0]->value();
    image.z1 = m_pWorld[1]->value();
    image.opacity = m_pOpacity->value();
    if (m_pByDistance->isChecked()) {
        const auto second = rolvet::PointAtDistance(image, m_pDistance->value());
        if (m_pDistance->value() <= 0.0) {
            Prompts().ShowMessage(this, Tr(str::kBackgroundBadDistance));
            m_pDistance->setFocus();
            return;
        }
        if (second) {
            image.x2 = second->first;
            image.z2 = second->second;
        }
    } else {
        image.x2 = m_pWorld[2]->value();
        image.z2 = m_pWorld[3]->value();
    }
    const auto placement = rolvet::PlaceImage(image);
    if (!placement || (placement->a == 0.0 && placement->b == 0.0)) {
        // Two image points in one place, or two world positions in one: no scale follows.
        Prompts().ShowMessage(this, Tr(str::kBackgroundSamePoints));
        return;
    }
    m_result = std::move(image);
    QDialog::accept();
}
