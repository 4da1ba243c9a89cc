#include "app/Checkcommand.h"

#include <QDir>
#include <cstdio>
#include <optional>

#include "app/Comparecommand.h"
#include "app/Options.h"
#include "base/Errors.h"
#include "drawing/Connectivity.h"
#include "drawing/Drawing.h"
#include "drawing/Drawingcheck.h"
#include "exports/Drawingoutputs.h"
#include "ui/Dialogs.h"

namespace {
const char usage[] = "usage: tracery [--batch] [--out=DIR] --check DRAWING...";
}  // namespace

int RunCheck(const QStringList& args, const QString&)
{
    QStringList paths;
    std::optional<QString> folder;
    bool batch = false, other = false;
    for (int i = 1; i < args.size(); ++i) {
        QString value, name;
        const TOption* option = FindOption(args[i], &value, &name);
        if (option && option->Alone == RunCheck) continue;
        if (option && QLatin1String(option->Name) == QLatin1String("batch")) {
            batch = true;
        } else if (option && QLatin1String(option->Name) == QLatin1String("out")) {
            folder = value;
        } else if (args[i].startsWith(QLatin1String("--"))) {
            other = true;
        } else {
            paths << args[i];
        }
    }
    if (other || paths.isEmpty() || (folder && folder->isEmpty())) {
        Dialogs().ShowMessage(QLatin1String(usage));
        return 2;
    }

    TDrawingOutputs outputs;
    const bool files = batch && folder.has_value();
    if (files) {
        try {
            outputs.SetFolder(*folder);
        } catch (const EFileError& e) {
            Dialogs().ShowError(e.Message());
            return 2;
        }
    }
    bool unread = false, found = false;
    for (const QString& path : paths) {
        TDrawing drawing;
        if (const std::optional<QString> message = ReadComparedDrawing(path, drawing)) {
            Dialogs().ShowError(*message);
            unread = true;
            continue;
        }
        const TConnectivity connectivity(drawing);
        const TDrawingCheck check(drawing, connectivity);
        QByteArray text;
        for (const QString& line : check.Lines(QDir::toNativeSeparators(path))) text += line.toUtf8() + '\n';
        std::fwrite(text.constData(), 1, std::size_t(text.size()), stdout);
        std::fflush(stdout);
        found = found || !check.Clean();
        if (!files) continue;
        try {
            TDrawingOutputs::SaveWhole(outputs.OutputPath(path, QStringLiteral("-check.txt")), text);
        } catch (const EFileError& e) {
            Dialogs().ShowError(e.Message());
            unread = true;
        }
    }
    return unread ? 2 : (found ? 1 : 0);
}
