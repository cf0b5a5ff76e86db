#include "common/AtomicFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace rolvet {

namespace {

constexpr std::size_t kBufferSize = 1 << 16;

CAtomicFile::WriteFunction& WriteHook() {
    static CAtomicFile::WriteFunction hook;
    return hook;
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

} // namespace

void CAtomicFile::SetWriteFunctionForTesting(WriteFunction fn) { WriteHook() = std::move(fn); }

CAtomicFile::CAtomicFile(std::filesystem::path target) : m_target(ResolveTarget(target)) {}

CAtomicFile::~CAtomicFile() { Abandon(); }

FileStatus CAtomicFile::Open() {
    struct stat st {};
    if (::stat(m_target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            return FileStatus::FromErrno(EISDIR);
        }
        if (!S_ISREG(st.st_mode)) {
            // Renaming over a device or pipe would replace the node itself, not write to it.
            return FileStatus::FromErrno(EACCES);
        }
    }
    const auto folder = m_target.has_parent_path() ? m_target.parent_path() : std::filesystem::path(".");
    std::string name(".");
    name += m_target.filename().string();
    name += ".XXXXXX";
    std::string pattern = (folder / name).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        return FileStatus::FromErrno(errno);
    }
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    m_fd = fd;
    m_tempPath = std::move(pattern);
    m_failed = false;
    m_buffer.reserve(kBufferSize);
    return FileStatus::Success();
}

FileStatus CAtomicFile::WriteAll(const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = DoWrite(m_fd, p, size);
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
    if (status.ok) {
        // The new file takes the place of the old one with its permissions and, where we may
        // give it away (as root), its owner.
        struct stat st {};
        const bool replacing = ::stat(m_target.c_str(), &st) == 0;
        ::fchmod(m_fd, replacing ? (st.st_mode & 07777) : (0666 & ~CurrentUmask()));
        if (replacing && (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) &&
            ::fchown(m_fd, st.st_uid, st.st_gid) != 0) {
            // Not allowed to keep the owner: the file stays ours, as any newly written file.
        }
        if (::fsync(m_fd) != 0 && errno != EINVAL && errno != EROFS) {
            status = FileStatus::FromErrno(errno);
        }
    }
    if (status.ok) {
        const int fd = std::exchange(m_fd, -1);
        if (::close(fd) != 0) {
            status = FileStatus::FromErrno(errno);
        } else if (::rename(m_tempPath.c_str(), m_target.c_str()) != 0) {
            status = FileStatus::FromErrno(errno);
        } else {
            m_tempPath.clear();
        }
    }
    if (!status.ok) {
        Abandon();
    }
    return status;
}

void CAtomicFile::Abandon() {
    if (m_fd >= 0) {
        ::close(std::exchange(m_fd, -1));
    }
    if (!m_tempPath.empty()) {
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
    }
    m_buffer.clear();
}

} // namespace rolvet
