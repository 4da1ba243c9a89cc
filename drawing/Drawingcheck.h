#pragma once
// What looks wrong in the wiring of a drawing, a finding a line, in the form
// compilers use, so that editors and scripts can read it:
//
//   PATH:ZONE: warning: MESSAGE [KIND]
//
// ZONE is the sheet zone the frame labels ("B3") of the finding's point.
// The kinds, in the order the findings are listed (within a kind by their
// point, row then column):
//
//   unconnected-pin        R1 pin 2 is not connected
//                          (a pin end that touches nothing and has no crossed marker)
//   dangling-wire          wire end at 120,340 is not connected
//                          (a wire end that touches nothing and whose wire has no label)
//   near-miss              wire end at 399,310 misses R10 pin 1 by 1 pixel
//                          R1 pin 2 misses a wire by 2 pixels (at 152,110)
//                          (an end within 3 pixels of a wire or a point it does not touch)
//   label-off-wire         label SDA is 2 pixels off a wire (at 190,110)
//                          (a one-word annotation beside a wire, on nothing)
//   no-driver              net SIG has no driver: U1 pin 2, U2 pin 3 are all inputs
//                          (or: U1 pin 2 is an input)
//   driver-conflict        net VOUT has 2 outputs: U1 pin 6, U3 pin 1
//   two-names              net VOUT has two names: OUT, VOUT
//   duplicate-designation  R1 is used twice (also at 330,280)
//
// An end that misses something is reported as the near miss only, not also
// as unconnected. Pins and nets are named as the connectivity names them
// (designation without a part letter, then the pin number).

#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>
#include <vector>

class TConnectivity;
class TDrawing;

struct TCheckFinding {
    QString Kind;  // "unconnected-pin", ...
    QPoint At;     // on the page
    QString Message;
};

class TDrawingCheck {
public:
    TDrawingCheck(const TDrawing& drawing, const TConnectivity& connectivity);

    const std::vector<TCheckFinding>& Findings() const { return findings_; }
    bool Clean() const { return findings_.empty(); }
    // One "PATH:ZONE: warning: MESSAGE [KIND]" line per finding.
    QStringList Lines(const QString& path) const;

    // The kinds in their order.
    static const QStringList& Kinds();

private:
    std::vector<TCheckFinding> findings_;
    QSize page_;
};
