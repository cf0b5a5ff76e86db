#include "export/GlbWriter.h"

#include "common/Strings.h"
#include "export/GltfScene.h"

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

// The interleaved vertices of one part, piece by piece; v is inset by `inset` at both edges.
WriteResult WriteVertices(CGlbOutput& out, const CRoadMeshRings& rings, bool road, float inset) {
    RoadMeshPart roadPart, kerbPart;
    for (RoadMeshPart* part : {&roadPart, &kerbPart}) {
        const std::size_t perRing = part == &roadPart ? kRoadVerticesPerRing : kKerbVerticesPerRing;
        part->positions.resize(3 * perRing * kRingsPerPiece);
        part->normals.resize(3 * perRing * kRingsPerPiece);
        part->uvs.resize(2 * perRing * kRingsPerPiece);
    }
    const RoadMeshPart& part = road ? roadPart : kerbPart;
    const float scale = 1.0f - 2.0f * inset;
    std::vector<float> interleaved(kFloatsPerVertex * part.positions.size() / 3);
    const std::int64_t ringCount = rings.Samples() + 1;
    for (std::int64_t first = 0; first < ringCount; first += kRingsPerPiece) {
        const std::int64_t count = std::min(kRingsPerPiece, ringCount - first);
        rings.Fill(first, count, roadPart, kerbPart);
        const std::size_t vertices =
            static_cast<std::size_t>(count) * (road ? kRoadVerticesPerRing : kKerbVerticesPerRing);
        float* o = interleaved.data();
        for (std::size_t v = 0; v < vertices; ++v) {
            o = std::copy_n(&part.positions[3 * v], 3, o);
            o = std::copy_n(&part.normals[3 * v], 3, o);
            *o++ = part.uvs[2 * v];
            *o++ = inset + part.uvs[2 * v + 1] * scale;
        }
        const WriteResult result =
            out.Write(interleaved.data(), vertices * kFloatsPerVertex * sizeof(float));
        if (!result.Written()) {
            return result;
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

// The centre line for game code: every sample, the settings and the control points.
void CentreLineExtras(CJson& json, const CRoadMeshRings& rings, const RoadModelInfo& info) {
    json.Raw("{\"samples\":[");
    for (std::int64_t j = 0; j < rings.Samples(); ++j) {
        json.Raw(j > 0 ? "," : "").Point(rings.Centre(j));
    }
    json.Raw("],\"closed\":true,\"width\":").Int(info.roadWidth);
    json.Raw(",\"divisions\":").Int(info.divisions).Raw(",\"controlPoints\":[");
    for (std::size_t k = 0; k < info.controlPoints.size(); ++k) {
        json.Raw(k > 0 ? "," : "").Point(info.controlPoints[k]);
    }
    json.Raw("]");
    if (rings.Shaped()) {
        // Only a road with a shape of its own: every other file stays as it always was.
        auto values = [&](const char* name, double SampleShape::*value) {
            json.Raw(",\"").Raw(name).Raw("\":[");
            for (std::int64_t j = 0; j < rings.Samples(); ++j) {
                json.Raw(j > 0 ? "," : "").Float(static_cast<float>(rings.Shape(j).*value));
            }
            json.Raw("]");
        };
        values("widthLeft", &SampleShape::left);
        values("widthRight", &SampleShape::right);
        values("bank", &SampleShape::bank);
    }
    json.Raw("}");
}

} // namespace

std::uint64_t GlbBytesBound(std::int64_t samples, std::size_t pointCount,
                            const RoadTextureImages& textures, bool shaped) {
    const std::uint64_t mesh = samples > 0 ? RoadMeshBytes(samples) : 0;
    // Three numbers a point, as many as a sample's widths and bank.
    const auto sampled = static_cast<std::uint64_t>(std::max<std::int64_t>(samples, 0));
    const std::uint64_t points =
        sampled * (shaped ? 2 : 1) + static_cast<std::uint64_t>(pointCount);
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
    auto part = [&](bool isRoad, int material, float inset) {
        const std::vector<GltfAttribute> attributes = {
            {"POSITION", 3, isRoad ? rings.RoadBounds() : rings.KerbBounds()},
            {"NORMAL", 3, std::nullopt},
            {"TEXCOORD_0", 2, std::nullopt}};
        return GltfPrimitive{attributes,
                             ringCount * (isRoad ? kRoadVerticesPerRing : kKerbVerticesPerRing),
                             [&rings, isRoad, inset](CGlbOutput& out) {
                                 return WriteVertices(out, rings, isRoad, inset);
                             },
                             samples * (isRoad ? 6 : 12),
                             [&rings, isRoad](CGlbOutput& out) {
                                 return WriteIndices(out, rings.Samples(), isRoad);
                             },
                             material};
    };
    const int mesh = scene.AddMesh(
        "road", {part(true, roadMaterial, roadInset), part(false, kerbMaterial, kerbInset)});
    scene.AddNode({"road", mesh, std::nullopt, std::nullopt, {}});
    scene.AddNode({"centerline", -1, std::nullopt, std::nullopt,
                   [&rings, &info](CJson& json) { CentreLineExtras(json, rings, info); }});
    return scene.Write(sink, progress);
}

} // namespace rolvet
