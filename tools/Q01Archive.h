#pragma once
// An archive of drawings for measuring the archive site: products, each in
// two revisions of sheets, on pages from A4 to A0 (most of them small, as in
// real archives), each sheet with a title block, parts laid out on a grid
// with values from a short list of common parts, wires between them and net
// labels. The same index and seed give the same bytes.
#include <cstdint>
#include <string>

#include "Q01Builder.h"

namespace q01 {

// The path of sheet `index` (0-based) relative to the archive's folder:
// "product-07/rev-B/sheet-012.q01", twenty sheets to a revision.
std::string ArchiveSheetPath(int index);

// The drawing of sheet `index`.
Bytes ArchiveSheet(int index, std::uint32_t seed);

}  // namespace q01
