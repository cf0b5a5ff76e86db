#include "export/GlbWriter.h"

#include "common/Strings.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <limits>
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
// The binary chunk is handed to the sink in pieces of this size, with a progress report each.
constexpr std::size_t kWriteBlock = std::size_t{1} << 22;
// The longest number one coordinate of the extras takes, with its separator.
constexpr std::uint64_t kMaxCoordinateChars = 18;

constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;
constexpr int kFloat = 5126;
constexpr int kUnsignedInt = 5125;

std::uint64_t Padded(std::uint64_t size) {
    return (size + 3) & ~std::uint64_t{3};
}

class CJson {
public:
    CJson& Raw(std::string_view text) {
        m_text.append(text);
        return *this;
    }
    CJson& Int(std::int64_t value) {
        char buffer[24];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
        m_text.append(buffer, end);
        return *this;
    }
    // The shortest text that reads back as the same float.
    CJson& Float(float value) {
        char buffer[32];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
        m_text.append(buffer, end);
        return *this;
    }
    // The float's exact value as a double, for bounds a reader compares in either precision.
    CJson& Exact(float value) {
        char buffer[32];
        const auto end =
            std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value)).ptr;
        m_text.append(buffer, end);
        return *this;
    }
    CJson& Point(const CVector3D& p) {
        return Raw("[").Float(p.x).Raw(",").Float(p.y).Raw(",").Float(p.z).Raw("]");
    }
    std::string& Text() { return m_text; }

private:
    std::string m_text;
};

// One piece of the binary chunk: a bufferView over bytes that live elsewhere.
struct View {
    const void* data;
    std::uint64_t size;
    int target; // 0: none (images)
};

struct Bounds {
    float min[3];
    float max[3];
};

Bounds PositionBounds(const std::vector<float>& positions) {
    Bounds b{};
    for (int c = 0; c < 3; ++c) {
        b.min[c] = std::numeric_limits<float>::infinity();
        b.max[c] = -std::numeric_limits<float>::infinity();
    }
    for (std::size_t i = 0; i < positions.size(); i += 3) {
        for (int c = 0; c < 3; ++c) {
            b.min[c] = std::min(b.min[c], positions[i + c]);
            b.max[c] = std::max(b.max[c], positions[i + c]);
        }
    }
    return b;
}

void AppendAccessor(CJson& json, int view, std::uint64_t count, int componentType,
                    std::string_view type, const Bounds* bounds) {
    json.Raw("{\"bufferView\":").Int(view).Raw(",\"componentType\":").Int(componentType);
    json.Raw(",\"count\":").Int(static_cast<std::int64_t>(count)).Raw(",\"type\":\"");
    json.Raw(type).Raw("\"");
    if (bounds) {
        json.Raw(",\"min\":[").Exact(bounds->min[0]).Raw(",").Exact(bounds->min[1]);
        json.Raw(",").Exact(bounds->min[2]).Raw("],\"max\":[").Exact(bounds->max[0]);
        json.Raw(",").Exact(bounds->max[1]).Raw(",").Exact(bounds->max[2]).Raw("]");
    }
    json.Raw("}");
}

