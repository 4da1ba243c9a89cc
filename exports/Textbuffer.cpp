#include "exports/Textbuffer.h"

#include <QBuffer>
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

TTextBuffer& TTextBuffer::AppendLarge(const char* text, std::size_t length)
{
    // More than the buffer holds goes on into the device as it is.
    if (device_ && length >= text_.size()) {
        Flush();
        if (!failed_) failed_ = device_->write(text, qint64(length)) != qint64(length);
        return *this;
    }
    Grow(length);
    std::memcpy(text_.data() + size_, text, length);
    size_ += length;
    return *this;
}

bool TTextBuffer::Flush()
{
    if (device_ && size_ > 0 && !failed_) failed_ = device_->write(text_.data(), qint64(size_)) != qint64(size_);
    if (device_) size_ = 0;
    return !failed_;
}

QByteArray WrittenText(const std::function<void(QIODevice&)>& write)
{
    QByteArray text;
    QBuffer buffer(&text);
    buffer.open(QIODevice::WriteOnly);
    write(buffer);
    return text;
}

// Numbers are written in place, digit by digit from the last, so that the
// millions of them in a dense sheet's file cost no copy of their own.
TTextBuffer& TTextBuffer::operator<<(std::int64_t value)
{
    if (text_.size() - size_ < 24) Grow(24);
    char* out = text_.data() + size_;
    const bool negative = value < 0;
    std::uint64_t magnitude = negative ? 0 - std::uint64_t(value) : std::uint64_t(value);
    if (negative) *out++ = '-';
    int digits = 1;
    for (std::uint64_t rest = magnitude; rest >= 10; rest /= 10) ++digits;
    char* const end = out + digits;
    char* p = end;
    do {
        *--p = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    size_ = std::size_t(end - text_.data());
    return *this;
}

TTextBuffer& TTextBuffer::operator<<(Mm length)
{
    const bool negative = length.Microns < 0;
    const std::uint64_t magnitude = negative ? 0 - std::uint64_t(length.Microns) : std::uint64_t(length.Microns);
    if (negative) *this << '-';
    *this << std::int64_t(magnitude / 1000);
    const int fraction = int(magnitude % 1000);
    if (fraction != 0) {
        if (text_.size() - size_ < 4) Grow(4);
        char* const out = text_.data() + size_;
        out[0] = '.';
        out[1] = char('0' + fraction / 100);
        out[2] = char('0' + fraction / 10 % 10);
        out[3] = char('0' + fraction % 10);
        std::size_t used = 4;
        while (out[used - 1] == '0') --used;
        size_ += used;
    }
    return *this;
}
