#include "app/Recovery.h"

#include "common/AtomicFile.h"
#include "common/Strings.h"
#include "document/NativePath.h"
#include "document/Prompts.h"
#include "document/RolvetDoc.h"
#include "track/VertexStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>

#include <algorithm>
#include <bit>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kMagic[] = "RolvetRecovery1\n";
constexpr std::size_t kMagicSize = sizeof kMagic - 1;
constexpr const char* kSuffix = ".rolvet-recovery";
constexpr int kCheckIntervalMs = 1000; // a change is in the copy within two seconds

int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int signal) {
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

void AppendU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
    }
}

std::uint32_t ReadU32(const char* p) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
        v = (v << 8) | static_cast<unsigned char>(p[i]);
    }
    return v;
}

QString NewCopyPath() {
    std::random_device random;
    return CRecovery::Folder() + QStringLiteral("/%1-%2%3")
                                     .arg(::getpid())
                                     .arg(random(), 8, 16, QLatin1Char('0'))
                                     .arg(QLatin1String(kSuffix));
}

std::string LockPathOf(const QString& copy) {
    return PathToNative(copy + QStringLiteral(".lock"));
}

// Locks an open lock file without waiting. A lock on a file that was removed or replaced since
// it was opened guards nothing and counts as not taken. Closes fd unless the lock is taken.
int LockOpened(int fd, const std::string& path) {
    struct stat held {};
    struct stat named {};
    if (fd >= 0 && (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &held) != 0 ||
                    ::stat(path.c_str(), &named) != 0 || held.st_dev != named.st_dev ||
                    held.st_ino != named.st_ino)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Lets go of a lock, removing its file first when asked (while it is still held, so that no
// one takes a lock on a file that is about to go).
void ReleaseLock(int fd, const std::string& path, bool remove) {
    if (fd >= 0) {
        if (remove) {
            ::unlink(path.c_str());
        }
        ::close(fd);
    }
}

// Takes the lock of a copy whose editor has ended: -1 while its editor runs, while another
// editor offers it, or once it is gone. A copy without a lock file gets one.
int ClaimCopy(const QString& copy) {
    const std::string path = LockPathOf(copy);
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_CREAT | O_EXCL, 0600);
    }
    fd = LockOpened(fd, path);
    if (fd >= 0 && !QFileInfo::exists(copy)) {
        ReleaseLock(fd, path, true); // restored or deleted by the editor that held it
        return -1;
    }
    return fd;
}

// Every copy in the folder, newest first.
QStringList AllCopies() {
    QStringList copies;
    for (const QFileInfo& entry : QDir(CRecovery::Folder())
                                      .entryInfoList({QStringLiteral("*") + QLatin1String(kSuffix)},
                                                     QDir::Files, QDir::Time)) {
        copies.append(entry.filePath());
    }
    return copies;
}

// Removes lock files whose copy is gone and whose editor has ended (it wrote a copy, then saved
// and was killed). A running editor holds its lock, so its file stays.
void RemoveStrayLocks() {
    const QString lockSuffix = QLatin1String(kSuffix) + QStringLiteral(".lock");
    for (const QFileInfo& entry :
         QDir(CRecovery::Folder()).entryInfoList({QStringLiteral("*") + lockSuffix}, QDir::Files)) {
        const QString copy = entry.filePath().chopped(5);
        if (QFileInfo::exists(copy)) {
            continue;
        }
        const std::string path = PathToNative(entry.filePath());
        const int fd = LockOpened(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW), path);
        ReleaseLock(fd, path, !QFileInfo::exists(copy));
    }
}

} // namespace

CRecovery::CRecovery(CRolvetDoc& doc, QObject* parent)
    : QObject(parent), m_doc(doc), m_path(NewCopyPath()) {
    m_timer.setInterval(kCheckIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &CRecovery::Check);
    m_timer.start();
}

CRecovery::~CRecovery() {
    if (!m_keep) {
        Remove();
    }
    // A kept copy keeps its lock file; the lock itself goes with this editor.
    ReleaseLock(m_lockFd, LockPathOf(m_path), !m_keep);
    if (m_signals != nullptr) {
        for (const int s : {SIGTERM, SIGHUP, SIGINT}) {
            std::signal(s, SIG_DFL);
        }
    }
}

