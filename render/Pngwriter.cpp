#include "render/Pngwriter.h"

#include <QFile>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/Checksum.h"
#include "base/Parallel.h"
#include "render/Deflate.h"
#include "render/Palettepacking.h"

namespace {

int pictureThreads = 0;  // 0: one per core

// Rows a part of a picture has at least.
constexpr int minPartRows = 64;

// The number of parts of `rows` rows to work on at once.
int PartsOf(int rows)
{
    const int threads = pictureThreads > 0 ? pictureThreads : std::min(ThreadsFor(0), 8);
    return std::clamp(rows / minPartRows, 1, threads);
}

void PutU32(std::uint8_t* at, std::uint32_t value)
{
    at[0] = std::uint8_t(value >> 24);
    at[1] = std::uint8_t(value >> 16);
    at[2] = std::uint8_t(value >> 8);
    at[3] = std::uint8_t(value);
}

// A PNG file being written, chunk by chunk, each with its length and CRC.
class PngFile {
public:
    explicit PngFile(QIODevice& device) : file_(device) {}

    bool Open()
    {
        static const char signature[] = "\x89PNG\r\n\x1a\n";
        return (file_.isOpen() || file_.open(QIODevice::WriteOnly | QIODevice::Truncate)) && Put(signature, 8);
    }

    bool Chunk(const char* type, const std::uint8_t* data, std::size_t size)
    {
        std::uint8_t head[8];
        PutU32(head, std::uint32_t(size));
        std::memcpy(head + 4, type, 4);
        std::uint8_t tail[4];
        PutU32(tail, Crc32(Crc32(0, head + 4, 4), data, size));
        return Put(head, 8) && (size == 0 || Put(data, size)) && Put(tail, 4);
    }

    bool Close()
    {
        if (!Chunk("IEND", nullptr, 0)) return false;
        auto* file = qobject_cast<QFileDevice*>(&file_);
        return !file || file->flush();
    }

    // Why the device took no more.
    TResult Failure() const { return TResult::Failure(file_.errorString()); }

private:
    bool Put(const void* data, std::size_t size)
    {
        return file_.write(static_cast<const char*>(data), qint64(size)) == qint64(size);
    }

    QIODevice& file_;
};

TResult NoMemory() { return TResult::Failure(QStringLiteral("there is not enough memory")); }

}  // namespace

void TPngWriter::SetThreads(int threads) { pictureThreads = std::max(0, threads); }

TResult TPngWriter::Write(const QImage& picture, const QString& path)
{
    QFile file(path);
    return Write(picture, file);
}

TResult TPngWriter::Write(const QImage& picture, QIODevice& device)
{
    if (picture.isNull()) return TResult::Failure(QStringLiteral("the picture is empty"));
    const QImage source = picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32
                              ? picture
                              : picture.convertToFormat(QImage::Format_RGB32);
    if (source.isNull()) return NoMemory();
    const std::size_t height = std::size_t(source.height());
    const int parts = PartsOf(int(height));
    // When there is no memory for the rows or their stream, no file is written.
    TPackedRows packed;
    if (!PackRows(source, parts, packed)) return NoMemory();
    const std::size_t stride = packed.RowBytes + 1, size = stride * height;
    TLargeBuffer deflated = TakeLargeBuffer(DeflateBound(size));
    if (!deflated) return NoMemory();
    // Repeats one pixel (or a byte of them) back and one row up.
    const std::size_t deflatedSize =
        DeflateRows(packed.Rows.get(), size, packed.Indexed ? 1 : 3, stride, parts, deflated.get());
    packed.Rows.reset();

    PngFile png(device);
    if (!png.Open()) return png.Failure();
    std::uint8_t header[13];
    PutU32(header, std::uint32_t(source.width()));
    PutU32(header + 4, std::uint32_t(height));
    header[8] = std::uint8_t(packed.Depth);
    header[9] = packed.Indexed ? 3 : 2;        // palette, or RGB
    header[10] = header[11] = header[12] = 0;  // deflate, the five filters, no interlace
    if (!png.Chunk("IHDR", header, sizeof header)) return png.Failure();
    if (packed.Indexed) {
        std::vector<std::uint8_t> palette;
        for (const QRgb colour : packed.Colours)
            palette.insert(palette.end(),
                           {std::uint8_t(qRed(colour)), std::uint8_t(qGreen(colour)), std::uint8_t(qBlue(colour))});
        if (!png.Chunk("PLTE", palette.data(), palette.size())) return png.Failure();
    }
    constexpr std::size_t chunk = std::size_t(1) << 20;
    for (std::size_t at = 0; at < deflatedSize; at += chunk)
        if (!png.Chunk("IDAT", deflated.get() + at, std::min(chunk, deflatedSize - at))) return png.Failure();
    if (!png.Close()) return png.Failure();
    return {};
}
