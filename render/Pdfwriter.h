#pragma once
// The PDF writer: a vector page (render/Vectortarget.h) as a PDF document
// of one page, written as the SVG document is, by us: the page's shapes and
// texts in their order, in page pixels under one transformation that puts
// the page on its paper.
//
//  - A run of shapes of one style is one path: boxes as rectangles, pen
//    strokes as lines of the pen's width and ends, discs and rings as
//    ellipses of four Bezier curves; colours and pen widths are set only
//    when they change.
//  - Texts that follow each other are in one text object, each placed by
//    its text matrix, its font and colour set only when they change, shown
//    as the screen shapes it in its embedded font (render/Pdffonts.h).
//  - On a page of more glyphs narrower than 3 points on paper than poppler
//    keeps for search (50,000), every text with such glyphs is also a span
//    marked with the text it stands for.
//  - The page's content is written in parts, each compressed on a thread
//    of its own and written as soon as it is made; the parts in order are
//    the page's content. The page is clipped to its own rectangle.
//
// Nothing is kept between documents; the document is the same whatever
// the number of threads.

#include <QByteArray>
#include <QString>
#include <cstddef>

#include "base/Errors.h"

class QIODevice;
class TVectorTarget;

// Where a vector page goes on its paper.
struct TPdfPlacement {
    double PaperWidth = 0, PaperHeight = 0;  // points
    double Left = 0, Top = 0;                // the page's top-left corner, in points from the paper's
    double Scale = 0.72;                     // points a page pixel
};

class TPdfWriter {
public:
    // Writes the document, titled `title`, to device; the reason it could
    // not be written when it could not ("there is not enough memory", or
    // the device's own error).
    static TResult Write(const TVectorTarget& page, const TPdfPlacement& placement, const QString& title,
                         QIODevice& device);

    // How many threads make the page's content: 0 (the start value) for one
    // per core.
    static void SetThreads(int threads);

private:
    struct TContent;
    // The content of shapes [first, last) of the page, which begin and end
    // with whole runs of one style.
    static void WriteContent(const TContent& content, std::size_t first, std::size_t last, QByteArray& out);
};
