#include "exports/Textbuffer.h"

#include <cstring>

TTextBuffer& TTextBuffer::operator<<(const char* text)
{
    text_.append(text, qsizetype(std::strlen(text)));
    return *this;
}

TTextBuffer& TTextBuffer::operator<<(std::int64_t value)
{
    char digits[24];
    char* end = digits + sizeof digits;
    char* p = end;
    const bool negative = value < 0;
    std::uint64_t magnitude = negative ? 0 - std::uint64_t(value) : std::uint64_t(value);
    do {
        *--p = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative) *--p = '-';
    text_.append(p, qsizetype(end - p));
    return *this;
}

TTextBuffer& TTextBuffer::operator<<(Mm length)
{
    const bool negative = length.Microns < 0;
    const std::uint64_t magnitude = negative ? 0 - std::uint64_t(length.Microns) : std::uint64_t(length.Microns);
    if (negative) text_.append('-');
    *this << std::int64_t(magnitude / 1000);
    int fraction = int(magnitude % 1000);
    if (fraction != 0) {
        char digits[4] = {'.', char('0' + fraction / 100), char('0' + fraction / 10 % 10), char('0' + fraction % 10)};
        int length3 = 4;
        while (digits[length3 - 1] == '0') --length3;
        text_.append(digits, length3);
    }
    return *this;
}
