// Writes a file through a temporary file in the same folder and puts it in place only
// once every byte has been written and flushed. A failure at any point leaves an existing
// file byte-identical and, for a new name, no file at all.
#pragma once

#include "common/FileError.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
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

    explicit CAtomicFile(std::filesystem::path target);
    ~CAtomicFile();
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    // Creates the temporary file beside the target.
    FileStatus Open();
    // Buffers data and writes it out in large blocks.
    FileStatus Write(const void* data, std::size_t size);
    FileStatus Write(const std::string& text) { return Write(text.data(), text.size()); }
    // Flushes, syncs, gives the file the target's permissions and renames it over the target.
    FileStatus Commit();
    // Drops the temporary file; the target is untouched.
    void Abandon();

    // The path that is really written: symbolic links are followed to the file they name.
    const std::filesystem::path& Target() const { return m_target; }

    static void SetWriteFunctionForTesting(WriteFunction fn);

private:
    FileStatus FlushBuffer();
    FileStatus WriteAll(const void* data, std::size_t size);

    std::filesystem::path m_target;
    std::string m_tempPath;
    int m_fd = -1;
    bool m_failed = false;
    FileStatus m_firstError;
    std::vector<char> m_buffer;
};

} // namespace rolvet
