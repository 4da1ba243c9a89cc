#pragma once
// The drawing as a KiCad schematic (NAME.kicad_sch): KiCad's s-expression
// schematic file, version 20211123, which every KiCad since 6.0 opens.
//
// Units: one page pixel is 0.254 mm (10 mil), so every page point is an
// exact number of KiCad's units and the drawings' 10-pixel pin spacing lies
// on KiCad's 100-mil grid; page (x, y) is KiCad (0.254 x, 0.254 y), y
// downwards as on the page. The pages A4 to A0 and B to E go to KiCad's
// papers of those names, the others to a user paper of the page's size.
//
// Symbols: every distinct component body is one library symbol, embedded in
// the file's lib_symbols as "Tracery:NAME"; its y axis points up, as KiCad's
// libraries have it, and body pixel (x, y) is library point
// (0.254 x, -0.254 y). A picture is drawn as filled rectangles of its merged
// ink runs, each covering whole pixels (a stroke of 0.001 mm around each, so
// that it adds nothing to the ink); a part without a picture as the outline
// of its body, its stroke a pixel wide through the pixels' middles. Pins carry their numbers, names (a marked name in
// KiCad's overbar, "~{CS}"), electrical types and shapes; hidden pins are
// hidden: a hidden Pwr pin, whose name KiCad takes as its net, keeps the
// name as shown; another hidden pin, which joins nothing in the drawing but
// which KiCad would join at its connection point, has that point where it
// meets the body and no length. A component of several parts has a unit per
// part.
//
// Each component is placed at its anchor, turned by 90 degrees a quarter
// turn and mirrored ("mirror y" for a left-right flip, "mirror x" for a
// top-bottom one), so that KiCad puts every pin's connection point on the
// drawing's pin end. Reference is the designation, Value the text drawn at
// the value position (the package text), Footprint the value text (never
// drawn), as the netlist (exports/Netlist) has them; the field texts stand
// horizontal with their top-left corner where the drawing writes them.
//
// Wires are the line records (cut where something joins their inside),
// junctions the junction dots and the points where a wire end or pin end
// meets the inside of a wire, labels the net labels, texts the other
// annotations (bottom-left 10 pixels right of the anchor), no-connect flags
// the crossed markers on pin ends, and other markers a small cross of
// graphic lines. A document box is four graphic lines with its lines as one
// text. Text sizes are the fonts' cap heights (TSchematicSheet::TextSize).
//
// Identifiers (uuid) are made from the drawing's title and each item's
// place in the file, so the same drawing gives the same file.

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include "base/Errors.h"

class TSchematicSheet;

// Written into the device as it is made; the whole file is never in memory.
TResult WriteKicadSchematic(const TSchematicSheet& sheet, const QString& title, QIODevice& device);
// The same file as bytes.
QByteArray KicadSchematic(const TSchematicSheet& sheet, const QString& title);

// KiCad's paper for a page size: "A4" ... "A0", "B" ... "E", or "User".
QString KicadPaper(int width, int height);
