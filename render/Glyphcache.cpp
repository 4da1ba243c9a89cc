#include "render/Glyphcache.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHash>
#include <QPainter>
#include <algorithm>
#include <array>
#include <atomic>
#include <limits>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

#include "base/Ownedbytes.h"
#include "base/Parallel.h"
#include "base/Recenttexts.h"
#include "render/Drawtarget.h"

// Texts a paint is going to draw, each with the font it is drawn in.
struct TTextsToDraw {
    TGlyphFonts Fonts;
    struct TText {
        std::uint32_t Font;  // Fonts[Font]
        QByteArray Text;
    };
    std::vector<TText> Texts;
};

namespace {

using GlyphMask = TGlyphMask;

// A font as Qt draws it, with what has been measured and rendered in it.
struct FontEntry {
    QFont Font;
    QFontMetrics Metrics;
    QHash<QByteArray, int> Widths;
    QHash<QByteArray, std::shared_ptr<const GlyphMask>> Masks;  // shared with paints put off
    TRecentTexts<int, 512> RecentWidths;                        // in front of Widths
    // Where its texts are drawn to find their glyph pixels, kept from one
    // text to the next with a painter open on it (the entry is used on one
    // thread only).
    struct Scratch {
        QImage Image;
        std::unique_ptr<QPainter> Painter;  // (ends before the image goes)
    };
    mutable Scratch Drawn;
    // The metrics every text asks for, measured once.
    int Ascent = 0, Height = 0;
};

FontEntry* NewFontEntry(const QFont& font)
{
    auto* entry = new FontEntry{font, QFontMetrics(font), {}, {}, {}, {}};
    entry->Ascent = entry->Metrics.ascent();
    entry->Height = entry->Metrics.height();
    return entry;
}

// The fonts drawn in so far, by face, size, boldness, slant, underline and
// strike-out. Qt's fonts must not outlive the application object, so the
// entries go when it does: the first entry made asks the application's
// destructor to forget them all.
struct FontTable {
    struct Recent {
        TFont Font;
        FontEntry* Entry = nullptr;
    };
    QHash<QString, FontEntry*> Fonts;
    std::array<Recent, 8> LastAsked{};
    std::size_t NextRecent = 0;
    std::uint64_t Generation = 0;  // how many times it was forgotten
    bool ForgottenAtExit = false;  // the application's destructor will forget it

