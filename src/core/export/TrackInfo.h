// The readouts of a track as text for the command line (--info).
#pragma once

#include "export/RoadModel.h"

#include <cstddef>
#include <string>

namespace rolvet {

// The readouts of a track as one JSON object: "points", "divisions", "width", "samples",
// "length", "minRadius", "minRadiusSample", "heightMin", "heightMax", "maxGrade", "folds" and
// "foldSamples", then "widthMin", "widthMax" and "bankMax"; the geometric fields are null when the
// road has no samples. Numbers are written independently of the process locale.
std::string TrackInfoJson(std::size_t pointCount, int divisions, int width,
                          const CRoadModel& model);

} // namespace rolvet
