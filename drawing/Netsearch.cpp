#include "drawing/Netsearch.h"

#include <QSet>
#include <cstdlib>

#include "drawing/Connectivity.h"

std::optional<std::size_t> NetNear(const TConnectivity& connectivity, QPoint pagePoint, int reach)
{
    if (const auto net = connectivity.NetAt(pagePoint)) return net;
    // Square rings around the point, nearest first, each by row then column.
    for (int d = 1; d <= reach; ++d)
        for (int dy = -d; dy <= d; ++dy) {
            const int step = std::abs(dy) == d ? 1 : 2 * d;
            for (int dx = -d; dx <= d; dx += step)
                if (const auto net = connectivity.NetAt(pagePoint + QPoint(dx, dy))) return net;
        }
    return std::nullopt;
}

std::vector<std::size_t> FindNets(const TConnectivity& connectivity, const QString& text)
{
    std::vector<std::size_t> found;
    if (text.isEmpty()) return found;
    const std::vector<TNet>& nets = connectivity.Nets();
    for (std::size_t i = 0; i < nets.size(); ++i)
        if (!nets[i].Unconnected && nets[i].Name.contains(text, Qt::CaseInsensitive)) found.push_back(i);
    return found;
}

int NetPinCount(const TNet& net)
{
    QSet<QString> numbered;
    int unnumbered = 0;
    for (const TNetPin& pin : net.Pins) {
        if (pin.PinNumber.isEmpty())
            ++unnumbered;
        else
            numbered.insert(pin.Designation + QChar(0) + pin.PinNumber);
    }
    return int(numbered.size()) + unnumbered;
}

QString NetText(const TNet& net)
{
    const int pins = NetPinCount(net);
    return QStringLiteral("Net %1: %2 %3")
        .arg(net.Name)
        .arg(pins)
        .arg(pins == 1 ? QStringLiteral("pin") : QStringLiteral("pins"));
}
