#include "export/ObjWriter.h"

#include "common/Strings.h"
#include "export/MqoWriter.h"
#include "export/TextBuffer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
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

// "v x y z" in the file's unit.
void AppendPosition(CTextBuffer& out, const float* p, double scale) {
    const float scaled[] = {Scaled(p[0], scale), Scaled(p[1], scale), Scaled(p[2], scale)};
    AppendTuple(out, "v", scaled, 3);
}

enum class Section { Positions, TextureCoordinates, Normals };

// Walks the S rings of the closed loop for the walls and the collision mesh, handing each piece
// (wall positions, wall normals, collision positions, ring count) to use.
template <typename Report, typename Use>
WriteResult GameRings(const CRoadMeshRings& rings, RoadMeshPart& road, RoadMeshPart& kerb,
                      float rise, bool walls, Report& report, Use&& use) {
    const auto perCollision = static_cast<std::size_t>(CollisionVerticesPerRing(walls));
    std::vector<float> positions(3 * kWallVerticesPerRing * kRingsPerPiece);
    std::vector<float> normals(positions.size());
    std::vector<float> collision(3 * perCollision * kRingsPerPiece);
    for (std::int64_t first = 0; first < rings.Samples(); first += kRingsPerPiece) {
        const std::int64_t count = std::min(kRingsPerPiece, rings.Samples() - first);
        rings.Fill(first, count, road, kerb);
        const auto n = static_cast<std::size_t>(count);
        FillGameRings(kerb, n, rise, positions.data(), normals.data(), collision.data(), walls);
        use(positions.data(), normals.data(), collision.data(), n);
        if (const WriteResult r = report(count); !r.Written()) {
            return r;
        }
    }
    return {};
}

// Faces of `per` indices a sample from fill, numbered from base: "f v//vn ..." with normals,
// else "f v v v".
template <typename Report, typename Fill>
WriteResult Faces(CTextBuffer& out, std::int64_t samples, std::uint64_t base, std::size_t per,
                  bool withNormals, Report& report, Fill&& fill) {
    std::vector<std::uint32_t> indices(per * kRingsPerPiece);
    for (std::int64_t first = 0; first < samples; first += kRingsPerPiece) {
        const std::int64_t count = std::min(kRingsPerPiece, samples - first);
        fill(first, count, indices.data());
        const std::size_t n = static_cast<std::size_t>(count) * per;
        for (std::size_t t = 0; t < n; t += 3) {
            char* q = out.Reserve();
            *q++ = 'f';
            for (std::size_t c = 0; c < 3; ++c) {
                const std::uint64_t i = base + indices[t + c];
                *q++ = ' ';
                q = std::to_chars(q, q + 24, i).ptr;
                if (withNormals) {
                    *q++ = '/';
                    *q++ = '/';
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
    return {};
}

} // namespace

WriteResult WriteObj(CByteSink& sink, const CRoadMeshRings& rings, std::string_view mtlName,
                     const ExportProgress& progress, const GameExportOptions& game) {
    if (rings.Samples() <= 0 || !rings.Finite() || !(game.scale > 0.0) ||
        !std::isfinite(game.scale) || !(game.wallHeight >= 0.0) ||
        !std::isfinite(game.wallHeight)) {
        return {WriteOutcome::Failed, {}};
    }
    const std::int64_t ringCount = rings.Samples() + 1;
    const std::int64_t samples = rings.Samples();
    const double scale = game.scale;
    const bool walls = game.Walls();
    const float rise = static_cast<float>(game.wallHeight * scale);
    // Work units: each section pass over the rings of each part, and the faces of each part;
    // the walls' positions, normals and faces, the collision mesh's positions and faces.
    const auto total =
        static_cast<std::uint64_t>(6 * ringCount + 2 * samples + (walls ? 3 * ringCount : 0) +
                                   (game.collision ? 2 * ringCount : 0));
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
                        AppendPosition(out, &part->positions[3 * v], scale);
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
        if (walls && section != Section::TextureCoordinates) {
            if (const WriteResult r = GameRings(
                    rings, road, kerb, rise, walls, report,
                    [&](const float* positions, const float* normals, const float*, std::size_t n) {
                        for (std::size_t v = 0; v < kWallVerticesPerRing * n; ++v) {
                            if (section == Section::Positions) {
                                AppendPosition(out, &positions[3 * v], scale);
                            } else {
                                AppendTuple(out, "vn", &normals[3 * v], 3);
                            }
                        }
                    });
                !r.Written()) {
                return r;
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
    if (walls) {
        out.Append("g wall\nusemtl wall\n");
        if (const WriteResult r =
                Faces(out, samples, base, kWallIndicesPerSample, true, report,
                      [samples](std::int64_t first, std::int64_t count, std::uint32_t* indices) {
                          FillWallIndices(first, count, samples, indices);
                      });
            !r.Written()) {
            return r;
        }
        base += static_cast<std::uint64_t>(samples) * kWallVerticesPerRing;
    }
    if (game.collision) {
        // Its own object, positions only, for engines that take a named collision mesh.
        out.Append("o road-colonly\n");
        if (const WriteResult r =
                GameRings(rings, road, kerb, rise, walls, report,
                          [&](const float*, const float*, const float* collision, std::size_t n) {
                              const std::size_t per =
                                  static_cast<std::size_t>(CollisionVerticesPerRing(walls));
                              for (std::size_t v = 0; v < per * n; ++v) {
                                  AppendPosition(out, &collision[3 * v], scale);
                              }
                          });
            !r.Written()) {
            return r;
        }
        out.Append("g road-colonly\n");
        if (const WriteResult r = Faces(
                out, samples, base, static_cast<std::size_t>(CollisionIndicesPerSample(walls)),
                false, report,
                [samples, walls](std::int64_t first, std::int64_t count, std::uint32_t* indices) {
                    FillCollisionIndices(first, count, samples, walls, indices);
                });
            !r.Written()) {
            return r;
        }
    }
    out.Flush();
    return WriteResult::FromStatus(out.Status());
}

std::string MtlText(std::string_view roadImage, std::string_view kerbImage, bool wall) {
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
    if (wall) {
        text += "\nnewmtl wall\nKa 0.000000 0.000000 0.000000\nKd 0.700000 0.700000 0.700000\n"
                "Ks 0.000000 0.000000 0.000000\nd 1.000000\nillum 1\n";
    }
    return text;
}

} // namespace rolvet
