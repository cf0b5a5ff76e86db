// Every file the program writes goes through this class. The new contents are written to a
// file that has no name yet (or, where the file system cannot do that, to a short temporary
// name of our own) and put in place only once every byte has been written and synced. A
// failure or a kill at any point leaves an existing file byte-identical and, for a new name,
// no file at all.
//
// A file the user could not have written in place is never replaced. A writable file in a
// folder that refuses new files, or another user's writable file whose owner a new file could
// not keep, is written in place instead.
#pragma once

#include "common/FileError.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

namespace rolvet {

struct FileStatus {
    bool ok = true;
    FileCause cause = FileCause::Generic;
    int err = 0;

    static FileStatus Success() { return {}; }
    static FileStatus FromErrno(int e) { return {false, FileCauseFromErrno(e), e}; }
};

class CAtomicFile {
public:
    // The function every write goes through; tests replace it to make writes fail.
    using WriteFunction = std::function<ssize_t(int fd, const void* data, std::size_t size)>;

    // Installs a write function for its lifetime (tests only).
    class ScopedWriteHook {
    public:
        explicit ScopedWriteHook(WriteFunction fn);
        ~ScopedWriteHook();
        ScopedWriteHook(const ScopedWriteHook&) = delete;
        ScopedWriteHook& operator=(const ScopedWriteHook&) = delete;
    };

    // Makes writers use a named temporary file, as on file systems without unnamed files,
    // for its lifetime (tests only).
    class ScopedNamedTemporary {
    public:
        ScopedNamedTemporary();
        ~ScopedNamedTemporary();
        ScopedNamedTemporary(const ScopedNamedTemporary&) = delete;
        ScopedNamedTemporary& operator=(const ScopedNamedTemporary&) = delete;
    };

    explicit CAtomicFile(std::filesystem::path target);
    ~CAtomicFile();
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    // Checks the target and creates the file that receives the data.
    FileStatus Open();
    // Buffers data and writes it out in large blocks.
    FileStatus Write(const void* data, std::size_t size);
    FileStatus Write(const std::string& text) { return Write(text.data(), text.size()); }
    // Writes data at offset from the file's start, past its end too (the gap stays to be
    // written), for writers that fill a file out of order. Write's own position is kept.
    FileStatus WriteAt(std::uint64_t offset, const void* data, std::size_t size);
    // Flushes and syncs the data, gives the file the target's permissions and puts it in place;
    // the folder is synced afterwards.
    FileStatus Commit();
    // Drops what was written; the target is untouched (unless it is being written in place).
    void Abandon();

    // Writes a whole file in one go.
    static FileStatus WriteFile(const std::filesystem::path& target, const void* data,
                                std::size_t size);

    // The path that is really written: symbolic links are followed to the file they name.
    const std::filesystem::path& Target() const { return m_target; }
    // True after Open when the target itself is written (see above).
    bool WritesInPlace() const { return m_mode == Mode::InPlace; }

    // Temporary names start with this prefix and carry the writer's process ID:
    // ".rolvet-<pid>-<random>.tmp".
    static constexpr std::string_view kTemporaryPrefix = ".rolvet-";
    // Removes temporary files that writers killed in the middle of their work left in folder.
    // Files of running processes and every other name are left alone.
    static void RemoveStaleTemporaries(const std::filesystem::path& folder);

private:
    enum class Mode { Closed, Unnamed, Named, InPlace };

    FileStatus FlushBuffer();
    FileStatus WriteAll(const void* data, std::size_t size);
    FileStatus CreateTemporary();
    FileStatus PutInPlace();
    void CloseTemporary();

    std::filesystem::path m_target;
    std::filesystem::path m_folder;
    std::string m_tempPath; // the named temporary, if any
    Mode m_mode = Mode::Closed;
    int m_fd = -1;       // where the data goes
    int m_targetFd = -1; // the existing target opened for writing
    bool m_replacing = false;
    struct stat m_targetStat {};
    bool m_failed = false;
    FileStatus m_firstError;
    std::vector<char> m_buffer;
    std::uint64_t m_extent = 0; // the end of what WriteAt wrote
    std::size_t m_unsynced = 0; // bytes written since the disk was last set to work
};

} // namespace rolvet
