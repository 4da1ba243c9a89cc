#pragma once
// The order in which people list designations: runs of digits compare by
// their value, so R2 comes before R10 and U7 before U77; other characters
// compare ignoring letter case. Texts that differ only in case or in leading
// zeros still have a fixed order (by their bytes), so sorting is stable
// across runs.

#include <QByteArray>

// Negative, zero or positive as a sorts before, with or after b.
int NaturalCompare(const QByteArray& a, const QByteArray& b);
inline bool NaturalLess(const QByteArray& a, const QByteArray& b) { return NaturalCompare(a, b) < 0; }
