// Interface texts in the language chosen for this run.
#pragma once

#include "common/Strings.h"

#include <QString>

// A marked text of the string table (common/Strings.h) in the chosen language; the Japanese
// text itself, byte for byte, while no other language is loaded.
inline QString Tr(const char* text) {
    return QString::fromStdString(rolvet::Translate(text));
}
