#include "export/ProgramDirectory.h"

#include <unistd.h>
#include <vector>

namespace rolvet {

std::string GetProgramDirectory() {
    // readlink does not say how long the link is: grow the buffer until the target fits.
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            return {};
        }
        if (static_cast<std::size_t>(n) < buffer.size()) {
            std::string path(buffer.data(), static_cast<std::size_t>(n));
            const std::size_t slash = path.rfind('/');
            if (slash == std::string::npos) {
                return {};
            }
            path.resize(slash + 1);
            return path;
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::optional<std::string> GetDirectoryPart(std::string_view path) {
    const std::size_t separator = path.rfind('/');
    if (separator == std::string_view::npos) {
        return std::nullopt;
    }
    std::string part(path.substr(0, separator));
    if (part.empty() || part.back() != '/') {
        part += '/';
    }
    return part;
}

} // namespace rolvet
