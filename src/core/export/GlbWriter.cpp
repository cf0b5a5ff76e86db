#include "export/GlbWriter.h"

#include "common/Strings.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <functional>
#include <string_view>
#include <vector>

namespace rolvet {

namespace {

static_assert(std::endian::native == std::endian::little,
              "the binary chunk is written straight from memory in little-endian order");

constexpr std::uint32_t kMagic = 0x46546C67; // "glTF"
constexpr std::uint32_t kVersion = 2;
constexpr std::uint32_t kChunkJson = 0x4E4F534A; // "JSON"
constexpr std::uint32_t kChunkBin = 0x004E4942;  // "BIN\0"
constexpr std::size_t kHeaderBytes = 12;
constexpr std::size_t kChunkHeaderBytes = 8;
// The longest number one coordinate of the extras takes, with its separator.
constexpr std::uint64_t kMaxCoordinateChars = 18;
// Rings and samples computed at a time while the binary chunk streams out.
constexpr std::int64_t kRingsPerPiece = 2048;
// Interleaved vertex: position, normal, texture coordinate.
constexpr std::uint64_t kVertexBytes = 8 * sizeof(float);

constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;
constexpr int kFloat = 5126;
constexpr int kUnsignedInt = 5125;

std::uint64_t Padded(std::uint64_t size) {
    return (size + 3) & ~std::uint64_t{3};
}

// JSON text handed on in pieces: to a counter first (the chunk's length goes before it), then
// to the file.
class CJson {
public:
    explicit CJson(std::function<bool(std::string_view)> out) : m_out(std::move(out)) {
        m_text.reserve(kPiece + 64);
    }
    CJson& Raw(std::string_view text) {
        m_text.append(text);
        if (m_text.size() >= kPiece) {
            Flush();
        }
        return *this;
    }
    CJson& Int(std::int64_t value) {
        char buffer[24];
        return Raw({buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr});
    }
    // The shortest text that reads back as the same float.
    CJson& Float(float value) {
        char buffer[32];
        return Raw({buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr});
    }
    // The float's exact value as a double, for bounds a reader compares in either precision.
    CJson& Exact(float value) {
        char buffer[32];
        return Raw({buffer,
                    std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value)).ptr});
    }
    CJson& Point(const CVector3D& p) {
        return Raw("[").Float(p.x).Raw(",").Float(p.y).Raw(",").Float(p.z).Raw("]");
    }
    CJson& Vec3(const CVector3D& p) {
        return Raw("[").Exact(p.x).Raw(",").Exact(p.y).Raw(",").Exact(p.z).Raw("]");
    }
    bool Flush() {
        m_ok = m_ok && m_out(m_text);
        m_text.clear();
        return m_ok;
    }

private:
    static constexpr std::size_t kPiece = 1 << 16;
    std::function<bool(std::string_view)> m_out;
    std::string m_text;
    bool m_ok = true;
};

// One bufferView of the binary chunk and how to produce its bytes.
struct View {
    std::uint64_t size;
    int target;     // 0: none (images)
    int byteStride; // 0: tightly packed
};

void AppendAccessor(CJson& json, int view, std::uint64_t offset, std::uint64_t count,
                    int componentType, std::string_view type,
                    const std::array<CVector3D, 2>* bounds) {
    json.Raw("{\"bufferView\":").Int(view);
    if (offset != 0) {
        json.Raw(",\"byteOffset\":").Int(static_cast<std::int64_t>(offset));
    }
    json.Raw(",\"componentType\":").Int(componentType);
    json.Raw(",\"count\":").Int(static_cast<std::int64_t>(count)).Raw(",\"type\":\"");
    json.Raw(type).Raw("\"");
    if (bounds) {
        json.Raw(",\"min\":").Vec3((*bounds)[0]).Raw(",\"max\":").Vec3((*bounds)[1]);
    }
    json.Raw("}");
}

