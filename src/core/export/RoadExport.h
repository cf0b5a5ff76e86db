// The road export shared by the editor and the command line: checks, the model file and its
// textures, with the texts the user is shown. Three formats: the Metasequoia model with the
// road texture copied beside it, a self-contained GLB, and OBJ + MTL with the two texture
// images beside them.
#pragma once

#include "common/AtomicFile.h"
#include "export/GlbWriter.h"
#include "export/MqoWriter.h"
#include "track/PointShape.h"
#include "track/Vector3D.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace rolvet {

enum class RoadExportStatus {
    Ok,
    TooFewVertices, // fewer than four control points
    TooLarge,       // the vertex count does not fit the model format
    Invalid,        // the format cannot hold this track (non-finite numbers, no divisions)
    WriteFailed,    // the model could not be created or written; no texture copied
    Cancelled,      // stopped through the progress callback; no file left behind
    CopyFailed,     // the model is written but the texture could not be copied
};

struct RoadExportResult {
    RoadExportStatus status = RoadExportStatus::Ok;
    std::string message; // what the user is told (UTF-8); empty when nothing is said
};

enum class RoadFormat { Mqo, Glb, Obj };

struct RoadExportRequest {
    RoadFormat format = RoadFormat::Mqo;
    std::string modelPath;              // the file to write
    std::span<const CVector3D> points;  // the closed centre line
    std::span<const PointShape> shapes; // each point's own shape; points past the end have none
    int divisions = 0;
    float halfWidth = 0.0f;
    int roadWidth = 0;         // the document's width, recorded in GLB files
    std::string textureSource; // Metasequoia: the file copied; empty: FindTextureSource()
    // GLB and OBJ: the two texture images, cut from the road texture by the caller. Missing
    // images are reported as a failed copy of textureSource (GLB) or of the image (OBJ).
    RoadTextureImages textures;
    ExportProgress progress; // may be empty
    // GLB and OBJ: collision mesh, walls, timing nodes and unit (see GameParts.h); the defaults
    // write the plain road. Checked by CheckGameOptions.
    GameExportOptions game;
    // GLB: the racing line of the node "racingline", solved by the caller when game.racingLine
    // asks for it (SolveExportRacingLine); empty: no node.
    RacingLineExport racingLine;
};

// Whether a track can be exported at all (checked before a file name is asked for).
RoadExportResult CheckRoadExport(std::size_t pointCount, int divisions);

// Whether game options fit a track of pointCount control points; the English reason when not.
std::optional<std::string> CheckGameOptions(const GameExportOptions& game, std::size_t pointCount);

// Writes the model, then copies the texture beside it, replacing an existing one.
RoadExportResult ExportRoad(const RoadExportRequest& request);

// True when the file name's extension is "mqo" in any letter case.
bool HasMqoExtension(std::string_view path);

// The format a file name's extension (any letter case) asks for; nothing for other names.
std::optional<RoadFormat> RoadFormatOf(std::string_view path);

// Where the texture is taken from: "Data/Road.png" in the program's folder, or, when that is
// missing, the copy installed with the program.
std::string FindTextureSource();

// Copies source over destination through a temporary file: an existing destination is replaced
// only by a complete copy.
FileStatus CopyFileReplacing(const std::string& source, const std::string& destination);

} // namespace rolvet
