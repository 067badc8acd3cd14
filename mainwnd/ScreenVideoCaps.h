#pragma once

#include "platform/SystemSections.h"

// The primary screen's figures for the diagnostics file's video section; all 0 without a GUI
// application or a screen.
VideoCaps ScreenVideoCaps();
