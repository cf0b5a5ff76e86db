#include "app/RecentFileList.h"

#include "common/Strings.h"

#include <QSettings>

namespace {

QSettings OpenSettings() {
    return QSettings(QString::fromUtf8(rolvet::str::kSettingsOrganization),
                     QString::fromUtf8(rolvet::str::kSettingsApplication));
}

constexpr const char* kGroup = "Recent File List";

} // namespace

void CRecentFileList::Load() {
    QSettings settings = OpenSettings();
    settings.beginGroup(kGroup);
    m_entries.clear();
    for (int i = 1; i <= kSize; ++i) {
        const QString path = settings.value(QStringLiteral("File%1").arg(i)).toString();
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
            settings.setValue(key, m_entries.at(i - 1));
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
