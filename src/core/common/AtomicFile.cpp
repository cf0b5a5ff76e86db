#include "common/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <signal.h>
#include <unistd.h>
#include <utility>

namespace rolvet {

namespace {

constexpr std::size_t kBufferSize = 1 << 16;
constexpr std::size_t kWritebackBytes = std::size_t{8} << 20;
constexpr int kNameAttempts = 100;

CAtomicFile::WriteFunction& WriteHook() {
    static CAtomicFile::WriteFunction hook;
    return hook;
}

bool& ForceNamedTemporary() {
    static bool force = false;
    return force;
}

ssize_t DoWrite(int fd, const void* data, std::size_t size) {
    if (const auto& hook = WriteHook()) {
        return hook(fd, data, size);
    }
    return ::write(fd, data, size);
}

mode_t CurrentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

std::filesystem::path ResolveTarget(const std::filesystem::path& target) {
    std::error_code ec;
    if (std::filesystem::is_symlink(target, ec)) {
        auto resolved = std::filesystem::weakly_canonical(target, ec);
        if (!ec) {
            return resolved;
        }
    }
    return target;
}

// A fresh temporary name: short, so that it fits however long the target's name is.
std::string TemporaryName() {
    static std::mt19937 rng{std::random_device{}()};
    char name[64];
    std::snprintf(name, sizeof name, "%.*s%ld-%08x.tmp",
                  static_cast<int>(CAtomicFile::kTemporaryPrefix.size()),
                  CAtomicFile::kTemporaryPrefix.data(), static_cast<long>(::getpid()),
                  static_cast<unsigned>(rng()));
    return name;
}

// The process ID in a temporary name of ours, or 0 when the name is not one.
long TemporaryOwner(std::string_view name) {
    const auto prefix = CAtomicFile::kTemporaryPrefix;
    constexpr std::string_view kSuffix = ".tmp";
    if (name.size() < prefix.size() + kSuffix.size() || name.substr(0, prefix.size()) != prefix ||
        name.substr(name.size() - kSuffix.size()) != kSuffix) {
        return 0;
    }
    long pid = 0;
    std::size_t i = prefix.size();
    for (; i < name.size() && name[i] >= '0' && name[i] <= '9' && pid < 100000000; ++i) {
        pid = pid * 10 + (name[i] - '0');
    }
    const bool hexTail = i + 1 + 8 + kSuffix.size() == name.size() && name[i] == '-';
    return hexTail ? pid : 0;
}

void SyncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd); // some file systems cannot sync folders; the rename stands either way
        ::close(fd);
    }
}

} // namespace

CAtomicFile::ScopedWriteHook::ScopedWriteHook(WriteFunction fn) {
    WriteHook() = std::move(fn);
}
CAtomicFile::ScopedWriteHook::~ScopedWriteHook() {
    WriteHook() = nullptr;
}
CAtomicFile::ScopedNamedTemporary::ScopedNamedTemporary() {
    ForceNamedTemporary() = true;
}
CAtomicFile::ScopedNamedTemporary::~ScopedNamedTemporary() {
    ForceNamedTemporary() = false;
}

CAtomicFile::CAtomicFile(std::filesystem::path target) : m_target(ResolveTarget(target)) {
    m_folder = m_target.has_parent_path() ? m_target.parent_path() : std::filesystem::path(".");
}

CAtomicFile::~CAtomicFile() {
    Abandon();
}

void CAtomicFile::RemoveStaleTemporaries(const std::filesystem::path& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const long pid = TemporaryOwner(entry->d_name);
        if (pid <= 0 || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) {
            continue; // not ours, or its writer may still be running
        }
        struct stat st {};
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)) {
            ::unlinkat(dirFd, entry->d_name, 0);
        }
    }
    ::closedir(dir);
}

FileStatus CAtomicFile::CreateTemporary() {
    if (!ForceNamedTemporary()) {
        const int fd = ::open(m_folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (fd >= 0) {
            m_fd = fd;
            m_mode = Mode::Unnamed;
            return FileStatus::Success();
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            return FileStatus::FromErrno(errno);
        }
    }
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string path = (m_folder / TemporaryName()).string();
        const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        if (fd >= 0) {
            m_fd = fd;
            m_tempPath = path;
            m_mode = Mode::Named;
            return FileStatus::Success();
        }
        if (errno != EEXIST) {
            return FileStatus::FromErrno(errno);
        }
    }
    return FileStatus::FromErrno(EEXIST);
}

