#pragma once
// A document box record (0x50): a rectangle outlined with the line type 2
// pen of the document box settings window, with lines of text written inside
// from its top-left corner on.
//
//  0      type byte 0x50
//  1..8   X1, Y1, X2, Y2 (unsigned 16-bit little-endian page pixels)
//  9..11  not read
//  12     n, the number of 16-byte text blocks that follow
//  13..15 not read
//  16..   16 * n text bytes
//
// In the text a line end (0x0D or 0x8D) ends a line, and the next line
// starts after it or after a line feed (0x0A); a zero byte ends a line early.
// Characters after the last line end form no line.

#include <QByteArray>
#include <array>
#include <cstdint>
#include <vector>

#include "drawing/Quorvidobject.h"

class DocBox : public QuorvidObject {
public:
    // Copies the head and the n text blocks at `pos`, decodes the lines and
    // advances `pos` past the record.
    DocBox(const std::uint8_t*& pos, const std::uint8_t* end);

    using QuorvidObject::Draw;
    void Draw(TDrawTarget& canvas, const TDrawContext& context) override;

    int X1() const { return ReadU16(&head_[1]); }
    int Y1() const { return ReadU16(&head_[3]); }
    int X2() const { return ReadU16(&head_[5]); }
    int Y2() const { return ReadU16(&head_[7]); }
    int BlockCount() const { return head_[12]; }
    const std::vector<QByteArray>& Lines() const { return lines_; }

    const std::array<std::uint8_t, 16>& Record() const { return head_; }
    // The text blocks with every line end overwritten by zero.
    const std::vector<std::uint8_t>& TextBytes() const { return text_; }
    // The text blocks as the record holds them.
    const std::vector<std::uint8_t>& RecordText() const { return recordText_; }

private:
    void DecodeLines();

    std::array<std::uint8_t, 16> head_{};
    std::vector<std::uint8_t> text_;
    std::vector<std::uint8_t> recordText_;
    std::vector<QByteArray> lines_;
};