    void Forget()
    {
        ++Generation;
        LastAsked = {};
        qDeleteAll(Fonts);
        Fonts.clear();
    }
};

FontTable& TheFonts()
{
    static FontTable table;
    return table;
}

void ForgetFontsAtExit()
{
    FontTable& table = TheFonts();
    table.ForgottenAtExit = false;
    table.Forget();
}

// The entry of a font. The caches are bounded: when one is full it starts
// afresh. A component's texts take turns between a handful of fonts
// (designation, value, package, pin numbers and names), so the last few
// fonts asked for are found without the table.
FontEntry& FontFor(const TFont& font)
{
    FontTable& table = TheFonts();
    for (const FontTable::Recent& r : table.LastAsked)
        if (r.Entry && font.SameGlyphs(r.Font)) return *r.Entry;

    const QString key = font.Face + QChar(0x1) + QString::number(font.Size) + QChar(font.Bold ? u'B' : u'-') +
                        QChar(font.Italic ? u'I' : u'-') + QChar(font.Underline ? u'U' : u'-') +
                        QChar(font.StrikeOut ? u'S' : u'-');
    auto it = table.Fonts.find(key);
    if (it == table.Fonts.end()) {
        if (table.Fonts.size() >= 64) table.Forget();
        if (!table.ForgottenAtExit) {
            qAddPostRoutine(ForgetFontsAtExit);
            table.ForgottenAtExit = true;
        }
        const QFont qfont = font.ToQFont();
        it = table.Fonts.insert(key, NewFontEntry(qfont));
    }
    table.LastAsked[table.NextRecent] = {font, *it};
    table.NextRecent = (table.NextRecent + 1) % table.LastAsked.size();
    return **it;
}

// The caches' bounds: when one is full it starts afresh.
constexpr qsizetype maxWidths = 16384, maxMasks = 8192;

// The width of a text in a font as Qt measures it.
int MeasuredWidth(const FontEntry& entry, const QByteArray& text)
{
    return entry.Metrics.horizontalAdvance(QString::fromLatin1(text));
}

// Widths are kept by text, and in the small table in front.
void KeepWidth(FontEntry& entry, const QByteArray& text, int width)
{
    entry.RecentWidths.Keep(text, width);
    if (entry.Widths.size() >= maxWidths) entry.Widths.clear();
    entry.Widths.insert(OwnedBytes(text), width);
}

GlyphMask RenderGlyphs(const FontEntry& entry, const QByteArray& text, int cellWidth)
{
    GlyphMask mask;
    const int cellHeight = entry.Height;
    // Room around the cell for italic overhang, negative bearings and glyph
    // parts that reach above or below the cell: they are drawn too.
    const int margin = cellHeight;
    mask.CellWidth = cellWidth;
    mask.Left = -margin;
    mask.Width = cellWidth + 2 * margin;
    mask.Height = cellHeight;
    const int scratchHeight = cellHeight + 2 * margin;
    if (mask.Width <= 0 || mask.Height <= 0) return mask;
    // The text is drawn at the top left of the entry's kept image, which
    // grows to the largest text so far (up to a bound; a larger one gets an
    // image of its own). Only that corner is cleared and read: what a glyph
    // draws beyond it is what an image of the corner's size would cut off.
    constexpr qsizetype keptPixels = qsizetype(1) << 18;  // 1 MB
    FontEntry::Scratch own;
    FontEntry::Scratch* drawn = &entry.Drawn;
    if (drawn->Image.width() < mask.Width || drawn->Image.height() < scratchHeight) {
        const int height = std::max(scratchHeight, drawn->Image.height());
        const int width =
            int(std::max<qsizetype>(mask.Width, std::min(2 * qsizetype(drawn->Image.width()), keptPixels / height)));
        if (qsizetype(width) * height > keptPixels) drawn = &own;
        drawn->Painter.reset();
        drawn->Image = drawn == &own ? QImage(mask.Width, scratchHeight, QImage::Format_RGB32)
                                     : QImage(width, height, QImage::Format_RGB32);
        if (drawn->Image.isNull()) {
            mask.Width = 0;  // no memory for it: the text has no glyphs to draw
            return mask;
        }
        drawn->Painter = std::make_unique<QPainter>(&drawn->Image);
        drawn->Painter->setRenderHint(QPainter::Antialiasing, false);
        drawn->Painter->setRenderHint(QPainter::TextAntialiasing, false);
        drawn->Painter->setFont(entry.Font);
        drawn->Painter->setPen(Qt::black);
    }
    const QImage& scratch = drawn->Image;
    FillBox(TPixels(drawn->Image), 0, 0, mask.Width, scratchHeight, 0xFFFFFFFF);
    drawn->Painter->drawText(QPoint(margin, margin + entry.Ascent), QString::fromLatin1(text));
    // The glyph pixels as spans, in one pass (white, nearly all of the
    // scratch, is passed over at once); then only the columns that hold glyph
    // pixels are kept.
    constexpr QRgb white = 0xFFFFFFFF;
    const auto ink = [](QRgb pixel) { return pixel != white && qGray(pixel) < 128; };
    int first = mask.Width, last = -1;
    int top = std::numeric_limits<int>::max(), bottom = std::numeric_limits<int>::min();
    for (int y = 0; y < scratchHeight; ++y) {
        const QRgb* row = ImageRow(std::as_const(scratch), y);
        for (int x = 0; x < mask.Width;) {
            x = SkipPixels<true>(row, x, mask.Width, white, 0);
            if (x == mask.Width) break;
            if (!ink(row[x])) {
                ++x;
                continue;
            }
            int end = x + 1;
            while (end < mask.Width && ink(row[end])) ++end;
            mask.Spans.push_back({y - margin, x, end - x});
            first = std::min(first, x);
            last = std::max(last, end - 1);
            top = std::min(top, y - margin);
            bottom = std::max(bottom, y - margin + 1);
            x = end;
        }
    }
    if (last < first) {
        mask.Width = 0;
        return mask;
    }
    mask.Left = first - margin;
    mask.Width = last - first + 1;
    mask.Top = top;
    mask.Bottom = bottom;
    for (GlyphMask::Span& span : mask.Spans) span.X -= first;
    return mask;
}

// A text whose glyphs are made ahead of the paint, and how far it is.
enum AheadStage : int {
    aheadFree,    // nobody began it
    aheadBusy,    // a helper is making it
    aheadDone,    // the helper made it
    aheadTaken,   // the paint's thread took it, or makes it itself
    aheadFailed,  // the helper ran out of memory
};
struct AheadJob {
    std::uint32_t Font = 0;
    QByteArray Text;
    int Width = 0;
    GlyphMask Mask;
    std::atomic<int> Stage{aheadFree};
};

// A target that keeps only the texts drawn on it, with their fonts.
class TTextGatherer final : public TDrawTarget {
public:
    TTextGatherer(int width, int height) : width_(width), height_(height) {}

