#pragma once

// Which of the keyboard's lock keys are on.
struct KeyLocks {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// Read from the X server's keyboard indicators; all off where there is no X display (the
// offscreen platform, Wayland without XWayland).
KeyLocks KeyLockState();
