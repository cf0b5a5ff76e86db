#include "export/GltfScene.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

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
constexpr std::size_t kJsonPiece = 1 << 16;
// Room for one number of the bounds: the longest text of a float's exact value (a sign, 17
// digits, the point and a three-digit exponent) is 23 characters.
constexpr std::size_t kBoundsNumberRoom = 24;
// Room for ,"min":[x,y,z],"max":[x,y,z] in the JSON.
constexpr std::size_t kBoundsRoom =
    sizeof(",\"min\":[],\"max\":[]") - 1 + 4 + 6 * kBoundsNumberRoom;

constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;
constexpr int kFloat = 5126;
constexpr int kUnsignedInt = 5125;

std::uint64_t Padded(std::uint64_t size) {
    return (size + 3) & ~std::uint64_t{3};
}

void PutU32(char* out, std::uint32_t value) {
    std::memcpy(out, &value, 4);
}

// [a,b,...], each the shortest text of a double.
template <std::size_t N> void Doubles(CJson& json, const std::array<double, N>& values) {
    json.Raw("[");
    for (std::size_t i = 0; i < N; ++i) {
        json.Raw(i == 0 ? "" : ",").Double(values[i]);
    }
    json.Raw("]");
}

const char* VectorType(int components) {
    switch (components) {
    case 1:
        return "SCALAR";
    case 2:
        return "VEC2";
    case 3:
        return "VEC3";
    default:
        return "VEC4";
    }
}

} // namespace

char* FormatPoint(char* o, char* end, const CVector3D& p) {
    *o++ = '[';
    for (const float v : {p.x, p.y, p.z}) {
        // The height of a flat road, written as to_chars writes it, only sooner.
        if (v == 0.0f && !std::signbit(v)) {
            *o++ = '0';
        } else {
            o = std::to_chars(o, end, v).ptr;
        }
        *o++ = ',';
    }
    o[-1] = ']';
    return o;
}

CJson::CJson(std::function<bool(std::string_view)> out) : m_out(std::move(out)) {
    m_text.reserve(kJsonPiece + 64);
}

CJson& CJson::Raw(std::string_view text) {
    if (text.size() >= kJsonPiece) {
        // A long text goes on as it is, without a copy.
        Flush();
        m_ok = m_ok && m_out(text);
        m_handed += text.size();
        return *this;
    }
    m_text.append(text);
    if (m_text.size() >= kJsonPiece) {
        Flush();
    }
    return *this;
}

CJson& CJson::Int(std::int64_t value) {
    char buffer[24];
    return Raw({buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr});
}

CJson& CJson::Float(float value) {
    char buffer[32];
    return Raw({buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr});
}

CJson& CJson::Double(double value) {
    char buffer[32];
    return Raw({buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr});
}

CJson& CJson::Point(const CVector3D& p) {
    char buffer[kMaxPointChars];
    return Raw({buffer,
                static_cast<std::size_t>(FormatPoint(buffer, buffer + sizeof buffer, p) - buffer)});
}

CJson& CJson::String(std::string_view text) {
    Raw("\"");
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            const char escaped[] = {'\\', c};
            Raw({escaped, 2});
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
            Raw(escaped);
        } else {
            Raw({&c, 1});
        }
    }
    return Raw("\"");
}

bool CJson::Flush() {
    if (m_text.empty()) {
        return m_ok;
    }
    m_ok = m_ok && m_out(m_text);
    m_handed += m_text.size();
    m_text.clear();
    return m_ok;
}

CGlbOutput::CGlbOutput(CByteSink& sink, const ExportProgress& progress)
    : m_sink(sink), m_progress(progress) {}

WriteResult CGlbOutput::Write(std::size_t part, const void* data, std::uint64_t size) {
    if (part >= m_cursors.size()) {
        return {WriteOutcome::Failed, {}};
    }
    if (size > 0) {
        const FileStatus status =
            m_sink.WriteAt(m_cursors[part], static_cast<const char*>(data), size);
        if (!status.ok) {
            return {WriteOutcome::Failed, status};
        }
    }
    m_cursors[part] += size;
    m_done += size;
    if (m_progress && !m_progress(m_done, std::max(m_total, m_done))) {
        return {WriteOutcome::Cancelled, {}};
    }
    return {};
}

CGltfScene::CGltfScene(std::string generator) : m_generator(std::move(generator)) {}

int CGltfScene::AddView(std::uint64_t size, int target, int byteStride, GltfBytes bytes) {
    m_views.push_back({size, target, byteStride, std::move(bytes)});
    return static_cast<int>(m_views.size()) - 1;
}

