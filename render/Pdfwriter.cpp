#include "render/Pdfwriter.h"

#include <QIODevice>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <exception>
#include <new>
#include <vector>

#include "base/Parallel.h"
#include "render/Pdffile.h"
#include "render/Pdffonts.h"
#include "render/Vectortarget.h"

namespace {

std::atomic<int> contentThreads{0};

// Shapes in one part of the page's content (about half a megabyte of it).
constexpr std::size_t shapesPerPart = 16384;
// How hard the content is compressed: the fastest level takes a dense
// page's content to a sixth of its size.
constexpr int contentLevel = 1;

// Text written into a byte array that grows by the room asked for ahead.
class TContentWriter {
public:
    TContentWriter(QByteArray& out, std::size_t expected) : out_(out)
    {
        out_.resize(qsizetype(expected));
        pos_ = out_.data();
        end_ = pos_ + out_.size();
    }
    ~TContentWriter() { out_.resize(pos_ - out_.data()); }
    TContentWriter(const TContentWriter&) = delete;
    TContentWriter& operator=(const TContentWriter&) = delete;

    void Room(std::size_t n)
    {
        if (std::size_t(end_ - pos_) >= n) return;
        const qsizetype used = pos_ - out_.data();
        out_.resize(std::max<qsizetype>(2 * out_.size(), used + qsizetype(n)));
        pos_ = out_.data() + used;
        end_ = out_.data() + out_.size();
    }
    template <std::size_t N>
    void Put(const char (&text)[N])
    {
        std::memcpy(pos_, text, N - 1);
        pos_ += N - 1;
    }
    void Put(char c) { *pos_++ = c; }
    void Put(const QByteArray& bytes)
    {
        Room(std::size_t(bytes.size()));
        std::memcpy(pos_, bytes.constData(), std::size_t(bytes.size()));
        pos_ += bytes.size();
    }
    // A number and a blank.
    void Number(double value, int decimals = 2)
    {
        pos_ = TPdfFile::WriteNumber(pos_, value, decimals);
        *pos_++ = ' ';
    }
    void Pair(double a, double b)
    {
        Number(a);
        Number(b);
    }
    // A coordinate kept in hundredths of a pixel, and a blank.
    void Fixed(long long hundredths, int decimals = 2)
    {
        pos_ = TPdfFile::WriteFixed(pos_, hundredths, decimals);
        *pos_++ = ' ';
    }

private:
    QByteArray& out_;
    char* pos_;
    char* end_;
};

// poppler keeps the characters of 50,000 glyphs less than 3 points wide on
// a page, and drops those after them; on a page of more than this many, every
// text with such glyphs is a span marked with the text it stands for, which
// poppler takes whole, as one character of its width.
constexpr std::uint64_t maxTinyGlyphs = 40000;

// Room for any one operator with its operands but the texts'.
constexpr std::size_t operatorRoom = 12 * TPdfFile::NumberBytes + 64;

// An ellipse in a box as four Bezier curves.
void PutEllipse(TContentWriter& out, double x1, double y1, double x2, double y2)
{
    constexpr double k = 0.5522847498307936;
    const double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2, rx = (x2 - x1) / 2, ry = (y2 - y1) / 2;
    const double kx = k * rx, ky = k * ry;
    out.Room(4 * operatorRoom);
    out.Pair(cx + rx, cy);
    out.Put("m\n");
    const double points[4][6] = {{cx + rx, cy + ky, cx + kx, cy + ry, cx, cy + ry},
                                 {cx - kx, cy + ry, cx - rx, cy + ky, cx - rx, cy},
                                 {cx - rx, cy - ky, cx - kx, cy - ry, cx, cy - ry},
                                 {cx + kx, cy - ry, cx + rx, cy - ky, cx + rx, cy}};
    for (const auto& c : points) {
        out.Pair(c[0], c[1]);
        out.Pair(c[2], c[3]);
        out.Pair(c[4], c[5]);
        out.Put("c\n");
    }
    out.Put("h\n");
}

}  // namespace

// What every part of the content needs: the page, its texts' shapes, and
// where it goes.
struct TPdfWriter::TContent {
    const TVectorTarget& Page;
    const TPdfFonts& Fonts;
    std::vector<std::uint32_t> TextFont;   // by text: the font in Fonts
    std::vector<std::uint32_t> TextShape;  // by text: its shape in Fonts
    TPdfPlacement Placement;
    bool MarkTiny = false;  // texts of tiny glyphs are marked with their text
};

