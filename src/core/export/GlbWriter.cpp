#include "export/GlbWriter.h"

#include "common/Strings.h"
#include "export/GameParts.h"
#include "export/GltfScene.h"
#include "export/Parallel.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rolvet {

namespace {

constexpr std::size_t kHeaderBytes = 12;
constexpr std::size_t kChunkHeaderBytes = 8;
// The longest number one coordinate of the extras takes, with its separator.
constexpr std::uint64_t kMaxCoordinateChars = 18;
// Rings computed at a time while the binary chunk streams out. Each part's piece is written in
// one call, and the file system takes writes of a few hundred kilobytes much faster than many
// small ones.
constexpr std::int64_t kRingsPerPiece = 4096;
// Interleaved vertex: position, normal, texture coordinate.
constexpr std::uint64_t kFloatsPerVertex = 8;

std::uint64_t Padded(std::uint64_t size) {
    return (size + 3) & ~std::uint64_t{3};
}

// The height in pixels of a PNG image, read from its header; 0 when it is not a PNG.
std::uint32_t PngHeight(std::string_view png) {
    constexpr std::string_view kSignature = "\x89PNG\r\n\x1a\n";
    if (png.size() < 24 || png.substr(0, 8) != kSignature || png.substr(12, 4) != "IHDR") {
        return 0;
    }
    std::uint32_t height = 0;
    for (int i = 20; i < 24; ++i) {
        height = height << 8 | static_cast<unsigned char>(png[static_cast<std::size_t>(i)]);
    }
    return height;
}

// How far the across-road texture coordinate stays from the image's top and bottom edges:
// half a texel, so that a repeating sampler never blends in the opposite edge's texels.
float HalfTexel(std::string_view png) {
    const std::uint32_t height = PngHeight(png);
    return height > 0 ? 0.5f / static_cast<float>(height) : 0.0f;
}

// Interleaved vertices of `count` rings, positions in the file's unit, v inset by `inset` at
// both edges: the road part's (A at v = 0, B at v = 1) into road, the kerb part's (E 1, A 0,
// B 0, G 1) into kerb.
void Interleave(const MeshRing* rings, std::size_t count, float roadInset, float kerbInset,
                double scale, float* road, float* kerb) {
    auto put = [scale](float* o, const CVector3D& p, const MeshRing& ring, float v) {
        *o++ = Scaled(p.x, scale);
        *o++ = Scaled(p.y, scale);
        *o++ = Scaled(p.z, scale);
        *o++ = ring.up.x;
        *o++ = ring.up.y;
        *o++ = ring.up.z;
        *o++ = ring.u;
        *o = v;
    };
    const float roadFar = roadInset + 1.0f * (1.0f - 2.0f * roadInset);
    const float kerbFar = kerbInset + 1.0f * (1.0f - 2.0f * kerbInset);
    for (std::size_t r = 0; r < count; ++r) {
        const MeshRing& ring = rings[r];
        const auto& [a, b, e, g] = ring.vertices;
        float* o = road + 2 * kFloatsPerVertex * r;
        put(o, a, ring, roadInset);
        put(o + kFloatsPerVertex, b, ring, roadFar);
        o = kerb + 4 * kFloatsPerVertex * r;
        put(o, e, ring, kerbFar);
        put(o + kFloatsPerVertex, a, ring, kerbInset);
        put(o + 2 * kFloatsPerVertex, b, ring, kerbInset);
        put(o + 3 * kFloatsPerVertex, g, ring, kerbFar);
    }
}

// What the file holds besides the road and the kerbs, and in which unit.
struct GameLayout {
    double scale = 1.0;
    bool walls = false;
    bool collision = false;
    float rise = 0.0f; // the wall height in the track's unit
};

// Slots for pieces made ahead on the cores while earlier ones are written (PipelinePieces): two
// a thread, so that a thread that waits for a core, or a piece that takes longer, leaves the
// others room to go on.
template <typename Slot> std::vector<Slot> PieceSlots() {
    return std::vector<Slot>(2 * PipelineThreads());
}

// Runs the pipeline over `count` pieces; the first failed write stops it and is the result.
template <typename Slot, typename Make, typename Write>
WriteResult WritePieces(std::size_t count, Make&& make, Write&& write) {
    std::vector<Slot> buffers = PieceSlots<Slot>();
    WriteResult result;
    PipelinePieces(count, std::span<Slot>(buffers), make, [&](std::size_t i, Slot& slot) {
        result = write(i, slot);
        return result.Written();
    });
    return result;
}

// One piece of the mesh: the interleaved vertices and the indices of every part, and the bounds
// of its rings.
struct MeshPiece {
    std::vector<float> vertices[4];
    std::size_t floats[4] = {};
    std::vector<std::uint32_t> indices[4];
    RoadMeshBounds bounds;
};

// What one thread computes a piece of vertices from.
struct VertexScratch {
    std::vector<MeshRing> rings;
    RoadMeshPart kerb; // positions only, for the walls and the collision mesh
    std::vector<float> wallPositions, wallNormals;
};

// The vertices and the indices of every part in one walk along the road, piece by piece: the
// road part, the kerb part, then the walls' (positions and normals) and the collision mesh's
// (positions) where asked, each part's vertices followed by its indices, through the joint
// producer's views in that order. Walls and collision mesh close the loop by their indices and so
// leave out the last ring, which repeats the first. The pieces are computed on the cores while
// the ones before them are written; `bounds` gathers the bounds of every ring.
WriteResult WriteMesh(CGlbOutput& out, const CRoadMeshRings& rings, float roadInset,
                      float kerbInset, const GameLayout& game, RoadMeshBounds& bounds) {
    const auto collisionPerRing = static_cast<std::size_t>(CollisionVerticesPerRing(game.walls));
    const std::int64_t samples = rings.Samples();
    std::vector<VertexScratch> scratch(PipelineThreads());
    const std::int64_t ringCount = samples + 1;
    const auto pieces = static_cast<std::size_t>((ringCount + kRingsPerPiece - 1) / kRingsPerPiece);
    auto make = [&](std::size_t i, MeshPiece& piece, std::size_t worker) {
        VertexScratch& own = scratch[worker];
        const std::int64_t first = static_cast<std::int64_t>(i) * kRingsPerPiece;
        const std::int64_t count = std::min(kRingsPerPiece, ringCount - first);
        const auto n = static_cast<std::size_t>(count);
        // The samples whose triangles start on these rings: all but the closing ring S.
        const std::int64_t owned = std::min(count, samples - first);
        const auto m = static_cast<std::size_t>(owned);
        own.rings.resize(kRingsPerPiece);
        rings.Rings(first, count, own.rings.data());
        piece.bounds = {};
        piece.bounds.Add(own.rings.data(), n);
        piece.vertices[0].resize(kFloatsPerVertex * kRoadVerticesPerRing * n);
        piece.vertices[1].resize(kFloatsPerVertex * kKerbVerticesPerRing * n);
        Interleave(own.rings.data(), n, roadInset, kerbInset, game.scale, piece.vertices[0].data(),
                   piece.vertices[1].data());
        piece.floats[0] = piece.vertices[0].size();
        piece.floats[1] = piece.vertices[1].size();
        piece.indices[0].resize(6 * m);
        piece.indices[1].resize(12 * m);
        CRoadMeshRings::FillIndices(first, owned, piece.indices[0].data(), piece.indices[1].data());
        piece.floats[2] = piece.floats[3] = 0;
        piece.indices[2].clear();
        piece.indices[3].clear();
        if (!game.walls && !game.collision) {
            return;
        }
        // The kerb part's positions, E A B G a ring, as the game parts are made from them.
        own.kerb.positions.resize(3 * kKerbVerticesPerRing * n);
        for (std::size_t r = 0; r < n; ++r) {
            const auto& [a, b, e, g] = own.rings[r].vertices;
            std::size_t f = 3 * kKerbVerticesPerRing * r;
            for (const CVector3D& p : {e, a, b, g}) {
                own.kerb.positions[f++] = p.x;
                own.kerb.positions[f++] = p.y;
                own.kerb.positions[f++] = p.z;
            }
        }
        if (game.walls) {
            own.wallPositions.resize(3 * kWallVerticesPerRing * kRingsPerPiece);
            own.wallNormals.resize(own.wallPositions.size());
            piece.indices[2].resize(kWallIndicesPerSample * m);
            FillWallIndices(first, owned, samples, piece.indices[2].data());
        }
        std::vector<float>& collision = piece.vertices[3];
        if (game.collision) {
            collision.resize(3 * collisionPerRing * kRingsPerPiece);
            piece.indices[3].resize(
                static_cast<std::size_t>(CollisionIndicesPerSample(game.walls)) * m);
            FillCollisionIndices(first, owned, samples, game.walls, piece.indices[3].data());
        }
        FillGameRings(own.kerb, m, game.rise, game.walls ? own.wallPositions.data() : nullptr,
                      game.walls ? own.wallNormals.data() : nullptr,
                      game.collision ? collision.data() : nullptr, game.walls);
        if (game.walls) {
            piece.vertices[2].resize(6 * kWallVerticesPerRing * kRingsPerPiece);
            float* o = piece.vertices[2].data();
            for (std::size_t v = 0; v < kWallVerticesPerRing * m; ++v) {
                for (std::size_t c = 0; c < 3; ++c) {
                    *o++ = Scaled(own.wallPositions[3 * v + c], game.scale);
                }
                o = std::copy_n(&own.wallNormals[3 * v], 3, o);
            }
            piece.floats[2] = static_cast<std::size_t>(o - piece.vertices[2].data());
        }
        if (game.collision) {
            const std::size_t floats = 3 * collisionPerRing * m;
            for (std::size_t f = 0; f < floats; ++f) {
                collision[f] = Scaled(collision[f], game.scale);
            }
            piece.floats[3] = floats;
        }
    };
    return WritePieces<MeshPiece>(pieces, make, [&](std::size_t, const MeshPiece& piece) {
        bounds.Add(piece.bounds);
        // Each part's vertices, then its indices; walls and collision mesh only where asked.
        std::size_t view = 0;
        for (std::size_t p = 0; p < 4; ++p) {
            if ((p == 2 && !game.walls) || (p == 3 && !game.collision)) {
                continue;
            }
            WriteResult result =
                out.Write(view++, piece.vertices[p].data(), piece.floats[p] * sizeof(float));
            if (result.Written()) {
                result = out.Write(view++, piece.indices[p].data(),
                                   piece.indices[p].size() * sizeof(std::uint32_t));
            }
            if (!result.Written()) {
                return result;
            }
        }
        return WriteResult{};
    });
}

// Points computed and formatted at a time for the extras, on the cores, while earlier pieces
// are written.
constexpr std::int64_t kPointsPerPiece = 8192;

// A JSON list of `count` points [x, y, z], each the shortest float text; fill(first, n, out,
// worker) computes points first .. first + n − 1, worker (below PipelineThreads()) naming the
// thread it runs on.
template <typename Fill> void PointList(CJson& json, std::int64_t count, Fill&& fill) {
    // A slot's text keeps its full size from piece to piece, so that it is not cleared each
    // time; `used` says how much of it a piece fills.
    struct Text {
        std::string text;
        std::size_t used = 0;
    };
    std::vector<std::vector<CVector3D>> points(PipelineThreads());
    json.Raw("[");
    const auto pieces = static_cast<std::size_t>((count + kPointsPerPiece - 1) / kPointsPerPiece);
    std::vector<Text> buffers = PieceSlots<Text>();
    PipelinePieces(
        pieces, std::span<Text>(buffers),
        [&](std::size_t i, Text& slot, std::size_t worker) {
            const std::int64_t first = static_cast<std::int64_t>(i) * kPointsPerPiece;
            const auto n = static_cast<std::size_t>(std::min(kPointsPerPiece, count - first));
            std::vector<CVector3D>& own = points[worker];
            own.resize(n);
            fill(first, static_cast<std::int64_t>(n), own.data(), worker);
            // Each point with the comma before it.
            slot.text.resize(std::max(slot.text.size(), n * (1 + kMaxPointChars)));
            char* o = slot.text.data();
            char* const end = o + slot.text.size();
            for (std::size_t j = 0; j < n; ++j) {
                if (first + static_cast<std::int64_t>(j) > 0) {
                    *o++ = ',';
                }
                o = FormatPoint(o, end, own[j]);
            }
            slot.used = static_cast<std::size_t>(o - slot.text.data());
        },
        [&](std::size_t, const Text& slot) {
            json.Raw(std::string_view(slot.text.data(), slot.used));
            return json.Ok();
        });
    json.Raw("]");
}

// The centre line for game code: every sample, the settings and the control points, and with
// the game parts the outer edges (seen in the driving direction, the left edge is on the
// minus side).
void CentreLineExtras(CJson& json, const CRoadMeshRings& rings, const RoadModelInfo& info,
                      const GameExportOptions& game) {
    const double scale = game.scale;
    json.Raw("{\"samples\":");
    PointList(json, rings.Samples(),
              [&](std::int64_t first, std::int64_t n, CVector3D* out, std::size_t) {
                  rings.Centres(first, n, out);
                  if (scale != 1.0) {
                      for (std::int64_t j = 0; j < n; ++j) {
                          out[j] = Scaled(out[j], scale);
                      }
                  }
              });
    json.Raw(",\"closed\":true,\"width\":");
    if (scale == 1.0) {
        json.Int(info.roadWidth);
    } else {
        json.Double(info.roadWidth / scale);
    }
    json.Raw(",\"divisions\":").Int(info.divisions).Raw(",\"controlPoints\":[");
    for (std::size_t k = 0; k < info.controlPoints.size(); ++k) {
        json.Raw(k > 0 ? "," : "").Point(Scaled(info.controlPoints[k], scale));
    }
    json.Raw("]");
    if (rings.Shaped()) {
        // Only a road with a shape of its own: every other file stays as it always was.
        // Widths are lengths, in the file's unit; the bank is an angle.
        auto values = [&](const char* name, double SampleShape::*value, double unit) {
            json.Raw(",\"").Raw(name).Raw("\":[");
            for (std::int64_t j = 0; j < rings.Samples(); ++j) {
                json.Raw(j > 0 ? "," : "").Float(static_cast<float>(rings.Shape(j).*value / unit));
            }
            json.Raw("]");
        };
        values("widthLeft", &SampleShape::left, scale);
        values("widthRight", &SampleShape::right, scale);
        values("bank", &SampleShape::bank, 1.0);
    }
    if (game.GameNodes()) {
        // Each thread's rings of its own; a piece's rings are computed on its thread.
        std::vector<std::vector<MeshRing>> own(PipelineThreads());
        // E is the cross-section's third point, G its fourth.
        for (const auto& [name, vertex] : {std::pair{"edgeLeft", 3}, std::pair{"edgeRight", 2}}) {
            json.Raw(",\"").Raw(name).Raw("\":");
            PointList(json, rings.Samples(),
                      [&, vertex = vertex](std::int64_t first, std::int64_t n, CVector3D* out,
                                           std::size_t worker) {
                          std::vector<MeshRing>& mine = own[worker];
                          mine.resize(static_cast<std::size_t>(n));
                          rings.Rings(first, n, mine.data());
                          for (std::int64_t j = 0; j < n; ++j) {
                              out[j] =
                                  Scaled(mine[static_cast<std::size_t>(j)].vertices[vertex], scale);
                          }
                      });
        }
    }
    json.Raw("}");
}

void TimingExtras(CJson& json, const TimingNode& node) {
    json.Raw("{");
    if (node.index >= 0) {
        json.Raw("\"index\":").Int(node.index).Raw(",");
    }
    json.Raw("\"width\":").Double(node.width);
    if (node.index >= 0) {
        json.Raw(",\"distance\":").Double(node.distance);
    }
    json.Raw("}");
}

// The racing line for AI drivers, in the file's unit; the vehicle width is in metres already.
void RacingLineExtras(CJson& json, const RacingLineExport& racing, double scale) {
    json.Raw("{\"samples\":");
    PointList(json, static_cast<std::int64_t>(racing.samples.size()),
              [&](std::int64_t first, std::int64_t n, CVector3D* out, std::size_t) {
                  for (std::int64_t j = 0; j < n; ++j) {
                      out[j] = Scaled(racing.samples[static_cast<std::size_t>(first + j)], scale);
                  }
              });
    json.Raw(",\"closed\":true,\"vehicleWidth\":")
        .Double(racing.vehicleWidth)
        .Raw(",\"length\":")
        .Double(racing.length / scale);
    json.Raw("}");
}

std::array<CVector3D, 2> ScaledBounds(const std::array<CVector3D, 2>& box, double scale) {
    return {Scaled(box[0], scale), Scaled(box[1], scale)};
}

} // namespace

