#include "render/Areareduction.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Division by a fixed divisor as a multiplication and a shift, exact for
// every dividend below 2^bits (an integer division per channel and pixel
// would cost more than all the rest of the reduction).
using Wide = unsigned __int128;

class TDivider {
public:
    TDivider(std::uint64_t divisor, int bits) : divisor_(divisor)
    {
        if (divisor <= 1) {
            shift_ = 0, multiplier_ = 1;
            return;
        }
        int log = 0;
        while ((std::uint64_t(1) << log) < divisor) ++log;
        // Exact for a shift of at least bits + log; 64 where that will do,
        // so that the shift is taking the upper half of the product.
        shift_ = std::max(bits + log, 64);
        const Wide power = Wide(1) << shift_;
        multiplier_ = std::uint64_t((power + divisor - 1) / divisor);
    }
    std::uint64_t Divisor() const { return divisor_; }
    // sum / divisor rounded to the nearest (halves upwards).
    int Mean(std::uint64_t sum) const
    {
        const Wide product = Wide(sum + divisor_ / 2) * multiplier_;
        return int(shift_ == 64 ? std::uint64_t(product >> 64) : std::uint64_t(product >> shift_));
    }

private:
    std::uint64_t divisor_, multiplier_;
    int shift_;
};

// Adds (or with `first` stores) w times the red, green and blue levels of
// count pixels to r, g and b.
template <class Acc>
inline void AddRow(const QRgb* p, Acc w, Acc* r, Acc* g, Acc* b, int count, bool first)
{
    int k = 0;
#if defined(__SSE2__)
    if constexpr (sizeof(Acc) == 4) {
        if (w < 0x8000) {
            // Four pixels at a time: 16-bit levels times the 16-bit weight,
            // each product in its own 32-bit lane.
            const __m128i low = _mm_set1_epi32(int(w)), high = _mm_set1_epi32(int(w << 16));
            const __m128i redBlue = _mm_set1_epi32(0x00FF00FF), greenMask = _mm_set1_epi32(0xFF);
            for (; k + 4 <= count; k += 4) {
                const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
                const __m128i rb = _mm_and_si128(pixels, redBlue);
                const __m128i gl = _mm_and_si128(_mm_srli_epi32(pixels, 8), greenMask);
                __m128i rs = _mm_madd_epi16(rb, high), gs = _mm_madd_epi16(gl, low), bs = _mm_madd_epi16(rb, low);
                auto* rp = reinterpret_cast<__m128i*>(r + k);
                auto* gp = reinterpret_cast<__m128i*>(g + k);
                auto* bp = reinterpret_cast<__m128i*>(b + k);
                if (!first) {
                    rs = _mm_add_epi32(rs, _mm_loadu_si128(rp));
                    gs = _mm_add_epi32(gs, _mm_loadu_si128(gp));
                    bs = _mm_add_epi32(bs, _mm_loadu_si128(bp));
                }
                _mm_storeu_si128(rp, rs);
                _mm_storeu_si128(gp, gs);
                _mm_storeu_si128(bp, bs);
            }
        }
    }
#endif
    for (; k < count; ++k) {
        const Acc rv = w * Acc((p[k] >> 16) & 0xFF), gv = w * Acc((p[k] >> 8) & 0xFF), bv = w * Acc(p[k] & 0xFF);
        if (first)
            r[k] = rv, g[k] = gv, b[k] = bv;
        else
            r[k] += rv, g[k] += gv, b[k] += bv;
    }
}

// The reduction, down first: for each target row the page rows it covers are
// added up column by column with their weights (in Acc, wide enough for the
// sum of a column), then the columns of each target pixel with theirs.
template <class Acc>
void Reduce(const QImage& source, QImage& out, const std::vector<Span>& columns, const std::vector<Span>& rows,
            TAreaScale x, TAreaScale y)
{
    const int used =
        columns.empty() ? 0 : std::max(columns.back().Last + 1, 0);  // page columns any target pixel covers
    std::vector<Acc> red(std::size_t(used) + 1), green(red.size()), blue(red.size());
    Acc* const r = red.data();
    Acc* const g = green.data();
    Acc* const b = blue.data();
    const std::uint64_t wholeX = std::uint64_t(x.Target);
    // Sums reach at most 255 times a whole target pixel's area in units.
    int bits = 1;
    while (bits < 62 && (std::uint64_t(1) << bits) <= 256 * std::uint64_t(x.Page) * std::uint64_t(y.Page)) ++bits;
    TDivider divider(std::uint64_t(x.Page) * std::uint64_t(y.Page), bits);
    for (std::size_t j = 0; j < rows.size(); ++j) {
        const Span& rs = rows[j];
        if (rs.Last < rs.First) continue;
        for (int row = rs.First; row <= rs.Last; ++row) {
            const Acc w = Acc(row == rs.First  ? rs.FirstWeight
                              : row == rs.Last ? rs.LastWeight
                                               : std::uint64_t(y.Target));
            AddRow(reinterpret_cast<const QRgb*>(source.constScanLine(row)), w, r, g, b, used, row == rs.First);
        }
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(int(j)));
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const Span& c = columns[i];
            if (c.Last < c.First) continue;
            std::uint64_t sr = c.FirstWeight * r[c.First], sg = c.FirstWeight * g[c.First],
                          sb = c.FirstWeight * b[c.First];
            if (c.Last > c.First) {
                std::uint64_t mr = 0, mg = 0, mb = 0;
                for (int k = c.First + 1; k < c.Last; ++k) mr += r[k], mg += g[k], mb += b[k];
                sr += wholeX * mr + c.LastWeight * r[c.Last];
                sg += wholeX * mg + c.LastWeight * g[c.Last];
                sb += wholeX * mb + c.LastWeight * b[c.Last];
            }
            const std::uint64_t total = c.Total * rs.Total;
            if (total != divider.Divisor()) divider = TDivider(total, bits);  // only at the page's edges
            line[i] = qRgb(divider.Mean(sr), divider.Mean(sg), divider.Mean(sb));
        }
    }
}

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

    // A column's sum is at most 255 times a target pixel's height in units.
    if (std::uint64_t(y.Page) * 255 <= std::numeric_limits<std::uint32_t>::max())
        Reduce<std::uint32_t>(source, out, columns, rows, x, y);
    else
        Reduce<std::uint64_t>(source, out, columns, rows, x, y);
    return out;
}
