#include "render/Drawtarget.h"

#include "render/Glyphcache.h"

void TDrawTarget::ResetState()
{
    Pen = TPen();
    Brush = TBrush();
    Font = TFont();
    MoveTo(0, 0);
}

int TDrawTarget::TextWidth(const QByteArray& text) const { return FontTextWidth(Font, text); }
int TDrawTarget::TextHeight(const QByteArray&) const { return FontTextHeight(Font); }
