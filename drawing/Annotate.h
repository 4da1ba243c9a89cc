#pragma once
// An annotation record (0x30): a short text placed 10 pixels right of its
// anchor point, its bottom on the anchor's row, in a font choice of the
// annotation settings window.
//
//  0      type byte 0x30
//  1..4   X, Y of the anchor (unsigned 16-bit little-endian page pixels)
//  5      font choice number (0..4 name a choice)
//  6..7   not read
//  8      text length L
//  9..15  characters 1 to 7
//  16     first byte of the second block, not part of the text
//  17..31 characters 8 to 22
//
// A length above 22 would point past the record: such a text shows its
// first 22 characters.

#include <array>
#include <cstdint>

#include "drawing/Asciil.h"
#include "drawing/Quorvidobject.h"

class Annotate : public QuorvidObject {
public:
    // Copies the 32-byte record at `pos`, decodes its text and advances `pos`
    // past it.
    Annotate(const std::uint8_t*& pos, const std::uint8_t* end);

    using QuorvidObject::Draw;
    void Draw(TDrawTarget& canvas, const TDrawContext& context) override;

    int X() const { return ReadU16(&rec_[1]); }
    int Y() const { return ReadU16(&rec_[3]); }
    int FontChoice() const { return rec_[5]; }
    const Asciil& Text() const { return text_; }

    const std::array<std::uint8_t, 32>& Record() const { return rec_; }

private:
    std::array<std::uint8_t, 32> rec_{};
    Asciil text_;
};
