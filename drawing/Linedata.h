#pragma once
// A line record (0x10): one straight segment drawn with the pen of its line
// type from the line settings window.
//
//  0      type byte 0x10
//  1..8   X1, Y1, X2, Y2 (unsigned 16-bit little-endian page pixels)
//  9      line type number
//  10..15 not read

#include <array>
#include <cstdint>

#include "drawing/Quorvidobject.h"

class LineData : public QuorvidObject {
public:
    // Copies the 16-byte record at `pos` and advances `pos` past it.
    LineData(const std::uint8_t*& pos, const std::uint8_t* end);

    using QuorvidObject::Draw;
    void Draw(TDrawTarget& canvas, const TDrawContext& context) override;

    int X1() const { return ReadU16(&rec_[1]); }
    int Y1() const { return ReadU16(&rec_[3]); }
    int X2() const { return ReadU16(&rec_[5]); }
    int Y2() const { return ReadU16(&rec_[7]); }
    int LineType() const { return rec_[9]; }

    const std::array<std::uint8_t, 16>& Record() const { return rec_; }

private:
    std::array<std::uint8_t, 16> rec_{};
};