void CAtomicFile::CloseTemporary() {
    if (m_fd >= 0 && m_fd != m_targetFd) {
        ::close(m_fd);
    }
    m_fd = -1;
    if (!m_tempPath.empty()) {
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
    }
}

FileStatus CAtomicFile::Open() {
    Abandon();
    m_failed = false;
    m_replacing = false;
    m_extent = 0;
    m_unsynced = 0;
    struct stat st {};
    if (::stat(m_target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            return FileStatus::FromErrno(EISDIR);
        }
        if (!S_ISREG(st.st_mode)) {
            // Renaming over a device or pipe would replace the node itself, not write to it.
            return FileStatus::FromErrno(EACCES);
        }
        // Only a file the user could have written in place may be replaced.
        const int fd = ::open(m_target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            return FileStatus::FromErrno(errno);
        }
        m_targetFd = fd;
        m_targetStat = st;
        m_replacing = true;
    } else if (errno != ENOENT) {
        return FileStatus::FromErrno(errno);
    }

    RemoveStaleTemporaries(m_folder);
    FileStatus status = CreateTemporary();
    if (!status.ok && !(m_replacing && (status.err == EACCES || status.err == EPERM))) {
        Abandon();
        return status;
    }
    if (status.ok && m_replacing) {
        // A new file must keep the old one's owner; where we may not give it away, the old
        // file is written in place so that it stays its owner's.
        struct stat mine {};
        const bool sameOwner =
            ::fstat(m_fd, &mine) == 0 && mine.st_uid == st.st_uid && mine.st_gid == st.st_gid;
        if (!sameOwner && ::fchown(m_fd, st.st_uid, st.st_gid) != 0) {
            status = FileStatus::FromErrno(EPERM);
        }
    }
    if (!status.ok) {
        // The folder refuses new files, or the owner cannot be kept: write in place.
        CloseTemporary();
        const int flags = ::fcntl(m_targetFd, F_GETFL);
        ::fcntl(m_targetFd, F_SETFL, flags & ~O_NONBLOCK);
        m_fd = m_targetFd;
        m_mode = Mode::InPlace;
    } else {
        ::close(std::exchange(m_targetFd, -1));
    }
    m_buffer.reserve(kBufferSize);
    return FileStatus::Success();
}

FileStatus CAtomicFile::WriteAll(const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        // The disk is set to work every few megabytes, while more is written, so that the sync
        // at the end has little left to wait for.
        if (m_unsynced >= kWritebackBytes) {
            ::sync_file_range(m_fd, 0, 0, SYNC_FILE_RANGE_WRITE);
            m_unsynced = 0;
        }
        const ssize_t n = DoWrite(m_fd, p, std::min(size, kWritebackBytes - m_unsynced));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return FileStatus::FromErrno(errno);
        }
        if (n == 0) {
            return FileStatus::FromErrno(ENOSPC);
        }
        p += n;
        size -= static_cast<std::size_t>(n);
        m_unsynced += static_cast<std::size_t>(n);
    }
    return FileStatus::Success();
}

FileStatus CAtomicFile::FlushBuffer() {
    if (m_buffer.empty()) {
        return FileStatus::Success();
    }
    FileStatus status = WriteAll(m_buffer.data(), m_buffer.size());
    m_buffer.clear();
    return status;
}

FileStatus CAtomicFile::Write(const void* data, std::size_t size) {
    if (m_fd < 0) {
        return FileStatus::FromErrno(EBADF);
    }
    if (m_failed) {
        return m_firstError;
    }
    FileStatus status;
    if (m_buffer.size() + size <= kBufferSize) {
        const char* p = static_cast<const char*>(data);
        m_buffer.insert(m_buffer.end(), p, p + size);
    } else {
        status = FlushBuffer();
        if (status.ok) {
            if (size >= kBufferSize) {
                status = WriteAll(data, size);
            } else {
                const char* p = static_cast<const char*>(data);
                m_buffer.insert(m_buffer.end(), p, p + size);
            }
        }
    }
    if (!status.ok) {
        m_failed = true;
        m_firstError = status;
    }
    return status;
}

