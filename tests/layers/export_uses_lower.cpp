// Compiles: the export layer reaches the track and common layers below it.
#include "common/AtomicFile.h"
#include "export/RoadMesh.h"
#include "track/TrackFile.h"
