#include "drawing/Quorvidobject.h"

void QuorvidObject::Draw(TSurface&) {}

TRect QuorvidObject::GetRect(bool& valid)
{
    valid = false;
    return TRect{};
}

bool QuorvidObject::IsClass(const QString&) const { return false; }

namespace {
constexpr std::int64_t RoundUp16(std::int64_t n) { return (n + 15) / 16 * 16; }
}  // namespace

std::int64_t RecordLength(const std::uint8_t* start, std::size_t available)
{
    if (available == 0) return -1;
    switch (start[0]) {
    case 0x00:
    case 0x10:
    case 0x20:
    case 0x40:
    case 0x60:
        return 16;
    case 0x30:
        return 32;
    case 0x50:
        // Head block, then n text blocks; n = byte 12 of the head.
        if (available < 16) return 16;
        return 16 + 16 * std::int64_t(start[12]);
    case 0x70: {
        // Head of 64 bytes, then the parts (two per block), the pins (one per
        // block) and the body picture of f1 * f2 bytes in whole blocks.
        if (available < 64) return 64;
        const std::int64_t parts = start[44];
        const std::int64_t pins = start[49];
        const std::int64_t f1 = ReadU16(start + 28);
        const std::int64_t f2 = ReadU16(start + 30);
        return 64 + 16 * ((parts + 1) / 2) + 16 * pins + RoundUp16(f1 * f2);
    }
    default:
        return -1;
    }
}
