#include "app/Icons.h"

// The toolbar always uses our own drawings rather than the desktop's icon theme: the nine
// images were drawn as one set (two of them, settings and vertex coordinates, have no
// theme counterpart, and a mix of styles reads badly), they look the same on every
// desktop and in screenshots, and looking icons up in a theme costs start-up time.

namespace rolvet::icons {

QString AppIconResource(int size) {
    return QStringLiteral(":/icons/app-%1.png").arg(size);
}

QString DocumentIconResource(int size) {
    return QStringLiteral(":/icons/document-%1.png").arg(size);
}

} // namespace rolvet::icons

namespace {

QIcon FromSizes(QString (*resource)(int)) {
    QIcon icon;
    for (const int size : rolvet::icons::kIconSizes) {
        icon.addFile(resource(size), QSize(size, size));
    }
    return icon;
}

const char* ToolbarImageName(int commandId) {
    switch (commandId) {
    case 57600:
        return "new"; // ID_FILE_NEW
    case 57601:
        return "open"; // ID_FILE_OPEN
    case 57603:
        return "save"; // ID_FILE_SAVE
    case 57635:
        return "cut"; // ID_EDIT_CUT
    case 57634:
        return "copy"; // ID_EDIT_COPY
    case 57637:
        return "paste"; // ID_EDIT_PASTE
    case 32775:
        return "settings"; // settings dialog
    case 32786:
        return "vertex"; // coordinates of the selected vertex
    case 57664:
        return "about"; // ID_APP_ABOUT
    default:
        return nullptr;
    }
}

} // namespace

QIcon AppIcon() {
    return FromSizes(&rolvet::icons::AppIconResource);
}

QIcon DocumentIcon() {
    return FromSizes(&rolvet::icons::DocumentIconResource);
}

QIcon ToolbarIcon(int commandId) {
    const char* name = ToolbarImageName(commandId);
    if (name == nullptr) {
        return {};
    }
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/%1.png").arg(QLatin1String(name)), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/%1@2x.png").arg(QLatin1String(name)), QSize(32, 32));
    return icon;
}
