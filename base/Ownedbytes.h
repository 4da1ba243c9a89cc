#pragma once
// A paint may pass texts that only view bytes they do not own
// (QByteArray::fromRawData: a pin's number and name in its record): they
// cost no copy for each of the many labels drawn. Whatever keeps such a text
// beyond the call keeps a copy of its own.
#include <QByteArray>

// The text itself when it owns its bytes (or has none), else a copy.
inline QByteArray OwnedBytes(const QByteArray& text)
{
    const bool owns = const_cast<QByteArray&>(text).data_ptr().d_ptr() != nullptr;  // (no detach: only read)
    return owns || text.isEmpty() ? text : QByteArray(text.constData(), text.size());
}
