#pragma once
// The paper a drawing's page is written on as a PDF page: the paper its page
// size is named after, landscape (A4 to A0, and the American B to E), or for
// the page sizes that name no paper (800 x 600, 4500 x 3200, any other) a
// paper of the page's own size. The page is drawn at 0.254 mm (10 mil,
// 0.72 point) a page pixel, so its texts keep the size they are drawn at,
// and lies centred on the paper to the nearest page pixel.

#include <QPointF>
#include <QSize>
#include <QSizeF>
#include <QString>

// Points (1/72 inch) a page pixel: 0.254 mm.
constexpr double PointsPerPagePixel = 0.72;

struct TPaper {
    QString Name;   // "A0", "B", ...; empty for a paper of the page's own size
    QSizeF Points;  // width and height in points, landscape
    // Where the page's top-left corner lies, in points from the paper's
    // top-left corner.
    QPointF PageCorner;
};

// The paper for a page of `page` pixels.
TPaper PaperFor(QSize page);
