#include "export/ObjWriter.h"

#include "common/Strings.h"
#include "export/MqoWriter.h"

#include <charconv>
#include <vector>

namespace rolvet {

namespace {

constexpr std::size_t kBlockSize = std::size_t{1} << 16;
constexpr std::size_t kMaxLineLength = 256;
constexpr std::size_t kProgressInterval = 1 << 14; // lines between progress reports

// Collects lines in one block and hands full blocks to the sink.
class CLines {
public:
    explicit CLines(CByteSink& sink) : m_sink(sink), m_block(kBlockSize) {}

    char* Reserve() {
        if (m_used + kMaxLineLength > m_block.size()) {
            Flush();
        }
        return m_block.data() + m_used;
    }
    void Commit(char* end) { m_used = static_cast<std::size_t>(end - m_block.data()); }
    void Append(std::string_view text) {
        for (std::size_t at = 0; at < text.size(); at += kMaxLineLength) {
            const std::string_view piece = text.substr(at, kMaxLineLength);
            char* p = Reserve();
            piece.copy(p, piece.size());
            Commit(p + piece.size());
        }
    }
    bool Flush() {
        if (m_ok && m_used > 0) {
            m_ok = m_sink.Write(m_block.data(), m_used);
        }
        m_used = 0;
        return m_ok;
    }
    bool Ok() const { return m_ok; }

private:
    CByteSink& m_sink;
    std::vector<char> m_block;
    std::size_t m_used = 0;
    bool m_ok = true;
};

char* Number(char* p, float value) {
    return FormatFixed6(p, value);
}

char* Index(char* p, std::uint64_t value) {
    return std::to_chars(p, p + 24, value).ptr;
}

// "head x y z" (or "head u v" with two components).
void AppendTuple(CLines& out, std::string_view head, const float* values, int count) {
    char* p = out.Reserve();
    p += head.copy(p, head.size());
    for (int c = 0; c < count; ++c) {
        *p++ = ' ';
        p = Number(p, values[c]);
    }
    *p++ = '\n';
    out.Commit(p);
}

} // namespace

WriteOutcome WriteObj(CByteSink& sink, const RoadMesh& mesh, std::string_view mtlName,
                      const ExportProgress& progress) {
    if (mesh.samples <= 0 || !mesh.finite) {
        return WriteOutcome::Failed;
    }
    const RoadMeshPart* parts[] = {&mesh.road, &mesh.kerb};
    const char* names[] = {"road", "kerb"};
    std::uint64_t lines = 0;
    for (const RoadMeshPart* part : parts) {
        lines += 3 * part->VertexCount() + part->indices.size() / 3;
    }
    std::uint64_t done = 0;
    CLines out(sink);
    auto step = [&]() {
        if (++done % kProgressInterval != 0) {
            return WriteOutcome::Written;
        }
        if (!out.Ok()) {
            return WriteOutcome::Failed;
        }
        return !progress || progress(done, lines) ? WriteOutcome::Written : WriteOutcome::Cancelled;
    };

    out.Append("# ");
    out.Append(str::kProductName);
    out.Append(" ");
    out.Append(str::kVersion);
    out.Append("\nmtllib ");
    out.Append(mtlName);
    out.Append("\no road\n");
    // Positions, texture coordinates and normals of both parts; the kerb's follow the road's.
    for (const RoadMeshPart* part : parts) {
        for (std::size_t v = 0; v < part->VertexCount(); ++v) {
            AppendTuple(out, "v", &part->positions[3 * v], 3);
            if (const WriteOutcome o = step(); o != WriteOutcome::Written) {
                return o;
            }
        }
    }
    for (const RoadMeshPart* part : parts) {
        for (std::size_t v = 0; v < part->VertexCount(); ++v) {
            // OBJ counts v from the bottom of the image, the mesh from the top.
            const float uv[] = {part->uvs[2 * v], 1.0f - part->uvs[2 * v + 1]};
            AppendTuple(out, "vt", uv, 2);
            if (const WriteOutcome o = step(); o != WriteOutcome::Written) {
                return o;
            }
        }
    }
    for (const RoadMeshPart* part : parts) {
        for (std::size_t v = 0; v < part->VertexCount(); ++v) {
            AppendTuple(out, "vn", &part->normals[3 * v], 3);
            if (const WriteOutcome o = step(); o != WriteOutcome::Written) {
                return o;
            }
        }
    }
    std::uint64_t base = 1; // OBJ indices start at 1
    for (int p = 0; p < 2; ++p) {
        out.Append("g ");
        out.Append(names[p]);
        out.Append("\nusemtl ");
        out.Append(names[p]);
        out.Append("\n");
        const std::vector<std::uint32_t>& indices = parts[p]->indices;
        for (std::size_t t = 0; t < indices.size(); t += 3) {
            char* q = out.Reserve();
            *q++ = 'f';
            for (int c = 0; c < 3; ++c) {
                const std::uint64_t i = base + indices[t + c];
                *q++ = ' ';
                q = Index(q, i);
                *q++ = '/';
                q = Index(q, i);
                *q++ = '/';
                q = Index(q, i);
            }
            *q++ = '\n';
            out.Commit(q);
            if (const WriteOutcome o = step(); o != WriteOutcome::Written) {
                return o;
            }
        }
        base += parts[p]->VertexCount();
    }
    if (!out.Flush()) {
        return WriteOutcome::Failed;
    }
    return !progress || progress(lines, lines) ? WriteOutcome::Written : WriteOutcome::Cancelled;
}

std::string MtlText(std::string_view roadImage, std::string_view kerbImage) {
    std::string text = "# ";
    text += str::kProductName;
    text += "\n";
    const std::pair<const char*, std::string_view> materials[] = {{"road", roadImage},
                                                                  {"kerb", kerbImage}};
    for (const auto& [name, image] : materials) {
        text += "\nnewmtl ";
        text += name;
        text += "\nKa 1.000000 1.000000 1.000000\nKd 1.000000 1.000000 1.000000\n"
                "Ks 0.000000 0.000000 0.000000\nd 1.000000\nillum 1\nmap_Kd ";
        text += image;
        text += "\n";
    }
    return text;
}

} // namespace rolvet
