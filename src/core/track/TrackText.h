// The track's numbers as text: the coordinates and settings shown in the dialogs and the vertex
// list. Every form uses a decimal point, whatever the process locale says.
#pragma once

#include "track/Vector3D.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace rolvet {

// A coordinate as shown in its edit: "%.*g" with six significant digits, in the C locale.
std::string FormatCoordinate(float value);
// Reads a coordinate the way "%lf" reads the first 399 characters of the text: leading white
// space, then the longest number (sign, digits, fraction, exponent; also hexadecimal, "inf" and
// "nan"); anything after it is ignored. The number is rounded to single precision. Returns
// nothing when no number can be read or when the rounded value is not finite, since an infinite
// or undefined coordinate would spoil the plan and the exported model.
std::optional<float> ScanCoordinate(std::string_view text);

// Formats an integer as "%d" does.
std::string FormatInt(int value);
// Scans a decimal integer as "%d" does: leading white space, optional sign, digits; the rest is
// ignored. Nothing when no digit is found or the number does not fit an int.
std::optional<int> ScanInt(std::string_view text);

// The vertex list: "(x,y,z)" per vertex with six decimals in store order, ",\r\n" after every
// vertex but the last and "\r\n" after the last; empty for no vertices.
std::string VertexListText(std::span<const CVector3D> vertices);

} // namespace rolvet
