#pragma once
// A text file made piece by piece: texts and numbers copied in place into
// one buffer, without a temporary text for each piece, for the schematic
// writers whose files run to tens of megabytes for a dense sheet. Made in
// memory, the buffer grows to hold the whole text (a piece written into
// another buffer); given a device, the buffer stays at a megabyte and goes
// on into the device whenever it is full, so the file is never whole in
// memory.

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

class TTextBuffer {
public:
    // A length in micrometres, written as millimetres: "25.4", "-0.127", "0".
    struct Mm {
        std::int64_t Microns;
    };

    TTextBuffer() = default;
    explicit TTextBuffer(QIODevice& device);
    TTextBuffer(const TTextBuffer&) = delete;
    TTextBuffer& operator=(const TTextBuffer&) = delete;
    TTextBuffer(TTextBuffer&&) = default;
    TTextBuffer& operator=(TTextBuffer&&) = default;

    TTextBuffer& operator<<(const char* text) { return Append(text, std::strlen(text)); }
    TTextBuffer& operator<<(const QByteArray& text) { return Append(text.constData(), std::size_t(text.size())); }
    TTextBuffer& operator<<(QByteArrayView text) { return Append(text.data(), std::size_t(text.size())); }
    TTextBuffer& operator<<(const QString& text) { return *this << text.toUtf8(); }
    // The text another buffer holds in memory.
    TTextBuffer& operator<<(const TTextBuffer& other) { return Append(other.text_.data(), other.size_); }
    TTextBuffer& operator<<(char c)
    {
        if (size_ == text_.size()) Grow(1);
        text_[size_++] = c;
        return *this;
    }
    TTextBuffer& operator<<(std::int64_t value);
    TTextBuffer& operator<<(int value) { return *this << std::int64_t(value); }
    TTextBuffer& operator<<(Mm length);

    // Empties the buffer, keeping its memory for the next text.
    void Clear() { size_ = 0; }
    // Writes what the buffer holds into the device; false once the device
    // has refused a write (what comes after is dropped).
    bool Flush();

private:
    TTextBuffer& Append(const char* text, std::size_t length)
    {
        if (text_.size() - size_ < length) return AppendLarge(text, length);
        std::memcpy(text_.data() + size_, text, length);
        size_ += length;
        return *this;
    }
    TTextBuffer& AppendLarge(const char* text, std::size_t length);
    void Grow(std::size_t more);

    std::vector<char> text_;  // its first size_ bytes are the text
    std::size_t size_ = 0;
    QIODevice* device_ = nullptr;
    bool failed_ = false;
};

// The bytes a writer puts into a device, as one text (the files the tests
// read whole).
QByteArray WrittenText(const std::function<void(QIODevice&)>& write);
