#include "export/GlbWriter.h"

#include "common/Strings.h"
#include "export/GltfScene.h"
#include "export/Parallel.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace rolvet {

namespace {

constexpr std::size_t kHeaderBytes = 12;
constexpr std::size_t kChunkHeaderBytes = 8;
// The longest number one coordinate of the extras takes, with its separator.
constexpr std::uint64_t kMaxCoordinateChars = 18;
// Rings and samples computed at a time while the binary chunk streams out.
constexpr std::int64_t kRingsPerPiece = 2048;
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

// Interleaves `vertices` vertices of a part; v is inset by `inset` at both edges.
float* Interleave(const RoadMeshPart& part, std::size_t vertices, float inset, float* o) {
    const float scale = 1.0f - 2.0f * inset;
    for (std::size_t v = 0; v < vertices; ++v) {
        o = std::copy_n(&part.positions[3 * v], 3, o);
        o = std::copy_n(&part.normals[3 * v], 3, o);
        *o++ = part.uvs[2 * v];
        *o++ = inset + part.uvs[2 * v + 1] * scale;
    }
    return o;
}

// The interleaved vertices of both parts in one walk along the road, piece by piece: the road
// part's through part 0, the kerb part's through part 1.
WriteResult WriteVertices(CGlbOutput& out, const CRoadMeshRings& rings, float roadInset,
                          float kerbInset) {
    RoadMeshPart road, kerb;
    for (RoadMeshPart* part : {&road, &kerb}) {
        const std::size_t perRing = part == &road ? kRoadVerticesPerRing : kKerbVerticesPerRing;
        part->positions.resize(3 * perRing * kRingsPerPiece);
        part->normals.resize(3 * perRing * kRingsPerPiece);
        part->uvs.resize(2 * perRing * kRingsPerPiece);
    }
    std::vector<float> interleaved(kFloatsPerVertex * kKerbVerticesPerRing * kRingsPerPiece);
    const std::int64_t ringCount = rings.Samples() + 1;
    for (std::int64_t first = 0; first < ringCount; first += kRingsPerPiece) {
        const std::int64_t count = std::min(kRingsPerPiece, ringCount - first);
        rings.Fill(first, count, road, kerb);
        const auto n = static_cast<std::size_t>(count);
        const std::pair<const RoadMeshPart*, std::size_t> parts[] = {
            {&road, n * kRoadVerticesPerRing}, {&kerb, n * kKerbVerticesPerRing}};
        for (std::size_t p = 0; p < 2; ++p) {
            const auto& [part, vertices] = parts[p];
            Interleave(*part, vertices, p == 0 ? roadInset : kerbInset, interleaved.data());
            const WriteResult result =
                out.Write(p, interleaved.data(), vertices * kFloatsPerVertex * sizeof(float));
            if (!result.Written()) {
                return result;
            }
        }
    }
    return {};
}

WriteResult WriteIndices(CGlbOutput& out, std::int64_t samples, bool road) {
    std::vector<std::uint32_t> roadIndices(6 * kRingsPerPiece), kerbIndices(12 * kRingsPerPiece);
    for (std::int64_t first = 0; first < samples; first += kRingsPerPiece) {
        const std::int64_t count = std::min(kRingsPerPiece, samples - first);
        CRoadMeshRings::FillIndices(first, count, road ? roadIndices.data() : nullptr,
                                    road ? nullptr : kerbIndices.data());
        const WriteResult result =
            road ? out.Write(roadIndices.data(), static_cast<std::uint64_t>(count) * 6 * 4)
                 : out.Write(kerbIndices.data(), static_cast<std::uint64_t>(count) * 12 * 4);
        if (!result.Written()) {
            return result;
        }
    }
    return {};
}

// Points computed and formatted at a time for the extras; the formatting is split between
// the cores, the text handed on in order.
constexpr std::int64_t kPointsPerPiece = 16384;

// A JSON list of `count` points [x, y, z], each the shortest float text; fill(first, n, out)
// computes points first .. first + n − 1.
template <typename Fill> void PointList(CJson& json, std::int64_t count, Fill&& fill) {
    std::vector<CVector3D> points(static_cast<std::size_t>(std::min(count, kPointsPerPiece)));
    std::vector<std::string> texts(2);
    json.Raw("[");
    for (std::int64_t first = 0; first < count; first += kPointsPerPiece) {
        const auto n = static_cast<std::size_t>(std::min(kPointsPerPiece, count - first));
        fill(first, static_cast<std::int64_t>(n), points.data());
        const std::size_t halves = n >= 4096 ? 2 : 1;
        ParallelFor(halves, 1, [&](std::size_t begin, std::size_t end) {
            for (std::size_t h = begin; h < end; ++h) {
                std::string& text = texts[h];
                text.clear();
                CJson piece([&text](std::string_view part) {
                    text.append(part);
                    return true;
                });
                for (std::size_t i = n * h / halves; i < n * (h + 1) / halves; ++i) {
                    piece.Raw(first + static_cast<std::int64_t>(i) > 0 ? "," : "").Point(points[i]);
                }
                piece.Flush();
            }
        });
        for (std::size_t h = 0; h < halves; ++h) {
            json.Raw(texts[h]);
        }
    }
    json.Raw("]");
}

// The centre line for game code: every sample, the settings and the control points.
void CentreLineExtras(CJson& json, const CRoadMeshRings& rings, const RoadModelInfo& info) {
    json.Raw("{\"samples\":");
    PointList(json, rings.Samples(), [&rings](std::int64_t first, std::int64_t n, CVector3D* out) {
        for (std::int64_t j = 0; j < n; ++j) {
            out[j] = rings.Centre(first + j);
        }
    });
    json.Raw(",\"closed\":true,\"width\":").Int(info.roadWidth);
    json.Raw(",\"divisions\":").Int(info.divisions).Raw(",\"controlPoints\":[");
    for (std::size_t k = 0; k < info.controlPoints.size(); ++k) {
        json.Raw(k > 0 ? "," : "").Point(info.controlPoints[k]);
    }
    json.Raw("]}");
}

} // namespace

