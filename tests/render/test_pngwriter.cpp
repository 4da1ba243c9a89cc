// Page pictures as PNG files: a palette of the page's own colours, RGB beyond
// 256 colours, the same pixels either way.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QSet>
#include <QTemporaryDir>

#include "app/Surface.h"
#include "render/Pngwriter.h"

namespace {

struct PngFile {
    int BitDepth = -1, ColourType = -1;
    qsizetype PaletteBytes = -1;  // length of the PLTE chunk
};

// The header fields of a PNG file and the length of its palette chunk.
PngFile ReadPng(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    if (!bytes.startsWith("\x89PNG\r\n\x1a\n") || bytes.mid(12, 4) != "IHDR") return {};
    PngFile png{std::uint8_t(bytes[24]), std::uint8_t(bytes[25])};
    for (qsizetype at = 8; at + 8 <= bytes.size();) {
        const qsizetype length = qsizetype(std::uint8_t(bytes[at])) << 24 | std::uint8_t(bytes[at + 1]) << 16 |
                                 std::uint8_t(bytes[at + 2]) << 8 | std::uint8_t(bytes[at + 3]);
        if (bytes.mid(at + 4, 4) == "PLTE") png.PaletteBytes = length;
        at += 12 + length;
    }
    return png;
}

QSet<QRgb> Colours(const QImage& image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y));
    return colours;
}

}  // namespace

TEST(PngWriter, PagesKeepEveryPixelWithAPaletteOfTheirColoursAndRgbBeyond256)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    // A page of a few exact colours, drawn as pages are.
    TSurface page(301, 127);
    page.Clear(clWhite);
    page.Pen = TPen{clBlue, psSolid, 3, pmCopy};
    page.MoveTo(-5, 3);
    page.LineTo(290, 120);
    page.Pen = TPen{0x00C000, psDot, 1, pmCopy};
    page.Brush = TBrush{0xA6CAF0, bsSolid};
    page.Rectangle(20, 30, 200, 90);
    page.Font.Colour = clRed;
    page.TextOut(40, 50, "U17 74HC595");
    const QString paged = dir.filePath(QStringLiteral("page.png"));
    ASSERT_TRUE(TPngWriter::Write(page.Image(), paged));
    const PngFile png = ReadPng(paged);
    ASSERT_EQ(Colours(page.Image()).size(), 5);
    EXPECT_EQ(png.ColourType, 3);
    EXPECT_EQ(png.BitDepth, 4);
    EXPECT_EQ(png.PaletteBytes, 3 * 5);
    EXPECT_EQ(QImage(paged).convertToFormat(QImage::Format_RGB32), page.Image());

    // Pixels packed as tightly as the palette allows, rows of any width.
    for (const auto& [colours, depth] : {std::pair{1, 1}, {2, 1}, {3, 2}, {4, 2}, {16, 4}, {17, 8}, {60, 8}}) {
        QImage few(13, 5, QImage::Format_RGB32);
        for (int y = 0; y < few.height(); ++y)
            for (int x = 0; x < few.width(); ++x) few.setPixel(x, y, qRgb(0, 0, 255 - (x * 7 + y * 3) % colours));
        const QString path = dir.filePath(QStringLiteral("few.png"));
        ASSERT_TRUE(TPngWriter::Write(few, path));
        const PngFile packed = ReadPng(path);
        EXPECT_EQ(packed.ColourType, 3) << colours << " colours";
        EXPECT_EQ(packed.BitDepth, depth) << colours << " colours";
        EXPECT_EQ(packed.PaletteBytes, 3 * Colours(few).size()) << colours << " colours";
        EXPECT_EQ(QImage(path).convertToFormat(QImage::Format_RGB32), few) << colours << " colours";
    }

    // 300 colours: RGB.
    QImage many(61, 7, QImage::Format_RGB32);
    for (int y = 0; y < many.height(); ++y)
        for (int x = 0; x < many.width(); ++x) {
            const int n = (y * many.width() + x) % 300;
            many.setPixel(x, y, qRgb(n % 7 * 40, n / 7 % 7 * 40, n / 49 * 40));
        }
    ASSERT_EQ(Colours(many).size(), 300);
    const QString rgb = dir.filePath(QStringLiteral("many.png"));
    ASSERT_TRUE(TPngWriter::Write(many, rgb));
    EXPECT_EQ(ReadPng(rgb).ColourType, 2);
    EXPECT_EQ(ReadPng(rgb).PaletteBytes, -1);
    EXPECT_EQ(QImage(rgb).convertToFormat(QImage::Format_RGB32), many);

    // Rows far apart in the data: repeats of the row above as far back as
    // they may be, and rows too long for them.
    for (const int width : {9000, 11000}) {
        QImage wide(width, 4, QImage::Format_RGB32);
        for (int y = 0; y < wide.height(); ++y)
            for (int x = 0; x < width; ++x) {
                const int n = x % 300;
                wide.setPixel(x, y, qRgb(n % 7 * 40, n / 7 % 7 * 40, n / 49 * 40 + y / 2));
            }
        ASSERT_TRUE(TPngWriter::Write(wide, rgb));
        EXPECT_EQ(QImage(rgb).convertToFormat(QImage::Format_RGB32), wide) << width;
    }

    // A picture that cannot be written says why, in the words of the file system.
    const TResult noFolder = TPngWriter::Write(page.Image(), dir.filePath(QStringLiteral("no folder/page.png")));
    EXPECT_TRUE(noFolder.Failed());
    EXPECT_EQ(noFolder.Reason(), QStringLiteral("No such file or directory"));
    EXPECT_EQ(TPngWriter::Write(QImage(), paged).Reason(), QStringLiteral("the picture is empty"));
    QFile full(QStringLiteral("/dev/full"));
    if (full.exists()) {
        EXPECT_EQ(TPngWriter::Write(page.Image(), full).Reason(), QStringLiteral("No space left on device"));
    }
}

