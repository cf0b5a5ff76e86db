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

} // namespace

QIcon AppIcon() {
    return FromSizes(&rolvet::icons::AppIconResource);
}

QIcon DocumentIcon() {
    return FromSizes(&rolvet::icons::DocumentIconResource);
}

QIcon ToolbarIcon(const char* name) {
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/%1.png").arg(QLatin1String(name)), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/%1@2x.png").arg(QLatin1String(name)), QSize(32, 32));
    return icon;
}
