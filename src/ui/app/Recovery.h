// Recovery copies: while the track has unsaved changes, a copy of it is kept in the user's state
// folder ($XDG_STATE_HOME/rolvet/recovery), written atomically within two seconds of every
// change and removed once the track is saved, discarded or the editor closes normally. When the
// editor is ended by SIGTERM, SIGHUP or SIGINT or by the desktop session, the copy is written
// and kept. At the next start the editor offers to restore copies whose editor is no longer
// running. Each editor has a copy of its own.
//
// Beside each copy lies a lock file ("<copy>.lock") that its editor holds with flock(2) from
// before the copy is first written until the editor ends. The system drops the lock however the
// editor ends, so a copy whose lock can be taken belongs to no running editor. An editor that
// offers a copy holds its lock while it asks, so two editors starting together never offer the
// same copy, and a copy whose lock is held is never offered.
#pragma once

#include "track/TrackFile.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <cstdint>
#include <optional>

class CRolvetDoc;
class QSocketNotifier;

class CRecovery : public QObject {
    Q_OBJECT

public:
    explicit CRecovery(CRolvetDoc& doc, QObject* parent = nullptr);
    // Removes the copy unless KeepCopy() was called.
    ~CRecovery() override;

    // The folder of all copies.
    static QString Folder();
    // This editor's copy.
    const QString& CopyPath() const { return m_path; }

    // Writes the copy when the track changed since the last one, removes it when the track has
    // no unsaved changes. Runs every second.
    void Check();
    // Writes the copy now if the track has unsaved changes.
    void WriteNow();
    // Leaves the copy in place when this object goes (the editor is being ended).
    void KeepCopy() { m_keep = true; }

    struct Copy {
        QString file;  // the copy itself
        QString path;  // the track's own file; empty for an untitled track
        QString title; // the track's title
        rolvet::TrackData track;
    };
    // Copies left by editors that are no longer running and that no other editor is offering,
    // newest first.
    static QStringList OrphanCopies();
    static std::optional<Copy> ReadCopy(const QString& file);
    // Asks about each orphan copy (newest first) whether to restore it: Yes opens it as a
    // modified track under its own name and path and stops asking; No deletes it; Cancel keeps
    // it for the next start. Lock files left without a copy are removed.
    static void OfferRestore(CRolvetDoc& doc, QWidget* window);

    // Routes SIGTERM, SIGHUP and SIGINT to terminationRequested (through the event loop).
    void CatchTerminationSignals();

signals:
    void terminationRequested();

private:
    std::uint64_t Fingerprint() const;
    void Remove();
    // Takes this editor's lock before its first copy is written; false when it cannot.
    bool HoldLock();

    CRolvetDoc& m_doc;
    QString m_path;
    QTimer m_timer;
    std::uint64_t m_written = 0; // fingerprint of the copy on disk; 0 for none
    bool m_keep = false;
    int m_lockFd = -1; // holds this editor's lock once it has written a copy
    QSocketNotifier* m_signals = nullptr;
};
