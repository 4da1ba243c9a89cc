#pragma once
// The command `tracery --catalogue=OUT [--shard=K/N] PATH...`, which turns
// the drawings below the named folders, and the named files, into the web
// site in OUT (catalogue/Catalogue.h), with no window and no display.

#include <QString>
#include <QStringList>

class TForm1;

// The command with the whole command line (argument 0 the program); returns
// the exit status: 0, 1 when drawings are damaged or unreadable, 2 when the
// site could not be written or the command line is wrong.
int RunCatalogue(const QStringList& args, const QString& out);

// "--shard" anywhere but after "--catalogue": says it has no work there.
void ShardOption(TForm1& form, const QString& name, const QString& value);