std::uint64_t GlbBytesBound(std::int64_t samples, std::size_t pointCount,
                            const RoadTextureImages& textures, const GameExportOptions& game,
                            bool shaped, bool racingLine) {
    const std::uint64_t mesh = samples > 0 ? RoadMeshBytes(samples) : 0;
    const auto s = static_cast<std::uint64_t>(std::max<std::int64_t>(samples, 0));
    // Three numbers a point; a shaped road writes as many again for each sample's widths and
    // bank.
    std::uint64_t points =
        s * (1 + (shaped ? 1 : 0) + (racingLine ? 1 : 0)) + static_cast<std::uint64_t>(pointCount);
    std::uint64_t extra = 0;
    if (game.Walls()) {
        extra += s * (kWallVerticesPerRing * 6 * sizeof(float) + kWallIndicesPerSample * 4);
    }
    if (game.collision) {
        extra += s * (static_cast<std::uint64_t>(CollisionVerticesPerRing(game.Walls())) * 3 *
                          sizeof(float) +
                      static_cast<std::uint64_t>(CollisionIndicesPerSample(game.Walls())) * 4);
    }
    if (game.GameNodes()) {
        points += 2 * s;
        extra += static_cast<std::uint64_t>(std::max(game.checkpoints, 0) + 1) * 512;
    }
    constexpr std::uint64_t kFixedJson = 4096;
    return kHeaderBytes + 2 * kChunkHeaderBytes + mesh + extra + 3 * kMaxCoordinateChars * points +
           kFixedJson + Padded(textures.road.size()) + Padded(textures.kerb.size());
}