void SceneJson(CJson& json, const CRoadMeshRings& rings, const RoadModelInfo& info, bool withImages,
               const std::vector<View>& views) {
    json.Raw("{\"asset\":{\"version\":\"2.0\",\"generator\":\"")
        .Raw(str::kProductName)
        .Raw(" ")
        .Raw(str::kVersion)
        .Raw("\"},");
    json.Raw("\"scene\":0,\"scenes\":[{\"nodes\":[0,1]}],");
    json.Raw("\"nodes\":[{\"name\":\"road\",\"mesh\":0},");
    json.Raw("{\"name\":\"centerline\",\"extras\":{\"samples\":[");
    for (std::int64_t j = 0; j < rings.Samples(); ++j) {
        if (j > 0) {
            json.Raw(",");
        }
        json.Point(rings.Centre(j));
    }
    json.Raw("],\"closed\":true,\"width\":").Int(info.roadWidth);
    json.Raw(",\"divisions\":").Int(info.divisions).Raw(",\"controlPoints\":[");
    for (std::size_t k = 0; k < info.controlPoints.size(); ++k) {
        if (k > 0) {
            json.Raw(",");
        }
        json.Point(info.controlPoints[k]);
    }
    json.Raw("]}}],");

    json.Raw("\"meshes\":[{\"name\":\"road\",\"primitives\":[");
    for (int p = 0; p < 2; ++p) {
        const int a = 4 * p;
        json.Raw(p == 0 ? "" : ",");
        json.Raw("{\"attributes\":{\"POSITION\":").Int(a).Raw(",\"NORMAL\":").Int(a + 1);
        json.Raw(",\"TEXCOORD_0\":").Int(a + 2).Raw("},\"indices\":").Int(a + 3);
        json.Raw(",\"material\":").Int(p).Raw(",\"mode\":4}");
    }
    json.Raw("]}],");

    // No metal, fully rough: the texture's own colours.
    json.Raw("\"materials\":[");
    const char* names[] = {"road", "kerb"};
    for (int p = 0; p < 2; ++p) {
        json.Raw(p == 0 ? "" : ",").Raw("{\"name\":\"").Raw(names[p]);
        json.Raw("\",\"pbrMetallicRoughness\":{");
        if (withImages) {
            json.Raw("\"baseColorTexture\":{\"index\":").Int(p).Raw("},");
        } else {
            json.Raw(p == 0 ? "\"baseColorFactor\":[0.3,0.3,0.3,1],"
                            : "\"baseColorFactor\":[0.8,0.1,0.1,1],");
        }
        json.Raw("\"metallicFactor\":0,\"roughnessFactor\":1}}");
    }
    json.Raw("],");

    if (withImages) {
        // Repeat along the road (u), clamp across it (v); trilinear filtering.
        json.Raw("\"samplers\":[{\"magFilter\":9729,\"minFilter\":9987,\"wrapS\":10497,"
                 "\"wrapT\":33071}],");
        json.Raw("\"textures\":[{\"sampler\":0,\"source\":0},{\"sampler\":0,\"source\":1}],");
        json.Raw("\"images\":[{\"name\":\"road\",\"bufferView\":4,\"mimeType\":\"image/png\"},"
                 "{\"name\":\"kerb\",\"bufferView\":5,\"mimeType\":\"image/png\"}],");
    }

    // Per part: one interleaved vertex view and one index view.
    json.Raw("\"accessors\":[");
    const std::uint64_t ringCount = static_cast<std::uint64_t>(rings.Samples()) + 1;
    const std::uint64_t samples = static_cast<std::uint64_t>(rings.Samples());
    for (int p = 0; p < 2; ++p) {
        const std::uint64_t vertices =
            ringCount * (p == 0 ? kRoadVerticesPerRing : kKerbVerticesPerRing);
        const std::uint64_t indices = samples * (p == 0 ? 6 : 12);
        const auto& bounds = p == 0 ? rings.RoadBounds() : rings.KerbBounds();
        const int v = 2 * p;
        json.Raw(p == 0 ? "" : ",");
        AppendAccessor(json, v, 0, vertices, kFloat, "VEC3", &bounds);
        json.Raw(",");
        AppendAccessor(json, v, 12, vertices, kFloat, "VEC3", nullptr);
        json.Raw(",");
        AppendAccessor(json, v, 24, vertices, kFloat, "VEC2", nullptr);
        json.Raw(",");
        AppendAccessor(json, v + 1, 0, indices, kUnsignedInt, "SCALAR", nullptr);
    }
    json.Raw("],");

    json.Raw("\"bufferViews\":[");
    std::uint64_t offset = 0;
    for (std::size_t i = 0; i < views.size(); ++i) {
        json.Raw(i == 0 ? "" : ",").Raw("{\"buffer\":0,\"byteOffset\":");
        json.Int(static_cast<std::int64_t>(offset))
            .Raw(",\"byteLength\":")
            .Int(static_cast<std::int64_t>(views[i].size));
        if (views[i].byteStride != 0) {
            json.Raw(",\"byteStride\":").Int(views[i].byteStride);
        }
        if (views[i].target != 0) {
            json.Raw(",\"target\":").Int(views[i].target);
        }
        json.Raw("}");
        offset += Padded(views[i].size);
    }
    json.Raw("],\"buffers\":[{\"byteLength\":").Int(static_cast<std::int64_t>(offset)).Raw("}]}");
}

