// A plain Metasequoia writer that formats every line with fprintf, kept as the yardstick for
// the streaming writer: both must produce the same bytes (in the C locale).
#pragma once

#include "track/Vector3D.h"

#include <cstdio>
#include <span>

namespace rolvet::baseline {

// Writes the whole model of the closed loop points to file.
void WriteMqo(std::FILE* file, std::span<const CVector3D> points, int divisions, float halfWidth);

} // namespace rolvet::baseline
