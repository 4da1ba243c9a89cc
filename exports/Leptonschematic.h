#pragma once
// The drawing as a lepton-eda schematic (NAME.sch): the gEDA schematic file
// format, line by line, that lepton-eda (and gschem before it) reads, with
// every symbol embedded so that the file needs no library.
//
// Units: one page pixel is 10 mil, one of the format's units being a mil;
// the format's y axis points up, so page (x, y) is (10 x, 10 (H - y)) for a
// page H pixels high.
//
// Each component is one embedded symbol ("C ... EMBEDDEDNAME.sym" with its
// objects between "[" and "]"), its objects as placed on the sheet, which is
// how the format keeps an embedded symbol: the ink of its picture as filled
// boxes of whole pixels (the outline of its body for a part without a
// picture) and a pin ("P", its connection point first) for every pin that is
// not hidden, with the attributes pinnumber, pinseq (its place in the
// part's pin list), pinlabel (a marked half of the name in the format's
// overbar, "\_CS\_") and pintype (IN in, OUT out, I/O io, HiZ tri, OC oc, Pwr
// pwr, Passive pas, others pas). The component's attributes are refdes (the
// designation), value (the text drawn at the value position) and footprint
// (the value text, never drawn, as the netlist has it; "none" without one); a
// hidden Pwr pin becomes net=NAME:PIN, joining its pin to the net of its
// name, as the format's hidden power pins do.
//
// Wires are nets ("N"), cut where something joins their inside, so that every
// connection is made at net ends. A net label is a visible netname
// attribute of the net it names; every other net carries its name (as the
// drawing's connectivity names it, "Net-(R1-Pad2)") as a hidden netname, so
// that a netlist of the file names the nets as Tracery does. Pins joined
// without any wire (pin end on pin end, a pin on its own) are joined and
// named by net=NAME:PIN attributes. Annotations are texts, a document box
// is a box with its lines as one text, crossed markers are small crosses of
// lines.

#include <QByteArray>
#include <QIODevice>

#include "base/Errors.h"

class TSchematicSheet;

// Written into the device as it is made; the whole file is never in memory.
TResult WriteLeptonSchematic(const TSchematicSheet& sheet, QIODevice& device);
// The same file as bytes.
QByteArray LeptonSchematic(const TSchematicSheet& sheet);
