// The road as a Wavefront OBJ model with its MTL material library: the fallback every 3D tool
// reads. Two groups with the materials "road" and "kerb" whose texture images lie beside the
// model. Numbers never depend on the process locale.
#pragma once

#include "export/ByteSink.h"
#include "export/ExportProgress.h"
#include "export/RoadMesh.h"

#include <string>
#include <string_view>

namespace rolvet {

// Writes the OBJ text of a built mesh whose positions are finite; mtlName is the material
// library's file name as the model refers to it. progress is told the rings and triangles
// written out of their total and may cancel.
WriteOutcome WriteObj(CByteSink& sink, const RoadMesh& mesh, std::string_view mtlName,
                      const ExportProgress& progress = {});

// The material library: "road" and "kerb" with the named texture images.
std::string MtlText(std::string_view roadImage, std::string_view kerbImage);

} // namespace rolvet
