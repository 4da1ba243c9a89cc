#include "drawing/Linedata.h"

#include <algorithm>

#include "drawing/Objectsettings.h"

LineData::LineData(const std::uint8_t*& pos, const std::uint8_t* end)
{
    const std::size_t available = pos < end ? std::size_t(end - pos) : 0;
    const std::size_t n = std::min(rec_.size(), available);
    std::copy_n(pos, n, rec_.begin());
    pos += n;
}

void LineData::Draw(TDrawTarget& canvas, const TDrawContext& context)
{
    ILineSettings* settings = context.Settings ? context.Settings->LineData : nullptr;
    if (settings == nullptr || !settings->IsVisible()) return;
    canvas.Pen = settings->GetPen(LineType());
    canvas.MoveTo(X1(), Y1());
    canvas.LineTo(X2(), Y2());
}
