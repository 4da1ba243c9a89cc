#include "exports/Textbuffer.h"

#include <algorithm>

namespace {
constexpr std::size_t deviceBuffer = std::size_t(1) << 20;
}

TTextBuffer::TTextBuffer(QIODevice& device) : text_(deviceBuffer), device_(&device) {}

void TTextBuffer::Grow(std::size_t more)
{
    if (device_) {
        Flush();
        if (text_.size() - size_ >= more) return;
    }
    text_.resize(std::max(text_.size() * 2, size_ + more + 4096));
}

bool TTextBuffer::Flush()
{
    if (device_ && size_ > 0 && !failed_) failed_ = device_->write(text_.data(), qint64(size_)) != qint64(size_);
    if (device_) size_ = 0;
    return !failed_;
}

QByteArray TTextBuffer::Take()
{
    QByteArray text(text_.data(), qsizetype(size_));
    text_ = std::vector<char>();
    size_ = 0;
    return text;
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
    return Append(p, std::size_t(end - p));
}

TTextBuffer& TTextBuffer::operator<<(Mm length)
{
    const bool negative = length.Microns < 0;
    const std::uint64_t magnitude = negative ? 0 - std::uint64_t(length.Microns) : std::uint64_t(length.Microns);
    if (negative) *this << '-';
    *this << std::int64_t(magnitude / 1000);
    const int fraction = int(magnitude % 1000);
    if (fraction != 0) {
        const char digits[4] = {'.', char('0' + fraction / 100), char('0' + fraction / 10 % 10),
                                char('0' + fraction % 10)};
        std::size_t used = 4;
        while (digits[used - 1] == '0') --used;
        Append(digits, used);
    }
    return *this;
}