std::string SceneJson(const RoadMesh& mesh, const RoadModelInfo& info, bool withImages,
                      const std::vector<View>& views) {
    CJson json;
    json.Raw("{\"asset\":{\"version\":\"2.0\",\"generator\":\"")
        .Raw(str::kProductName)
        .Raw(" ")
        .Raw(str::kVersion)
        .Raw("\"},");
    json.Raw("\"scene\":0,\"scenes\":[{\"nodes\":[0,1]}],");
    json.Raw("\"nodes\":[{\"name\":\"road\",\"mesh\":0},");
    json.Raw("{\"name\":\"centerline\",\"extras\":{\"samples\":[");
    for (std::size_t j = 0; j < mesh.centre.size(); ++j) {
        if (j > 0) {
            json.Raw(",");
        }
        json.Point(mesh.centre[j]);
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

    // Unlit-looking defaults: no metal, fully rough, the texture's own colours.
    json.Raw("\"materials\":[");
    const char* names[] = {"road", "kerb"};
    for (int p = 0; p < 2; ++p) {
        json.Raw(p == 0 ? "" : ",").Raw("{\"name\":\"").Raw(names[p]);
        json.Raw("\",\"pbrMetallicRoughness\":{");
        if (withImages) {
            json.Raw("\"baseColorTexture\":{\"index\":").Int(p).Raw("},");
        } else if (p == 1) {
            json.Raw("\"baseColorFactor\":[0.8,0.1,0.1,1],");
        } else {
            json.Raw("\"baseColorFactor\":[0.3,0.3,0.3,1],");
        }
        json.Raw("\"metallicFactor\":0,\"roughnessFactor\":1}}");
    }
    json.Raw("],");

    if (withImages) {
        // Repeat along the road (u), clamp across it (v); trilinear filtering.
        json.Raw("\"samplers\":[{\"magFilter\":9729,\"minFilter\":9987,\"wrapS\":10497,"
                 "\"wrapT\":33071}],");
        json.Raw("\"textures\":[{\"sampler\":0,\"source\":0},{\"sampler\":0,\"source\":1}],");
        json.Raw("\"images\":[{\"name\":\"road\",\"bufferView\":8,\"mimeType\":\"image/png\"},"
                 "{\"name\":\"kerb\",\"bufferView\":9,\"mimeType\":\"image/png\"}],");
    }

    json.Raw("\"accessors\":[");
    const RoadMeshPart* parts[] = {&mesh.road, &mesh.kerb};
    for (int p = 0; p < 2; ++p) {
        const RoadMeshPart& part = *parts[p];
        const Bounds bounds = PositionBounds(part.positions);
        const int v = 4 * p;
        json.Raw(p == 0 ? "" : ",");
        AppendAccessor(json, v, part.VertexCount(), kFloat, "VEC3", &bounds);
        json.Raw(",");
        AppendAccessor(json, v + 1, part.VertexCount(), kFloat, "VEC3", nullptr);
        json.Raw(",");
        AppendAccessor(json, v + 2, part.VertexCount(), kFloat, "VEC2", nullptr);
        json.Raw(",");
        AppendAccessor(json, v + 3, part.indices.size(), kUnsignedInt, "SCALAR", nullptr);
    }
    json.Raw("],");

    json.Raw("\"bufferViews\":[");
    std::uint64_t offset = 0;
    for (std::size_t i = 0; i < views.size(); ++i) {
        json.Raw(i == 0 ? "" : ",").Raw("{\"buffer\":0,\"byteOffset\":");
        json.Int(static_cast<std::int64_t>(offset))
            .Raw(",\"byteLength\":")
            .Int(static_cast<std::int64_t>(views[i].size));
        if (views[i].target != 0) {
            json.Raw(",\"target\":").Int(views[i].target);
        }
        json.Raw("}");
        offset += Padded(views[i].size);
    }
    json.Raw("],\"buffers\":[{\"byteLength\":").Int(static_cast<std::int64_t>(offset)).Raw("}]}");
    return std::move(json.Text());
}

std::vector<View> BinaryViews(const RoadMesh& mesh, const RoadTextureImages& textures,
                              bool withImages) {
    std::vector<View> views;
    for (const RoadMeshPart* part : {&mesh.road, &mesh.kerb}) {
        views.push_back(
            {part->positions.data(), part->positions.size() * sizeof(float), kArrayBuffer});
        views.push_back({part->normals.data(), part->normals.size() * sizeof(float), kArrayBuffer});
        views.push_back({part->uvs.data(), part->uvs.size() * sizeof(float), kArrayBuffer});
        views.push_back({part->indices.data(), part->indices.size() * sizeof(std::uint32_t),
                         kElementArrayBuffer});
    }
    if (withImages) {
        views.push_back({textures.road.data(), textures.road.size(), 0});
        views.push_back({textures.kerb.data(), textures.kerb.size(), 0});
    }
    return views;
}

void PutU32(char* out, std::uint32_t value) {
    std::memcpy(out, &value, 4);
}

// Hands bytes to the sink in blocks and reports progress between them.
class CBlockWriter {
public:
    CBlockWriter(CByteSink& sink, const ExportProgress& progress, std::uint64_t total)
        : m_sink(sink), m_progress(progress), m_total(total) {}

    WriteOutcome Write(const void* data, std::uint64_t size) {
        const char* p = static_cast<const char*>(data);
        while (size > 0) {
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(size, kWriteBlock));
            if (!m_sink.Write(p, n)) {
                return WriteOutcome::Failed;
            }
            p += n;
            size -= n;
            m_done += n;
            if (m_progress && !m_progress(m_done, m_total)) {
                return WriteOutcome::Cancelled;
            }
        }
        return WriteOutcome::Written;
    }

private:
    CByteSink& m_sink;
    const ExportProgress& m_progress;
    std::uint64_t m_total;
    std::uint64_t m_done = 0;
};

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

WriteOutcome WriteGlb(CByteSink& sink, const RoadMesh& mesh, const RoadModelInfo& info,
                      const RoadTextureImages& textures, const ExportProgress& progress) {
    if (mesh.samples <= 0 || !mesh.finite) {
        return WriteOutcome::Failed;
    }
    const bool withImages = !textures.Empty();
    const std::vector<View> views = BinaryViews(mesh, textures, withImages);
    std::string json = SceneJson(mesh, info, withImages, views);
    json.resize(Padded(json.size()), ' ');
    std::uint64_t binary = 0;
    for (const View& view : views) {
        binary += Padded(view.size);
    }
    const std::uint64_t total =
        kHeaderBytes + kChunkHeaderBytes + json.size() + kChunkHeaderBytes + binary;
    if (total > kMaxGlbBytes) {
        return WriteOutcome::Failed;
    }

    CBlockWriter out(sink, progress, total);
    char header[kHeaderBytes + kChunkHeaderBytes];
    PutU32(header, kMagic);
    PutU32(header + 4, kVersion);
    PutU32(header + 8, static_cast<std::uint32_t>(total));
    PutU32(header + 12, static_cast<std::uint32_t>(json.size()));
    PutU32(header + 16, kChunkJson);
    WriteOutcome outcome = out.Write(header, sizeof header);
    if (outcome == WriteOutcome::Written) {
        outcome = out.Write(json.data(), json.size());
    }
    json = std::string(); // the text is in the file: give its memory back
    char binHeader[kChunkHeaderBytes];
    PutU32(binHeader, static_cast<std::uint32_t>(binary));
    PutU32(binHeader + 4, kChunkBin);
    if (outcome == WriteOutcome::Written) {
        outcome = out.Write(binHeader, sizeof binHeader);
    }
    constexpr char kZeros[4] = {};
    for (const View& view : views) {
        if (outcome != WriteOutcome::Written) {
            break;
        }
        outcome = out.Write(view.data, view.size);
        if (outcome == WriteOutcome::Written && Padded(view.size) != view.size) {
            outcome = out.Write(kZeros, Padded(view.size) - view.size);
        }
    }
    return outcome;
}

} // namespace rolvet
