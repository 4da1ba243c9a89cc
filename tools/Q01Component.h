#pragma once
// Builds component symbol records (type 0x70) from readable parameters.
//
// Record layout: a 64-byte head, ceil(partCount / 2) part blocks of 16 bytes
// (two 4-byte part descriptors each), pinCount pin records of 16 bytes and a
// picture area of pictureAreaFactor1 * pictureAreaFactor2 bytes rounded up to
// a multiple of 16. The builder writes what the parameters say; the Raw*
// members override counts and length bytes so that tests can build records
// that break the layout's limits.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Q01Builder.h"

namespace q01 {

// One part of a component: its picture in the picture area and its body size.
struct ComponentPart {
    std::uint8_t pictureIndex = 0;  // 0: no picture (outline); else picture at 16 * (index - 1)
    std::uint8_t widthUnits = 0;    // body width 10 * units + 1 pixels
    std::uint8_t heightUnits = 0;   // body height 10 * units + 1 pixels
};

// Sides of the unturned body.
enum ComponentSide : std::uint8_t { sideLeft = 0, sideBottom = 1, sideRight = 2, sideTop = 3 };

struct ComponentPin {
    std::uint8_t pinPart = 1;         // part number this pin's number belongs to
    bool circle = false;              // flag bit 0
    bool wedge = false;               // flag bit 1
    bool hidden = false;              // flag bit 2
    std::uint8_t electricalType = 0;  // flag bits 4-7
    std::string number{};             // up to 4 characters
    std::string name{};               // up to 6 bytes; bit 7 marks a character
    std::uint8_t side = sideLeft;
    std::uint8_t offsetUnits = 0;  // tens of pixels from the top (L/R) or left (B/T) edge

    // Hostile overrides.
    std::optional<std::uint8_t> rawFlags{};         // the whole flags byte
    std::optional<std::uint8_t> rawNumberLength{};  // length byte of the number field
    std::optional<std::uint8_t> rawNameLength{};    // length byte of the name field
};

struct Component {
    std::string designation = "U1";  // up to 10 characters
    std::string packageText;         // up to 10 characters; drawn at the value position
    std::string valueText;           // up to 10 characters; shown, never drawn
    std::uint16_t anchorX = 0, anchorY = 0;
    std::uint8_t rotation = 0;  // 0..3
    bool hFlip = false;
    std::uint16_t designationX = 0, designationY = 0;
    std::uint16_t valueX = 0, valueY = 0;
    std::uint8_t partNumber = 1;  // 1-based
    std::vector<ComponentPart> parts;
    std::uint8_t pinStyle = 0;
    std::vector<ComponentPin> pins;
    std::uint16_t pictureAreaFactor1 = 0, pictureAreaFactor2 = 0;
    // Contents of the picture area, written from its first byte; cut or
    // zero-padded to the area's size.
    Bytes pictureArea;

    // Hostile overrides. Counts decide how many blocks and records are
    // written: missing descriptors and pins are written as zero bytes, extra
    // ones are left out.
    std::optional<std::uint8_t> rawPartCount;
    std::optional<std::uint8_t> rawPinCount;
    std::optional<std::uint8_t> rawOrientation;
    std::optional<std::uint8_t> rawDesignationLength;
    std::optional<std::uint8_t> rawPackageLength;
    std::optional<std::uint8_t> rawValueLength;
};

// The record's length as its head announces it.
std::size_t ComponentRecordLength(std::size_t partCount, std::size_t pinCount, std::uint16_t factor1,
                                  std::uint16_t factor2);

// The whole record, type byte 0x70 first.
Bytes ComponentRecord(const Component& component);

// A small component named `designation` with its anchor at (x, y): one part
// of 2 x 3 units, no pins, so its body covers (x, y)..(x + 21, y + 31).
Bytes SmallComponent(std::uint16_t x, std::uint16_t y, const std::string& designation);

// A part picture: the Strange byte, then one row of bits per text row, top
// row first. '#' is an ink pixel, any other character background; every row
// is as wide as the widest one, ceil(width / 8) bytes, column 0 in bit 7.
Bytes PartPicture(std::uint8_t strange, const std::vector<std::string>& rows);

// Appends a picture to the component's picture area at the next 16-byte
// boundary, sets the area factors to (area size, 1) and returns the
// pictureIndex that selects it.
std::uint8_t AddPicture(Component& component, const Bytes& picture);

}  // namespace q01
