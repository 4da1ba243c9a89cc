#pragma once
// The header record (type 0x00) and the page sheet.
//
// A header names the page size of the drawing by a page code; building one
// makes that size the current page size of the whole program. Drawing it
// paints the sheet: a blue frame 20 pixels wide with zone ticks and zone
// labels (1 to 4 across, A to D down) around the page area, which is filled
// with the page background colour.
//
// The page size table, its name list and the page state (current size,
// current rectangle, background colour) are one per program and live here.

#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/Surface.h"
#include "drawing/Quorvidobject.h"

// Number of entries of the page size table (indices 0 .. 11; 11 has no name).
constexpr int PageSizeCount = 12;

// The program's page state.
struct PageState {
    QSize Size{0, 0};          // current page size in page pixels
    TRect Rect;                // current page rectangle: 0, 0, width, height
    TColor Background = clWhite;  // page background colour
};

// The one page state of the program.
PageState& Page();

// Makes `size` the current page size and (0, 0, width, height) the current
// page rectangle.
void SetCurrentPageSize(QSize size);

// Width and height of the table entry `index`; no side effect. An index
// outside the table (0 .. 11) gives the current page size.
QSize GetPageSize(int index);

// Looks `name` up in the name list, ignoring letter case; when found, makes
// that entry the current page size. Returns the current page size either way.
QSize SelectPageSize(const QString& name);

// "Page_0", "A4", "A3", "A2", "A1", "A0", "Page_6", "B", "C", "D", "E": a
// name's position is its table index.
const QStringList& PageSizeNames();

// The zone of the page sheet that holds a point, as the frame labels it:
// row letter then column number ("B3"). Column = x / (2 * (width / 8)) + 1,
// row = "A" + y / (2 * (height / 8)), integer division, kept within 1..4 and
// A..D (a page narrower or lower than 8 pixels is all column 1 or row A).
QString SheetZone(QPoint point, QSize page);

class Header : public QuorvidObject {
public:
    // Copies the 16-byte record at `pos` and advances `pos` past it, then makes
    // the record's page size current. A page code whose index lies outside the
    // table (codes 11 to 254) keeps the current page size.
    Header(const std::uint8_t*& pos, const std::uint8_t* end);

    // The table index: page code + 1, as a signed 8-bit value (code 255 gives
    // 0; codes 127 to 254 give negative values).
    int GetPageIndex() const;

    // Paints the page sheet at the current page size (not the record's own).
    void Draw(TSurface& canvas) override;
    // valid = true; the current page rectangle.
    TRect GetRect(bool& valid) override;

    const std::array<std::uint8_t, 16>& Record() const { return record_; }

private:
    std::array<std::uint8_t, 16> record_{};
};

// Painting an object list: the last header paints over the whole page, so on
// a canvas that is the page, what the objects before it paint is painted over
// and only the drawing state they leave (pen, brush, font, position) counts.
// Draws those objects on a one-pixel stand-in, gives the canvas the state
// they leave and returns the index of the last header, the first object to
// draw for real. Returns 0 (draw everything) when the canvas is not the page,
// when no object comes before a header, or when the pen would outline the page
// with gaps (a one-pixel dashed pen). A file of many headers costs one page.
std::size_t DrawCoveredObjects(const std::vector<std::unique_ptr<QuorvidObject>>& objects, TSurface& canvas);
