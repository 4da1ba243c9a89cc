#include "app/Areareduction.h"

#include <algorithm>
#include <numeric>
#include <vector>

namespace {

// The page pixels one target pixel covers along an axis, in units where a page
// pixel is Target long and a target pixel Page long: the first and the last
// page pixel with the length of each that lies inside, every page pixel
// between them whole. Total is the covered length (Page, less where the target
// pixel reaches past the page).
struct Span {
    int First = 0, Last = -1;
    std::uint64_t FirstWeight = 0, LastWeight = 0, Total = 0;
};

std::vector<Span> Spans(int targetCount, int pageCount, TAreaScale scale)
{
    std::vector<Span> spans(std::size_t(std::max(targetCount, 0)));
    const std::int64_t n = scale.Target, d = scale.Page;  // a page pixel is n units, a target pixel d
    const std::int64_t pageEnd = std::int64_t(pageCount) * n;
    for (int i = 0; i < targetCount; ++i) {
        const std::int64_t lo = i * d;
        const std::int64_t hi = std::min(lo + d, pageEnd);
        if (lo >= hi) continue;  // beyond the page: covers nothing
        Span& s = spans[std::size_t(i)];
        s.First = int(lo / n);
        s.Last = int((hi - 1) / n);
        s.Total = std::uint64_t(hi - lo);
        if (s.First == s.Last) {
            s.FirstWeight = s.Total;
        } else {
            s.FirstWeight = std::uint64_t((s.First + 1) * n - lo);
            s.LastWeight = std::uint64_t(hi - std::int64_t(s.Last) * n);
        }
    }
    return spans;
}

TAreaScale Reduced(TAreaScale scale)
{
    if (scale.Target < 1 || scale.Page < 1) return {1, 1};
    const std::int64_t g = std::gcd(scale.Target, scale.Page);
    return {scale.Target / g, scale.Page / g};
}

// Red, green and blue sums of one target row.
struct Sums {
    std::uint64_t R = 0, G = 0, B = 0;
};

inline void Add(Sums& s, QRgb p, std::uint64_t weight)
{
    s.R += weight * qRed(p);
    s.G += weight * qGreen(p);
    s.B += weight * qBlue(p);
}

// One page row reduced across: for each target column the weighted sums of
// the page pixels it covers.
void ReduceRow(const QRgb* row, const std::vector<Span>& columns, std::uint64_t whole, std::vector<Sums>& out)
{
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const Span& c = columns[i];
        Sums s;
        if (c.Last >= c.First) {
            Add(s, row[c.First], c.FirstWeight);
            if (c.Last > c.First) {
                std::uint32_t r = 0, g = 0, b = 0;
                for (int x = c.First + 1; x < c.Last; ++x) {
                    const QRgb p = row[x];
                    r += (p >> 16) & 0xFF;
                    g += (p >> 8) & 0xFF;
                    b += p & 0xFF;
                }
                s.R += whole * r, s.G += whole * g, s.B += whole * b;
                Add(s, row[c.Last], c.LastWeight);
            }
        }
        out[i] = s;
    }
}

inline int Mean(std::uint64_t sum, std::uint64_t total) { return int((sum + total / 2) / total); }

}  // namespace

QImage ReduceByArea(const QImage& page, QSize target)
{
    return ReduceByArea(page, target, {target.width(), page.width()}, {target.height(), page.height()});
}

QImage ReduceByArea(const QImage& page, QSize target, TAreaScale x, TAreaScale y)
{
    if (target.isEmpty()) return QImage();
    QImage out(target, QImage::Format_RGB32);
    if (out.isNull()) return out;
    out.fill(Qt::white);
    if (page.isNull()) return out;
    const QImage source = page.format() == QImage::Format_RGB32 || page.format() == QImage::Format_ARGB32
                              ? page
                              : page.convertToFormat(QImage::Format_RGB32);
    x = Reduced(x);
    y = Reduced(y);
    const std::vector<Span> columns = Spans(target.width(), source.width(), x);
    const std::vector<Span> rows = Spans(target.height(), source.height(), y);

    // Rows reduced across, then added down with their weights; a page row on
    // the border of two target rows is reduced once for both.
    std::vector<Sums> across(columns.size()), down(columns.size());
    int acrossRow = -1;
    auto rowAcross = [&](int r) -> const std::vector<Sums>& {
        if (r != acrossRow) {
            ReduceRow(reinterpret_cast<const QRgb*>(source.constScanLine(r)), columns, std::uint64_t(x.Target), across);
            acrossRow = r;
        }
        return across;
    };
    for (int j = 0; j < target.height(); ++j) {
        const Span& rs = rows[std::size_t(j)];
        if (rs.Last < rs.First) continue;
        std::fill(down.begin(), down.end(), Sums{});
        for (int r = rs.First; r <= rs.Last; ++r) {
            const std::uint64_t w = r == rs.First ? rs.FirstWeight : r == rs.Last ? rs.LastWeight : std::uint64_t(y.Target);
            const std::vector<Sums>& a = rowAcross(r);
            for (std::size_t i = 0; i < down.size(); ++i) {
                down[i].R += w * a[i].R;
                down[i].G += w * a[i].G;
                down[i].B += w * a[i].B;
            }
        }
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(j));
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (columns[i].Last < columns[i].First) continue;
            const std::uint64_t total = columns[i].Total * rs.Total;
            line[i] = qRgb(Mean(down[i].R, total), Mean(down[i].G, total), Mean(down[i].B, total));
        }
    }
    return out;
}
