#include "app/Cataloguecommand.h"

#include <QCoreApplication>

#include "app/Options.h"
#include "app/Startup.h"
#include "app/Tracerywin.h"
#include "catalogue/Catalogue.h"
#include "catalogue/Conversionworkers.h"
#include "drawing/Objectsettings.h"
#include "ui/Dialogs.h"

namespace {
const char usage[] = "usage: tracery --catalogue=OUT [--shard=K/N] PATH...";
}  // namespace

int RunCatalogue(const QStringList& args, const QString& out)
{
    if (out.isEmpty()) {
        Dialogs().ShowMessage(QStringLiteral("Parameter 'catalogue' needs a folder, as in --catalogue=OUT"));
        return 2;
    }
    if (TConversionWorkers::IsWorker()) {
        CreateOtherWindows();
        return TConversionWorkers::Serve(out, ObjectSettings());
    }
    TCatalogueOptions options;
    options.Out = out;
    bool catalogueSeen = false;
    for (int i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (!arg.startsWith(QLatin1String("--"))) {
            options.Paths << arg;
            continue;
        }
        QString value, name;
        const TOption* option = FindOption(arg, &value, &name);
        if (option && option->Alone == RunCatalogue && !catalogueSeen) {
            catalogueSeen = true;
        } else if (option && option->InTurn == ShardOption) {
            if (!TCatalogue::ParseShard(value, options.ShardIndex, options.ShardCount)) {
                Dialogs().ShowMessage(
                    QStringLiteral("Parameter '%1' needs a part of the archive, as in --shard=1/4").arg(arg.mid(2)));
                return 2;
            }
        } else if (!option || !StartsOnly(*option)) {
            Dialogs().ShowMessage(QLatin1String(usage));
            return 2;
        }
    }
    if (options.Paths.isEmpty()) {
        Dialogs().ShowMessage(QLatin1String(usage));
        return 2;
    }
    options.WorkerProgram = QCoreApplication::applicationFilePath();
    // The settings windows give the settings every drawing is drawn with.
    CreateOtherWindows();
    return TCatalogue(options, ObjectSettings()).Run().Status;
}

void ShardOption(TForm1& form, const QString& name, const QString&)
{
    Dialogs().ShowMessage(QStringLiteral("Parameter '%1' works only with --catalogue=OUT").arg(name));
    form.AllOutputsWritten = false;
}
