// The texture images of the engine formats, cut from the road texture. The road texture packs
// the kerb band (v 0 to 0.24) and the road surface (u and v 0.26 to 1) in one image; engines
// repeat a texture along the road, which needs each band in an image of its own.
#pragma once

#include "export/GlbWriter.h"

#include <QImage>
#include <QString>

// The two bands of texture, each scaled to power-of-two sides (so every engine can repeat and
// mipmap it; the surface stays square). A null image gives two null images.
struct RoadTextureBandImages {
    QImage road;
    QImage kerb;
};
RoadTextureBandImages CutRoadTextureBands(const QImage& texture);

// The bands of the texture file at source as PNG data; empty when it cannot be read.
rolvet::RoadTextureImages LoadRoadTextureImages(const QString& source);
