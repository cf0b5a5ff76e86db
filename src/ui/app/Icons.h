// The program's pictures: the application icon, the icon of track documents and the
// toolbar images, all compiled into the program.
#pragma once

#include <QIcon>
#include <QString>

#include <array>

namespace rolvet::icons {

// Sizes, in pixels, at which the application and document icons are drawn.
inline constexpr std::array<int, 5> kIconSizes = {16, 24, 32, 48, 256};

// Resource paths of one drawn size of each icon (a PNG image).
QString AppIconResource(int size);
QString DocumentIconResource(int size);

} // namespace rolvet::icons

// The application icon (windows, About box, desktop entry).
QIcon AppIcon();
// The icon of ".rolvet" track files.
QIcon DocumentIcon();
// A 16x16 toolbar image by name (icons/<name>.png and its double-size twin).
QIcon ToolbarIcon(const char* name);
