#include "drawing/Junction.h"

#include <algorithm>

#include "drawing/Objectsettings.h"

Junction::Junction(const std::uint8_t*& pos, const std::uint8_t* end)
{
    const std::size_t available = pos < end ? std::size_t(end - pos) : 0;
    const std::size_t n = std::min(rec_.size(), available);
    std::copy_n(pos, n, rec_.begin());
    pos += n;
}

void Junction::Draw(TDrawTarget& canvas, const TDrawContext& context)
{
    IJunctionSettings* settings = context.Settings ? context.Settings->Junction : nullptr;
    if (settings == nullptr || !settings->IsVisible()) return;
    const int d = settings->GetDiameter();
    canvas.Pen.Style = psClear;
    canvas.Brush.Colour = settings->GetColour();
    canvas.Brush.Style = bsSolid;
    canvas.Ellipse(X() - d + 1, Y() - d + 1, X() + d + 1, Y() + d + 1);
}
