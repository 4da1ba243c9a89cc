#include "drawing/Quorvidobject.h"

void QuorvidObject::Draw(TSurface&) {}

TRect QuorvidObject::GetRect(bool& valid)
{
    valid = false;
    return TRect{};
}

bool QuorvidObject::IsClass(const QString&) const { return false; }

std::int64_t RecordLength(const std::uint8_t*, std::size_t) { return -1; }