int CGltfScene::AddTexture(std::string name, std::string_view png) {
    const int view = AddView(png.size(), 0, 0,
                             [png](CGlbOutput& out) { return out.Write(png.data(), png.size()); });
    m_images.push_back({std::move(name), view});
    return static_cast<int>(m_images.size()) - 1;
}

int CGltfScene::AddMaterial(GltfMaterial material) {
    m_materials.push_back(std::move(material));
    return static_cast<int>(m_materials.size()) - 1;
}

int CGltfScene::AddJointVertices(GltfBytes producer) {
    m_joints.push_back(std::move(producer));
    return static_cast<int>(m_joints.size()) - 1;
}

int CGltfScene::AddMesh(std::string name, std::vector<GltfPrimitive> primitives) {
    Mesh mesh{std::move(name), {}};
    for (GltfPrimitive& p : primitives) {
        int components = 0;
        for (const GltfAttribute& a : p.attributes) {
            components += a.components;
        }
        const int stride = components * static_cast<int>(sizeof(float));
        const int vertexView = AddView(p.vertexCount * static_cast<std::uint64_t>(stride),
                                       kArrayBuffer, stride, std::move(p.vertices));
        m_views[static_cast<std::size_t>(vertexView)].joint = p.joint;
        Primitive primitive{{}, 0, p.material, p.mode};
        std::uint64_t offset = 0;
        for (const GltfAttribute& a : p.attributes) {
            m_accessors.push_back(
                {vertexView, offset, p.vertexCount, kFloat, VectorType(a.components), a.bounds});
            primitive.attributes.emplace_back(a.name, static_cast<int>(m_accessors.size()) - 1);
            offset += static_cast<std::uint64_t>(a.components) * sizeof(float);
        }
        const bool jointIndices = p.joint >= 0 && !p.indices;
        const int indexView = AddView(p.indexCount * sizeof(std::uint32_t), kElementArrayBuffer, 0,
                                      std::move(p.indices));
        if (jointIndices) {
            m_views[static_cast<std::size_t>(indexView)].joint = p.joint;
        }
        m_accessors.push_back({indexView, 0, p.indexCount, kUnsignedInt, "SCALAR", {}});
        primitive.indices = static_cast<int>(m_accessors.size()) - 1;
        mesh.primitives.push_back(std::move(primitive));
    }
    m_meshes.push_back(std::move(mesh));
    return static_cast<int>(m_meshes.size()) - 1;
}

int CGltfScene::AddNode(GltfNode node) {
    m_nodes.push_back(std::move(node));
    return static_cast<int>(m_nodes.size()) - 1;
}

