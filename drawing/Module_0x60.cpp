#include "drawing/Module_0x60.h"

#include <algorithm>

Mod0x60::Mod0x60(const std::uint8_t*& pos, const std::uint8_t* end)
{
    const std::size_t available = pos < end ? std::size_t(end - pos) : 0;
    const std::size_t n = std::min(rec_.size(), available);
    std::copy_n(pos, n, rec_.begin());
    pos += n;
}

void Mod0x60::Draw(TDrawTarget& canvas, const TDrawContext&)
{
    const int x = X(), y = Y(), r = Radius();
    canvas.Pen.Style = psClear;
    canvas.Brush.Colour = Purple;
    canvas.Brush.Style = bsSolid;
    canvas.Ellipse(x - r + 1, y - r + 1, x + r + 1, y + r + 1);

    canvas.Pen.Colour = Purple;
    canvas.Pen.Style = psSolid;
    canvas.MoveTo(x - 4, y - 4);
    canvas.LineTo(x + 5, y + 5);
    canvas.MoveTo(x - 4, y + 4);
    canvas.LineTo(x + 5, y - 5);
}
