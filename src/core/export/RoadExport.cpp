#include "export/RoadExport.h"

#include "common/FileError.h"
#include "common/Strings.h"
#include "export/ObjWriter.h"
#include "export/ProgramDirectory.h"
#include "export/RoadMesh.h"
#include "export/RoadModel.h"

#include <algorithm>
#include <cmath>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>

#ifndef ROLVET_DATA_FROM_BINDIR
#define ROLVET_DATA_FROM_BINDIR "../share/rolvet/Data"
#endif
#ifndef ROLVET_INSTALLED_DATA_DIR
#define ROLVET_INSTALLED_DATA_DIR "/usr/local/share/rolvet/Data"
#endif

namespace rolvet {

namespace {

bool IsFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

RoadExportResult CopyFailed(const std::string& path) {
    return {RoadExportStatus::CopyFailed,
            SubstitutePrintfString(Translate(str::kCopyFailed).c_str(), path)};
}

// A failed write of an engine-format file: the cause in the texts that saving uses, or the
// export's own text when no file error stopped it.
RoadExportResult WriteFailed(const std::string& path, const FileStatus& status) {
    return {RoadExportStatus::WriteFailed,
            status.ok ? SubstitutePrintfString(Translate(str::kWriteFailed).c_str(), path)
                      : FileErrorMessage(status.cause, path)};
}

// Writes one model file through the atomic writer with the given serialiser.
template <typename Serialise>
WriteResult WriteModelFile(const std::string& path, Serialise serialise) {
    CAtomicFile file(path);
    if (const FileStatus opened = file.Open(); !opened.ok) {
        return {WriteOutcome::Failed, opened};
    }
    CAtomicFileSink sink(file);
    const WriteResult result = serialise(sink);
    if (!result.Written()) {
        file.Abandon();
        return result;
    }
    return WriteResult::FromStatus(file.Commit());
}

// "dir/name.obj" -> "name.mtl": the material library beside the model, as the model names it.
std::string MtlFileName(const std::string& modelPath) {
    const std::size_t separator = modelPath.find_last_of('/');
    std::string name = separator == std::string::npos ? modelPath : modelPath.substr(separator + 1);
    const std::size_t dot = name.rfind('.');
    return name.substr(0, dot) + ".mtl";
}

// GLB and OBJ: both carry the triangle mesh with texture coordinates by arc length.
RoadExportResult ExportMesh(const RoadExportRequest& request, const CRoadShape& shape) {
    if (request.divisions < 1) {
        return {RoadExportStatus::Invalid, Translate(str::kDivisionsTooSmall)};
    }
    for (const CVector3D& p : request.points) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
            return {RoadExportStatus::Invalid, Translate(str::kNotFinite)};
        }
    }
    // A GLB counts its length in 32 bits: refuse what cannot fit before any work. OBJ shares
    // the limit, which also bounds the memory the export needs.
    const std::int64_t samples =
        static_cast<std::int64_t>(request.points.size()) * request.divisions;
    if (GlbBytesBound(samples, request.points.size(), request.textures, request.game,
                      shape.Shaped(), !request.racingLine.samples.empty()) > kMaxGlbBytes) {
        return {RoadExportStatus::TooLarge, Translate(str::kTooManyVertices)};
    }

    // Progress: walking the centre line is the first half of the work, writing the second.
    const auto half = static_cast<std::uint64_t>(samples);
    auto walk = [&](std::uint64_t done, std::uint64_t) {
        return !request.progress || request.progress(done, 2 * half);
    };
    auto write = [&](std::uint64_t done, std::uint64_t total) {
        const std::uint64_t scaled =
            total > 0
                ? static_cast<std::uint64_t>(static_cast<double>(half) * static_cast<double>(done) /
                                             static_cast<double>(total))
                : half;
        return !request.progress || request.progress(half + scaled, 2 * half);
    };

    WriteResult written;
    const CRoadMeshRings rings(request.points, request.divisions, request.halfWidth, walk, &shape);
    if (rings.Cancelled()) {
        return {RoadExportStatus::Cancelled, {}};
    }
    if (!rings.Finite()) {
        return {RoadExportStatus::Invalid, Translate(str::kNotFinite)};
    }

    const std::string folder = GetDirectoryPart(request.modelPath).value_or(std::string());
    if (request.format == RoadFormat::Glb) {
        const RoadModelInfo info{request.points, request.roadWidth, request.divisions};
        written = WriteModelFile(request.modelPath, [&](CByteSink& sink) {
            return WriteGlb(sink, rings, info, request.textures, write, request.game,
                            request.racingLine);
        });
    } else {
        const std::string mtlName = MtlFileName(request.modelPath);
        written = WriteModelFile(request.modelPath, [&](CByteSink& sink) {
            return WriteObj(sink, rings, mtlName, write, request.game);
        });
        if (written.Written()) {
            const std::string mtl =
                MtlText(str::kRoadImageName, str::kKerbImageName, request.game.Walls());
            const FileStatus status =
                CAtomicFile::WriteFile(folder + mtlName, mtl.data(), mtl.size());
            if (!status.ok) {
                return WriteFailed(folder + mtlName, status);
            }
        }
    }
    if (written.outcome == WriteOutcome::Cancelled) {
        return {RoadExportStatus::Cancelled, {}};
    }
    if (!written.Written()) {
        return WriteFailed(request.modelPath, written.status);
    }

