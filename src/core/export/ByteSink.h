// Where the road writers put their bytes: memory or an atomically replaced file.
#pragma once

#include "common/AtomicFile.h"
#include "export/ExportProgress.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>

namespace rolvet {

// Write reports why bytes could not be taken (a full disk, a device error), so that the user
// is told the cause.
class CByteSink {
public:
    virtual ~CByteSink() = default;
    virtual FileStatus Write(const char* data, std::size_t size) = 0;
    // Writes at an offset from the start, past the end too (the gap is written later), for
    // formats whose header can only be finished last. A sink that cannot go back refuses.
    virtual FileStatus WriteAt(std::uint64_t offset, const char* data, std::size_t size) {
        (void)offset, (void)data, (void)size;
        return FileStatus::FromErrno(ESPIPE);
    }
};

// What a writer achieved. A Failed outcome carries the file error that stopped it in status;
// status is ok when the input itself could not be written (counts too large, no samples).
struct WriteResult {
    WriteOutcome outcome = WriteOutcome::Written;
    FileStatus status;

    static WriteResult FromStatus(const FileStatus& s) {
        return {s.ok ? WriteOutcome::Written : WriteOutcome::Failed, s};
    }
    bool Written() const { return outcome == WriteOutcome::Written; }
};

// Collects everything in memory (tests, comparisons).
class CStringSink final : public CByteSink {
public:
    FileStatus Write(const char* data, std::size_t size) override {
        m_text.append(data, size);
        return FileStatus::Success();
    }
    FileStatus WriteAt(std::uint64_t offset, const char* data, std::size_t size) override {
        if (offset + size > m_text.size()) {
            m_text.resize(offset + size);
        }
        m_text.replace(offset, size, data, size);
        return FileStatus::Success();
    }
    const std::string& Text() const { return m_text; }

private:
    std::string m_text;
};

// Writes into an open CAtomicFile.
class CAtomicFileSink final : public CByteSink {
public:
    explicit CAtomicFileSink(CAtomicFile& file) : m_file(file) {}
    FileStatus Write(const char* data, std::size_t size) override {
        return m_file.Write(data, size);
    }
    FileStatus WriteAt(std::uint64_t offset, const char* data, std::size_t size) override {
        return m_file.WriteAt(offset, data, size);
    }

private:
    CAtomicFile& m_file;
};

} // namespace rolvet
