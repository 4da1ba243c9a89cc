#pragma once
// A text file made in memory piece by piece: texts and numbers appended in
// place, without a temporary text for each piece, for the schematic writers
// whose files run to tens of megabytes for a dense sheet.

#include <QByteArray>
#include <QString>
#include <cstdint>

class TTextBuffer {
public:
    // A length in micrometres, written as millimetres: "25.4", "-0.127", "0".
    struct Mm {
        std::int64_t Microns;
    };

    TTextBuffer& operator<<(const char* text);
    TTextBuffer& operator<<(const QByteArray& text)
    {
        text_.append(text);
        return *this;
    }
    TTextBuffer& operator<<(const QString& text) { return *this << text.toUtf8(); }
    TTextBuffer& operator<<(char c)
    {
        text_.append(c);
        return *this;
    }
    TTextBuffer& operator<<(std::int64_t value);
    TTextBuffer& operator<<(int value) { return *this << std::int64_t(value); }
    TTextBuffer& operator<<(Mm length);

    void Reserve(qsizetype size) { text_.reserve(size); }
    QByteArray Take() { return std::move(text_); }
    const QByteArray& Text() const { return text_; }

private:
    QByteArray text_;
};
