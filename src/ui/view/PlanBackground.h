// The picture under the plan, drawn with the plan's own transform so that it zooms and pans
// with the track.
#pragma once

#include "track/BackgroundImage.h"
#include "view/PlanTransform.h"

#include <QImage>
#include <QRegion>
#include <QTransform>

#include <vector>

class QPainter;

namespace rolvet::plan {

// Picture pixels to client pixels for a placement at the plan's zoom and centre.
QTransform PictureToClient(const ImagePlacement& placement, float scale, Centre c);

// Draws the whole picture through that transform, with the opacity in percent, as the plain
// way to do it: every pixel of the picture is a source of every paint.
void PaintBackgroundStraight(QPainter& painter, const QImage& picture,
                             const ImagePlacement& placement, int opacity, float scale, Centre c);

// The picture composed over the background colour. Two things keep a repaint fast whatever the
// picture's size: copies of the picture halved again and again, of which a paint takes the one
// nearest to the zoom, so it reads about one picture pixel per client pixel; and the composed
// frame, kept while the picture, its placement, the zoom, the pan and the size stay the same, so
// a repaint for a change of the track alone only copies it; a pan by whole pixels moves it and
// draws only the strips that come into view.
class CPlanBackground {
public:
    // Fills frame (32-bit) with the background colour and the picture over it.
    void Paint(QImage& frame, const QImage& picture, const ImagePlacement& placement, int opacity,
               float scale, Centre c);

private:
    struct Key {
        qint64 picture = 0;
        int opacity = -1;
        double a = 0, b = 0, tx = 0, tz = 0;
        float scale = 0;
        int cx = 0, cy = 0;
        double panX = 0, panY = 0;
        QSize size;
        friend bool operator==(const Key&, const Key&) = default;
    };
    const QImage& Level(const QImage& picture, double minification);
    // Draws the picture into the composed frame, only within area.
    void Compose(const QImage& picture, const ImagePlacement& placement, int opacity, float scale,
                 Centre c, const QRegion& area);

    qint64 m_pictureKey = 0;
    std::vector<QImage> m_halves; // m_halves[k] has the picture's size halved k + 1 times
    Key m_key;
    QImage m_composed;
};

} // namespace rolvet::plan
