#pragma once
// A crossed marker record (0x60): a purple dot of the record's radius with a
// purple 9 x 9 diagonal cross over it. Fixed colours, no settings window.
//
//  0      type byte 0x60
//  1..4   X, Y (unsigned 16-bit little-endian page pixels)
//  5      not read
//  6      r, dot radius in pixels
//  7..15  not read

#include <array>
#include <cstdint>

#include "drawing/Quorvidobject.h"

class Mod0x60 : public QuorvidObject {
public:
    static constexpr TColor Purple = 0x800080;

    // Copies the 16-byte record at `pos` and advances `pos` past it.
    Mod0x60(const std::uint8_t*& pos, const std::uint8_t* end);

    // The dot fills the box (X - r + 1, Y - r + 1)-(X + r + 1, Y + r + 1)
    // without outline; the cross keeps the pen width the canvas holds. Leaves
    // a solid purple pen and brush behind.
    using QuorvidObject::Draw;
    void Draw(TDrawTarget& canvas, const TDrawContext& context) override;

    int X() const { return ReadU16(&rec_[1]); }
    int Y() const { return ReadU16(&rec_[3]); }
    int Radius() const { return rec_[6]; }

    const std::array<std::uint8_t, 16>& Record() const { return rec_; }

private:
    std::array<std::uint8_t, 16> rec_{};
};
