#include "app/Tracerywin.h"

namespace {
TPen mainCanvasPen;
}

void RepaintMain() {}
TPen& MainCanvasPen() { return mainCanvasPen; }
