#pragma once
// Reducing a page image by area averaging: every target pixel is the mean
// colour of the page area it covers, page pixels cut by its border counting
// with the part that lies inside. Nothing is sampled, so a one-pixel line
// never disappears at any reduction: it greys the pixels it runs through.
//
// Used for the zoomed-out view of the page and for pictures of a whole page
// at a given size.

#include <QImage>
#include <QSize>
#include <cstdint>

// How one axis maps target pixels onto page pixels: Target target pixels span
// Page page pixels, so target pixel i covers the page from i * Page / Target
// to (i + 1) * Page / Target (exactly, in fractions of a page pixel).
struct TAreaScale {
    std::int64_t Target = 1;
    std::int64_t Page = 1;
};

// The page reduced to `target` pixels: scale target / page on each axis.
QImage ReduceByArea(const QImage& page, QSize target);

// The page at a given scale on each axis, `target` pixels large. A target
// pixel that reaches past the page's edge averages only the page it covers;
// one entirely beyond the page is white. The result is RGB32; each channel is
// the exact mean rounded to the nearest level (halves upwards). A scale above
// one (enlarging) gives each target pixel the page pixel, or the mean of the
// two page pixels, it lies on.
QImage ReduceByArea(const QImage& page, QSize target, TAreaScale x, TAreaScale y);
