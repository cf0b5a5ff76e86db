// The list of the four most recently used track files, kept in the user's settings.
#pragma once

#include <QObject>
#include <QStringList>

class CRecentFileList : public QObject {
    Q_OBJECT

public:
    static constexpr int kSize = 4;

    // Reads the list from the settings group "Recent File List", keys File1..File4.
    void Load();
    // Writes it back.
    void Save() const;

    // Puts path at the top, removing an older entry of the same file.
    void Add(const QString& path);
    void Remove(const QString& path);
    const QStringList& Entries() const { return m_entries; }

signals:
    // The entries changed (by Load, Add or Remove).
    void changed();

private:
    QStringList m_entries;
};
