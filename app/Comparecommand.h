#pragma once
// Comparing two drawing files: reading each for a comparison, and the
// command `tracery --diff OLD.q01 NEW.q01 OUT.png`, which writes the picture
// of the comparison to OUT.png, prints its report on standard output and ends
// with 0 when both hold the same objects, 1 when they differ, 2 when either
// cannot be read or OUT.png cannot be written (with a message on standard
// error).

#include <QString>
#include <QStringList>
#include <optional>

#include "drawing/Comparison.h"

class TDrawing;

// Reads the drawing file at `path` into `drawing`. Returns the message for
// the user when the file cannot be read to its end: missing, not a regular
// file, larger than a drawing file can be, not readable, or its walk did not
// reach the end of the data.
std::optional<QString> ReadComparedDrawing(const QString& path, TDrawing& drawing);

// Reads both files and compares them with the settings of the program's
// settings windows; none when either cannot be read (the message has been
// shown).
std::optional<TComparison> CompareDrawingFiles(const QString& older, const QString& newer);

// The --diff command with the whole command line (argument 0 the program);
// returns the exit status. Messages go through the dialog seam.
int RunDiff(const QStringList& args, const QString& value);
