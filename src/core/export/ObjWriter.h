// The road as a Wavefront OBJ model with its MTL material library: the fallback every 3D tool
// reads. Two groups with the materials "road" and "kerb" whose texture images lie beside the
// model. Numbers never depend on the process locale.
#pragma once

#include "export/ByteSink.h"
#include "export/ExportProgress.h"
#include "export/GameParts.h"
#include "export/RoadMesh.h"

#include <string>
#include <string_view>

namespace rolvet {

// Writes the OBJ text of the road whose rings are given; their vertices must be finite. mtlName
// is the material library's file name as the model refers to it. The text streams out in
// blocks; progress is told the work done out of its total and may cancel. Failed carries the
// sink's cause.
// With game options: positions in the file's unit, the walls as group "wall" (material "wall",
// no texture coordinates) and the collision mesh as object "road-colonly" (positions only).
WriteResult WriteObj(CByteSink& sink, const CRoadMeshRings& rings, std::string_view mtlName,
                     const ExportProgress& progress = {}, const GameExportOptions& game = {});

// The material library: "road" and "kerb" with the named texture images, lit by the diffuse
// colour only (no ambient term, which engines would add as flat light).
// With wall, also "wall" in a plain light grey.
std::string MtlText(std::string_view roadImage, std::string_view kerbImage, bool wall = false);

} // namespace rolvet
