// Text output for the model writers: lines are formatted straight into one fixed block, which is
// handed to the sink whenever the next line might not fit.
#pragma once

#include "export/ByteSink.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>
#include <vector>

namespace rolvet {

class CTextBuffer {
public:
    static constexpr std::size_t kMaxLineLength = 256;
    static constexpr std::size_t kBlockSize = std::size_t{1} << 16;

    explicit CTextBuffer(CByteSink& sink) : m_sink(sink), m_block(kBlockSize) {}

    // Where up to kMaxLineLength characters may be written; finish with Commit.
    char* Reserve() {
        if (m_used + kMaxLineLength > m_block.size()) {
            Flush();
        }
        return m_block.data() + m_used;
    }
    void Commit(const char* end) { m_used = static_cast<std::size_t>(end - m_block.data()); }

    void Append(std::string_view text) {
        while (!text.empty()) {
            if (m_used == m_block.size()) {
                Flush();
            }
            const std::size_t n = std::min(text.size(), m_block.size() - m_used);
            std::memcpy(m_block.data() + m_used, text.data(), n);
            m_used += n;
            text.remove_prefix(n);
        }
    }

    // Hands what is collected to the sink; false once any write has failed.
    bool Flush() {
        if (m_status.ok && m_used > 0) {
            m_status = m_sink.Write(m_block.data(), m_used);
        }
        m_used = 0;
        return m_status.ok;
    }
    bool Ok() const { return m_status.ok; }
    // The first failure of the sink, or success.
    const FileStatus& Status() const { return m_status; }

private:
    CByteSink& m_sink;
    std::vector<char> m_block;
    std::size_t m_used = 0;
    FileStatus m_status;
};

} // namespace rolvet