TEST(PngWriter, APictureWrittenInPartsOnSeveralThreadsIsTheFileOneThreadWrites)
{
    const auto bytes = [](const QImage& picture, int threads) {
        TPngWriter::SetThreads(threads);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        EXPECT_TRUE(TPngWriter::Write(picture, buffer));
        TPngWriter::SetThreads(0);
        return buffer.data();
    };
    std::uint32_t state = 7;
    const auto next = [&state] { return (state = state * 1103515245u + 12345u) >> 16; };

    // A page whose lower parts bring colours of their own and the upper
    // ones' colours in another order; rows of noise between long runs.
    TSurface page(333, 700);
    page.Clear(clWhite);
    for (int k = 0; k < 60; ++k) {
        page.Pen = TPen{TColor(k % 9 * 0x1F0F07), psSolid, 1 + k % 3, pmCopy};
        const int y = 699 - k * 11;
        page.MoveTo(int(next() % 333), y);
        page.LineTo(int(next() % 333), y - int(next() % 40));
    }
    for (int y = 300; y < 310; ++y)
        for (int x = 0; x < 333; ++x) page.SetPixel(x, y, next() % 2 ? clBlack : clBlue);
    // One colour but for a row of noise every 150 rows, the last with a
    // third colour: the parts begin inside repeats and may meet only at the
    // noise, some parts later.
    QImage plain(500, 400, QImage::Format_RGB32);
    plain.fill(qRgb(10, 20, 30));
    for (int y = 149; y < plain.height(); y += 150)
        for (int x = 0; x < plain.width(); ++x)
            plain.setPixel(x, y, next() % 2 ? qRgb(10, 20, 30) : y < 299 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
    // 300 colours in all, fewer than 256 in each third of the rows.
    QImage spread(97, 600, QImage::Format_RGB32);
    for (int y = 0; y < spread.height(); ++y)
        for (int x = 0; x < spread.width(); ++x) {
            const int n = y / 200 * 75 + (x + y) % 150;
            spread.setPixel(x, y, qRgb(n % 7 * 40, n / 7 % 7 * 40, n / 49 * 40));
        }

    // 24 colours in all, at most 16 in any part of the rows.
    QImage joined(95, 600, QImage::Format_RGB32);
    for (int y = 0; y < joined.height(); ++y)
        for (int x = 0; x < joined.width(); ++x) joined.setPixel(x, y, qRgb(y / 200 * 8 + (x + y) % 8, 0, 0));

    // Buffers of one picture are kept for the next: a picture written after
    // busier ones of other colours and sizes is still the same file.
    const auto busy = [&](int width, int height, int colours) {
        QImage picture(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height; ++y) {
            QRgb* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
            for (int x = 0; x < width; ++x) row[x] = qRgb(int(next() % unsigned(colours)), 7, 9);
        }
        return picture;
    };
    QImage large(1700, 1300, QImage::Format_RGB32);
    large.fill(qRgb(1, 2, 3));
    for (int y = 0; y < large.height(); y += 97)
        for (int x = y % 13; x < large.width(); x += 5) large.setPixel(x, y, qRgb(200, 0, 0));
    (void)bytes(busy(1800, 1400, 12), 2);
    const QByteArray afterFew = bytes(large, 2);
    (void)bytes(busy(1900, 1200, 250), 3);
    EXPECT_TRUE(bytes(large, 2) == afterFew);
    EXPECT_EQ(QImage::fromData(afterFew).convertToFormat(QImage::Format_RGB32), large);

    for (const QImage& picture : {page.Image(), plain, spread, joined}) {
        const QByteArray alone = bytes(picture, 1);
        ASSERT_FALSE(alone.isEmpty());
        EXPECT_EQ(QImage::fromData(alone).convertToFormat(QImage::Format_RGB32), picture);
        for (const int threads : {2, 3, 7})
            EXPECT_EQ(bytes(picture, threads), alone)
                << picture.width() << " x " << picture.height() << ", " << threads << " threads";
    }
}
