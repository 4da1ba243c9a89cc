#pragma once
// A text file made in memory piece by piece: texts and numbers copied in
// place into one growing buffer, without a temporary text for each piece,
// for the schematic writers whose files run to tens of megabytes for a dense
// sheet.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstring>
#include <vector>

class TTextBuffer {
public:
    // A length in micrometres, written as millimetres: "25.4", "-0.127", "0".
    struct Mm {
        std::int64_t Microns;
    };

    TTextBuffer& operator<<(const char* text) { return Append(text, std::strlen(text)); }
    TTextBuffer& operator<<(const QByteArray& text) { return Append(text.constData(), std::size_t(text.size())); }
    TTextBuffer& operator<<(const QString& text) { return *this << text.toUtf8(); }
    TTextBuffer& operator<<(char c)
    {
        if (size_ == text_.size()) Grow(1);
        text_[size_++] = c;
        return *this;
    }
    TTextBuffer& operator<<(std::int64_t value);
    TTextBuffer& operator<<(int value) { return *this << std::int64_t(value); }
    TTextBuffer& operator<<(Mm length);

    void Reserve(std::size_t size)
    {
        if (size > text_.size()) text_.resize(size);
    }
    QByteArray Take();

private:
    TTextBuffer& Append(const char* text, std::size_t length)
    {
        if (text_.size() - size_ < length) Grow(length);
        std::memcpy(text_.data() + size_, text, length);
        size_ += length;
        return *this;
    }
    void Grow(std::size_t more);

    std::vector<char> text_;  // its first size_ bytes are the text
    std::size_t size_ = 0;
};
