// The document's export command: asks for a model path, writes the road model in the format its
// extension names (Metasequoia, GLB or OBJ) with its textures.
#include "common/Strings.h"
#include "document/ExportOptionsDialog.h"
#include "document/NativePath.h"
#include "document/Prompts.h"
#include "document/RoadTextures.h"
#include "document/RolvetDoc.h"
#include "document/Tr.h"
#include "document/WaitCursor.h"
#include "export/RoadExport.h"
#include "export/RoadModel.h"
#include "racing/RacingLineFile.h"
#include "track/VertexStore.h"

#include <QCoreApplication>
#include <QProgressDialog>

#include <vector>

namespace {

// The progress dialog appears only when an export runs longer than this.
constexpr int kProgressDelayMs = 500;
constexpr int kProgressSteps = 1000;

} // namespace

void CRolvetDoc::ExportRacingLineCsv(QWidget* parent, const std::string& path,
                                     std::span<const CVector3D> points,
                                     std::span<const rolvet::PointShape> shapes) {
    CExportOptionsDialog options(points.size(), CExportOptionsDialog::Target::RacingLineCsv,
                                 parent);
    if (Prompts().RunDialog(options) != QDialog::Accepted) {
        return;
    }
    std::string message;
    {
        CWaitCursor wait;
        const rolvet::TrackRacingLine solved = rolvet::SolveTrackRacingLine(
            points, shapes, m_nDivisionCount, m_nRoadWidth, options.Options().vehicleWidth);
        message = solved.message;
        if (message.empty() && !rolvet::WriteRacingLineCsv(path, solved.line.points).ok) {
            message = rolvet::SubstitutePrintfString(
                rolvet::Translate(rolvet::str::kWriteFailed).c_str(), path);
        }
    }
    if (!message.empty()) {
        Prompts().ShowMessage(parent, QString::fromStdString(message));
    }
}

void CRolvetDoc::OnFileExport(QWidget* parent) {
    FileDialogRequest request;
    request.save = true;
    request.filters = {Tr(rolvet::str::kMqoFilter), Tr(rolvet::str::kGlbFilter),
                       Tr(rolvet::str::kObjFilter), Tr(rolvet::str::kRacingCsvFilter)};
    request.filterSuffixes = {QStringLiteral("mqo"), QStringLiteral("glb"), QStringLiteral("obj"),
                              QStringLiteral("csv")};
    request.defaultSuffix = QStringLiteral("mqo");

    const rolvet::RoadExportResult check =
        rolvet::CheckRoadExport(TheVertexStore().All().size(), m_nDivisionCount);
    if (check.status != rolvet::RoadExportStatus::Ok) {
        Prompts().ShowMessage(parent, QString::fromStdString(check.message));
        return;
    }

    // File dialogs decode names that are not UTF-8 with loss; find the folder they stand for.
    const QString path = ResolveLossyPath(Prompts().AskFileName(parent, request));
    if (path.isEmpty()) {
        return;
    }
    const std::string modelPath = PathToNative(path);

    // The points as they are now; the export never changes the track.
    const auto all = TheVertexStore().All();
    const std::vector<CVector3D> points(all.begin(), all.end());
    const auto ownShapes = TheVertexStore().Shapes();
    const std::vector<rolvet::PointShape> shapes(ownShapes.begin(), ownShapes.end());

    if (path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) {
        ExportRacingLineCsv(parent, modelPath, points, shapes);
        return;
    }
    const std::optional<rolvet::RoadFormat> format = rolvet::RoadFormatOf(modelPath);
    if (!format) {
        return; // another extension is refused without a word
    }

    // The engine formats ask for their game parts; キャンセル drops the export.
    rolvet::GameExportOptions game;
    if (*format != rolvet::RoadFormat::Mqo) {
        CExportOptionsDialog options(points.size(),
                                     *format == rolvet::RoadFormat::Glb
                                         ? CExportOptionsDialog::Target::Glb
                                         : CExportOptionsDialog::Target::Obj,
                                     parent);
        if (Prompts().RunDialog(options) != QDialog::Accepted) {
            return;
        }
        game = options.Options();
    }

    QProgressDialog progress(Tr(rolvet::str::kExporting), Tr(rolvet::str::kCancel), 0,
                             kProgressSteps, parent);
    progress.setWindowTitle(QString::fromUtf8(rolvet::str::kAppTitle));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(kProgressDelayMs);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setValue(0);

    rolvet::RoadExportRequest exportRequest;
    exportRequest.format = *format;
    exportRequest.modelPath = modelPath;
    exportRequest.roadWidth = m_nRoadWidth;
    exportRequest.points = points;
    exportRequest.shapes = shapes;
    exportRequest.divisions = m_nDivisionCount;
    exportRequest.halfWidth = rolvet::HalfRoadWidth(m_nRoadWidth);
    exportRequest.game = game;
    exportRequest.progress = [&progress](std::uint64_t done, std::uint64_t total) {
        if (total > 0) {
            progress.setValue(static_cast<int>(done * kProgressSteps / total));
        }
        return !progress.wasCanceled();
    };

    rolvet::RoadExportResult result;
    {
        CWaitCursor wait;
        // The racing line asked for is solved for the track as it is now; a road it cannot be
        // solved for is said so, and nothing is written. A long solve shows the progress
        // dialog, whose キャンセル stops it between iterations.
        rolvet::RacingOptions racing;
        racing.cancelled = [&progress] {
            QCoreApplication::processEvents();
            return progress.wasCanceled();
        };
        result = rolvet::SolveExportRacingLine(exportRequest, racing);
        if (result.status == rolvet::RoadExportStatus::Ok) {
            if (*format != rolvet::RoadFormat::Mqo) {
                exportRequest.textureSource = rolvet::FindTextureSource();
                exportRequest.textures =
                    LoadRoadTextureImages(QString::fromStdString(exportRequest.textureSource));
            }
            result = rolvet::ExportRoad(exportRequest);
        }
    }
    progress.close();

    if (!result.message.empty()) {
        Prompts().ShowMessage(parent, QString::fromStdString(result.message));
    }
}
