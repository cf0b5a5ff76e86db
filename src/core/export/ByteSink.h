// Where the road writers put their bytes: memory or an atomically replaced file.
#pragma once

#include "common/AtomicFile.h"

#include <cstddef>
#include <string>

namespace rolvet {

// Write returns false when the bytes could not be taken.
class CByteSink {
public:
    virtual ~CByteSink() = default;
    virtual bool Write(const char* data, std::size_t size) = 0;
};

// Collects everything in memory (tests, comparisons).
class CStringSink final : public CByteSink {
public:
    bool Write(const char* data, std::size_t size) override {
        m_text.append(data, size);
        return true;
    }
    const std::string& Text() const { return m_text; }

private:
    std::string m_text;
};

// Writes into an open CAtomicFile.
class CAtomicFileSink final : public CByteSink {
public:
    explicit CAtomicFileSink(CAtomicFile& file) : m_file(file) {}
    bool Write(const char* data, std::size_t size) override { return m_file.Write(data, size).ok; }

private:
    CAtomicFile& m_file;
};

} // namespace rolvet
