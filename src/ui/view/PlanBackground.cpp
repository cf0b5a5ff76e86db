#include "view/PlanBackground.h"

#include "view/PlanPainter.h"

#include <QPainter>
#include <QRegion>

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

void CPlanBackground::Compose(const QImage& picture, const ImagePlacement& placement, int opacity,
                              float scale, Centre c, const QRegion& area) {
    // Client pixels per picture pixel; a level with fewer pixels covers the same area.
    const double magnification = std::hypot(placement.a, placement.b) / static_cast<double>(scale);
    if (area.isEmpty() || !std::isfinite(magnification) || !(magnification > 0.0) ||
        picture.isNull()) {
        return;
    }
    const QImage& level = Level(picture, 1.0 / magnification);
    const QTransform toPicture = QTransform::fromScale(double(picture.width()) / level.width(),
                                                       double(picture.height()) / level.height());
    QPainter painter(&m_composed);
    painter.setClipRegion(area);
    painter.setOpacity(opacity / 100.0);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.setTransform(toPicture * PictureToClient(placement, scale, c));
    painter.drawImage(0, 0, level);
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
    Key unpanned = m_key;
    unpanned.panX = key.panX;
    unpanned.panY = key.panY;
    const double dx = key.panX - m_key.panX, dy = key.panY - m_key.panY;
    const QRect all(QPoint(0, 0), frame.size());
    if (m_composed.format() != frame.format() || !(unpanned == key)) {
        m_composed = QImage(frame.size(), frame.format());
        m_composed.fill(QColor::fromRgb(kBackgroundColour));
        Compose(picture, placement, opacity, scale, c, QRegion(all));
    } else if (!(key == m_key)) {
        if (dx == std::trunc(dx) && dy == std::trunc(dy) && std::abs(dx) < all.width() &&
            std::abs(dy) < all.height()) {
            // Moved by whole pixels, as by a drag of the plan: what was drawn moves along and
            // only the strips that come into view are drawn.
            const QPoint by(static_cast<int>(dx), static_cast<int>(dy));
            QImage moved(frame.size(), frame.format());
            moved.fill(QColor::fromRgb(kBackgroundColour));
            {
                QPainter painter(&moved);
                painter.drawImage(by, m_composed);
            }
            m_composed = std::move(moved);
            Compose(picture, placement, opacity, scale, c,
                    QRegion(all).subtracted(QRegion(all.translated(by))));
        } else {
            m_composed.fill(QColor::fromRgb(kBackgroundColour));
            Compose(picture, placement, opacity, scale, c, QRegion(all));
        }
    }
    m_key = key;
    if (frame.bytesPerLine() == m_composed.bytesPerLine()) {
        std::memcpy(frame.bits(), m_composed.constBits(), m_composed.sizeInBytes());
    } else {
        frame = m_composed.copy();
    }
}

} // namespace rolvet::plan
