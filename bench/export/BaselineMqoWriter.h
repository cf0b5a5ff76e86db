// A plain Metasequoia writer that formats every line with fprintf, kept as the yardstick for
// the streaming writer: both must produce the same bytes (in the C locale).
#pragma once

#include "track/Vector3D.h"

#include <array>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <span>

namespace rolvet::baseline {

// The four vertices of step i of segment k.
using VertexSource = std::function<std::array<CVector3D, 4>(std::size_t k, int i)>;

// Writes the whole model of the closed loop points to file. The vertices come from `vertices`
// when given; otherwise they are worked out here, with the single-precision difference quotient
// everywhere.
void WriteMqo(std::FILE* file, std::span<const CVector3D> points, int divisions, float halfWidth,
              const VertexSource& vertices = {});

} // namespace rolvet::baseline
