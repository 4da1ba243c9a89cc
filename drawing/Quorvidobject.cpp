#include "drawing/Quorvidobject.h"

#include "drawing/Objectsettings.h"

TDrawContext TDrawContext::Program() { return TDrawContext{&ObjectSettings(), TRect{}, clWhite}; }

void QuorvidObject::Draw(TDrawTarget&, const TDrawContext&) {}

void QuorvidObject::Draw(TDrawTarget& canvas) { Draw(canvas, TDrawContext::Program()); }

TRect QuorvidObject::GetRect(bool& valid)
{
    valid = false;
    return TRect{};
}

bool QuorvidObject::IsClass(const QString&) const { return false; }
