#include "app/RecentFileList.h"

#include "common/Strings.h"
#include "document/NativePath.h"

#include <QSettings>

namespace {

QSettings OpenSettings() {
    return QSettings(QString::fromUtf8(rolvet::str::kSettingsOrganization),
                     QString::fromUtf8(rolvet::str::kSettingsApplication));
}

constexpr const char* kGroup = "Recent File List";
constexpr QLatin1StringView kUrlPrefix("file://");

// Settings hold text: a name that is not UTF-8 is kept as a file URL of its bytes.
QString ToSetting(const QString& path) {
    if (DisplayPath(path) == path) {
        return path;
    }
    const std::string native = PathToNative(path);
    return kUrlPrefix +
           QString::fromLatin1(QByteArray(native.data(), static_cast<qsizetype>(native.size()))
                                   .toPercentEncoding("/"));
}

QString FromSetting(const QString& value) {
    if (!value.startsWith(kUrlPrefix)) {
        return value;
    }
    const QByteArray native =
        QByteArray::fromPercentEncoding(value.mid(kUrlPrefix.size()).toLatin1());
    return PathFromNative(
        std::string_view(native.constData(), static_cast<std::size_t>(native.size())));
}

} // namespace

void CRecentFileList::Load() {
    QSettings settings = OpenSettings();
    settings.beginGroup(kGroup);
    m_entries.clear();
    for (int i = 1; i <= kSize; ++i) {
        const QString path =
            FromSetting(settings.value(QStringLiteral("File%1").arg(i)).toString());
        if (!path.isEmpty() && !m_entries.contains(path)) {
            m_entries.append(path);
        }
    }
    emit changed();
}

void CRecentFileList::Save() const {
    QSettings settings = OpenSettings();
    settings.beginGroup(kGroup);
    for (int i = 1; i <= kSize; ++i) {
        const QString key = QStringLiteral("File%1").arg(i);
        if (i <= m_entries.size()) {
            settings.setValue(key, ToSetting(m_entries.at(i - 1)));
        } else {
            settings.remove(key);
        }
    }
}

void CRecentFileList::Add(const QString& path) {
    m_entries.removeAll(path);
    m_entries.prepend(path);
    while (m_entries.size() > kSize) {
        m_entries.removeLast();
    }
    emit changed();
}

void CRecentFileList::Remove(const QString& path) {
    if (m_entries.removeAll(path) > 0) {
        emit changed();
    }
}
