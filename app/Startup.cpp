#include "app/Startup.h"

#include <QApplication>
#include <memory>

#include "app/Dialogs.h"
#include "app/Quorvprint.h"
#include "app/Tracerywin.h"
#include "drawing/Debugbmp.h"
#include "settings/Annotatewin.h"
#include "settings/Bitmapwin.h"
#include "settings/Docboxwin.h"
#include "settings/Junctionwin.h"
#include "settings/Linedatawin.h"

TStartOptions ScanStartOptions(const QStringList& args)
{
    TStartOptions options;
    for (int i = 1; i < args.size(); ++i) {
        if (!args[i].startsWith(QLatin1String("--"))) continue;
        const QString name = args[i].mid(2);
        if (name.compare(QLatin1String("Batch"), Qt::CaseInsensitive) == 0) {
            options.Batch = true;
            options.RendersFiles = true;
        } else if (name.compare(QLatin1String("Png"), Qt::CaseInsensitive) == 0 ||
                   name.compare(QLatin1String("Pdf"), Qt::CaseInsensitive) == 0) {
            options.RendersFiles = true;
        }
    }
    return options;
}

void CreateOtherWindows()
{
    // Each settings window reads its settings from the settings file while it
    // is being created.
    if (!frmLineData) new TfrmLineData;
    if (!frmJunction) new TfrmJunction;
    if (!frmDocBox) new TfrmDocBox;
    if (!frmAnnotate) new TfrmAnnotate;
    if (!frmBitmap) new TfrmBitmap;
    if (!frmBmpDebug) new TfrmBmpDebug(nullptr);
    if (!frmQuorvPrint) new TfrmQuorvPrint(nullptr);
}

void DestroyOtherWindows()
{
    // Destroyed without their close handlers running.
    delete frmQuorvPrint;
    delete frmBmpDebug;
    delete frmBitmap;
    delete frmAnnotate;
    delete frmDocBox;
    delete frmJunction;
    delete frmLineData;
}

int RunTracery(const QStringList& args)
{
    const TStartOptions options = ScanStartOptions(args);
    TBatchDialogs batchDialogs;
    if (options.Batch) SetDialogs(&batchDialogs);

    int status = 0;
    try {
        auto form = std::make_unique<TForm1>(args);
        form->BatchMode = options.Batch;
        // A drawing drawn to a file shows what the screen shows after
        // start-up, so its settings windows must exist before it is loaded.
        if (options.RendersFiles) CreateOtherWindows();
        if (!options.Batch) form->show();
        form->FormShow();
        CreateOtherWindows();
        // The window's first paint in the event loop draws with every
        // settings window in place.
        form->Invalidate();
        if (options.Batch) {
            status = form->AllDrawingsComplete ? 0 : 1;
        } else if (!form->TerminateRequested) {
            status = QApplication::exec();
        }
        form.reset();
        DestroyOtherWindows();
    } catch (const EFileError& e) {
        // An error while the windows are being created ends the program.
        Dialogs().ShowError(e.Message());
        status = 1;
    }
    SetDialogs(nullptr);
    return status;
}
