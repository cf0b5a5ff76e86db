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

// The bands of the texture file at source as PNG data; empty when it cannot be read. The bands
// last made are kept with the file's bytes and given again while the file's bytes stay the same
// (an editor exports with one texture again and again); `reuse` false makes them anew.
rolvet::RoadTextureImages LoadRoadTextureImages(const QString& source, bool reuse = true);
