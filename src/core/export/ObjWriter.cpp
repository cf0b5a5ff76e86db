#include "export/ObjWriter.h"

#include "common/Strings.h"
#include "export/MqoWriter.h"
#include "export/TextBuffer.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace rolvet {

namespace {

constexpr std::int64_t kRingsPerPiece = 2048;

// "head x y z" (or "head u v" with two components).
void AppendTuple(CTextBuffer& out, std::string_view head, const float* values, int count) {
    char* p = out.Reserve();
    p += head.copy(p, head.size());
    for (int c = 0; c < count; ++c) {
        *p++ = ' ';
        p = FormatFixed6(p, values[c]);
    }
    *p++ = '\n';
    out.Commit(p);
}

enum class Section { Positions, TextureCoordinates, Normals };

} // namespace

WriteResult WriteObj(CByteSink& sink, const CRoadMeshRings& rings, std::string_view mtlName,
                     const ExportProgress& progress) {
    if (rings.Samples() <= 0 || !rings.Finite()) {
        return {WriteOutcome::Failed, {}};
    }
    const std::int64_t ringCount = rings.Samples() + 1;
    const std::int64_t samples = rings.Samples();
    // Work units: each section pass over the rings of each part, and the faces of each part.
    const auto total = static_cast<std::uint64_t>(6 * ringCount + 2 * samples);
    std::uint64_t done = 0;
    CTextBuffer out(sink);
    auto report = [&](std::int64_t units) -> WriteResult {
        done += static_cast<std::uint64_t>(units);
        if (!out.Ok()) {
            return {WriteOutcome::Failed, out.Status()};
        }
        return {!progress || progress(done, total) ? WriteOutcome::Written
                                                   : WriteOutcome::Cancelled,
                {}};
    };

    out.Append("# ");
    out.Append(str::kProductName);
    out.Append(" ");
    out.Append(str::kVersion);
    out.Append("\nmtllib ");
    out.Append(mtlName);
    out.Append("\no road\n");

    // Positions, texture coordinates and normals of both parts; the kerb's follow the road's.
    RoadMeshPart road, kerb;
    for (RoadMeshPart* part : {&road, &kerb}) {
        const std::size_t perRing = part == &road ? kRoadVerticesPerRing : kKerbVerticesPerRing;
        part->positions.resize(3 * perRing * kRingsPerPiece);
        part->normals.resize(3 * perRing * kRingsPerPiece);
        part->uvs.resize(2 * perRing * kRingsPerPiece);
    }
    for (Section section : {Section::Positions, Section::TextureCoordinates, Section::Normals}) {
        for (const RoadMeshPart* part : {&road, &kerb}) {
            const std::size_t perRing = part == &road ? kRoadVerticesPerRing : kKerbVerticesPerRing;
            for (std::int64_t first = 0; first < ringCount; first += kRingsPerPiece) {
                const std::int64_t count = std::min(kRingsPerPiece, ringCount - first);
                rings.Fill(first, count, road, kerb);
                for (std::size_t v = 0; v < perRing * static_cast<std::size_t>(count); ++v) {
                    if (section == Section::Positions) {
                        AppendTuple(out, "v", &part->positions[3 * v], 3);
                    } else if (section == Section::Normals) {
                        AppendTuple(out, "vn", &part->normals[3 * v], 3);
                    } else {
                        // OBJ counts v from the bottom of the image, the mesh from the top.
                        const float uv[] = {part->uvs[2 * v], 1.0f - part->uvs[2 * v + 1]};
                        AppendTuple(out, "vt", uv, 2);
                    }
                }
                if (const WriteResult r = report(count); !r.Written()) {
                    return r;
                }
            }
        }
    }

    const char* names[] = {"road", "kerb"};
    std::vector<std::uint32_t> roadIndices(6 * kRingsPerPiece), kerbIndices(12 * kRingsPerPiece);
    std::uint64_t base = 1; // OBJ indices start at 1
    for (int p = 0; p < 2; ++p) {
        out.Append("g ");
        out.Append(names[p]);
        out.Append("\nusemtl ");
        out.Append(names[p]);
        out.Append("\n");
        for (std::int64_t first = 0; first < samples; first += kRingsPerPiece) {
            const std::int64_t count = std::min(kRingsPerPiece, samples - first);
            CRoadMeshRings::FillIndices(first, count, roadIndices.data(), kerbIndices.data());
            const std::uint32_t* indices = p == 0 ? roadIndices.data() : kerbIndices.data();
            const std::size_t n = static_cast<std::size_t>(count) * (p == 0 ? 6 : 12);
            for (std::size_t t = 0; t < n; t += 3) {
                char* q = out.Reserve();
                *q++ = 'f';
                for (std::size_t c = 0; c < 3; ++c) {
                    const std::uint64_t i = base + indices[t + c];
                    for (int k = 0; k < 3; ++k) {
                        *q++ = k == 0 ? ' ' : '/';
                        q = std::to_chars(q, q + 24, i).ptr;
                    }
                }
                *q++ = '\n';
                out.Commit(q);
            }
            if (const WriteResult r = report(count); !r.Written()) {
                return r;
            }
        }
        base += static_cast<std::uint64_t>(ringCount) *
                (p == 0 ? kRoadVerticesPerRing : kKerbVerticesPerRing);
    }
    out.Flush();
    return WriteResult::FromStatus(out.Status());
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
        text += "\nKa 0.000000 0.000000 0.000000\nKd 1.000000 1.000000 1.000000\n"
                "Ks 0.000000 0.000000 0.000000\nd 1.000000\nillum 1\nmap_Kd ";
        text += image;
        text += "\n";
    }
    return text;
}

} // namespace rolvet
