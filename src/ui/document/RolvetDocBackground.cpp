// The picture under the plan: its step of the history, how it travels in the track file, and
// the 下絵 command.
#include "document/BackgroundDialog.h"
#include "document/NativePath.h"
#include "document/Prompts.h"
#include "document/RolvetDoc.h"
#include "document/WaitCursor.h"

#include <QBuffer>
#include <QImageReader>
#include <QUndoCommand>

#include <fstream>

namespace {

// Larger files are no picture anyone traces a track over; they are refused before they fill
// the memory.
constexpr qsizetype kMaxBackgroundFileSize = qsizetype{256} << 20;

} // namespace

// Setting, changing or clearing the picture. The pixels travel with the step, so undo and redo
// never read the file again.
class CRolvetDoc::CBackgroundStep : public QUndoCommand {
public:
    CBackgroundStep(CRolvetDoc& doc, std::optional<rolvet::BackgroundImage> after,
                    QImage afterPixels)
        : m_doc(doc), m_before(doc.m_background), m_beforePixels(doc.m_backgroundPixels),
          m_after(std::move(after)), m_afterPixels(std::move(afterPixels)) {}

    void redo() override { m_doc.ApplyBackground(m_after, m_afterPixels); }
    void undo() override { m_doc.ApplyBackground(m_before, m_beforePixels); }

private:
    CRolvetDoc& m_doc;
    std::optional<rolvet::BackgroundImage> m_before;
    QImage m_beforePixels;
    std::optional<rolvet::BackgroundImage> m_after;
    QImage m_afterPixels;
};

void CRolvetDoc::ApplyBackground(std::optional<rolvet::BackgroundImage> image, QImage pixels) {
    m_background = std::move(image);
    m_backgroundPixels = m_background ? std::move(pixels) : QImage();
    emit backgroundChanged();
}

void CRolvetDoc::SetBackground(std::optional<rolvet::BackgroundImage> image, QImage pixels) {
    if (image == m_background && (!image || pixels.cacheKey() == m_backgroundPixels.cacheKey())) {
        return;
    }
    PushStep(new CBackgroundStep(*this, std::move(image), std::move(pixels)));
}

QImage CRolvetDoc::ReadBackgroundPixels(const QString& path) {
    // Read through the file's own bytes, so a name that is not UTF-8 opens too.
    std::ifstream file(PathToNative(path), std::ios::binary);
    if (!file) {
        return {};
    }
    QByteArray bytes;
    char chunk[1 << 16];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        if (bytes.size() + file.gcount() > kMaxBackgroundFileSize) {
            return {};
        }
        bytes.append(chunk, file.gcount());
    }
    if (file.bad()) {
        return {};
    }
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    if (format != "png" && format != "jpeg") {
        return {};
    }
    reader.setAutoTransform(true); // a photo shows the way up its camera recorded
    QImage image = reader.read();
    if (image.isNull()) {
        return {};
    }
    // The plan draws from premultiplied pixels, Qt's fastest source for scaled drawing.
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

std::vector<std::byte> CRolvetDoc::ExtensionChunks() const {
    return ExtensionChunksFor(m_strPathName.isEmpty()
                                  ? std::filesystem::path()
                                  : std::filesystem::path(PathToNative(m_strPathName)));
}

std::vector<std::byte>
CRolvetDoc::ExtensionChunksFor(const std::filesystem::path& trackFile) const {
    if (!m_background) {
        return m_extensionChunks;
    }
    rolvet::BackgroundImage stored = *m_background;
    stored.path = rolvet::StoredBackgroundPath(m_background->path, trackFile);
    return rolvet::WithBackgroundChunk(m_extensionChunks, &stored);
}

void CRolvetDoc::AdoptBackground(const QString& trackFile) {
    rolvet::BackgroundImage image;
    if (rolvet::FindBackgroundChunk(m_extensionChunks, image) !=
        rolvet::BackgroundChunkState::Read) {
        // No picture; a chunk of another layout stays in the file as it is.
        return;
    }
    const std::filesystem::path track = trackFile.isEmpty()
                                            ? std::filesystem::path()
                                            : std::filesystem::path(PathToNative(trackFile));
    image.path = rolvet::ResolveBackgroundPath(image.path, track).string();
    const QString file = PathFromNative(image.path);
    QImage pixels = ReadBackgroundPixels(file);
    if (pixels.isNull()) {
        m_strUnreadableBackground = DisplayPath(file);
    }
    // The setting stays with the track even when the file is missing, so saving keeps it.
    ApplyBackground(std::move(image), std::move(pixels));
}

void CRolvetDoc::OnBackgroundImage(QWidget* parent) {
    CBackgroundDialog dialog(m_background, m_backgroundPixels, parent);
    if (Prompts().RunDialog(dialog) != QDialog::Accepted) {
        return;
    }
    SetBackground(dialog.Image(), dialog.Pixels());
    UpdateAllViews();
}