    int Width() const override { return width_; }
    int Height() const override { return height_; }
    void MoveTo(int x, int y) override { PenPos = QPoint(x, y); }
    void LineTo(int x, int y) override { PenPos = QPoint(x, y); }
    void Polyline(const std::vector<QPoint>&) override {}
    void Rectangle(int, int, int, int) override {}
    void Ellipse(int, int, int, int) override {}
    void FillRect(int, int, int, int) override {}
    void TextOut(int, int, const QByteArray& text) override { Keep(text); }
    void TurnedTextOut(int, int, const QByteArray& text) override { Keep(text); }
    void DrawRuns(const TRasterRuns&, int, int) override {}
    bool TextsOnly() const override { return true; }

    TTextsToDraw Texts;

private:
    void Keep(const QByteArray& text)
    {
        if (!text.isEmpty()) Texts.Texts.push_back({Texts.Fonts.Add(Font).first, OwnedBytes(text)});
    }

    int width_, height_;
};

}  // namespace

// The glyphs of the texts a paint is going to draw, made by helper threads
// in the order the paint draws them, while the paint's thread draws. Only
// the paint's thread touches the font table; a helper only its jobs.
struct TGlyphsAheadWork {
    TGlyphFonts Fonts;
    std::vector<const FontEntry*> Entries;                // the font table's entries of Fonts
    std::uint64_t Generation = 0;                         // of the table they belong to
    std::vector<QHash<QByteArray, std::uint32_t>> Index;  // jobs by font and text
    std::vector<AheadJob> Jobs;
    std::atomic<std::size_t> Next{0};  // the next job to take
    std::atomic<bool> Stop{false};
    std::vector<std::thread> Helpers;

    AheadJob* Find(const FontEntry& entry, const QByteArray& text)
    {
        if (Generation != TheFonts().Generation) return nullptr;
        for (std::size_t k = 0; k < Entries.size(); ++k) {
            if (Entries[k] != &entry) continue;
            const auto it = Index[k].constFind(text);
            return it == Index[k].constEnd() ? nullptr : &Jobs[*it];
        }
        return nullptr;
    }

    // A helper's width of a text, when it has made the text.
    std::optional<int> KnownWidth(const FontEntry& entry, const QByteArray& text)
    {
        AheadJob* job = Find(entry, text);
        if (job == nullptr || job->Stage.load(std::memory_order_acquire) != aheadDone) return std::nullopt;
        return job->Width;
    }

    // The glyphs a helper made of a text, waiting for one that is making
    // them; none when nobody began them (the paint's thread makes them then).
    // While it waits, the paint's thread makes the next texts nobody began.
    std::optional<std::pair<int, GlyphMask>> Take(const FontEntry& entry, const QByteArray& text)
    {
        AheadJob* job = Find(entry, text);
        if (job == nullptr) return std::nullopt;
        int stage = aheadFree;
        if (job->Stage.compare_exchange_strong(stage, aheadTaken, std::memory_order_acq_rel)) return std::nullopt;
        while (stage == aheadBusy) {
            if (!MakeNext([this](std::uint32_t font) -> const FontEntry& { return *Entries[font]; }))
                std::this_thread::yield();
            stage = job->Stage.load(std::memory_order_acquire);
        }
        if (stage != aheadDone) return std::nullopt;
        job->Stage.store(aheadTaken, std::memory_order_relaxed);
        return std::pair<int, GlyphMask>(job->Width, std::move(job->Mask));
    }