WriteResult WriteGlb(CByteSink& sink, const CRoadMeshRings& rings, const RoadModelInfo& info,
                     const RoadTextureImages& textures, const ExportProgress& progress,
                     const GameExportOptions& game, const RacingLineExport& racing) {
    if (rings.Samples() <= 0 || !rings.Finite() || !(game.scale > 0.0) ||
        (!racing.samples.empty() &&
         static_cast<std::int64_t>(racing.samples.size()) != rings.Samples()) ||
        !std::isfinite(game.scale) || !(game.wallHeight >= 0.0) ||
        !std::isfinite(game.wallHeight) || game.checkpoints < 0 ||
        game.checkpoints > kMaxCheckpoints || game.start < 0 ||
        static_cast<std::size_t>(game.start) >= info.controlPoints.size()) {
        return {WriteOutcome::Failed, {}};
    }
    CGltfScene scene(std::string(str::kProductName) + " " + str::kVersion);
    const double scale = game.scale;
    GameLayout layout{scale, game.Walls(), game.collision,
                      static_cast<float>(game.wallHeight * scale)};

    // No metal, fully rough: the texture's own colours, or plain grey and red without images.
    GltfMaterial road{"road", -1, {0.3, 0.3, 0.3, 1}};
    GltfMaterial kerb{"kerb", -1, {0.8, 0.1, 0.1, 1}};
    float roadInset = 0.0f, kerbInset = 0.0f;
    if (!textures.Empty()) {
        road.texture = scene.AddTexture("road", textures.road);
        kerb.texture = scene.AddTexture("kerb", textures.kerb);
        roadInset = HalfTexel(textures.road);
        kerbInset = HalfTexel(textures.kerb);
    }
    const int roadMaterial = scene.AddMaterial(std::move(road));
    const int kerbMaterial = scene.AddMaterial(std::move(kerb));

    // Found while the vertices are written, read when the bounds are.
    RoadMeshBounds bounds;
    const int joint =
        scene.AddJointVertices([&rings, roadInset, kerbInset, layout, &bounds](CGlbOutput& out) {
            return WriteMesh(out, rings, roadInset, kerbInset, layout, bounds);
        });
    const std::uint64_t ringCount = static_cast<std::uint64_t>(rings.Samples()) + 1;
    const std::uint64_t samples = static_cast<std::uint64_t>(rings.Samples());
    auto part = [&](bool isRoad, int material) {
        const std::vector<GltfAttribute> attributes = {
            {"POSITION", 3,
             [&bounds, isRoad, scale] {
                 return ScaledBounds(isRoad ? bounds.road : bounds.kerb, scale);
             }},
            {"NORMAL", 3, {}},
            {"TEXCOORD_0", 2, {}}};
        return GltfPrimitive{
            attributes, ringCount * (isRoad ? kRoadVerticesPerRing : kKerbVerticesPerRing),
            {},         samples * (isRoad ? 6 : 12),
            {},         material,
            4,          joint};
    };
    std::vector<GltfPrimitive> visual = {part(true, roadMaterial), part(false, kerbMaterial)};
    if (layout.walls) {
        // A plain light grey, no metal, fully rough.
        const int wallMaterial = scene.AddMaterial({"wall", -1, {0.7, 0.7, 0.7, 1}});
        visual.push_back(
            {{{"POSITION", 3,
               [&bounds, layout] { return WallBounds(bounds, layout.rise, layout.scale); }},
              {"NORMAL", 3, {}}},
             samples * kWallVerticesPerRing,
             {},
             samples * kWallIndicesPerSample,
             {},
             wallMaterial,
             4,
             joint});
    }
    const int mesh = scene.AddMesh("road", std::move(visual));
    scene.AddNode({"road", mesh, std::nullopt, std::nullopt, {}});
    scene.AddNode(
        {"centerline", -1, std::nullopt, std::nullopt,
         [&rings, &info, &game](CJson& json) { CentreLineExtras(json, rings, info, game); }});
    if (layout.collision) {
        const bool walls = layout.walls;
        const int collision =
            scene.AddMesh("road-colonly",
                          {{{{"POSITION", 3,
                              [&bounds, layout, walls] {
                                  return CollisionBounds(bounds, layout.rise, walls, layout.scale);
                              }}},
                            samples * static_cast<std::uint64_t>(CollisionVerticesPerRing(walls)),
                            {},
                            samples * static_cast<std::uint64_t>(CollisionIndicesPerSample(walls)),
                            {},
                            -1,
                            4,
                            joint}});
        scene.AddNode({"road-colonly", collision, std::nullopt, std::nullopt, {}});
    }
    if (game.GameNodes()) {
        const std::int64_t startSample = static_cast<std::int64_t>(game.start) * info.divisions;
        for (TimingNode& node : TimingNodes(rings, startSample, game.checkpoints, scale)) {
            auto shared = std::make_shared<TimingNode>(std::move(node));
            scene.AddNode({shared->name, -1, shared->translation, shared->rotation,
                           [shared](CJson& json) { TimingExtras(json, *shared); }});
        }
    }
    if (!racing.samples.empty()) {
        scene.AddNode({"racingline", -1, std::nullopt, std::nullopt,
                       [&racing, scale](CJson& json) { RacingLineExtras(json, racing, scale); }});
    }
    return scene.Write(sink, progress);
}

} // namespace rolvet