std::uint64_t GlbBytesBound(std::int64_t samples, std::size_t pointCount,
                            const RoadTextureImages& textures) {
    const std::uint64_t mesh = samples > 0 ? RoadMeshBytes(samples) : 0;
    const std::uint64_t points = static_cast<std::uint64_t>(std::max<std::int64_t>(samples, 0)) +
                                 static_cast<std::uint64_t>(pointCount);
    constexpr std::uint64_t kFixedJson = 4096;
    return kHeaderBytes + 2 * kChunkHeaderBytes + mesh + 3 * kMaxCoordinateChars * points +
           kFixedJson + Padded(textures.road.size()) + Padded(textures.kerb.size());
}

WriteResult WriteGlb(CByteSink& sink, const CRoadMeshRings& rings, const RoadModelInfo& info,
                     const RoadTextureImages& textures, const ExportProgress& progress) {
    if (rings.Samples() <= 0 || !rings.Finite()) {
        return {WriteOutcome::Failed, {}};
    }
    CGltfScene scene(std::string(str::kProductName) + " " + str::kVersion);

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

    const std::uint64_t ringCount = static_cast<std::uint64_t>(rings.Samples()) + 1;
    const std::uint64_t samples = static_cast<std::uint64_t>(rings.Samples());
    auto part = [&](bool isRoad, int material) {
        const std::vector<GltfAttribute> attributes = {
            {"POSITION", 3, isRoad ? rings.RoadBounds() : rings.KerbBounds()},
            {"NORMAL", 3, std::nullopt},
            {"TEXCOORD_0", 2, std::nullopt}};
        return GltfPrimitive{attributes,
                             ringCount * (isRoad ? kRoadVerticesPerRing : kKerbVerticesPerRing),
                             {},
                             samples * (isRoad ? 6 : 12),
                             [&rings, isRoad](CGlbOutput& out) {
                                 return WriteIndices(out, rings.Samples(), isRoad);
                             },
                             material};
    };
    const int mesh = scene.AddMesh("road", {part(true, roadMaterial), part(false, kerbMaterial)},
                                   [&rings, roadInset, kerbInset](CGlbOutput& out) {
                                       return WriteVertices(out, rings, roadInset, kerbInset);
                                   });
    scene.AddNode({"road", mesh, std::nullopt, std::nullopt, {}});
    scene.AddNode({"centerline", -1, std::nullopt, std::nullopt,
                   [&rings, &info](CJson& json) { CentreLineExtras(json, rings, info); }});
    return scene.Write(sink, progress);
}

} // namespace rolvet
