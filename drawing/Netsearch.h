#pragma once
// Nets as the viewer looks them up: the net at or beside a page point, the
// nets whose names hold what the user types, and how a net is told in the
// status bar.

#include <QPoint>
#include <QString>
#include <cstddef>
#include <optional>
#include <vector>

class TConnectivity;
struct TNet;

// The net at a page point or, failing that, at the nearest page pixel within
// `reach` of it (the larger of the steps across and down); among pixels
// equally near, the first by row then column. None when there is none.
std::optional<std::size_t> NetNear(const TConnectivity& connectivity, QPoint pagePoint, int reach);

// The nets whose name contains `text`, ignoring letter case, in the order of
// the nets; a pin that connects nothing is no net to look for (its component
// is found by its designation). No text finds nothing.
std::vector<std::size_t> FindNets(const TConnectivity& connectivity, const QString& text);

// The pins of a net: a pin drawn on several units of its part counts once
// (pins of one designation and number are one pin; pins without a number
// count each).
int NetPinCount(const TNet& net);

// "Net VOUT: 3 pins", "Net unconnected-(R1-Pad1): 1 pin".
QString NetText(const TNet& net);
