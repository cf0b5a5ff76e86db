#include "app/BatchCommand.h"

#include "common/FileError.h"
#include "common/Strings.h"
#include "document/NativePath.h"
#include "document/RoadTextures.h"
#include "export/RoadExport.h"
#include "export/RoadRibbon.h"
#include "export/TrackModel.h"
#include "track/TrackFile.h"

#include <cerrno>
#include <cstdio>
#include <string>

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void PrintHelp() {
    std::printf(
        "%s %s\n\n"
        "Usage:\n"
        "  rolvet [TRACK.rolvet]                  start the editor, optionally on a track file\n"
        "  rolvet --export TRACK.rolvet OUT.mqo   write the road model of TRACK to OUT and copy\n"
        "                                         Road.png beside it, without opening a window\n"
        "  rolvet --export TRACK.rolvet OUT.glb   the same as one self-contained glTF binary file\n"
        "  rolvet --export TRACK.rolvet OUT.obj   the same as Wavefront OBJ + OUT.mtl + images\n"
        "  rolvet --info TRACK.rolvet             print the track's readouts (lap length,\n"
        "                                         tightest radius, heights, grade, folds)\n"
        "                                         as one JSON object\n"
        "  rolvet --help                          show this help\n"
        "  rolvet --version                       show the version\n"
        "\n"
        "Switches may start with - or -- and are read in any letter case.\n"
        "--export prints nothing and exits with 0 on success. It exits with 1 and prints\n"
        "the editor's message on standard error when the track cannot be read or the\n"
        "model or texture cannot be written, and with 2 on a usage error (OUT must end\n"
        "in .mqo, .glb or .obj). --info exits with 1 and prints the editor's message on\n"
        "standard error when the track cannot be read or its output cannot be written.\n",
        rolvet::str::kProductName, rolvet::str::kVersion);
}

int UsageError(const char* what) {
    std::fprintf(stderr,
                 "rolvet: %s\nUsage: rolvet --export TRACK.rolvet OUT.mqo|OUT.glb|OUT.obj\n", what);
    return kExitUsage;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return kExitFailure;
}

// A track whose shapes could not be read is still used, with a word on standard error.
void WarnIfShapeDamaged(const rolvet::TrackError& opened) {
    if (opened.shapeDamaged) {
        std::fprintf(stderr, "%s\n", rolvet::ShapeDamagedMessage(opened).c_str());
    }
}

// rolvet --export TRACK OUT: the same model and texture copy as the editor's export.
int RunExport(const CommandLineInfo& info) {
    if (info.operands.size() != 2) {
        return UsageError("--export takes exactly two arguments: a track file and a model file");
    }
    const std::string trackPath = PathToNative(info.operands[0]);
    const std::string modelPath = PathToNative(info.operands[1]);
    const std::optional<rolvet::RoadFormat> format = rolvet::RoadFormatOf(modelPath);
    if (!format) {
        return UsageError("the output file must have the extension .mqo, .glb or .obj");
    }

    rolvet::TrackData track;
    const rolvet::TrackError opened = rolvet::LoadTrackFile(trackPath, track);
    if (opened) {
        return Fail(rolvet::TrackErrorMessage(opened));
    }
    WarnIfShapeDamaged(opened);

    const rolvet::RoadExportResult check =
        rolvet::CheckRoadExport(track.vertices.size(), track.divisionCount);
    if (check.status != rolvet::RoadExportStatus::Ok) {
        return Fail(check.message);
    }

    rolvet::RoadExportRequest request;
    request.format = *format;
    request.modelPath = modelPath;
    request.roadWidth = track.roadWidth;
    request.points = track.vertices;
    request.divisions = track.divisionCount;
    request.halfWidth = rolvet::HalfRoadWidth(track.roadWidth);
    if (*format != rolvet::RoadFormat::Mqo) {
        request.textureSource = rolvet::FindTextureSource();
        request.textures = LoadRoadTextureImages(QString::fromStdString(request.textureSource));
    }
    const rolvet::RoadExportResult result = rolvet::ExportRoad(request);
    if (!result.message.empty()) {
        return Fail(result.message);
    }
    return result.status == rolvet::RoadExportStatus::Ok ? 0 : kExitFailure;
}

// rolvet --info TRACK: the readouts of the preview window as one JSON object on stdout.
int RunInfo(const CommandLineInfo& info) {
    if (info.operands.size() != 1) {
        std::fprintf(stderr, "rolvet: --info takes exactly one argument: a track file\n"
                             "Usage: rolvet --info TRACK.rolvet\n");
        return kExitUsage;
    }
    rolvet::TrackData track;
    const rolvet::TrackError opened = rolvet::LoadTrackFile(PathToNative(info.operands[0]), track);
    if (opened) {
        return Fail(rolvet::TrackErrorMessage(opened));
    }
    WarnIfShapeDamaged(opened);
    rolvet::CTrackModel model;
    model.Update(track.vertices, track.divisionCount, rolvet::HalfRoadWidth(track.roadWidth));
    if (model.State() == rolvet::TrackModelState::TooLarge) {
        return Fail(rolvet::str::kTrackTooLarge);
    }
    const std::string json =
        rolvet::TrackInfoJson(track.vertices.size(), track.divisionCount, track.roadWidth, model);
    // A full disk or a closed pipe behind stdout is a failure with its cause, not a success.
    errno = 0;
    const bool written = std::fputs(json.c_str(), stdout) >= 0 && std::fputc('\n', stdout) != EOF;
    if (std::fflush(stdout) != 0 || !written || std::ferror(stdout)) {
        const int err = errno;
        return Fail(rolvet::FileErrorMessage(rolvet::FileCauseFromErrno(err),
                                             rolvet::str::kStandardOutput));
    }
    return 0;
}

} // namespace

std::optional<int> RunBatchCommand(const CommandLineInfo& info) {
    switch (info.action) {
    case CommandLineInfo::Action::Help:
        PrintHelp();
        return 0;
    case CommandLineInfo::Action::Version:
        std::printf("%s %s\n", rolvet::str::kProductName, rolvet::str::kVersion);
        return 0;
    case CommandLineInfo::Action::Export:
        return RunExport(info);
    case CommandLineInfo::Action::Info:
        return RunInfo(info);
    case CommandLineInfo::Action::Run:
    case CommandLineInfo::Action::Register:
    case CommandLineInfo::Action::Unregister:
        break;
    }
    return std::nullopt;
}