QString CRecovery::Folder() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state)) {
        state = QDir::homePath() + QStringLiteral("/.local/state");
    }
    return state + QStringLiteral("/rolvet/recovery");
}

std::uint64_t CRecovery::Fingerprint() const {
    // FNV-1a over 8-byte words: cheap enough to run every second over millions of vertices.
    std::uint64_t h = 1469598103934665603ULL;
    auto mix = [&h](std::uint64_t word) { h = (h ^ word) * 1099511628211ULL; };
    mix(static_cast<std::uint32_t>(m_doc.DivisionCount()));
    mix(static_cast<std::uint32_t>(m_doc.RoadWidth()));
    mix(qHash(m_doc.PathName()) ^ (std::uint64_t{qHash(m_doc.Title())} << 1));
    const CVertexStore& store = TheVertexStore();
    const auto all = store.All();
    mix(all.size());
    // The shapes as the copy holds them: resolved against the width, which is mixed in above.
    for (const rolvet::PointShape& shape : store.Shapes()) {
        const rolvet::ResolvedShape r = rolvet::Resolve(shape, m_doc.RoadWidth());
        mix((std::uint64_t{std::bit_cast<std::uint32_t>(r.widthLeft)} << 32) |
            std::bit_cast<std::uint32_t>(r.widthRight));
        mix(std::bit_cast<std::uint32_t>(r.bank));
    }
    mix(m_doc.ExtensionChunks().size());
    const auto* bytes = reinterpret_cast<const unsigned char*>(all.data());
    const std::size_t size = all.size_bytes();
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        mix(word);
    }
    for (; i < size; ++i) {
        mix(bytes[i]);
    }
    return h == 0 ? 1 : h;
}

void CRecovery::Check() {
    if (!m_doc.IsModified()) {
        Remove();
    } else if (Fingerprint() != m_written) {
        WriteNow();
    }
}

bool CRecovery::HoldLock() {
    if (m_lockFd >= 0) {
        return true;
    }
    std::error_code ec;
    std::filesystem::create_directories(PathToNative(Folder()), ec);
    // Another editor removing lock files without a copy may get between creating this one and
    // locking it; a fresh name then starts over.
    for (int attempt = 0; attempt < 8 && m_lockFd < 0; ++attempt) {
        if (attempt > 0) {
            m_path = NewCopyPath();
        }
        const std::string path = LockPathOf(m_path);
        m_lockFd = LockOpened(
            ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_CREAT | O_EXCL, 0600), path);
    }
    return m_lockFd >= 0;
}

void CRecovery::WriteNow() {
    // No copy without its lock: another editor would take it for an orphan.
    if (!m_doc.IsModified() || !HoldLock()) {
        return;
    }
    const std::string path = PathToNative(m_doc.PathName());
    const QByteArray title = m_doc.Title().toUtf8();
    std::string header(kMagic, kMagicSize);
    AppendU32(header, static_cast<std::uint32_t>(path.size()));
    header += path;
    AppendU32(header, static_cast<std::uint32_t>(title.size()));
    header.append(title.constData(), static_cast<std::size_t>(title.size()));

    const CVertexStore& store = TheVertexStore();
    const auto all = store.All();
    // The copy is the track file's own bytes, extension included.
    const rolvet::TrackTail tail = rolvet::MakeTrackTail(m_doc.RoadWidth(), all.size(),
                                                         store.Shapes(), m_doc.ExtensionChunks());
    const std::vector<std::byte> trackHeader =
        rolvet::SerializeTrack(m_doc.DivisionCount(), tail.widthField, {});
    rolvet::CAtomicFile file(PathToNative(m_path));
    rolvet::FileStatus status = tail.fits ? file.Open() : rolvet::FileStatus{false};
    if (status.ok) {
        status = file.Write(header);
    }
    if constexpr (std::endian::native == std::endian::little) {
        // The track file's own bytes: header with the count, then the vertices as they are.
        std::string counted(reinterpret_cast<const char*>(trackHeader.data()), 8);
        AppendU32(counted, static_cast<std::uint32_t>(all.size()));
        if (status.ok) {
            status = file.Write(counted);
        }
        if (status.ok) {
            status = file.Write(all.data(), all.size_bytes());
        }
        if (status.ok && !tail.extension.empty()) {
            status = file.Write(tail.extension.data(), tail.extension.size());
        }
    } else {
        const std::vector<std::byte> bytes = rolvet::SerializeTrack(
            m_doc.DivisionCount(), m_doc.RoadWidth(), all, store.Shapes(), m_doc.ExtensionChunks());
        if (status.ok) {
            status = file.Write(bytes.data(), bytes.size());
        }
    }
    if (status.ok && file.Commit().ok) {
        m_written = Fingerprint();
    }
}

