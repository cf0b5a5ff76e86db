// The road as a binary glTF 2.0 file (".glb"): one file holding the JSON scene description and
// one binary buffer with the mesh and both texture images, ready to drop into a game engine.
//
// Scene: node "road" with the two-material mesh of RoadMesh, and node "centerline" whose extras
// give game code the centre line: "samples" (the n·d centre points [x, y, z] in order),
// "closed": true, "width", "divisions" and "controlPoints"; a road with a shape of its own adds
// "widthLeft", "widthRight" and "bank", one number a sample; the game parts follow when asked.
#pragma once

#include "export/ByteSink.h"
#include "export/ExportProgress.h"
#include "export/GameParts.h"
#include "export/GltfScene.h"
#include "export/RoadMesh.h"
#include "track/Vector3D.h"

#include <cstdint>
#include <span>
#include <string>

namespace rolvet {

// The two texture images, PNG-encoded: the surface band and the kerb band of the road texture.
// Empty strings: no images; the materials then have a plain colour.
struct RoadTextureImages {
    std::string road;
    std::string kerb;

    bool Empty() const { return road.empty() || kerb.empty(); }
};

// What the file says about the track besides the mesh.
struct RoadModelInfo {
    std::span<const CVector3D> controlPoints;
    int roadWidth = 0;
    int divisions = 0;
};

// An upper bound of the GLB's size for a road of `samples` samples and `pointCount` control
// points, known before anything is computed; a shaped road writes three more numbers a sample,
// a racing line three more.
std::uint64_t GlbBytesBound(std::int64_t samples, std::size_t pointCount,
                            const RoadTextureImages& textures, const GameExportOptions& game = {},
                            bool shaped = false, bool racingLine = false);

// Writes the GLB of the road whose rings are given; their vertices must be finite. The mesh
// streams out in small pieces: memory use does not grow with the road. progress is told bytes
// written out of the file's length and may cancel. Failed when the sink refuses bytes (with its
// cause) or the file would exceed kMaxGlbBytes. Both textures repeat in both directions; the
// across-road texture coordinates keep half a texel from the images' edges.
//
// With game options (GameParts.h): lengths in the file's unit; walls as a third primitive of
// the road mesh with the plain material "wall"; the collision mesh as node and mesh
// "road-colonly" (positions only, no material); nodes "start" and "checkpoint_000" ... with
// extras {"width"} and {"index", "width", "distance"}; the centre line's extras gain "edgeLeft"
// and "edgeRight". With a racing line, a node "racingline" whose extras give its "samples"
// (one point a road sample), "closed": true, "vehicleWidth" and "length". Failed (status ok)
// for options out of range, or a racing line with another number of samples than the road.
WriteResult WriteGlb(CByteSink& sink, const CRoadMeshRings& rings, const RoadModelInfo& info,
                     const RoadTextureImages& textures, const ExportProgress& progress = {},
                     const GameExportOptions& game = {}, const RacingLineExport& racing = {});

} // namespace rolvet
