#include "drawing/Drawingcheck.h"

#include <QSet>
#include <algorithm>
#include <map>
#include <utility>

#include "drawing/Annotate.h"
#include "drawing/Bitmap.h"
#include "drawing/Comparison.h"
#include "drawing/Connectivity.h"
#include "drawing/Drawing.h"
#include "drawing/Header.h"

namespace {

constexpr int inputType = 0, outputType = 1;

QString Place(QPoint p) { return QStringLiteral("%1,%2").arg(p.x()).arg(p.y()); }
QString Pixels(int n) { return n == 1 ? QStringLiteral("1 pixel") : QStringLiteral("%1 pixels").arg(n); }

std::uint64_t Key(QPoint p) { return (std::uint64_t(std::uint32_t(p.y())) << 32) | std::uint32_t(p.x()); }

QString PinList(const std::vector<const TNetPin*>& pins)
{
    QStringList texts;
    for (const TNetPin* pin : pins) texts << pin->Text();
    return texts.join(QStringLiteral(", "));
}

// A net's pins, each once (a pin drawn on several units is one pin).
std::vector<const TNetPin*> DistinctPins(const TNet& net)
{
    std::vector<const TNetPin*> pins;
    QSet<QString> seen;
    for (const TNetPin& pin : net.Pins)
        if (!seen.contains(pin.Text())) {
            seen.insert(pin.Text());
            pins.push_back(&pin);
        }
    return pins;
}

}  // namespace

const QStringList& TDrawingCheck::Kinds()
{
    static const QStringList kinds{"unconnected-pin", "dangling-wire",   "near-miss", "label-off-wire",
                                   "no-driver",       "driver-conflict", "two-names", "duplicate-designation"};
    return kinds;
}

TDrawingCheck::TDrawingCheck(const TDrawing& drawing, const TConnectivity& connectivity)
    : page_(TComparison::PageOf(drawing))
{
    const auto add = [&](const char* kind, QPoint at, const QString& message) {
        findings_.push_back({QLatin1String(kind), at, message});
    };

    QSet<std::uint64_t> missing;  // ends that miss something
    for (const TNearMiss& miss : connectivity.NearMisses()) {
        missing.insert(Key(miss.At));
        if (!miss.NearWire) missing.insert(Key(miss.Near));  // two ends that miss each other
    }

    for (const TNetPin* pin : connectivity.LoosePins())
        if (!missing.contains(Key(pin->End)))
            add("unconnected-pin", pin->End, pin->Text() + QStringLiteral(" is not connected"));

    for (const QPoint& end : connectivity.DanglingEnds())
        if (!missing.contains(Key(end)))
            add("dangling-wire", end, QStringLiteral("wire end at %1 is not connected").arg(Place(end)));

    for (const TNearMiss& miss : connectivity.NearMisses()) {
        const QString subject = miss.Pin ? miss.Pin->Text() : QStringLiteral("wire end at ") + Place(miss.At);
        QString message;
        if (miss.NearWire)
            message =
                QStringLiteral("%1 misses a wire by %2 (at %3)").arg(subject, Pixels(miss.Distance), Place(miss.Near));
        else if (miss.NearPin)
            message = QStringLiteral("%1 misses %2 by %3").arg(subject, miss.NearPin->Text(), Pixels(miss.Distance));
        else
            message = QStringLiteral("%1 misses the %2 at %3 by %4")
                          .arg(subject, miss.NearJunction ? QStringLiteral("junction") : QStringLiteral("wire end"),
                               Place(miss.Near), Pixels(miss.Distance));
        add("near-miss", miss.At, message);
    }

    for (const TLabelOffWire& off : connectivity.LabelsOffWire()) {
        const QPoint anchor(off.Label->X(), off.Label->Y());
        add("label-off-wire", anchor,
            QStringLiteral("label %1 is %2 off a wire (at %3)")
                .arg(QString::fromLatin1(off.Label->Text().AsText()), Pixels(off.Distance), Place(off.Near)));
    }

    for (const TNet& net : connectivity.Nets()) {
        if (net.Pins.empty() || net.Unconnected) continue;
        const std::vector<const TNetPin*> pins = DistinctPins(net);
        std::vector<const TNetPin*> outputs;
        bool allInputs = true;
        for (const TNetPin* pin : pins) {
            allInputs = allInputs && pin->ElectricalType == inputType;
            if (pin->ElectricalType == outputType) outputs.push_back(pin);
        }
        if (allInputs)
            add("no-driver", pins.front()->End,
                QStringLiteral("net %1 has no driver: %2 %3")
                    .arg(net.Name, PinList(pins),
                         pins.size() == 1 ? QStringLiteral("is an input") : QStringLiteral("are all inputs")));
        if (outputs.size() >= 2)
            add("driver-conflict", outputs[1]->End,
                QStringLiteral("net %1 has %2 outputs: %3").arg(net.Name).arg(outputs.size()).arg(PinList(outputs)));
    }

    for (const TNet& net : connectivity.Nets()) {
        QStringList names;
        const Annotate* second = nullptr;
        for (const Annotate* label : net.Labels) {
            const QString text = QString::fromLatin1(label->Text().AsText());
            if (names.contains(text)) continue;
            names << text;
            if (names.size() == 2) second = label;
        }
        if (names.size() < 2) continue;
        names.sort();
        add("two-names", QPoint(second->X(), second->Y()),
            QStringLiteral("net %1 has %2 names: %3")
                .arg(net.Name, names.size() == 2 ? QStringLiteral("two") : QString::number(names.size()),
                     names.join(QStringLiteral(", "))));
    }

    // The same designation and part on two records.
    std::map<std::pair<QByteArray, int>, const Bitmap*> first;
    for (const Bitmap* c : drawing.Components()) {
        if (c->GetDesignation().isEmpty()) continue;
        const auto [at, added] = first.emplace(std::pair(c->GetName(), c->GetPartNumber()), c);
        if (added) continue;
        add("duplicate-designation", c->GetAnchor(),
            QStringLiteral("%1 is used twice (also at %2)")
                .arg(QString::fromLatin1(c->GetName()), Place(at->second->GetAnchor())));
    }

    const QStringList& kinds = Kinds();
    std::stable_sort(findings_.begin(), findings_.end(), [&](const TCheckFinding& a, const TCheckFinding& b) {
        const qsizetype ka = kinds.indexOf(a.Kind), kb = kinds.indexOf(b.Kind);
        if (ka != kb) return ka < kb;
        if (a.At.y() != b.At.y()) return a.At.y() < b.At.y();
        return a.At.x() < b.At.x();
    });
}

QStringList TDrawingCheck::Lines(const QString& path) const
{
    QStringList lines;
    for (const TCheckFinding& f : findings_)
        lines << QStringLiteral("%1:%2: warning: %3 [%4]").arg(path, SheetZone(f.At, page_), f.Message, f.Kind);
    return lines;
}