    if (request.format == RoadFormat::Glb) {
        if (request.textures.Empty()) {
            // The model is complete with plain colours; say which texture could not be used.
            const std::string source =
                request.textureSource.empty() ? FindTextureSource() : request.textureSource;
            return CopyFailed(source);
        }
        return {};
    }
    const std::pair<const char*, const std::string*> images[] = {
        {str::kRoadImageName, &request.textures.road},
        {str::kKerbImageName, &request.textures.kerb}};
    for (const auto& [name, bytes] : images) {
        // Without a texture source there is nothing to write: the copy failed, as for the
        // Metasequoia model.
        const std::string destination = folder + name;
        if (bytes->empty()) {
            return CopyFailed(destination);
        }
        const FileStatus status = CAtomicFile::WriteFile(destination, bytes->data(), bytes->size());
        if (!status.ok) {
            return {RoadExportStatus::CopyFailed, FileErrorMessage(status.cause, destination)};
        }
    }
    return {};
}

} // namespace

RoadExportResult CheckRoadExport(std::size_t pointCount, int divisions) {
    if (pointCount < 4) {
        return {RoadExportStatus::TooFewVertices, Translate(str::kNeedFourVertices)};
    }
    if (!RoadCountsFor(pointCount, divisions)) {
        return {RoadExportStatus::TooLarge, Translate(str::kTooManyVertices)};
    }
    return {};
}

bool HasMqoExtension(std::string_view path) {
    return RoadFormatOf(path) == RoadFormat::Mqo;
}

std::optional<RoadFormat> RoadFormatOf(std::string_view path) {
    const std::size_t separator = path.rfind('/');
    const std::string_view name =
        separator == std::string_view::npos ? path : path.substr(separator + 1);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view extension = name.substr(dot + 1);
    constexpr std::pair<std::string_view, RoadFormat> kFormats[] = {
        {"mqo", RoadFormat::Mqo}, {"glb", RoadFormat::Glb}, {"obj", RoadFormat::Obj}};
    for (const auto& [known, format] : kFormats) {
        if (extension.size() == known.size() &&
            std::equal(extension.begin(), extension.end(), known.begin(),
                       [](char a, char b) { return AsciiLower(a) == b; })) {
            return format;
        }
    }
    return std::nullopt;
}

std::string FindTextureSource() {
    const std::string programDir = GetProgramDirectory();
    const std::string beside = programDir + "Data/" + str::kTextureName;
    if (IsFile(beside)) {
        return beside;
    }
    if (!programDir.empty()) {
        const std::string relocated =
            programDir + ROLVET_DATA_FROM_BINDIR + "/" + str::kTextureName;
        if (IsFile(relocated)) {
            return relocated;
        }
    }
    const std::string installed = std::string(ROLVET_INSTALLED_DATA_DIR) + "/" + str::kTextureName;
    if (IsFile(installed)) {
        return installed;
    }
    return beside;
}

FileStatus CopyFileReplacing(const std::string& source, const std::string& destination) {
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return FileStatus::FromErrno(errno);
    }
    // Opening refuses a folder, device or pipe in place of the destination.
    CAtomicFile out(destination);
    FileStatus status = out.Open();
    char buffer[1 << 15];
    while (status.ok) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            status = FileStatus::FromErrno(errno);
        } else if (n == 0) {
            status = out.Commit();
            break;
        } else {
            status = out.Write(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(in);
    return status;
}

std::optional<std::string> CheckGameOptions(const GameExportOptions& game, std::size_t pointCount) {
    if (!std::isfinite(game.scale) || !(game.scale > 0.0)) {
        return "--scale takes a number of world units per metre above 0";
    }
    if (!std::isfinite(game.wallHeight) || !(game.wallHeight >= 0.0)) {
        return "--walls takes a height in metres of at least 0";
    }
    if (game.checkpoints < 0 || game.checkpoints > kMaxCheckpoints) {
        return "--checkpoints takes a count from 0 to " + std::to_string(kMaxCheckpoints);
    }
    if (game.start < 0 ||
        static_cast<std::size_t>(game.start) >= std::max<std::size_t>(pointCount, 1)) {
        return "--start takes a control point index from 0 to " +
               std::to_string(std::max<std::size_t>(pointCount, 1) - 1);
    }
    if (game.racingLine && (!std::isfinite(game.vehicleWidth) || !(game.vehicleWidth >= 0.0))) {
        return "--vehicle-width takes a width in metres of at least 0";
    }
    return std::nullopt;
}

RoadExportResult ExportRoad(const RoadExportRequest& request) {
    RoadExportResult result = CheckRoadExport(request.points.size(), request.divisions);
    if (result.status != RoadExportStatus::Ok) {
        return result;
    }
    const CRoadShape shape(request.shapes, request.points.size(), request.halfWidth);
    if (request.format != RoadFormat::Mqo) {
        if (const auto wrong = CheckGameOptions(request.game, request.points.size())) {
            return {RoadExportStatus::Invalid, *wrong};
        }
        return ExportMesh(request, shape);
    }
    switch (WriteMqoFile(request.modelPath, request.points, request.divisions, request.halfWidth,
                         request.progress, &shape)) {
    case WriteOutcome::Written:
        break;
    case WriteOutcome::Cancelled:
        return {RoadExportStatus::Cancelled, {}};
    case WriteOutcome::Failed:
        return {RoadExportStatus::WriteFailed,
                SubstitutePrintfString(Translate(str::kWriteFailed).c_str(), request.modelPath)};
    }
    const std::string source =
        request.textureSource.empty() ? FindTextureSource() : request.textureSource;
    // A path without a folder (possible on the command line) puts the texture in the current
    // folder, beside the model.
    const std::string destination =
        GetDirectoryPart(request.modelPath).value_or(std::string()) + str::kTextureName;
    if (!CopyFileReplacing(source, destination).ok) {
        return {RoadExportStatus::CopyFailed,
                SubstitutePrintfString(Translate(str::kCopyFailed).c_str(), destination)};
    }
    return {};
}

} // namespace rolvet
