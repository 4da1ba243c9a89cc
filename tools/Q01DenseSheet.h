#pragma once
// A dense drawing for measuring and for comparing paints: many components of
// many pins with picture bodies in all eight orientations, lines of all five
// types, junctions, annotations, document boxes and markers, spread over the
// page by a fixed pseudo-random sequence (the same counts and seed give the
// same bytes).
//
// The records are interleaved in a shuffled order after the one header, so
// that every kind follows every other kind and the drawing state carried from
// one object to the next is exercised.
#include <cstdint>

#include "Q01Builder.h"

namespace q01 {

struct DenseSheetLayout {
    std::uint8_t pageCode = 4;  // 4: A0 (page size table index 5)
    int pageWidth = 4460;       // the page size of that code, for placing
    int pageHeight = 3150;
    int components = 2000;
    int pinsPerComponent = 20;  // up to 20
    int lines = 20000;
    int junctions = 5000;
    int annotations = 1000;
    int docBoxes = 50;
    int docBoxLines = 10;
    int markers = 500;
    std::uint32_t seed = 1;
};

// The A0 sheet of the performance figures.
DenseSheetLayout DenseA0();
// A smaller sheet of the same make-up (an A2 page with a tenth of the objects).
DenseSheetLayout DenseA2();

Bytes DenseSheet(const DenseSheetLayout& sheet);

}  // namespace q01