std::vector<View> Views(const CRoadMeshRings& rings, const RoadTextureImages& textures,
                        bool withImages) {
    const std::uint64_t ringCount = static_cast<std::uint64_t>(rings.Samples()) + 1;
    const std::uint64_t samples = static_cast<std::uint64_t>(rings.Samples());
    constexpr int kStride = static_cast<int>(kVertexBytes);
    std::vector<View> views = {
        {ringCount * kRoadVerticesPerRing * kVertexBytes, kArrayBuffer, kStride},
        {samples * 6 * sizeof(std::uint32_t), kElementArrayBuffer, 0},
        {ringCount * kKerbVerticesPerRing * kVertexBytes, kArrayBuffer, kStride},
        {samples * 12 * sizeof(std::uint32_t), kElementArrayBuffer, 0}};
    if (withImages) {
        views.push_back({textures.road.size(), 0, 0});
        views.push_back({textures.kerb.size(), 0, 0});
    }
    return views;
}

void PutU32(char* out, std::uint32_t value) {
    std::memcpy(out, &value, 4);
}

// Hands bytes to the sink and reports progress after each piece.
class CPieceWriter {
public:
    CPieceWriter(CByteSink& sink, const ExportProgress& progress, std::uint64_t total)
        : m_sink(sink), m_progress(progress), m_total(total) {}

    WriteOutcome Write(const void* data, std::uint64_t size) {
        if (size > 0 && !m_sink.Write(static_cast<const char*>(data), size)) {
            return WriteOutcome::Failed;
        }
        m_done += size;
        return !m_progress || m_progress(m_done, m_total) ? WriteOutcome::Written
                                                          : WriteOutcome::Cancelled;
    }

private:
    CByteSink& m_sink;
    const ExportProgress& m_progress;
    std::uint64_t m_total;
    std::uint64_t m_done = 0;
};

// The interleaved vertices of one part, piece by piece.
WriteOutcome WriteVertices(CPieceWriter& out, const CRoadMeshRings& rings, bool road) {
    RoadMeshPart roadPart, kerbPart;
    for (RoadMeshPart* part : {&roadPart, &kerbPart}) {
        const std::size_t perRing = part == &roadPart ? kRoadVerticesPerRing : kKerbVerticesPerRing;
        part->positions.resize(3 * perRing * kRingsPerPiece);
        part->normals.resize(3 * perRing * kRingsPerPiece);
        part->uvs.resize(2 * perRing * kRingsPerPiece);
    }
    const RoadMeshPart& part = road ? roadPart : kerbPart;
    std::vector<float> interleaved(8 * part.positions.size() / 3);
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
            o = std::copy_n(&part.uvs[2 * v], 2, o);
        }
        const WriteOutcome outcome = out.Write(interleaved.data(), vertices * kVertexBytes);
        if (outcome != WriteOutcome::Written) {
            return outcome;
        }
    }
    return WriteOutcome::Written;
}

