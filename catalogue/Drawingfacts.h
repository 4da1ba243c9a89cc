#pragma once
// What the archive site knows of one drawing: where it was found, the hash of
// its bytes and the conditions it was converted under, whether it was read
// to its end, its page, parts, nets, the check's findings and texts, and the
// files written for it. Kept as "record.json" in the drawing's folder of the
// site, so that a later run (or the join of several shards) builds the index
// from it without converting the drawing again.

#include <QByteArray>
#include <QLine>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

struct TPartFacts {
    QString Name;  // designation, with ":A" ... for a part of several
    QString Value;
    QString Package;
    QString Zone;  // of the anchor: "B3"
    QRect Box;     // the body on the page, in page pixels
};

struct TNetFacts {
    QString Name;
    bool Named = false;          // by a label or a power pin, not after a pin
    QStringList Pins;            // "R1 pin 2", in designation order
    std::vector<QLine> Wires;    // from one end to the other, in page pixels
    std::vector<QPoint> Points;  // the ends of its pins
};

struct TFindingFacts {
    QString Zone;
    QString Kind;     // "dangling-wire"
    QString Message;  // "R1 pin 2 is not connected"
    QPoint At;
};

class TDrawingFacts {
public:
    enum class TStatus {
        Complete,    // read to its end
        Damaged,     // read in part: the page shows what was read
        Unreadable,  // not read at all: no page
    };

    QString Id;    // 16 hexadecimal digits (TArchiveWalk::DrawingId)
    QString Path;  // as walked
    QString Folder;
    QString Name;        // file name: "amp.q01"
    QString Hash;        // of the file's bytes, hexadecimal; empty when it was not read
    QString Conditions;  // what else the pictures depend on (TDrawingConversion::Conditions)
    TStatus Status = TStatus::Complete;
    QString Message;  // why it is damaged or unreadable

    QString PageName;  // "A3"; empty when no header names a size
    QSize PageSize;    // of the page pictures, in page pixels

    std::vector<TPartFacts> Parts;  // in designation order
    // The nets, once the connectivity of the drawing is known, and the
    // check's findings, once it has been checked; while they are not, they
    // are not shown.
    bool ConnectivityKnown = false;
    std::vector<TNetFacts> Nets;
    bool Checked = false;
    std::vector<TFindingFacts> Findings;
    QStringList Texts;  // annotations and document box lines, in file order

    // The files written beside the page, by kind: "page", "png", "svg",
    // "pdf", "thumbnail", "netlist", "kicad"; names only.
    std::vector<std::pair<QString, QString>> Files;
    QString File(const QString& kind) const;

    // On one line. The nets' wires and pin ends are left out: they are
    // drawn on the page, and neither the index nor the search needs them.
    QByteArray ToJson() const;
    // Facts read back; none for bytes that are no record of ours.
    static std::optional<TDrawingFacts> FromJson(const QByteArray& bytes);

    static QString StatusName(TStatus status);
};
