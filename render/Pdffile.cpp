#include "render/Pdffile.h"

#include <QIODevice>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

TPdfFile::TPdfFile(QIODevice& device) : device_(device)
{
    // The second line's bytes above 127 mark the file as binary.
    Write(QByteArrayLiteral("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n"));
}

void TPdfFile::Write(const char* bytes, qsizetype size)
{
    if (failed_ || size == 0) return;
    if (device_.write(bytes, size) != size) {
        failed_ = true;
        return;
    }
    written_ += size;
}

void TPdfFile::Write(const QByteArray& bytes) { Write(bytes.constData(), bytes.size()); }

int TPdfFile::NewObject()
{
    offsets_.push_back(-1);
    return int(offsets_.size());
}

void TPdfFile::Object(int number, const QByteArray& body)
{
    if (number < 1 || std::size_t(number) > offsets_.size()) {
        failed_ = true;
        return;
    }
    offsets_[std::size_t(number) - 1] = written_;
    Write(QByteArray::number(number) + " 0 obj\n");
    Write(body);
    Write(QByteArrayLiteral("\nendobj\n"));
}

void TPdfFile::Stream(int number, const QByteArray& entries, const QByteArray& data, bool deflated)
{
    QByteArray head = "<<" + entries;
    if (deflated) head += "/Filter/FlateDecode";
    head += "/Length " + QByteArray::number(data.size()) + ">>\nstream\n";
    if (number < 1 || std::size_t(number) > offsets_.size()) {
        failed_ = true;
        return;
    }
    offsets_[std::size_t(number) - 1] = written_;
    Write(QByteArray::number(number) + " 0 obj\n");
    Write(head);
    Write(data);
    Write(QByteArrayLiteral("\nendstream\nendobj\n"));
}

bool TPdfFile::Finish(int catalogue, int info)
{
    const qint64 xref = written_;
    QByteArray table = "xref\n0 " + QByteArray::number(qsizetype(offsets_.size()) + 1) + "\n0000000000 65535 f \n";
    for (const qint64 offset : offsets_) {
        if (offset < 0) failed_ = true;
        char entry[32];
        std::snprintf(entry, sizeof entry, "%010lld 00000 n \n", static_cast<long long>(offset < 0 ? 0 : offset));
        table += entry;
    }
    table += "trailer\n<</Size " + QByteArray::number(qsizetype(offsets_.size()) + 1) + "/Root " +
             QByteArray::number(catalogue) + " 0 R/Info " + QByteArray::number(info) + " 0 R>>\nstartxref\n" +
             QByteArray::number(xref) + "\n%%EOF\n";
    Write(table);
    return !failed_;
}

QByteArray TPdfFile::Deflate(const QByteArray& data, int level)
{
    // qCompress puts the length in front of the zlib stream.
    QByteArray compressed = qCompress(data, level);
    if (compressed.size() < 4) return QByteArray();
    compressed.remove(0, 4);
    return compressed;
}

QByteArray TPdfFile::TextString(const QString& text)
{
    bool plain = true;
    for (const QChar c : text) plain = plain && c.unicode() >= 0x20 && c.unicode() < 0x7F;
    if (plain) {
        QByteArray out = "(";
        const QByteArray ascii = text.toLatin1();
        AppendLiteral(out, ascii.constData(), ascii.size());
        return out + ')';
    }
    static constexpr char digits[] = "0123456789ABCDEF";
    QByteArray out = "<FEFF";
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        for (int shift = 12; shift >= 0; shift -= 4) out += digits[(u >> shift) & 15];
    }
    return out + '>';
}

void TPdfFile::AppendLiteral(QByteArray& out, const char* bytes, qsizetype size)
{
    for (qsizetype i = 0; i < size; ++i) {
        const char c = bytes[i];
        if (c == '(' || c == ')' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
    }
}

char* TPdfFile::WriteNumber(char* out, double value, int decimals)
{
    static constexpr double scales[] = {1, 10, 100, 1000, 10000};
    decimals = std::clamp(decimals, 0, 4);
    if (!std::isfinite(value)) value = 0;
    value = std::clamp(value, -1e9, 1e9);
    return WriteFixed(out, std::llround(value * scales[decimals]), decimals);
}

char* TPdfFile::WriteFixed(char* out, long long value, int decimals)
{
    static constexpr long long scales[] = {1, 10, 100, 1000, 10000};
    decimals = std::clamp(decimals, 0, 4);
    const long long scale = scales[decimals];
    value = std::clamp(value, -1000000000 * scale, 1000000000 * scale);
    if (value < 0) {
        *out++ = '-';
        value = -value;
    }
    out = std::to_chars(out, out + 12, value / scale).ptr;
    long long fraction = value % scale;
    if (fraction != 0) {
        int digits = decimals;
        while (fraction % 10 == 0) fraction /= 10, --digits;
        *out++ = '.';
        for (int k = digits - 1; k >= 0; --k) {
            out[k] = char('0' + fraction % 10);
            fraction /= 10;
        }
        out += digits;
    }
    return out;
}

void TPdfFile::AppendNumber(QByteArray& out, double value, int decimals)
{
    char buffer[NumberBytes];
    out.append(buffer, WriteNumber(buffer, value, decimals) - buffer);
}