WriteOutcome WriteIndices(CPieceWriter& out, std::int64_t samples, bool road) {
    std::vector<std::uint32_t> roadIndices(6 * kRingsPerPiece), kerbIndices(12 * kRingsPerPiece);
    for (std::int64_t first = 0; first < samples; first += kRingsPerPiece) {
        const std::int64_t count = std::min(kRingsPerPiece, samples - first);
        CRoadMeshRings::FillIndices(first, count, road ? roadIndices.data() : nullptr,
                                    road ? nullptr : kerbIndices.data());
        const WriteOutcome outcome =
            road ? out.Write(roadIndices.data(), static_cast<std::uint64_t>(count) * 6 * 4)
                 : out.Write(kerbIndices.data(), static_cast<std::uint64_t>(count) * 12 * 4);
        if (outcome != WriteOutcome::Written) {
            return outcome;
        }
    }
    return WriteOutcome::Written;
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

WriteOutcome WriteGlb(CByteSink& sink, const CRoadMeshRings& rings, const RoadModelInfo& info,
                      const RoadTextureImages& textures, const ExportProgress& progress) {
    if (rings.Samples() <= 0 || !rings.Finite()) {
        return WriteOutcome::Failed;
    }
    const bool withImages = !textures.Empty();
    const std::vector<View> views = Views(rings, textures, withImages);
    std::uint64_t binary = 0;
    for (const View& view : views) {
        binary += Padded(view.size);
    }
    // The JSON is produced twice, once to learn its length and once into the file, rather than
    // held: on a long road it runs to megabytes.
    std::uint64_t jsonSize = 0;
    {
        CJson counter([&jsonSize](std::string_view text) {
            jsonSize += text.size();
            return true;
        });
        SceneJson(counter, rings, info, withImages, views);
        counter.Flush();
    }
    const std::uint64_t jsonPadded = Padded(jsonSize);
    const std::uint64_t total =
        kHeaderBytes + kChunkHeaderBytes + jsonPadded + kChunkHeaderBytes + binary;
    if (total > kMaxGlbBytes) {
        return WriteOutcome::Failed;
    }

    CPieceWriter out(sink, progress, total);
    char header[kHeaderBytes + kChunkHeaderBytes];
    PutU32(header, kMagic);
    PutU32(header + 4, kVersion);
    PutU32(header + 8, static_cast<std::uint32_t>(total));
    PutU32(header + 12, static_cast<std::uint32_t>(jsonPadded));
    PutU32(header + 16, kChunkJson);
    WriteOutcome outcome = out.Write(header, sizeof header);
    if (outcome != WriteOutcome::Written) {
        return outcome;
    }
    CJson json([&](std::string_view text) {
        outcome = out.Write(text.data(), text.size());
        return outcome == WriteOutcome::Written;
    });
    SceneJson(json, rings, info, withImages, views);
    json.Flush();
    if (outcome != WriteOutcome::Written) {
        return outcome;
    }
    char tail[3 + kChunkHeaderBytes] = {' ', ' ', ' '}; // JSON padding, then the BIN header
    const std::size_t pad = static_cast<std::size_t>(jsonPadded - jsonSize);
    PutU32(tail + pad, static_cast<std::uint32_t>(binary));
    PutU32(tail + pad + 4, kChunkBin);
    outcome = out.Write(tail, pad + kChunkHeaderBytes);

    constexpr char kZeros[4] = {};
    for (std::size_t i = 0; i < views.size() && outcome == WriteOutcome::Written; ++i) {
        switch (i) {
        case 0:
        case 2:
            outcome = WriteVertices(out, rings, i == 0);
            break;
        case 1:
        case 3:
            outcome = WriteIndices(out, rings.Samples(), i == 1);
            break;
        default:
            outcome =
                out.Write(i == 4 ? textures.road.data() : textures.kerb.data(), views[i].size);
        }
        if (outcome == WriteOutcome::Written && Padded(views[i].size) != views[i].size) {
            outcome = out.Write(kZeros, Padded(views[i].size) - views[i].size);
        }
    }
    return outcome;
}

} // namespace rolvet
