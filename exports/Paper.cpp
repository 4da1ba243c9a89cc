#include "exports/Paper.h"

#include <algorithm>
#include <cmath>

#include "drawing/Header.h"

namespace {

struct TNamedPaper {
    const char* Name;
    double Width, Height;  // landscape, in points
};

constexpr double mm = 72.0 / 25.4;
constexpr double inch = 72.0;

// ISO 216 in millimetres, ANSI in inches.
constexpr TNamedPaper namedPapers[] = {
    {"A4", 297 * mm, 210 * mm},  {"A3", 420 * mm, 297 * mm},  {"A2", 594 * mm, 420 * mm},
    {"A1", 841 * mm, 594 * mm},  {"A0", 1189 * mm, 841 * mm}, {"B", 17 * inch, 11 * inch},
    {"C", 22 * inch, 17 * inch}, {"D", 34 * inch, 22 * inch}, {"E", 44 * inch, 34 * inch},
};

// The name of the page size table entry of this size, if it names a paper.
const TNamedPaper* NamedPaper(QSize page)
{
    const QStringList& names = PageSizeNames();
    for (int index = 0; index < names.size(); ++index) {
        if (GetPageSize(index) != page) continue;
        for (const TNamedPaper& paper : namedPapers)
            if (names[index] == QLatin1String(paper.Name)) return &paper;
    }
    return nullptr;
}

// The offset that centres `pixels` page pixels on `points` points of paper,
// in whole page pixels (none when the page is the larger).
double Centred(double points, int pixels)
{
    const double spare = points / PointsPerPagePixel - pixels;
    return spare > 0 ? std::round(spare / 2) * PointsPerPagePixel : 0;
}

}  // namespace

TPaper PaperFor(QSize page)
{
    const QSize size(std::max(page.width(), 0), std::max(page.height(), 0));
    TPaper paper;
    if (const TNamedPaper* named = NamedPaper(size)) {
        paper.Name = QLatin1String(named->Name);
        paper.Points = QSizeF(named->Width, named->Height);
    } else {
        paper.Points = QSizeF(size.width() * PointsPerPagePixel, size.height() * PointsPerPagePixel);
    }
    paper.PageCorner =
        QPointF(Centred(paper.Points.width(), size.width()), Centred(paper.Points.height(), size.height()));
    return paper;
}
