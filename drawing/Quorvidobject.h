#pragma once
// Base class of every drawing object built from a record of a drawing file,
// and the bounded reading of records.
//
// A drawing file is records laid end to end; each record's length follows from
// its type byte (and, for 0x50 and 0x70, from counts inside it). Record
// constructors get the read position and the end of the data, copy their
// record, and advance the read position past it. They never read beyond the
// end: RecordLength() tells the loader beforehand whether the whole record is
// there.

#include <QRect>
#include <QString>
#include <cstddef>
#include <cstdint>

#include "render/Drawtarget.h"

struct TObjectSettings;

// A rectangle of signed 32-bit left, top, right, bottom.
struct TRect {
    std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool operator==(const TRect&) const = default;
};

// What an object needs to draw besides its record and the target: the
// settings of each object kind (a kind without its settings draws as its own
// rules say; most draw nothing), the page rectangle and the page background.
struct TDrawContext {
    const TObjectSettings* Settings = nullptr;
    TRect PageRect;
    TColor Background = clWhite;

    // The settings windows of the program, on no particular page.
    static TDrawContext Program();
};

class QuorvidObject {
public:
    virtual ~QuorvidObject() = default;
    virtual void Draw(TDrawTarget& canvas, const TDrawContext& context);
    // Draws with TDrawContext::Program().
    void Draw(TDrawTarget& canvas);
    virtual TRect GetRect(bool& valid);
    virtual bool IsClass(const QString& name) const;
};

// Little-endian reads from a record copy.
inline std::uint16_t ReadU16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }

// Length in bytes of the record of the given type starting at `start`, or
// -1 when the type byte names no record (0x40 counts as 16). `available` is
// the number of bytes from `start` to the end of the data; counts that lie
// beyond it are read as absent, which makes the record too long to fit.
std::int64_t RecordLength(const std::uint8_t* start, std::size_t available);
