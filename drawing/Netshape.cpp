#include "drawing/Netshape.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "drawing/Connectivity.h"
#include "drawing/Linedata.h"

namespace {
// The runs of pixels a slanted wire lies on, along its longer direction.
void SlantedRuns(const LineData& wire, std::vector<QRect>& runs)
{
    const int dx = wire.X2() - wire.X1(), dy = wire.Y2() - wire.Y1();
    const bool across = std::abs(dx) >= std::abs(dy);
    const int from = across ? std::min(wire.X1(), wire.X2()) : std::min(wire.Y1(), wire.Y2());
    const int to = across ? std::max(wire.X1(), wire.X2()) : std::max(wire.Y1(), wire.Y2());
    const std::size_t first = runs.size();
    for (int major = from; major <= to; ++major) {
        // The line's nearest pixel in the other direction, and its neighbours.
        const double t = across ? double(major - wire.X1()) / dx : double(major - wire.Y1()) / dy;
        const int minor = int(std::lround(across ? wire.Y1() + t * dy : wire.X1() + t * dx));
        for (int m = minor - 1; m <= minor + 1; ++m) {
            const QPoint p = across ? QPoint(major, m) : QPoint(m, major);
            if (!TConnectivity::OnWire(p, wire)) continue;
            // A pixel next to the last one of its row (column) lengthens that run.
            bool joined = false;
            for (std::size_t i = runs.size(); i > first && !joined; --i) {
                QRect& run = runs[i - 1];
                if (across && run.top() == p.y() && run.right() + 1 == p.x()) run.setRight(p.x()), joined = true;
                if (!across && run.left() == p.x() && run.bottom() + 1 == p.y()) run.setBottom(p.y()), joined = true;
                // Runs more than one step back can no longer grow.
                if (across ? run.right() + 1 < p.x() : run.bottom() + 1 < p.y()) break;
            }
            if (!joined) runs.emplace_back(p, p);
        }
    }
}
}  // namespace

TNetShape::TNetShape(const TNet& net)
{
    for (const LineData* wire : net.Wires) {
        if (wire->X1() == wire->X2() || wire->Y1() == wire->Y2())
            runs_.push_back(QRect(QPoint(wire->X1(), wire->Y1()), QPoint(wire->X2(), wire->Y2())).normalized());
        else
            SlantedRuns(*wire, runs_);
    }
    for (const QPoint& p : net.Points) runs_.emplace_back(p, p);
    for (const TNetPin& pin : net.Pins)
        if (!pin.Hidden) ends_.push_back(pin.End);
    std::sort(ends_.begin(), ends_.end(),
              [](QPoint a, QPoint b) { return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x(); });
    ends_.erase(std::unique(ends_.begin(), ends_.end()), ends_.end());
    for (const QRect& run : runs_) bounds_ |= run;
    for (const QPoint& end : ends_) bounds_ |= QRect(end, end);
}