void TPdfWriter::SetThreads(int threads) { contentThreads = std::max(threads, 0); }

void TPdfWriter::WriteContent(const TContent& content, std::size_t first, std::size_t last, QByteArray& text)
{
    using TKind = TVectorTarget::TKind;
    const TVectorTarget& page = content.Page;
    TContentWriter out(text, (last - first) * 28 + 4096);
    // The state set so far in this part (the parts are written apart, so
    // each sets what it uses).
    QRgb fill = 0, stroke = 0;
    bool fillSet = false, strokeSet = false;
    double lineWidth = -1;
    int cap = -1;
    bool inText = false;
    std::uint32_t resource = std::uint32_t(-1);
    double fontSize = -1;
    int renderMode = 0;
    const auto setFill = [&](QRgb colour) {
        if (fillSet && colour == fill) return;
        out.Room(operatorRoom);
        out.Number(qRed(colour) / 255.0, 3);
        out.Number(qGreen(colour) / 255.0, 3);
        out.Number(qBlue(colour) / 255.0, 3);
        out.Put("rg\n");
        fill = colour;
        fillSet = true;
    };
    const auto setStroke = [&](QRgb colour) {
        if (strokeSet && colour == stroke) return;
        out.Room(operatorRoom);
        out.Number(qRed(colour) / 255.0, 3);
        out.Number(qGreen(colour) / 255.0, 3);
        out.Number(qBlue(colour) / 255.0, 3);
        out.Put("RG\n");
        stroke = colour;
        strokeSet = true;
    };
    const auto setLineWidth = [&](double width) {
        if (width == lineWidth) return;
        out.Room(operatorRoom);
        out.Number(width);
        out.Put("w\n");
        lineWidth = width;
    };
    const auto endText = [&] {
        if (!inText) return;
        out.Room(operatorRoom);
        out.Put("ET\n");
        inText = false;
    };

    std::size_t i = first;
    while (i < last) {
        const TVectorTarget::TShape& head = page.shapes_[i];
        if (head.Kind == TKind::Text) {
            const std::uint32_t index = head.Index();
            const TVectorTarget::TText& t = page.texts_[index];
            const TPdfFonts::TShaped& shaped = content.Fonts.Shaped(content.TextShape[index]);
            const TPdfFonts::TTextFont& font = content.Fonts.Font(content.TextFont[index]);
            const TFont& drawn = page.glyphFonts_[t.Font];
            const double ascent = page.fonts_[t.Font].Ascent;
            ++i;
            if (shaped.Runs == 0) continue;
            if (!inText) {
                out.Room(operatorRoom);
                out.Put("BT\n");
                inText = true;
            }
            setFill(head.Colour);
            if (font.Embolden) {
                setStroke(head.Colour);
                setLineWidth(std::round(font.Size * 4.0) / 100.0);
            }
            const int mode = font.Embolden ? 2 : 0;
            out.Room(operatorRoom);
            if (mode != renderMode) {
                out.Put(mode == 2 ? "2 Tr\n" : "0 Tr\n");
                renderMode = mode;
            }
            // The text matrix: x along the baseline, y up from it (the
            // page's y runs down); a slanted face leans its tops forward.
            const double slant = font.Slant ? 0.2 : 0;
            if (t.Turned) {
                out.Put("0 -1 -1 ");
                out.Number(-slant);
                out.Pair(t.X + ascent, double(t.Y) + t.Width);
            } else {
                out.Put("1 0 ");
                out.Number(slant);
                out.Put("-1 ");
                out.Pair(t.X, t.Y + ascent);
            }
            out.Put("Tm\n");
            const bool marked = content.MarkTiny && shaped.Tiny > 0;
            if (marked) {
                QByteArray shown;
                for (const char c : t.Text()) {
                    const auto u = static_cast<unsigned char>(c);
                    if (u >= 0x20 && !(u >= 0x7F && u < 0xA0)) shown += c;
                }
                out.Put(QByteArrayLiteral("/Span<</ActualText") + TPdfFile::TextString(QString::fromLatin1(shown)) +
                        QByteArrayLiteral(">>BDC\n"));
            }
            for (std::uint32_t r = 0; r < shaped.Runs; ++r) {
                const TPdfFonts::TRun& run = content.Fonts.Run(shaped.FirstRun + r);
                if (run.Resource != resource || font.Size != fontSize) {
                    out.Put(TPdfFonts::ResourceName(run.Resource));
                    out.Room(operatorRoom);
                    out.Put(' ');
                    out.Number(font.Size);
                    out.Put("Tf\n");
                    resource = run.Resource;
                    fontSize = font.Size;
                }
                out.Put(run.Show);
                out.Room(1);
                out.Put('\n');
            }
            if (marked) {
                out.Room(operatorRoom);
                out.Put("EMC\n");
            }
            if (drawn.Underline || drawn.StrikeOut) {
                // The bars, as the screen draws them: across the text's width.
                endText();
                out.Room(2 * operatorRoom);
                for (const bool underline : {true, false}) {
                    if (underline ? !drawn.Underline : !drawn.StrikeOut) continue;
                    const double top = (underline ? font.UnderlineTop : font.StrikeTop) + ascent;
                    if (t.Turned)
                        out.Pair(t.X + top, t.Y), out.Pair(font.LineWidth, t.Width);
                    else
                        out.Pair(t.X, t.Y + top), out.Pair(t.Width, font.LineWidth);
                    out.Put("re\n");
                }
                out.Put("f\n");
            }
            continue;
        }
        endText();
        // A run of shapes of one style: one path.
        out.Room(operatorRoom);
        if (head.Kind == TKind::Stroke) {
            setStroke(head.Colour);
            setLineWidth(head.Width);
            const int wanted = head.Round ? 1 : 2;
            if (wanted != cap) {
                out.Put(head.Round ? "1 J 1 j\n" : "2 J 0 j\n");
                cap = wanted;
            }
        } else {
            setFill(head.Colour);
        }
        for (; i < last && TVectorTarget::SameStyle(page.shapes_[i], head); ++i) {
            const TVectorTarget::TShape& s = page.shapes_[i];
            out.Room(operatorRoom);
            switch (s.Kind) {
            case TKind::Box:
                // Short of the right and bottom edges by a thousandth of
                // a pixel: a renderer that lights every pixel a shape
                // touches (poppler without smoothing) lights the pixels
                // the box covers, and not those beyond its edges.
                out.Fixed(s.X1);
                out.Fixed(s.Y1);
                out.Fixed((std::int64_t(s.X2) - s.X1) * 10 - 1, 3);
                out.Fixed((std::int64_t(s.Y2) - s.Y1) * 10 - 1, 3);
                out.Put("re\n");
                break;
            case TKind::Stroke:
                out.Fixed(s.X1);
                out.Fixed(s.Y1);
                out.Put("m ");
                out.Fixed(s.X2);
                out.Fixed(s.Y2);
                out.Put("l\n");
                break;
            case TKind::Disc: PutEllipse(out, s.X1 / 100.0, s.Y1 / 100.0, s.X2 / 100.0, s.Y2 / 100.0); break;
            case TKind::Ring: {
                const double x1 = s.X1 / 100.0, y1 = s.Y1 / 100.0, x2 = s.X2 / 100.0, y2 = s.Y2 / 100.0;
                PutEllipse(out, x1, y1, x2, y2);
                if (x2 - x1 > 2 * s.Width && y2 - y1 > 2 * s.Width)
                    PutEllipse(out, x1 + s.Width, y1 + s.Width, x2 - s.Width, y2 - s.Width);
                break;
            }
            case TKind::Text: break;
            }
        }
        out.Room(operatorRoom);
        out.Put(head.Kind == TKind::Stroke ? "S\n" : head.Kind == TKind::Ring ? "f*\n" : "f\n");
    }
    endText();
}

