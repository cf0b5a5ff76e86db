// File names on Linux are bytes. Most are UTF-8, but names brought from other systems (Shift-JIS
// tracks, for example) may not be. Paths travel through the editor as QStrings in which every
// byte that is not part of valid UTF-8 is kept as the lone code unit U+DC80 + (byte - 0x80), so
// that converting back gives the very same bytes.
#pragma once

#include <QString>

#include <string>
#include <string_view>

// The bytes of a file name as a QString, without loss.
QString PathFromNative(std::string_view bytes);
// The bytes a QString from PathFromNative stands for.
std::string PathToNative(const QString& path);
// The path as the user is shown it: bytes that are not UTF-8 appear as U+FFFD.
QString DisplayPath(const QString& path);
// A path whose non-UTF-8 names were decoded with loss (as file dialogs and Qt's own file
// functions do, giving U+FFFD for each such byte): each missing part is matched against the
// folder's real entries and replaced by the one it stands for when exactly one matches.
QString ResolveLossyPath(const QString& path);
