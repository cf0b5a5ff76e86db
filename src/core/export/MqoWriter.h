// The Metasequoia text model of the road: one material with the road texture and one object
// whose vertices and faces form the ribbon. Lines end with CR LF on every platform and numbers
// never depend on the process locale.
#pragma once

#include "export/ByteSink.h"
#include "export/ExportProgress.h"
#include "track/Vector3D.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace rolvet {

class CRoadShape;

// Writes the number as printf("%f") does in the C locale: fixed point, six decimals, correctly
// rounded (ties to even), "-" for a set sign bit, "inf"/"nan" for non-finite values.
// out needs room for kMaxFixedLength characters; returns the end of what was written.
inline constexpr std::size_t kMaxFixedLength = 64;
char* FormatFixed6(char* out, float value);

// Writes the object chunk of the ribbon over the closed loop points. A shape that is Shaped()
// gives the road model's cross-sections; otherwise the ribbon has one width throughout, laid out
// by CRoadSampler::PlainSection. Returns Failed when the
// sink refuses bytes or the vertex count does not fit the format, Cancelled when progress
// asked to stop. Memory use does not grow with the track: the text streams out in blocks.
WriteOutcome WriteRoadObject(CByteSink& sink, std::span<const CVector3D> points, int divisions,
                             float halfWidth, const ExportProgress& progress = {},
                             const CRoadShape* shape = nullptr);

// Writes the whole model: header, scene, material, the object chunk and "Eof".
WriteOutcome WriteMqoDocument(CByteSink& sink, std::span<const CVector3D> points, int divisions,
                              float halfWidth, const ExportProgress& progress = {},
                              const CRoadShape* shape = nullptr);

// Writes the model of points to path through a temporary file that replaces path only when
// complete; a failed or cancelled write leaves any existing file as it was. A path that names
// something other than a regular file (a device, a folder) is refused and left alone.
WriteOutcome WriteMqoFile(const std::string& path, std::span<const CVector3D> points, int divisions,
                          float halfWidth, const ExportProgress& progress = {},
                          const CRoadShape* shape = nullptr);

} // namespace rolvet
