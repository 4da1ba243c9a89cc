#pragma once
// The netlist of a drawing as KiCad's schematic editor exports it for its PCB
// editor: the s-expression export of version "E".
//
//   (export (version "E")
//     (design
//       (source "amp.q01")
//       (tool "Tracery 0.1")
//       (sheet (number "1") (name "/") (tstamps "/")))
//     (components
//       (comp (ref "R1")
//         (value "10k")
//         (footprint "0805")
//         (sheetpath (names "/") (tstamps "/"))
//         (tstamps "…")))
//     (nets
//       (net (code "1") (name "VOUT")
//         (node (ref "R2") (pin "1") (pintype "passive"))
//         (node (ref "U1") (pin "6") (pinfunction "OUT") (pintype "output")))))
//
// One comp per part (the designation without its part letter), in natural
// order of the references, from the record of its lowest part number. Its
// value is the text the sheet shows at the component's value position (the
// record's text at offset 17, which the status bar and the bill of materials
// caption "Package"), as a KiCad value is the text on the sheet; its
// footprint is the text the sheet never shows (offset 53, captioned
// "Value"), which drawings use for the case or order code. The time
// stamp is a name-based UUID of the reference, the same in every run. One net
// per net that has pins, in the order of TConnectivity::Nets(), numbered from
// 1; each pin once, with its pin name as its pinfunction when it has one and
// its electrical type as a pintype: IN input, OUT output, I/O bidirectional,
// HiZ tri_state, OC open_collector, Pwr power_in, Passive passive, any other
// unspecified; a pin alone on its net gets "+no_connect" added, as KiCad
// does. Texts are UTF-8; a quote or a backslash in them is escaped with a
// backslash.

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include "base/Errors.h"

class TConnectivity;
class TDrawing;

// `source` names the drawing in the design section (the path as given).
// Written into device piece by piece; a failure says why.
TResult WriteKicadNetlist(const TDrawing& drawing, const TConnectivity& connectivity, const QString& source,
                          QIODevice& device);
// The same, as one text.
QByteArray KicadNetlist(const TDrawing& drawing, const TConnectivity& connectivity, const QString& source);

// KiCad's pin type for one of the drawing's electrical types (0 IN ... 6 Passive).
QByteArray KicadPinType(int electricalType);
