#pragma once
// The command `tracery --check DRAWING...`: reads each drawing, finds what
// looks wrong in its wiring (drawing/Drawingcheck.h) and prints one line per
// finding on standard output, "PATH:ZONE: warning: MESSAGE [KIND]". No window
// and no display. With --batch and --out=DIR the lines of each drawing also
// go to DIR/NAME-check.txt (empty for a clean drawing). Ends with 0 when
// nothing was found, 1 when something was, 2 when a drawing cannot be read or
// a file cannot be written (with a message on standard error).

#include <QString>
#include <QStringList>

int RunCheck(const QStringList& args, const QString& value);
