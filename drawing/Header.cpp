#include "drawing/Header.h"

#include <algorithm>

namespace {

constexpr std::array<QSize, PageSizeCount> pageSizes{{
    {800, 600},    // Page_0
    {1110, 720},   // A4
    {1550, 1110},  // A3
    {2230, 1570},  // A2
    {3150, 2230},  // A1
    {4460, 3150},  // A0
    {800, 600},    // Page_6
    {950, 750},    // B
    {1500, 950},   // C
    {2000, 1500},  // D
    {3200, 2000},  // E
    {4500, 3200},  // no name
}};

// Sheet styles.
constexpr TColor sheetInk = 0xF0CAA6;    // ticks, outlines and zone labels
constexpr TColor sheetFrame = 0xFF0000;  // the frame band, pure blue
constexpr int sheetFontSize = 10;
const char* const sheetFontFace = "Lucinda Console";
constexpr int frameWidth = 20;

// The rectangle of the page in the brush, less the part of its interior that
// the page area, drawn last with a solid brush, covers anyway: everything
// more than frameWidth + 1 pixels inside the page's edge.
void FramePage(TDrawTarget& canvas, const TRect& r)
{
    const long long left = r.Left, top = r.Top, right = r.Right, bottom = r.Bottom;
    constexpr long long inset = frameWidth + 1;
    if (right - left <= 2 * inset || bottom - top <= 2 * inset) {
        canvas.Rectangle(r.Left, r.Top, r.Right, r.Bottom);
        return;
    }
    // The brush's part of the rectangle, and the hole in it.
    const long long edge = canvas.Pen.Style == psClear ? 0 : 1;
    const int fl = int(left + edge), ft = int(top + edge), fr = int(right - edge), fb = int(bottom - edge);
    const int hl = int(left + inset), ht = int(top + inset), hr = int(right - inset), hb = int(bottom - inset);
    canvas.FillRect(fl, ft, fr, ht);
    canvas.FillRect(fl, hb, fr, fb);
    canvas.FillRect(fl, ht, hl, hb);
    canvas.FillRect(hr, ht, fr, hb);
    // The outline over it.
    canvas.Brush.Style = bsClear;
    canvas.Rectangle(r.Left, r.Top, r.Right, r.Bottom);
    canvas.Brush.Style = bsSolid;
}

}  // namespace

void TPageState::SetSize(QSize size)
{
    Size = size;
    Rect = TRect{0, 0, size.width(), size.height()};
}

QSize GetPageSize(int index)
{
    if (index < 0 || index >= PageSizeCount) return QSize(0, 0);
    return pageSizes[std::size_t(index)];
}

const QStringList& PageSizeNames()
{
    static const QStringList names = [] {
        QStringList list = QStringLiteral("Page_0, A4, A3, A2, A1, A0, Page_6, B, C, D, E").split(u',');
        for (QString& name : list) {
            qsizetype blanks = 0;
            while (blanks < name.size() && name.at(blanks) == u' ') ++blanks;
            name.remove(0, blanks);
        }
        return list;
    }();
    return names;
}

QSize SelectPageSize(TPageState& page, const QString& name)
{
    const QStringList& names = PageSizeNames();
    for (int index = 0; index < names.size(); ++index) {
        if (names.at(index).compare(name, Qt::CaseInsensitive) == 0) {
            page.SetSize(GetPageSize(index));
            break;
        }
    }
    return page.Size;
}

QString SheetZone(QPoint point, QSize page)
{
    const auto zone = [](int at, int extent) {
        const long long span = 2LL * (extent >> 3);
        if (span <= 0 || at < 0) return 0;
        return int(std::min<long long>(at / span, 3));
    };
    return QString(QChar(u'A' + zone(point.y(), page.height()))) + QString::number(zone(point.x(), page.width()) + 1);
}

Header::Header(const std::uint8_t*& pos, const std::uint8_t* end, const TPageState* page) : page_(page)
{
    const std::size_t available = end > pos ? std::size_t(end - pos) : 0;
    const std::size_t count = std::min<std::size_t>(record_.size(), available);
    std::copy_n(pos, count, record_.begin());
    pos += count;
}

int Header::GetPageIndex() const { return static_cast<std::int8_t>(std::uint8_t(record_[1] + 1)); }

TRect Header::GetRect(bool& valid)
{
    valid = true;
    return page_ ? page_->Rect : TRect{};
}

void Header::Draw(TDrawTarget& canvas, const TDrawContext& context)
{
    TRect r = context.PageRect;
    const int width = r.Right - r.Left;
    const int height = r.Bottom - r.Top;

    canvas.Brush.Style = bsClear;
    canvas.Pen.Colour = sheetInk;
    canvas.Font.Colour = sheetInk;
    canvas.Font.Size = sheetFontSize;
    canvas.Font.Face = QString::fromLatin1(sheetFontFace);

    // The frame: the whole page in blue; the labels below sit on blue cells.
    canvas.Brush.Colour = sheetFrame;
    canvas.Brush.Style = bsSolid;
    if (canvas.UsesCaches())
        FramePage(canvas, r);
    else
        canvas.Rectangle(r.Left, r.Top, r.Right, r.Bottom);

    const int zoneWidth = width >> 3;
    for (int i = 1; i <= 4; ++i) {
        const int x = 2 * i * zoneWidth;
        const QByteArray label = QByteArray::number(i);
        canvas.MoveTo(x, r.Top);
        canvas.LineTo(x, r.Top + frameWidth);
        canvas.TextOut(x - zoneWidth, 2, label);
        canvas.MoveTo(x, r.Bottom - frameWidth);
        canvas.LineTo(x, r.Bottom);
        canvas.TextOut(x - zoneWidth, r.Bottom - 18, label);
    }

    const int zoneHeight = height >> 3;
    for (int i = 1; i <= 4; ++i) {
        const int y = 2 * i * zoneHeight;
        const QByteArray label(1, char(64 + i));
        canvas.MoveTo(r.Left, y);
        canvas.LineTo(r.Left + frameWidth, y);
        canvas.TextOut(6, y - zoneHeight, label);
        canvas.MoveTo(r.Right - frameWidth, y);
        canvas.LineTo(r.Right, y);
        canvas.TextOut(r.Right - 15, y - zoneHeight, label);
    }

    r.Left += frameWidth;
    r.Top += frameWidth;
    r.Right -= frameWidth;
    r.Bottom -= frameWidth;
    canvas.Brush.Colour = context.Background;
    canvas.Brush.Style = bsSolid;
    canvas.Rectangle(r.Left, r.Top, r.Right, r.Bottom);
}
