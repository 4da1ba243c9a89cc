#pragma once
// The main window. Until it exists the hooks below do nothing.
#include "app/Surface.h"

// Repaints the main window's page at once (settings windows call this after
// every change of an appearance setting).
void RepaintMain();
// The pen of the main window's own canvas (not the page image's); line types
// without a choice of their own draw with it.
TPen& MainCanvasPen();
