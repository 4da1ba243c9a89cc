#pragma once
// Draws a drawing file from a netlist: a description of parts, their pins and
// the nets that join them becomes components placed on a grid with wires
// routed between their pin ends, so that reading the drawing's connectivity
// gives the nets back.
//
// The drawing: components in rows, turned and mirrored as described, every
// pin 20 pixels from the next; from each pin end a short stub leads to a
// column of its own that runs down to a lane of its own in the channel below
// the row, and the lane runs right to the net's bus, a vertical wire in the
// band right of all rows; a lane that meets its bus inside it gets a junction
// dot (a T). A labelled net carries its name on its bus; a split net is drawn
// as two buses with the same label. Visible pins in no net (or alone in an
// unlabelled one) get a crossed marker. Hidden pins draw nothing; a hidden Pwr
// pin belongs to the net its name names.
//
// Wires of different nets never share a pixel except where they cross, and no
// end comes within 3 pixels of a wire or an end of another net.
//
// The text form (q01gen circuit), a statement a line, '#' to the end of a
// line is a comment:
//   part DESIGNATION VALUE PACKAGE [turn=0..3] [mirror] [short]
//   pin DESIGNATION NUMBER SIDE TYPE [NAME] [hidden]
//       SIDE: L B R T of the unturned body; TYPE: IN OUT I/O HiZ OC Pwr Passive
//   net NAME|- [label] [split] DESIGNATION.NUMBER...
// "short" gives the part 11-pixel pins; "-" is a net without a name.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "Q01Builder.h"

namespace q01 {

struct CircuitPin {
    std::string number;
    std::string name;
    std::uint8_t side = 0;  // 0 Left, 1 Bottom, 2 Right, 3 Top of the unturned body
    std::uint8_t type = 6;  // 0 IN, 1 OUT, 2 I/O, 3 HiZ, 4 OC, 5 Pwr, 6 Passive
    bool hidden = false;
};

struct CircuitPart {
    std::string designation, value, package;
    std::vector<CircuitPin> pins;
    std::uint8_t rotation = 0;  // 0..3, quarter turns anticlockwise
    bool mirrored = false;
    bool shortPins = false;  // pin style 1: 11-pixel pins
};

struct CircuitNet {
    std::string name;  // empty: no name
    // "R1.2": designation and pin number.
    std::vector<std::string> pins;
    bool labelled = false;  // the name is written on the net's bus
    bool split = false;     // drawn as two buses joined by their label only
};

struct Circuit {
    std::vector<CircuitPart> parts;
    std::vector<CircuitNet> nets;
};

// A description that cannot be drawn: an unknown part or pin, a pin in two
// nets, a split or hidden-pin net without a label, a text that does not parse.
class CircuitError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The drawing file, header first (the smallest page of the size table that
// holds it, A0 when none does).
Bytes DrawCircuit(const Circuit& circuit);

// A random circuit of two-pin parts and of parts with pins on all sides, in
// all eight orientations, some with hidden power pins, some pins unused; the
// same seed gives the same circuit.
Circuit RandomCircuit(std::uint32_t seed);

Circuit ParseCircuit(const std::string& text);
std::string CircuitText(const Circuit& circuit);

}  // namespace q01
