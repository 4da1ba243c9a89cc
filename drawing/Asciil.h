#pragma once
// A length-prefixed text field as records store short texts: one unsigned
// length byte L, then L single-byte characters, no terminating zero.

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <vector>

class Asciil {
public:
    // Holds "<unassigned>".
    Asciil();
    // Copies the length byte at `bytes` and the L characters after it.
    explicit Asciil(const std::uint8_t* bytes);
    // The same, reading at most `maxChars` characters: a length byte larger
    // than that is cut to `maxChars`. Records are read this way.
    Asciil(const std::uint8_t* bytes, std::size_t maxChars);

    void Assign(const std::uint8_t* bytes);
    void Assign(const std::uint8_t* bytes, std::size_t maxChars);
    // Length = the text's length cut to 255; the first (up to) 255 characters.
    void Assign(const QByteArray& text);

    // The L characters; a zero byte among them ends the text there.
    QByteArray AsText() const;
    int Length() const { return buffer_[0]; }
    bool IsEmpty() const { return buffer_[0] == 0; }
    // Removes `count` characters from the 1-based `index` on, as a text
    // deletion does (nothing beyond the last character, a count running past
    // the end stops there), and stores the result back as a text.
    void Delete(int index, int count);

    // The stored bytes: the length byte followed by L characters.
    const std::vector<std::uint8_t>& Bytes() const { return buffer_; }

private:
    std::vector<std::uint8_t> buffer_;
};
