#include "export/RoadExport.h"

#include "common/FileError.h"
#include "common/Strings.h"
#include "export/ProgramDirectory.h"
#include "export/RoadRibbon.h"

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

} // namespace

RoadExportResult CheckRoadExport(std::size_t pointCount, int divisions) {
    if (pointCount < 4) {
        return {RoadExportStatus::TooFewVertices, str::kNeedFourVertices};
    }
    if (!RoadCountsFor(pointCount, divisions)) {
        return {RoadExportStatus::TooLarge, str::kTooManyVertices};
    }
    return {};
}

bool HasMqoExtension(std::string_view path) {
    const std::size_t separator = path.rfind('/');
    const std::string_view name =
        separator == std::string_view::npos ? path : path.substr(separator + 1);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) {
        return false;
    }
    const std::string_view extension = name.substr(dot + 1);
    constexpr std::string_view kMqo = "mqo";
    if (extension.size() != kMqo.size()) {
        return false;
    }
    for (std::size_t i = 0; i < kMqo.size(); ++i) {
        if (AsciiLower(extension[i]) != kMqo[i]) {
            return false;
        }
    }
    return true;
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

RoadExportResult ExportRoad(const RoadExportRequest& request) {
    RoadExportResult result = CheckRoadExport(request.points.size(), request.divisions);
    if (result.status != RoadExportStatus::Ok) {
        return result;
    }
    switch (WriteMqoFile(request.modelPath, request.points, request.divisions, request.halfWidth,
                         request.progress)) {
    case WriteOutcome::Written:
        break;
    case WriteOutcome::Cancelled:
        return {RoadExportStatus::Cancelled, {}};
    case WriteOutcome::Failed:
        return {RoadExportStatus::WriteFailed,
                SubstitutePrintfString(str::kWriteFailed, request.modelPath)};
    }
    const std::string source =
        request.textureSource.empty() ? FindTextureSource() : request.textureSource;
    // A path without a folder (possible on the command line) puts the texture in the current
    // folder, beside the model.
    const std::string destination =
        GetDirectoryPart(request.modelPath).value_or(std::string()) + str::kTextureName;
    if (!CopyFileReplacing(source, destination).ok) {
        return {RoadExportStatus::CopyFailed,
                SubstitutePrintfString(str::kCopyFailed, destination)};
    }
    return {};
}

} // namespace rolvet