TResult TPdfWriter::Write(const TVectorTarget& page, const TPdfPlacement& placement, const QString& title,
                          QIODevice& device)
{
    try {
        // The texts shaped first, on this thread (Qt's fonts belong to it).
        TPdfFonts fonts(placement.Scale);
        TContent content{page, fonts, {}, {}, placement};
        std::vector<std::uint32_t> pageFonts(page.glyphFonts_.size(), std::uint32_t(-1));
        content.TextFont.resize(page.texts_.size());
        content.TextShape.resize(page.texts_.size());
        std::uint64_t tiny = 0;
        for (std::size_t k = 0; k < page.texts_.size(); ++k) {
            const TVectorTarget::TText& t = page.texts_[k];
            std::uint32_t& font = pageFonts[t.Font];
            if (font == std::uint32_t(-1)) font = fonts.Add(page.glyphFonts_[t.Font]);
            content.TextFont[k] = font;
            content.TextShape[k] = fonts.Shape(font, t.Text());
            tiny += fonts.Shaped(content.TextShape[k]).Tiny;
        }
        content.MarkTiny = tiny > maxTinyGlyphs;

        TPdfFile file(device);
        const int catalogue = file.NewObject(), pages = file.NewObject(), pageObject = file.NewObject(),
                  info = file.NewObject();

        // The page's content in parts: each begins where a run of one style
        // begins; a batch of them is made on the threads at once, and
        // written before the next is made.
        const std::size_t count = page.shapes_.size();
        std::vector<std::size_t> bounds{0};
        while (bounds.back() < count) {
            std::size_t at = std::min(count, bounds.back() + shapesPerPart);
            while (at < count && !page.RunStartsAt(at)) ++at;
            bounds.push_back(at);
        }
        if (bounds.size() == 1) bounds.push_back(0);
        const std::size_t parts = bounds.size() - 1;
        const int threads = std::max(1, std::min(ThreadsFor(contentThreads), 16));
        QByteArray contents = "[";
        for (std::size_t batch = 0; batch < parts; batch += std::size_t(threads)) {
            const std::size_t inBatch = std::min(parts - batch, std::size_t(threads));
            std::vector<QByteArray> made(inBatch);
            std::vector<std::exception_ptr> failures(inBatch);
            RunParts(int(inBatch), [&](int k) {
                const std::size_t part = batch + std::size_t(k);
                try {
                    QByteArray text;
                    if (part == 0) {
                        // The page on its paper: page pixels, y down, clipped to the page.
                        TContentWriter out(text, 256);
                        out.Room(2 * operatorRoom);
                        out.Put("q\n");
                        out.Number(placement.Scale, 4);
                        out.Put("0 0 ");
                        out.Number(-placement.Scale, 4);
                        out.Number(placement.Left);
                        out.Number(placement.PaperHeight - placement.Top);
                        out.Put("cm\n0 0 ");
                        out.Pair(page.Width(), page.Height());
                        out.Put("re W n\n");
                    }
                    QByteArray shapes;
                    WriteContent(content, bounds[part], bounds[part + 1], shapes);
                    text += shapes;
                    shapes = QByteArray();
                    if (part + 1 == parts) text += "Q\n";
                    made[std::size_t(k)] = TPdfFile::Deflate(text, contentLevel);
                    if (made[std::size_t(k)].isEmpty()) throw std::bad_alloc();
                } catch (...) {
                    failures[std::size_t(k)] = std::current_exception();
                }
            });
            for (const std::exception_ptr& failure : failures)
                if (failure) std::rethrow_exception(failure);
            for (QByteArray& part : made) {
                const int stream = file.NewObject();
                file.Stream(stream, QByteArray(), part, true);
                part = QByteArray();
                contents += (contents.size() > 1 ? " " : "") + QByteArray::number(stream) + " 0 R";
            }
        }
        contents += ']';

        const QByteArray fontEntries = fonts.WriteObjects(file);
        QByteArray mediaBox = "[0 0 ";
        TPdfFile::AppendNumber(mediaBox, placement.PaperWidth);
        mediaBox += ' ';
        TPdfFile::AppendNumber(mediaBox, placement.PaperHeight);
        mediaBox += ']';
        file.Object(pageObject, "<</Type/Page/Parent " + QByteArray::number(pages) + " 0 R/MediaBox" + mediaBox +
                                    "/Resources<</Font<<" + fontEntries + ">>>>/Contents" + contents + ">>");
        file.Object(pages, "<</Type/Pages/Kids[" + QByteArray::number(pageObject) + " 0 R]/Count 1>>");
        file.Object(catalogue, "<</Type/Catalog/Pages " + QByteArray::number(pages) + " 0 R>>");
        file.Object(info, "<</Title" + TPdfFile::TextString(title) + "/Producer(Tracery)>>");
        if (!file.Finish(catalogue, info))
            return TResult::Failure(device.errorString().isEmpty() ? QStringLiteral("the file could not be written")
                                                                   : device.errorString());
        return TResult();
    } catch (const std::bad_alloc&) {
        return TResult::Failure(QStringLiteral("there is not enough memory"));
    }
}
