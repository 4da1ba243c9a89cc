#pragma once
// Builds drawing files (*.q01) record by record from readable parameters.
#include <cstdint>
#include <vector>

namespace q01 {
using Bytes = std::vector<std::uint8_t>;
}
