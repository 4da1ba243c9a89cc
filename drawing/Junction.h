#pragma once
// A junction record (0x20): a filled dot without outline at a connection
// point; size and colour come from the junction settings window.
//
//  0      type byte 0x20
//  1..4   X, Y (unsigned 16-bit little-endian page pixels)
//  5..15  not read

#include <array>
#include <cstdint>

#include "drawing/Quorvidobject.h"

class Junction : public QuorvidObject {
public:
    // Copies the 16-byte record at `pos` and advances `pos` past it.
    Junction(const std::uint8_t*& pos, const std::uint8_t* end);

    // The dot fills the box (X - d + 1, Y - d + 1)-(X + d + 1, Y + d + 1),
    // d being the window's "Diameter"; the pen is left clear.
    using QuorvidObject::Draw;
    void Draw(TDrawTarget& canvas, const TDrawContext& context) override;

    int X() const { return ReadU16(&rec_[1]); }
    int Y() const { return ReadU16(&rec_[3]); }

    const std::array<std::uint8_t, 16>& Record() const { return rec_; }

private:
    std::array<std::uint8_t, 16> rec_{};
};
