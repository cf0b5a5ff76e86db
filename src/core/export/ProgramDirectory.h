// The folder of the running program and the folder part of a path.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rolvet {

// The directory of the running executable with a trailing '/'; empty when it cannot be found.
std::string GetProgramDirectory();

// The directory part of path with a trailing '/': everything before the last '/'. Only '/'
// separates folders; '\' is an ordinary character of a Linux file name. When that part already
// ends with '/' it is kept as it is; a '/' at the very start gives "/". Nothing when path holds
// no '/'.
std::optional<std::string> GetDirectoryPart(std::string_view path);

} // namespace rolvet