std::vector<std::pair<std::size_t, std::uint64_t>> CGltfScene::WriteJson(CJson& json) const {
    std::vector<std::pair<std::size_t, std::uint64_t>> late;
    auto separator = [&json](std::size_t i) { json.Raw(i == 0 ? "" : ","); };
    auto doubles = [&json](const auto& values) { Doubles(json, values); };
    json.Raw("{\"asset\":{\"version\":\"2.0\",\"generator\":").String(m_generator).Raw("},");
    json.Raw("\"scene\":0,\"scenes\":[{\"nodes\":[");
    for (std::size_t i = 0; i < m_nodes.size(); ++i) {
        separator(i);
        json.Int(static_cast<std::int64_t>(i));
    }
    json.Raw("]}],\"nodes\":[");
    for (std::size_t i = 0; i < m_nodes.size(); ++i) {
        const GltfNode& node = m_nodes[i];
        separator(i);
        json.Raw("{\"name\":").String(node.name);
        if (node.mesh >= 0) {
            json.Raw(",\"mesh\":").Int(node.mesh);
        }
        if (node.translation) {
            json.Raw(",\"translation\":");
            doubles(*node.translation);
        }
        if (node.rotation) {
            json.Raw(",\"rotation\":");
            doubles(*node.rotation);
        }
        if (node.extras) {
            json.Raw(",\"extras\":");
            node.extras(json);
        }
        json.Raw("}");
    }
    json.Raw("]");

    if (!m_meshes.empty()) {
        json.Raw(",\"meshes\":[");
        for (std::size_t m = 0; m < m_meshes.size(); ++m) {
            separator(m);
            json.Raw("{\"name\":").String(m_meshes[m].name).Raw(",\"primitives\":[");
            const auto& primitives = m_meshes[m].primitives;
            for (std::size_t p = 0; p < primitives.size(); ++p) {
                separator(p);
                json.Raw("{\"attributes\":{");
                for (std::size_t a = 0; a < primitives[p].attributes.size(); ++a) {
                    separator(a);
                    json.String(primitives[p].attributes[a].first)
                        .Raw(":")
                        .Int(primitives[p].attributes[a].second);
                }
                json.Raw("},\"indices\":").Int(primitives[p].indices);
                if (primitives[p].material >= 0) {
                    json.Raw(",\"material\":").Int(primitives[p].material);
                }
                json.Raw(",\"mode\":").Int(primitives[p].mode).Raw("}");
            }
            json.Raw("]}");
        }
        json.Raw("]");
    }

    if (!m_materials.empty()) {
        json.Raw(",\"materials\":[");
        for (std::size_t i = 0; i < m_materials.size(); ++i) {
            const GltfMaterial& material = m_materials[i];
            separator(i);
            json.Raw("{\"name\":").String(material.name).Raw(",\"pbrMetallicRoughness\":{");
            if (material.texture >= 0) {
                json.Raw("\"baseColorTexture\":{\"index\":").Int(material.texture).Raw("},");
            } else {
                json.Raw("\"baseColorFactor\":");
                doubles(material.colour);
                json.Raw(",");
            }
            json.Raw("\"metallicFactor\":").Double(material.metallic);
            json.Raw(",\"roughnessFactor\":").Double(material.roughness).Raw("}}");
        }
        json.Raw("]");
    }

    if (!m_images.empty()) {
        json.Raw(",\"samplers\":[{\"magFilter\":").Int(GltfSampler::kMagFilter);
        json.Raw(",\"minFilter\":").Int(GltfSampler::kMinFilter);
        json.Raw(",\"wrapS\":").Int(GltfSampler::kWrapS);
        json.Raw(",\"wrapT\":").Int(GltfSampler::kWrapT).Raw("}],\"textures\":[");
        for (std::size_t i = 0; i < m_images.size(); ++i) {
            separator(i);
            json.Raw("{\"sampler\":0,\"source\":").Int(static_cast<std::int64_t>(i)).Raw("}");
        }
        json.Raw("],\"images\":[");
        for (std::size_t i = 0; i < m_images.size(); ++i) {
            separator(i);
            json.Raw("{\"name\":").String(m_images[i].name);
            json.Raw(",\"bufferView\":").Int(m_images[i].view);
            json.Raw(",\"mimeType\":\"image/png\"}");
        }
        json.Raw("]");
    }

    if (!m_accessors.empty()) {
        json.Raw(",\"accessors\":[");
        for (std::size_t i = 0; i < m_accessors.size(); ++i) {
            const Accessor& a = m_accessors[i];
            separator(i);
            json.Raw("{\"bufferView\":").Int(a.view);
            if (a.offset != 0) {
                json.Raw(",\"byteOffset\":").Int(static_cast<std::int64_t>(a.offset));
            }
            json.Raw(",\"componentType\":").Int(a.componentType);
            json.Raw(",\"count\":").Int(static_cast<std::int64_t>(a.count));
            json.Raw(",\"type\":\"").Raw(a.type).Raw("\"");
            if (a.bounds) {
                // Spaces for now, the bounds once they are known.
                late.emplace_back(i, kHeaderBytes + kChunkHeaderBytes + json.Size());
                json.Raw(std::string(kBoundsRoom, ' '));
            }
            json.Raw("}");
        }
        json.Raw("]");
    }

    if (!m_views.empty()) {
        json.Raw(",\"bufferViews\":[");
        std::uint64_t offset = 0;
        for (std::size_t i = 0; i < m_views.size(); ++i) {
            const View& view = m_views[i];
            separator(i);
            json.Raw("{\"buffer\":0,\"byteOffset\":").Int(static_cast<std::int64_t>(offset));
            json.Raw(",\"byteLength\":").Int(static_cast<std::int64_t>(view.size));
            if (view.byteStride != 0) {
                json.Raw(",\"byteStride\":").Int(view.byteStride);
            }
            if (view.target != 0) {
                json.Raw(",\"target\":").Int(view.target);
            }
            json.Raw("}");
            offset += Padded(view.size);
        }
        json.Raw("],\"buffers\":[{\"byteLength\":").Int(static_cast<std::int64_t>(offset));
        json.Raw("}]");
    }
    json.Raw("}");
    return late;
}

std::uint64_t CGltfScene::BinaryBytes() const {
    std::uint64_t size = 0;
    for (const View& view : m_views) {
        size += Padded(view.size);
    }
    return size;
}