    // Makes the next job nobody began, in entryFor(font), the calling
    // thread's own entry of a font; false when none is left or there was no
    // memory for it.
    template <typename EntryFor>
    bool MakeNext(EntryFor&& entryFor)
    {
        for (;;) {
            const std::size_t next = Next.fetch_add(1, std::memory_order_relaxed);
            if (next >= Jobs.size()) return false;
            AheadJob& job = Jobs[next];
            int stage = aheadFree;
            if (!job.Stage.compare_exchange_strong(stage, aheadBusy, std::memory_order_acq_rel)) continue;
            try {
                const FontEntry& entry = entryFor(job.Font);
                job.Width = MeasuredWidth(entry, job.Text);
                job.Mask = RenderGlyphs(entry, job.Text, job.Width);
                job.Stage.store(aheadDone, std::memory_order_release);
                return true;
            } catch (const std::bad_alloc&) {
                job.Stage.store(aheadFailed, std::memory_order_release);
                return false;
            }
        }
    }

    // A helper thread: it draws with fonts of its own, made as the font
    // table makes them (Qt's fonts are not shared between threads).
    void Help()
    {
        std::vector<std::unique_ptr<FontEntry>> fonts(Fonts.size());
        const auto own = [&](std::uint32_t font) -> const FontEntry& {
            std::unique_ptr<FontEntry>& entry = fonts[font];
            if (!entry) {
                const QFont qfont = Fonts[font].ToQFont();
                entry.reset(NewFontEntry(qfont));
            }
            return *entry;
        };
        while (!Stop.load(std::memory_order_relaxed) && MakeNext(own)) {
        }
    }
};

namespace {

// The work of the paint going on, if glyphs are made ahead of it.
TGlyphsAheadWork* activeAhead = nullptr;

int CellWidth(FontEntry& entry, const QByteArray& text)
{
    if (const int* known = entry.RecentWidths.Find(text)) return *known;
    const auto it = entry.Widths.constFind(text);
    if (it != entry.Widths.constEnd()) {
        entry.RecentWidths.Keep(text, *it);
        return *it;
    }
    const std::optional<int> ahead = activeAhead ? activeAhead->KnownWidth(entry, text) : std::nullopt;
    const int width = ahead ? *ahead : MeasuredWidth(entry, text);
    KeepWidth(entry, text, width);
    return width;
}

const std::shared_ptr<const GlyphMask>& GlyphsFor(FontEntry& entry, const QByteArray& text)
{
    auto it = entry.Masks.find(text);
    if (it == entry.Masks.end()) {
        if (entry.Masks.size() >= maxMasks) entry.Masks.clear();
        if (auto made = activeAhead ? activeAhead->Take(entry, text) : std::nullopt) {
            KeepWidth(entry, text, made->first);
            it = entry.Masks.emplace(OwnedBytes(text), std::make_shared<const GlyphMask>(std::move(made->second)));
        } else {
            it = entry.Masks.emplace(
                OwnedBytes(text), std::make_shared<const GlyphMask>(RenderGlyphs(entry, text, CellWidth(entry, text))));
        }
    }
    return *it;
}

}  // namespace

const std::shared_ptr<const TGlyphMask>& GlyphsOf(const TFont& font, const QByteArray& text)
{
    return GlyphsFor(FontFor(font), text);
}

void PaintGlyphs(const TPixels& pixels, const TGlyphMask& mask, int x, int y, QRgb ink)
{
    const long long left = static_cast<long long>(x) + mask.Left, top = y;
    // The spans of the surface's rows (they are in row order).
    auto first = mask.Spans.begin(), end = mask.Spans.end();
    if (top + mask.Top < 0)
        first = std::partition_point(first, end, [&](const TGlyphMask::Span& span) { return top + span.Y < 0; });
    if (top + mask.Bottom > pixels.Height)
        end = std::partition_point(first, end,
                                   [&](const TGlyphMask::Span& span) { return top + span.Y < pixels.Height; });
    if (left >= 0 && left + mask.Width <= pixels.Width) {
        // Across wholly inside the surface (the usual case): no clipping.
        for (auto span = first; span != end; ++span) {
            QRgb* const at = pixels.Bits + ((top + span->Y) * pixels.Stride + left + span->X);
            if (span->Length == 1)
                *at = ink;
            else
                FillPixels(at, span->Length, ink);
        }
        return;
    }
    for (auto span = first; span != end; ++span)
        FillSpan(pixels, top + span->Y, left + span->X, left + span->X + span->Length, ink);
}

