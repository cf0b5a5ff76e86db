#include "view/PlanBackground.h"

#include "view/PlanPainter.h"

#include <QPainter>

#include <cmath>
#include <cstring>

namespace rolvet::plan {

QTransform PictureToClient(const ImagePlacement& p, float scale, Centre c) {
    // The same origin as WorldToPixel: float(cx) + panX, world units divided by the zoom.
    const double s = scale;
    const double ox = static_cast<double>(static_cast<float>(c.cx)) + c.panX;
    const double oy = static_cast<double>(static_cast<float>(c.cy)) + c.panY;
    return {p.a / s, p.b / s, -p.b / s, p.a / s, ox + p.tx / s, oy + p.tz / s};
}

void PaintBackgroundStraight(QPainter& painter, const QImage& picture,
                             const ImagePlacement& placement, int opacity, float scale, Centre c) {
    painter.save();
    painter.setOpacity(opacity / 100.0);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.setTransform(PictureToClient(placement, scale, c));
    painter.drawImage(0, 0, picture);
    painter.restore();
}

const QImage& CPlanBackground::Level(const QImage& picture, double minification) {
    if (picture.cacheKey() != m_pictureKey) {
        m_pictureKey = picture.cacheKey();
        m_halves.clear();
    }
    // Halve while a level still has two or more of its pixels on every client pixel.
    const QImage* level = &picture;
    std::size_t k = 0;
    while (minification >= 2.0 && level->width() > 1 && level->height() > 1) {
        if (k == m_halves.size()) {
            m_halves.push_back(level->scaled(std::max(1, level->width() / 2),
                                             std::max(1, level->height() / 2),
                                             Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        }
        level = &m_halves[k++];
        minification /= 2.0;
    }
    return *level;
}

void CPlanBackground::Paint(QImage& frame, const QImage& picture, const ImagePlacement& placement,
                            int opacity, float scale, Centre c) {
    const Key key{picture.cacheKey(),
                  opacity,
                  placement.a,
                  placement.b,
                  placement.tx,
                  placement.tz,
                  scale,
                  c.cx,
                  c.cy,
                  c.panX,
                  c.panY,
                  frame.size()};
    if (!(key == m_key) || m_composed.format() != frame.format()) {
        m_composed = QImage(frame.size(), frame.format());
        m_composed.fill(QColor::fromRgb(kBackgroundColour));
        const QTransform toClient = PictureToClient(placement, scale, c);
        // Client pixels per picture pixel; a level with fewer pixels covers the same area.
        const double magnification =
            std::hypot(placement.a, placement.b) / static_cast<double>(scale);
        if (std::isfinite(magnification) && magnification > 0.0 && !picture.isNull()) {
            const QImage& level = Level(picture, 1.0 / magnification);
            const QTransform toPicture = QTransform::fromScale(
                double(picture.width()) / level.width(), double(picture.height()) / level.height());
            QPainter painter(&m_composed);
            painter.setOpacity(opacity / 100.0);
            painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
            painter.setTransform(toPicture * toClient);
            painter.drawImage(0, 0, level);
        }
        m_key = key;
    }
    if (frame.bytesPerLine() == m_composed.bytesPerLine()) {
        std::memcpy(frame.bits(), m_composed.constBits(), m_composed.sizeInBytes());
    } else {
        frame = m_composed.copy();
    }
}

} // namespace rolvet::plan