void CRecovery::Remove() {
    if (m_written != 0 || QFileInfo::exists(m_path)) {
        ::unlink(PathToNative(m_path).c_str());
    }
    m_written = 0;
}

QStringList CRecovery::OrphanCopies() {
    QStringList orphans;
    for (const QString& copy : AllCopies()) {
        const int fd = ClaimCopy(copy);
        if (fd >= 0) {
            orphans.append(copy);
            ReleaseLock(fd, LockPathOf(copy), false);
        }
    }
    return orphans;
}

std::optional<CRecovery::Copy> CRecovery::ReadCopy(const QString& file) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray bytes = in.readAll();
    qsizetype at = static_cast<qsizetype>(kMagicSize);
    if (bytes.size() < at || std::memcmp(bytes.constData(), kMagic, kMagicSize) != 0) {
        return std::nullopt;
    }
    auto field = [&](QByteArray& out) {
        if (bytes.size() - at < 4) {
            return false;
        }
        const std::uint32_t size = ReadU32(bytes.constData() + at);
        at += 4;
        if (static_cast<std::uint64_t>(bytes.size() - at) < size) {
            return false;
        }
        out = bytes.mid(at, static_cast<qsizetype>(size));
        at += static_cast<qsizetype>(size);
        return true;
    };
    QByteArray path, title;
    Copy copy;
    if (!field(path) || !field(title) || bytes.size() - at < 12 ||
        rolvet::ParseTrack({reinterpret_cast<const std::byte*>(bytes.constData() + at),
                            static_cast<std::size_t>(bytes.size() - at)},
                           copy.track)) {
        return std::nullopt;
    }
    copy.file = file;
    copy.path =
        PathFromNative(std::string_view(path.constData(), static_cast<std::size_t>(path.size())));
    copy.title = QString::fromUtf8(title);
    return copy;
}

void CRecovery::OfferRestore(CRolvetDoc& doc, QWidget* window) {
    for (const QString& file : AllCopies()) {
        // Held while asking: no other editor offers this copy meanwhile.
        const int lock = ClaimCopy(file);
        if (lock < 0) {
            continue; // its editor is running, or another editor is offering it
        }
        const std::string lockPath = LockPathOf(file);
        const std::optional<Copy> copy = ReadCopy(file);
        if (!copy) {
            QFile::remove(file); // damaged: nothing can be restored from it
            ReleaseLock(lock, lockPath, true);
            continue;
        }
        const QString question = QString::fromUtf8(rolvet::str::kRestoreQuestion).arg(copy->title);
        const QMessageBox::StandardButton answer = Prompts().AskYesNoCancel(window, question);
        if (answer == QMessageBox::Yes) {
            doc.RestoreTrack(copy->title, copy->path, copy->track);
        }
        if (answer == QMessageBox::Yes || answer == QMessageBox::No) {
            // Restored (this editor's own copy takes over) or declined.
            QFile::remove(file);
            ReleaseLock(lock, lockPath, true);
        } else {
            ReleaseLock(lock, lockPath, false); // asked again at the next start
        }
        if (answer != QMessageBox::No) {
            break;
        }
    }
    RemoveStrayLocks();
}

void CRecovery::CatchTerminationSignals() {
    if (g_signalPipe[0] < 0 && ::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    m_signals = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
    connect(m_signals, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        while (::read(g_signalPipe[0], &byte, 1) > 0) {
        }
        emit terminationRequested();
    });
    struct sigaction action {};
    action.sa_handler = &OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int s : {SIGTERM, SIGHUP, SIGINT}) {
        ::sigaction(s, &action, nullptr);
    }
}
