// The state of the keyboard's lock keys, for the CAP / NUM / SCRL panes of the status bar.
#pragma once

#include <optional>

struct LockKeyState {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// Reads the lock indicators from the X server. Nothing when the program does not run on X11
// or the server cannot tell.
std::optional<LockKeyState> ReadLockKeys();
