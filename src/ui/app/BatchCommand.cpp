#include "app/BatchCommand.h"

#include "common/FileError.h"
#include "common/Strings.h"
#include "document/NativePath.h"
#include "document/RoadTextures.h"
#include "export/RoadExport.h"
#include "export/RoadModel.h"
#include "export/TrackInfo.h"
#include "import/PolylineImport.h"
#include "import/TrackFit.h"
#include "racing/RacingLine.h"
#include "racing/RacingLineFile.h"
#include "track/TrackFile.h"

#include <cerrno>
#include <charconv>
#include <cmath>
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
        "      GLB and OBJ take these options after OUT:\n"
        "      --scale S        world units per metre: every length is divided by S, so the\n"
        "                       file is in metres (default 1)\n"
        "      --collision      add the collision mesh road-colonly (road and kerbs, and walls)\n"
        "      --walls HEIGHT   add walls HEIGHT metres tall along both outer edges (0: none)\n"
        "      --checkpoints N  add nodes checkpoint_000 ... spread evenly over the lap\n"
        "      --start K        put the start node at control point K (default 0)\n"
        "      --racing-line    GLB: add the node racingline, the least-curvature line for a\n"
        "                       vehicle of --vehicle-width V metres (default 2)\n"
        "  rolvet --info TRACK.rolvet             print the track's readouts (lap length,\n"
        "                                         tightest radius, heights, grade, folds)\n"
        "                                         as one JSON object\n"
        "  rolvet --racing-line TRACK.rolvet OUT.csv [--vehicle-width V]\n"
        "                                         write the least-curvature line through the\n"
        "                                         road of TRACK (keeping half a vehicle of width\n"
        "                                         V metres, default 2, from the edges) to OUT as\n"
        "                                         CSV: x_m,y_m,z_m (east, north, height), one\n"
        "                                         row per road sample\n"
        "  rolvet --import IN OUT.rolvet [--tolerance M] [--width-tolerance M]\n"
        "                                         read a centre line from IN (CSV x,y[,z] or\n"
        "                                         x,y,right width,left width; GPX; GeoJSON)\n"
        "                                         and write it to OUT as a track with as few\n"
        "                                         points as keep the line within M metres\n"
        "                                         (default 0.5) and the widths within the\n"
        "                                         width tolerance (default 1)\n"
        "  rolvet --lang en|ja ...                show the editor and its messages in English\n"
        "                                         or Japanese (default: the choice made in\n"
        "                                         the editor's View > Language, else Japanese)\n"
        "  rolvet --help                          show this help\n"
        "  rolvet --version                       show the version\n"
        "\n"
        "Switches may start with - or -- and are read in any letter case.\n"
        "--export prints nothing and exits with 0 on success. It exits with 1 and prints\n"
        "the editor's message on standard error when the track cannot be read or the\n"
        "model or texture cannot be written, and with 2 on a usage error (OUT must end\n"
        "in .mqo, .glb or .obj; an unknown or malformed option). --info exits with 1 and prints "
        "the editor's message on\n"
        "standard error when the track cannot be read or its output cannot be written.\n"
        "--racing-line exits like --export (OUT must end in .csv, V must be a number of at\n"
        "least 0). --import exits like --export (OUT must end in .rolvet, M must be a number\n"
        "above 0).\n",
        rolvet::str::kProductName, rolvet::str::kVersion);
}

int UsageError(const std::string& what) {
    std::fprintf(stderr,
                 "rolvet: %s\nUsage: rolvet --export TRACK.rolvet OUT.mqo|OUT.glb|OUT.obj\n"
                 "       rolvet --export TRACK.rolvet OUT.glb|OUT.obj [--scale S] [--collision]\n"
                 "              [--walls HEIGHT] [--checkpoints N] [--start K]\n"
                 "       rolvet --export TRACK.rolvet OUT.glb --racing-line [--vehicle-width V]\n",
                 what.c_str());
    return kExitUsage;
}

// A finite decimal number, read independently of the process locale.
std::optional<double> ParseNumber(const QString& text) {
    const std::string s = text.trimmed().toStdString();
    double value = 0.0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || error != std::errc() || end != s.data() + s.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// A vehicle width in metres: a finite decimal number of at least 0.
std::optional<double> ParseVehicleWidth(const QString& text) {
    const std::optional<double> value = ParseNumber(text);
    return value && *value >= 0.0 ? value : std::nullopt;
}

// A whole number from 0 to `most`.
std::optional<int> ParseCount(const QString& text, int most) {
    const std::string s = text.trimmed().toStdString();
    int value = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || error != std::errc() || end != s.data() + s.size() || value < 0 ||
        value > most) {
        return std::nullopt;
    }
    return value;
}

