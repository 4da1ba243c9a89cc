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

// The page of a drawing: its current size, rectangle and background colour.
// The drawing (TDrawing) owns it; a header record makes its size current,
// View ▸ Page and View ▸ Background change it.
struct TPageState {
    QSize Size{0, 0};             // current page size in page pixels; 0 x 0 until one is known
    TRect Rect;                   // current page rectangle: 0, 0, width, height
    TColor Background = clWhite;  // page background colour

    // Makes `size` the current page size and (0, 0, width, height) the
    // current page rectangle.
    void SetSize(QSize size);
};

// Width and height of the table entry `index`; no side effect. An index
// outside the table (0 .. 11) gives 0 x 0, no page size.
QSize GetPageSize(int index);

// Looks `name` up in the name list, ignoring letter case; when found, makes
// that entry the current page size of `page`. Returns the current page size
// either way.
QSize SelectPageSize(TPageState& page, const QString& name);

// "Page_0", "A4", "A3", "A2", "A1", "A0", "Page_6", "B", "C", "D", "E": a
// name's position is its table index.
const QStringList& PageSizeNames();

// The zone of the page sheet that holds a point, as the frame labels it:
// row letter then column number ("B3"). Column = x / (2 * (width / 8)) + 1,
// row = "A" + y / (2 * (height / 8)), integer division, kept within 1..4 and
// A..D (a page narrower or lower than 8 pixels is all column 1 or row A).
QString SheetZone(QPoint point, QSize page);

class Header final : public QuorvidObject {
public:
    // Copies the 16-byte record at `pos` and advances `pos` past it. `page`
    // is the page of the drawing the header belongs to (GetRect reports it).
    Header(const std::uint8_t*& pos, const std::uint8_t* end, const TPageState* page = nullptr);

    // The table index: page code + 1, as a signed 8-bit value (code 255 gives
    // 0; codes 127 to 254 give negative values).
    int GetPageIndex() const;

    // Paints the page sheet on the context's page rectangle (not the
    // record's own page size), the page area in the context's background.
    using QuorvidObject::Draw;
    void Draw(TDrawTarget& canvas, const TDrawContext& context) override;
    // valid = true; the current page rectangle of its drawing.
    TRect GetRect(bool& valid) override;

    const std::array<std::uint8_t, 16>& Record() const { return record_; }

private:
    std::array<std::uint8_t, 16> record_{};
    const TPageState* page_ = nullptr;
};
