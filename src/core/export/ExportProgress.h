// Progress reporting and outcomes shared by the road writers.
#pragma once

#include <cstdint>
#include <functional>

namespace rolvet {

// Told how far the export is (done out of total work units); returns false to cancel.
using ExportProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

enum class WriteOutcome { Written, Failed, Cancelled };

} // namespace rolvet