// The export options of the command line; the reason when one is unknown or malformed.
std::optional<std::string> ParseGameOptions(const CommandLineInfo& info,
                                            rolvet::GameExportOptions& game) {
    if (!info.ignored.isEmpty()) {
        return "unknown option " + info.ignored.constFirst().toStdString();
    }
    for (const CommandLineInfo::ExportOption& option : info.exportOptions) {
        const std::string name = "--" + option.name.toStdString();
        if (option.name == QLatin1String("collision")) {
            game.collision = true;
            continue;
        }
        if (!option.value) {
            return name + " needs a value";
        }
        if (option.name == QLatin1String("scale") || option.name == QLatin1String("walls")) {
            const std::optional<double> value = ParseNumber(*option.value);
            const bool scale = option.name == QLatin1String("scale");
            if (!value || (scale ? !(*value > 0.0) : !(*value >= 0.0))) {
                return scale ? "--scale takes a number of world units per metre above 0"
                             : "--walls takes a height in metres of at least 0";
            }
            (scale ? game.scale : game.wallHeight) = *value;
        } else if (option.name == QLatin1String("checkpoints")) {
            const std::optional<int> value = ParseCount(*option.value, rolvet::kMaxCheckpoints);
            if (!value) {
                return "--checkpoints takes a whole number from 0 to " +
                       std::to_string(rolvet::kMaxCheckpoints);
            }
            game.checkpoints = *value;
        } else {
            const std::optional<int> value = ParseCount(*option.value, 1 << 30);
            if (!value) {
                return "--start takes a control point index of at least 0";
            }
            game.start = *value;
            game.startGiven = true;
        }
    }
    return std::nullopt;
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
    rolvet::GameExportOptions game;
    if (const auto wrong = ParseGameOptions(info, game)) {
        return UsageError(*wrong);
    }
    if (*format == rolvet::RoadFormat::Mqo && (!info.exportOptions.isEmpty() || info.racingLine)) {
        return UsageError("the export options apply to .glb and .obj files only");
    }
    if (info.racingLine && *format != rolvet::RoadFormat::Glb) {
        return UsageError("--racing-line with --export writes .glb files only");
    }
    if (info.vehicleWidth && !info.racingLine) {
        return UsageError("--vehicle-width applies to the racing line only");
    }
    if (info.racingLine) {
        game.racingLine = true;
        if (info.vehicleWidth) {
            const std::optional<double> width = ParseVehicleWidth(*info.vehicleWidth);
            if (!width) {
                return UsageError("--vehicle-width takes a width in metres of at least 0");
            }
            game.vehicleWidth = *width;
        }
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

    if (const auto wrong = rolvet::CheckGameOptions(game, track.vertices.size())) {
        return UsageError(*wrong);
    }

    rolvet::RoadExportRequest request;
    request.format = *format;
    request.game = game;
    request.modelPath = modelPath;
    request.roadWidth = track.roadWidth;
    request.points = track.vertices;
    request.shapes = track.shapes;
    request.divisions = track.divisionCount;
    request.halfWidth = rolvet::HalfRoadWidth(track.roadWidth);
    if (const rolvet::RoadExportResult solved = rolvet::SolveExportRacingLine(request);
        solved.status != rolvet::RoadExportStatus::Ok) {
        return Fail(solved.message);
    }
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
    rolvet::CRoadModel model;
    model.Update(track.vertices, track.shapes, track.divisionCount,
                 rolvet::HalfRoadWidth(track.roadWidth));
    if (model.State() == rolvet::RoadModelState::TooLarge) {
        return Fail(rolvet::Translate(rolvet::str::kTrackTooLarge));
    }
    const std::string json =
        rolvet::TrackInfoJson(track.vertices.size(), track.divisionCount, track.roadWidth, model);
    // A full disk or a closed pipe behind stdout is a failure with its cause, not a success.
    errno = 0;
    const bool written = std::fputs(json.c_str(), stdout) >= 0 && std::fputc('\n', stdout) != EOF;
    if (std::fflush(stdout) != 0 || !written || std::ferror(stdout)) {
        const int err = errno;
        return Fail(rolvet::FileErrorMessage(rolvet::FileCauseFromErrno(err),
                                             rolvet::Translate(rolvet::str::kStandardOutput)));
    }
    return 0;
}

int RacingUsageError(const char* what) {
    std::fprintf(
        stderr,
        "rolvet: %s\nUsage: rolvet --racing-line TRACK.rolvet OUT.csv [--vehicle-width V]\n", what);
    return kExitUsage;
}

bool HasExtension(const std::string& path, const char* extension) {
    const std::size_t n = std::char_traits<char>::length(extension);
    if (path.size() < n) {
        return false;
    }
    std::string tail = path.substr(path.size() - n);
    for (char& c : tail) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return tail == extension;
}

int ImportUsageError(const char* what) {
    std::fprintf(stderr,
                 "rolvet: %s\nUsage: rolvet --import IN OUT.rolvet [--tolerance M] "
                 "[--width-tolerance M]\n",
                 what);
    return kExitUsage;
}

// rolvet --import IN OUT.rolvet: a centre line fitted to a track file.
int RunImport(const CommandLineInfo& info) {
    if (info.operands.size() != 2) {
        return ImportUsageError(
            "--import takes exactly two arguments: a centre-line file and a track file");
    }
    const std::string inPath = PathToNative(info.operands[0]);
    const std::string outPath = PathToNative(info.operands[1]);
    if (!HasExtension(outPath, ".rolvet")) {
        return ImportUsageError("the output file must have the extension .rolvet");
    }
    rolvet::FitOptions options;
    const std::pair<const std::optional<QString>*, double*> tolerances[] = {
        {&info.tolerance, &options.tolerance}, {&info.widthTolerance, &options.widthTolerance}};
    for (const auto& [given, value] : tolerances) {
        if (*given) {
            const std::optional<double> metres = ParseNumber(**given);
            if (!metres || !(*metres > 0.0)) {
                return ImportUsageError("--tolerance and --width-tolerance take metres above 0");
            }
            *value = *metres;
        }
    }
    const rolvet::ImportResult imported = rolvet::ReadImportFile(inPath);
    if (!imported.Ok()) {
        return Fail(imported.message);
    }
    const rolvet::FitResult fit = rolvet::FitTrack(imported.line, options);
    const rolvet::TrackData& track = fit.track;
    if (const rolvet::TrackError error = rolvet::SaveTrackFile(
            outPath, track.divisionCount, track.roadWidth, track.vertices, track.shapes)) {
        return Fail(rolvet::TrackErrorMessage(error));
    }
    if (!fit.report.withinTolerance) {
        std::fprintf(stderr, "%s\n", rolvet::ImportToleranceNote(fit.report).c_str());
    }
    return 0;
}

// rolvet --racing-line TRACK OUT.csv [--vehicle-width V]: the racing line as CSV.
int RunRacingLine(const CommandLineInfo& info) {
    if (info.operands.size() != 2) {
        return RacingUsageError(
            "--racing-line takes exactly two arguments: a track file and a CSV file");
    }
    const std::string trackPath = PathToNative(info.operands[0]);
    const std::string outPath = PathToNative(info.operands[1]);
    if (!HasExtension(outPath, ".csv")) {
        return RacingUsageError("the output file must have the extension .csv");
    }
    double vehicleWidth = rolvet::kDefaultVehicleWidth;
    if (info.vehicleWidth) {
        const std::optional<double> width = ParseVehicleWidth(*info.vehicleWidth);
        if (!width) {
            return RacingUsageError("--vehicle-width takes a width in metres of at least 0");
        }
        vehicleWidth = *width;
    }

    rolvet::TrackData track;
    if (const rolvet::TrackError error = rolvet::LoadTrackFile(trackPath, track)) {
        return Fail(rolvet::TrackErrorMessage(error));
    }
    const rolvet::TrackRacingLine solved = rolvet::SolveTrackRacingLine(
        track.vertices, track.shapes, track.divisionCount, track.roadWidth, vehicleWidth);
    if (!solved.message.empty()) {
        return Fail(solved.message);
    }
    const rolvet::RacingLine& line = solved.line;
    if (!rolvet::WriteRacingLineCsv(outPath, line.points).ok) {
        return Fail(rolvet::SubstitutePrintfString(
            rolvet::Translate(rolvet::str::kWriteFailed).c_str(), outPath));
    }
    if (!line.narrowSamples.empty()) {
        std::fprintf(stderr, "%s\n",
                     rolvet::SubstituteArg(rolvet::Translate(rolvet::str::kRacingNarrow),
                                           std::to_string(line.narrowSamples.size()))
                         .c_str());
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
    case CommandLineInfo::Action::RacingLine:
        return RunRacingLine(info);
    case CommandLineInfo::Action::Import:
        return RunImport(info);
    case CommandLineInfo::Action::Run:
    case CommandLineInfo::Action::Register:
    case CommandLineInfo::Action::Unregister:
        break;
    }
    return std::nullopt;
}
