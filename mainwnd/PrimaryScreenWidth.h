#pragma once

// The primary screen's width in pixels, 0 without a screen: first-start pane sizes share it.
int PrimaryScreenWidth();
