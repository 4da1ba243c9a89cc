#pragma once
// The body of a PDF file as it goes to a device: numbered objects written
// one after another, each as soon as it is made, and at the end the
// cross-reference table that says where each one begins, and the trailer.
// Nothing of the file is kept but the objects' offsets.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <vector>

class QIODevice;

class TPdfFile {
public:
    // Writes the file's header.
    explicit TPdfFile(QIODevice& device);
    TPdfFile(const TPdfFile&) = delete;
    TPdfFile& operator=(const TPdfFile&) = delete;

    // A new object number, for an object written later.
    int NewObject();
    // Object `number`: "number 0 obj", the body, "endobj".
    void Object(int number, const QByteArray& body);
    // Object `number` as a stream of data, its dictionary the given entries
    // with its /Length; `deflated` data is marked /FlateDecode.
    void Stream(int number, const QByteArray& entries, const QByteArray& data, bool deflated);
    // The cross-reference table and the trailer naming the catalogue and
    // the document information. False when any write failed (or an object
    // was never written).
    bool Finish(int catalogue, int info);

    // The zlib stream (RFC 1950) of data, as /FlateDecode takes it.
    static QByteArray Deflate(const QByteArray& data, int level);
    // A text as a PDF text string: (...) for plain ASCII, else UTF-16BE in
    // hexadecimal with its byte order mark.
    static QByteArray TextString(const QString& text);
    // Bytes as a literal string's contents, (, ) and \ escaped, and CR,
    // which a reader would take for a line end.
    static void AppendLiteral(QByteArray& out, const char* bytes, qsizetype size);
    // A number as PDF writes it: whole numbers bare, others with at most
    // `decimals` decimals (up to 4), never an exponent; values beyond
    // +-10^9 are cut to it. At most NumberBytes bytes at `out`; returns the end.
    static constexpr std::size_t NumberBytes = 24;
    static char* WriteNumber(char* out, double value, int decimals = 2);
    // A number kept as a whole number of 10^-decimals (hundredths for 2),
    // written as WriteNumber writes it.
    static char* WriteFixed(char* out, long long value, int decimals);
    static void AppendNumber(QByteArray& out, double value, int decimals = 2);

private:
    void Write(const QByteArray& bytes);
    void Write(const char* bytes, qsizetype size);

    QIODevice& device_;
    qint64 written_ = 0;
    bool failed_ = false;
    std::vector<qint64> offsets_;  // by object number - 1; -1 until written
};
