// What an engine needs besides the visible road to drive on it: a collision mesh, walls along
// the outer edges, a start line and checkpoints for lap timing, and the unit of length. Shared
// by the GLB and OBJ writers; every part is computed ring by ring from the road's mesh rings,
// so memory stays flat however long the road.
//
// Walls: at each outer edge (E on the plus side, G on the minus side) a vertical strip from the
// edge up by the wall height, facing the road. Its vertices per ring: E, E raised, G, G raised.
//
// Collision mesh: the road surface and kerbs as one closed loop (no texture seam, so ring j's
// successor of the last ring is ring 0): per ring E, A, B, G, then, with walls, E and G raised.
#pragma once

#include "export/RoadMesh.h"
#include "track/Vector3D.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace rolvet {

// Metres: the racing line keeps half of it from the outer edges.
inline constexpr double kDefaultVehicleWidth = 2.0;

struct GameExportOptions {
    double scale = 1.0;      // world units per metre: every length written is divided by it
    bool collision = false;  // a collision mesh "road-colonly"
    double wallHeight = 0.0; // metres; 0: no walls
    int checkpoints = 0;     // checkpoint nodes; 0: none
    int start = 0;           // the control point of the start line
    bool startGiven = false; // the start line was asked for by itself
    bool racingLine = false; // GLB: a node "racingline" (solved by the caller: RacingLineExport)
    double vehicleWidth = kDefaultVehicleWidth;

    bool Walls() const { return wallHeight > 0.0; }
    // Whether the file carries the game parts: the start node and the edge lines of the centre
    // line's extras (a change of scale alone only rescales).
    bool GameNodes() const { return collision || Walls() || checkpoints > 0 || startGiven; }
};

// The racing line as the GLB node "racingline" carries it: one point a road sample, in the
// track's unit, its closed length in the track's unit and the vehicle width it was solved for
// in metres. No samples: no node.
struct RacingLineExport {
    std::vector<CVector3D> samples;
    double length = 0.0;
    double vehicleWidth = 0.0;
};

inline constexpr int kWallVerticesPerRing = 4;
inline constexpr int kWallIndicesPerSample = 12;
inline constexpr int kMaxCheckpoints = 1000; // names count from checkpoint_000 to checkpoint_999

int CollisionVerticesPerRing(bool walls);
int CollisionIndicesPerSample(bool walls);

// A length of the track in the file's unit.
inline float Scaled(float value, double scale) {
    return scale == 1.0 ? value : static_cast<float>(static_cast<double>(value) / scale);
}
inline CVector3D Scaled(const CVector3D& p, double scale) {
    return {Scaled(p.x, scale), Scaled(p.y, scale), Scaled(p.z, scale)};
}

// From the kerb part's vertices of `rings` rings (E, A, B, G each): the walls' positions and
// normals (rise in track units), and the collision mesh's positions. Any output may be null.
void FillGameRings(const RoadMeshPart& kerb, std::size_t rings, float rise, float* wallPositions,
                   float* wallNormals, float* collisionPositions, bool walls);

// The triangles of samples first .. first + count − 1 of a closed loop of `samples` samples:
// the walls' (kWallIndicesPerSample each) and the collision mesh's.
void FillWallIndices(std::int64_t first, std::int64_t count, std::int64_t samples,
                     std::uint32_t* out);
void FillCollisionIndices(std::int64_t first, std::int64_t count, std::int64_t samples, bool walls,
                          std::uint32_t* out);

// The smallest and largest x, y, z of the walls' and of the collision mesh's positions, in the
// file's unit, exactly as they are written, from the bounds of the whole mesh.
std::array<CVector3D, 2> WallBounds(const RoadMeshBounds& bounds, float rise, double scale);
std::array<CVector3D, 2> CollisionBounds(const RoadMeshBounds& bounds, float rise, bool walls,
                                         double scale);

// A node of the start line or a checkpoint, in the file's unit: at the centre line, turned so
// that its −Z axis points along the driving direction and its +Y axis stays as upright as the
// road allows.
struct TimingNode {
    std::string name;
    std::array<double, 3> translation{};
    std::array<double, 4> rotation{0, 0, 0, 1}; // x, y, z, w
    double width = 0.0;                         // from outer edge to outer edge
    double distance = 0.0; // arc length from the start line in the driving direction
    int index = -1;        // checkpoints: 0, 1, ...; the start: -1
};

// The start node at sample startSample (0 <= startSample < S), then `checkpoints` nodes that
// divide the lap from there into checkpoints + 1 equal lengths, in driving order.
std::vector<TimingNode> TimingNodes(const CRoadMeshRings& rings, std::int64_t startSample,
                                    int checkpoints, double scale);

// The rotation (x, y, z, w) that turns −Z onto `forward` keeping +Y as near straight up as it
// can; no rotation where forward has no length.
std::array<double, 4> ForwardRotation(const CVector3D& forward);

} // namespace rolvet