int FontAscent(const TFont& font) { return FontFor(font).Ascent; }

QString FontFamily(const TFont& font)
{
    return FontFor(font).Font.family().isEmpty() ? font.Face : QFontInfo(FontFor(font).Font).family();
}

int FontTextWidth(const TFont& font, const QByteArray& text) { return CellWidth(FontFor(font), text); }
int FontTextHeight(const TFont& font) { return FontFor(font).Height; }

void ForgetGlyphs() { TheFonts().Forget(); }

TGlyphsAhead::TGlyphsAhead(const TTextsToDraw& texts, int threads)
{
    // Qt measures and renders a text in some microseconds; a page has
    // thousands. More fonts than the table holds at once are left to the paint.
    constexpr std::size_t maxFonts = 32, minTextsPerHelper = 32, maxHelpers = 15;
    if (activeAhead != nullptr || texts.Fonts.empty() || texts.Fonts.size() > maxFonts) return;

    auto work = std::make_unique<TGlyphsAheadWork>();
    work->Fonts = texts.Fonts;
    work->Generation = TheFonts().Generation;
    for (std::size_t k = 0; k < texts.Fonts.size(); ++k) work->Entries.push_back(&FontFor(texts.Fonts[k]));
    if (work->Generation != TheFonts().Generation) return;  // the table started afresh meanwhile

    // What the table lacks, each text once, as much as it has room for.
    work->Index.resize(texts.Fonts.size());
    std::vector<qsizetype> room;
    for (const FontEntry* entry : work->Entries) room.push_back(maxMasks - entry->Masks.size());
    std::vector<const TTextsToDraw::TText*> missing;
    for (const TTextsToDraw::TText& text : texts.Texts) {
        if (text.Font >= texts.Fonts.size() || text.Text.isEmpty() || room[text.Font] <= 0) continue;
        QHash<QByteArray, std::uint32_t>& index = work->Index[text.Font];
        if (work->Entries[text.Font]->Masks.contains(text.Text) || index.contains(text.Text)) continue;
        index.insert(text.Text, std::uint32_t(missing.size()));
        --room[text.Font];
        missing.push_back(&text);
    }
    const std::size_t helpers =
        std::min({std::size_t(ThreadsFor(threads)) - 1, missing.size() / minTextsPerHelper, maxHelpers});
    if (helpers == 0) return;  // the paint makes the few itself

    work->Jobs = std::vector<AheadJob>(missing.size());
    for (std::size_t i = 0; i < missing.size(); ++i) {
        work->Jobs[i].Font = missing[i]->Font;
        work->Jobs[i].Text = missing[i]->Text;
    }
    work->Helpers.reserve(helpers);
    try {
        for (std::size_t k = 0; k < helpers; ++k) work->Helpers.emplace_back([w = work.get()] { w->Help(); });
    } catch (const std::system_error&) {
        // fewer helpers, then
    }
    activeAhead = work.get();
    work_ = std::move(work);
}

std::unique_ptr<TGlyphsAhead> TGlyphsAhead::Start(TPaintSource& source, int width, int height, int threads)
{
    try {
        TTextGatherer gatherer(width, height);
        source.Draw(gatherer);
        return std::unique_ptr<TGlyphsAhead>(new TGlyphsAhead(gatherer.Texts, threads));
    } catch (const std::bad_alloc&) {
        return nullptr;  // the paint makes every text itself
    }
}

TGlyphsAhead::~TGlyphsAhead()
{
    if (!work_) return;
    activeAhead = nullptr;
    work_->Stop = true;
    for (std::thread& helper : work_->Helpers) helper.join();
    // What the helpers made and the paint did not take is kept for later paints.
    for (AheadJob& job : work_->Jobs) {
        if (job.Stage.load(std::memory_order_acquire) != aheadDone) continue;
        FontEntry& entry = FontFor(work_->Fonts[job.Font]);
        KeepWidth(entry, job.Text, job.Width);
        if (entry.Masks.size() < maxMasks && !entry.Masks.contains(job.Text))
            entry.Masks.emplace(job.Text, std::make_shared<const GlyphMask>(std::move(job.Mask)));
    }
}