FileStatus CAtomicFile::WriteAt(std::uint64_t offset, const void* data, std::size_t size) {
    if (m_fd < 0) {
        return FileStatus::FromErrno(EBADF);
    }
    if (m_failed) {
        return m_firstError;
    }
    // Through the file position rather than pwrite, so that every write passes DoWrite.
    FileStatus status = FlushBuffer();
    const off_t position = status.ok ? ::lseek(m_fd, 0, SEEK_CUR) : 0;
    if (status.ok && (position < 0 || ::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) < 0)) {
        status = FileStatus::FromErrno(errno);
    }
    if (status.ok) {
        status = WriteAll(data, size);
        m_extent = std::max(m_extent, offset + size);
        if (::lseek(m_fd, position, SEEK_SET) < 0 && status.ok) {
            status = FileStatus::FromErrno(errno);
        }
    }
    if (!status.ok) {
        m_failed = true;
        m_firstError = status;
    }
    return status;
}

FileStatus CAtomicFile::PutInPlace() {
    struct stat st {};
    const bool exists = ::stat(m_target.c_str(), &st) == 0;
    if (m_mode == Mode::Named) {
        if (::rename(m_tempPath.c_str(), m_target.c_str()) != 0) {
            return FileStatus::FromErrno(errno);
        }
        m_tempPath.clear();
        return FileStatus::Success();
    }
    // An unnamed file gets its name through /proc, which needs no privilege.
    const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
    auto link = [&](const char* name) {
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name, AT_SYMLINK_FOLLOW) == 0) {
            return 0;
        }
        if (errno != ENOENT || ::access("/proc/self/fd", F_OK) == 0) {
            return errno;
        }
        return ::linkat(m_fd, "", AT_FDCWD, name, AT_EMPTY_PATH) == 0 ? 0 : errno;
    };
    if (!exists) {
        const int err = link(m_target.c_str());
        if (err != EEXIST) {
            return err == 0 ? FileStatus::Success() : FileStatus::FromErrno(err);
        }
    }
    // No file can take another's place by linking: link under a temporary name, then rename.
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string temp = (m_folder / TemporaryName()).string();
        const int err = link(temp.c_str());
        if (err == EEXIST) {
            continue;
        }
        if (err != 0) {
            return FileStatus::FromErrno(err);
        }
        if (::rename(temp.c_str(), m_target.c_str()) != 0) {
            const int renameErr = errno;
            ::unlink(temp.c_str());
            return FileStatus::FromErrno(renameErr);
        }
        return FileStatus::Success();
    }
    return FileStatus::FromErrno(EEXIST);
}

FileStatus CAtomicFile::Commit() {
    if (m_fd < 0) {
        return FileStatus::FromErrno(EBADF);
    }
    if (m_failed) {
        const FileStatus status = m_firstError;
        Abandon();
        return status;
    }
    FileStatus status = FlushBuffer();
    if (status.ok && m_mode == Mode::InPlace) {
        const off_t position = ::lseek(m_fd, 0, SEEK_CUR);
        const off_t length = std::max(position, static_cast<off_t>(m_extent));
        if (position < 0 || ::ftruncate(m_fd, length) != 0) {
            status = FileStatus::FromErrno(errno);
        }
    } else if (status.ok) {
        // The new file takes the place of the old one with its permissions (its owner was
        // given to it when it was created).
        struct stat st {};
        const bool replacing = ::stat(m_target.c_str(), &st) == 0;
        ::fchmod(m_fd, replacing ? (st.st_mode & 07777) : (0666 & ~CurrentUmask()));
    }
    if (status.ok && ::fsync(m_fd) != 0 && errno != EINVAL && errno != EROFS) {
        status = FileStatus::FromErrno(errno);
    }
    if (status.ok && m_mode != Mode::InPlace) {
        status = PutInPlace();
        if (status.ok) {
            SyncFolder(m_folder);
        }
    }
    if (status.ok) {
        const int fd = std::exchange(m_fd, -1);
        if (fd == m_targetFd) {
            m_targetFd = -1;
        }
        if (::close(fd) != 0 && m_mode == Mode::InPlace) {
            status = FileStatus::FromErrno(errno);
        }
        m_mode = Mode::Closed;
    }
    if (!status.ok) {
        Abandon();
    }
    return status;
}

FileStatus CAtomicFile::WriteFile(const std::filesystem::path& target, const void* data,
                                  std::size_t size) {
    CAtomicFile file(target);
    FileStatus status = file.Open();
    if (status.ok) {
        status = file.Write(data, size);
    }
    return status.ok ? file.Commit() : status;
}

void CAtomicFile::Abandon() {
    CloseTemporary();
    if (m_targetFd >= 0) {
        ::close(std::exchange(m_targetFd, -1));
    }
    m_mode = Mode::Closed;
    m_buffer.clear();
}

} // namespace rolvet