WriteResult CGltfScene::Write(CByteSink& sink, const ExportProgress& progress) const {
    const std::uint64_t binary = BinaryBytes();
    CGlbOutput out(sink, progress);
    // The JSON goes out first, behind room for the headers; until its length is known, progress
    // counts the file as long as what is known of it.
    out.m_cursors = {kHeaderBytes + kChunkHeaderBytes};
    out.m_total = kHeaderBytes + 2 * kChunkHeaderBytes + binary;
    WriteResult result;
    CJson json([&](std::string_view text) {
        out.m_total += text.size();
        result = out.Write(text.data(), text.size());
        return result.Written();
    });
    const auto late = WriteJson(json);
    json.Flush();
    if (!result.Written()) {
        return result;
    }
    const std::uint64_t jsonSize = out.m_cursors[0] - kHeaderBytes - kChunkHeaderBytes;
    const std::uint64_t jsonPadded = Padded(jsonSize);
    const std::uint64_t total = kHeaderBytes + kChunkHeaderBytes + jsonPadded +
                                (binary > 0 ? kChunkHeaderBytes + binary : 0);
    if (total > kMaxGlbBytes) {
        return {WriteOutcome::Failed, {}};
    }
    out.m_total = total;

    // JSON padding (spaces), then the BIN chunk's header.
    char tail[3 + kChunkHeaderBytes] = {' ', ' ', ' '};
    const std::size_t pad = static_cast<std::size_t>(jsonPadded - jsonSize);
    std::size_t tailSize = pad;
    if (binary > 0) {
        PutU32(tail + pad, static_cast<std::uint32_t>(binary));
        PutU32(tail + pad + 4, kChunkBin);
        tailSize += kChunkHeaderBytes;
    }
    result = out.Write(tail, tailSize);

    // Where each view starts; a joint producer writes all of its views when the first is due.
    std::vector<std::uint64_t> starts(m_views.size());
    std::uint64_t offset = out.m_cursors[0];
    for (std::size_t i = 0; i < m_views.size(); ++i) {
        starts[i] = offset;
        offset += Padded(m_views[i].size);
    }
    std::vector<bool> jointDone(m_joints.size(), false);
    constexpr char kZeros[4] = {};
    for (std::size_t i = 0; i < m_views.size() && result.Written(); ++i) {
        const View& view = m_views[i];
        std::vector<std::size_t> parts;
        if (view.joint >= static_cast<int>(m_joints.size())) {
            return {WriteOutcome::Failed, {}}; // a primitive names a joint producer never added
        }
        if (view.joint < 0) {
            parts = {i};
        } else if (!jointDone[static_cast<std::size_t>(view.joint)]) {
            jointDone[static_cast<std::size_t>(view.joint)] = true;
            for (std::size_t v = i; v < m_views.size(); ++v) {
                if (m_views[v].joint == view.joint) {
                    parts.push_back(v);
                }
            }
        }
        if (parts.empty()) {
            continue;
        }
        out.m_cursors.clear();
        for (const std::size_t v : parts) {
            out.m_cursors.push_back(starts[v]);
        }
        result =
            view.joint < 0 ? view.bytes(out) : m_joints[static_cast<std::size_t>(view.joint)](out);
        for (std::size_t p = 0; p < parts.size() && result.Written(); ++p) {
            const std::uint64_t size = m_views[parts[p]].size;
            if (out.m_cursors[p] - starts[parts[p]] != size) {
                return {WriteOutcome::Failed,
                        {}}; // its producer wrote another length than declared
            }
            if (Padded(size) != size) {
                result = out.Write(p, kZeros, Padded(size) - size);
            }
        }
    }
    if (!result.Written()) {
        return result;
    }

    // The bounds, as the floats' exact values, which a reader compares in either precision.
    for (const auto& [accessor, at] : late) {
        const auto [low, high] = m_accessors[accessor].bounds();
        std::string text;
        CJson bounds([&text](std::string_view piece) {
            text.append(piece);
            return true;
        });
        for (const auto& [name, v] :
             {std::pair{",\"min\":", &low}, std::pair{",\"max\":", &high}}) {
            bounds.Raw(name);
            Doubles(bounds, std::array<double, 3>{v->x, v->y, v->z});
        }
        bounds.Flush();
        if (text.size() > kBoundsRoom) {
            return {WriteOutcome::Failed, {}};
        }
        text.resize(kBoundsRoom, ' ');
        out.m_cursors = {at};
        result = out.Write(text.data(), text.size());
        if (!result.Written()) {
            return result;
        }
    }

    // The headers, now that every length is known.
    char header[kHeaderBytes + kChunkHeaderBytes];
    PutU32(header, kMagic);
    PutU32(header + 4, kVersion);
    PutU32(header + 8, static_cast<std::uint32_t>(total));
    PutU32(header + 12, static_cast<std::uint32_t>(jsonPadded));
    PutU32(header + 16, kChunkJson);
    out.m_cursors = {0};
    return out.Write(header, sizeof header);
}

} // namespace rolvet
