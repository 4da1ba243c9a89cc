#pragma once
// The page pixels of a net, as the view marks it: the runs of pixels its
// wires lie on (the pixels a point must be on to join a wire), its
// connection points, and the ends of its pins that are shown.

#include <QPoint>
#include <QRect>
#include <vector>

struct TNet;

class TNetShape {
public:
    TNetShape() = default;
    explicit TNetShape(const TNet& net);

    // Page rectangles one pixel high or wide: a wire across or down whole,
    // a slanted wire one run of pixels per row (or column, when it is
    // steeper than a diagonal), then every connection point of the net.
    const std::vector<QRect>& Runs() const { return runs_; }
    // The pin ends, hidden pins left out, each once, by row then column.
    const std::vector<QPoint>& Ends() const { return ends_; }
    // The rectangle around all of them; empty when there is nothing to show
    // (a net of hidden pins alone).
    QRect Bounds() const { return bounds_; }

private:
    std::vector<QRect> runs_;
    std::vector<QPoint> ends_;
    QRect bounds_;
};
