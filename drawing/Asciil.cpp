#include "drawing/Asciil.h"

#include <algorithm>

Asciil::Asciil() { Assign(QByteArrayLiteral("<unassigned>")); }

Asciil::Asciil(const std::uint8_t* bytes) { Assign(bytes); }

Asciil::Asciil(const std::uint8_t* bytes, std::size_t maxChars) { Assign(bytes, maxChars); }

void Asciil::Assign(const std::uint8_t* bytes) { Assign(bytes, 255); }

void Asciil::Assign(const std::uint8_t* bytes, std::size_t maxChars)
{
    const std::size_t length = std::min<std::size_t>(bytes[0], std::min<std::size_t>(maxChars, 255));
    buffer_.assign(bytes + 1, bytes + 1 + length);
    buffer_.insert(buffer_.begin(), std::uint8_t(length));
}

void Asciil::Assign(const QByteArray& text)
{
    const qsizetype length = std::min<qsizetype>(text.size(), 255);
    buffer_.assign(1 + std::size_t(length), 0);
    buffer_[0] = std::uint8_t(length);
    std::copy_n(text.constData(), length, buffer_.begin() + 1);
}

QByteArray Asciil::AsText() const
{
    const auto first = buffer_.begin() + 1;
    const auto zero = std::find(first, buffer_.end(), std::uint8_t(0));
    return QByteArray(reinterpret_cast<const char*>(buffer_.data() + 1), zero - first);
}

void Asciil::Delete(int index, int count)
{
    QByteArray text = AsText();
    if (index >= 1 && index <= text.size() && count > 0)
        text.remove(index - 1, std::min<qsizetype>(count, text.size() - (index - 1)));
    Assign(text);
}
