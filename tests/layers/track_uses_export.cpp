// Must not compile: the track layer does not link the export layer.
#include "export/RoadMesh.h"
