#include "app/Startup.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QSessionManager>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <unistd.h>
#include <vector>

#include "app/Options.h"
#include "app/Quorvprint.h"
#include "app/Tracerywin.h"
#include "base/Savefile.h"
#include "drawing/Debugbmp.h"
#include "exports/Drawingoutputs.h"
#include "settings/Annotatewin.h"
#include "settings/Bitmapwin.h"
#include "settings/Docboxwin.h"
#include "settings/Inifile.h"
#include "settings/Junctionwin.h"
#include "settings/Linedatawin.h"
#include "ui/Dialogs.h"

TStartOptions ScanStartOptions(const QStringList& args)
{
    TStartOptions options;
    for (int i = 1; i < args.size(); ++i) {
        QString value;
        const TOption* option = FindOption(args[i], &value);
        if (!option) continue;
        options.Batch = options.Batch || (option->Implies & kBatch);
        options.Headless = options.Headless || (option->Implies & kHeadless);
        options.RendersFiles = options.RendersFiles || (option->Implies & kRendersFiles);
        if (option->Alone && !options.Alone) {
            options.Alone = option;
            options.AloneValue = value;
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

namespace {
// Runs `hidden` when the watched window is hidden (closed).
class TOnHide : public QObject {
public:
    TOnHide(QWidget* window, std::function<void()> hidden) : window_(window), hidden_(std::move(hidden))
    {
        window_->installEventFilter(this);
    }
    ~TOnHide() override
    {
        if (window_) window_->removeEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == window_ && event->type() == QEvent::Hide) hidden_();
        return false;
    }

private:
    QPointer<QWidget> window_;
    std::function<void()> hidden_;
};
}  // namespace

namespace {
// Ending with the session. The stop signals reach the event loop through a
// pipe: the handler only writes a byte, and a notifier on the reading end
// closes the main window. A signal that arrives during start-up waits in the
// pipe until the event loop runs.
int stopPipe[2] = {-1, -1};
const int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};

void OnStopSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(stopPipe[1], &byte, 1);
    errno = savedErrno;
}

// Closes the main window as File ▸ Exit does: the drawing enters the
// recent-files list, the list and the window placement are saved, and the
// event loop ends with status 0. A window already closed saves nothing again.
// A dialog still waiting (during start-up: the open dialog, a box of the
// load) is answered as cancelled, so that start-up ends and the run with it.
void EndRun()
{
    if (!Form1) return;
    Form1->miFileExitClick();
    for (int open = 0; open < 8; ++open) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) break;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    }
}

struct TSessionEnd {
    TSessionEnd()
    {
        if (::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
        struct sigaction action = {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int signal : kStopSignals) ::sigaction(signal, &action, nullptr);
    }
    ~TSessionEnd()
    {
        for (int signal : kStopSignals) ::signal(signal, SIG_DFL);
        notifier.reset();
        for (int& fd : stopPipe) {
            if (fd >= 0) ::close(fd);
            fd = -1;
        }
    }
    // From here on the event loop hears of the stop signals and of the end of
    // the desktop session.
    void Watch()
    {
        if (stopPipe[0] >= 0) {
            notifier = std::make_unique<QSocketNotifier>(stopPipe[0], QSocketNotifier::Read);
            QObject::connect(notifier.get(), &QSocketNotifier::activated, [] {
                char bytes[64];
                while (::read(stopPipe[0], bytes, sizeof bytes) > 0) {
                }
                EndRun();
            });
        }
        QObject::connect(qApp, &QGuiApplication::commitDataRequest, &context, [](QSessionManager&) { EndRun(); });
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, &context, EndRun);
    }
    QObject context;  // the connections end with it
    std::unique_ptr<QSocketNotifier> notifier;
};
}  // namespace

namespace {
// A batch run ended by a stop signal: nothing of the files still being
// written stays behind (their targets stay as they were), and the run ends
// as the signal ends it.
void OnBatchStopSignal(int signal)
{
    TSaveFile::RemoveUnfinished();
    ::raise(signal);  // (the handler is reset: the signal's own end, once this returns)
}

struct TBatchStop {
    TBatchStop()
    {
        struct sigaction action = {};
        action.sa_handler = OnBatchStopSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        for (int signal : kStopSignals) ::sigaction(signal, &action, nullptr);
    }
    ~TBatchStop()
    {
        for (int signal : kStopSignals) ::signal(signal, SIG_DFL);
    }
    TBatchStop(const TBatchStop&) = delete;
    TBatchStop& operator=(const TBatchStop&) = delete;
};
}  // namespace

void TWindowedDialogs::ShowMessage(const QString& text)
{
    QWidget* owner = Form1;
    if (!owner || !owner->isVisible()) {
        TStandardDialogs::ShowMessage(text);
        return;
    }
    // The program's windows take no input while the box waits, as under a
    // modal box, but they are not blocked: the main window's close box
    // closes the window, and that ends the box.
    std::vector<QPointer<QWidget>> disabled;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && window->isEnabled()) disabled.emplace_back(window);
    for (const QPointer<QWidget>& window : disabled) window->setEnabled(false);
    {
        QMessageBox box(QMessageBox::Information, QApplication::applicationDisplayName(), text, QMessageBox::Ok, owner);
        box.setWindowModality(Qt::NonModal);
        box.setEnabled(true);  // a window of its own, though its owner is disabled
        QEventLoop loop;
        QObject::connect(&box, &QDialog::finished, &loop, &QEventLoop::quit);
        TOnHide ownerGone(owner, [&loop] { loop.quit(); });
        box.show();
        box.activateWindow();
        loop.exec(QEventLoop::DialogExec);
    }
    for (const QPointer<QWidget>& window : disabled)
        if (window) window->setEnabled(true);
}

int RunThumbnail(const QStringList& args, const QString& size)
{
    QStringList paths;
    for (int i = 1; i < args.size(); ++i)
        if (!args[i].startsWith(QLatin1String("--"))) paths << args[i];
    bool number = false;
    const int pixels = size.toInt(&number);
    constexpr int largest = 16384;
    if (paths.size() != 2 || !number || pixels < 1 || pixels > largest) {
        Dialogs().ShowMessage(
            QStringLiteral("Usage: tracery --thumbnail=SIZE IN.q01 OUT.png (SIZE from 1 to %1 pixels)").arg(largest));
        return 1;
    }
    try {
        TForm1 form(QStringList{args.value(0)});
        form.BatchMode = true;
        CreateOtherWindows();
        Guarded([&] { form.LoadDrawing(paths[0]); });
        bool written = false;
        if (form.AllDrawingsComplete || !form.Objects.empty()) {
            Guarded([&] {
                TDrawingOutputs::WriteThumbnail(paths[1], form.Image1->Surface().Image(), pixels);
                written = true;
            });
        }
        return written && form.Succeeded() ? 0 : 1;
    } catch (const EFileError& e) {
        Dialogs().ShowError(e.Message());
        return 1;
    }
}

int RunVersion(const QStringList&, const QString&)
{
    const QByteArray text = "tracery " TRACERY_VERSION " (Qt " + QByteArray(qVersion()) + ")\n";
    std::fwrite(text.constData(), 1, std::size_t(text.size()), stdout);
    std::fflush(stdout);
    return 0;
}

int RunTracery(const QStringList& args)
{
    const TStartOptions options = ScanStartOptions(args);
    TBatchDialogs batchDialogs;
    if (options.Batch) SetDialogs(&batchDialogs);
    // A batch run leaves the user's settings as they are.
    SetSettingsFileReadOnly(options.Batch);
    // A settings file that is no regular file, or too large, is told of once;
    // the program then runs on its defaults and saves none. (The version
    // reads no settings.)
    const bool version = options.Alone && options.Alone->Alone == RunVersion;
    if (const QString refusal = version ? QString() : SettingsFileRefusal(); !refusal.isEmpty())
        Dialogs().ShowMessage(refusal);
    std::unique_ptr<TBatchStop> batchStop;
    if (options.Batch) batchStop = std::make_unique<TBatchStop>();
    // The runs without a main window: a thumbnail, a comparison, the version.
    if (options.Alone) {
        const int status = options.Alone->Alone(args, options.AloneValue);
        DestroyOtherWindows();
        SetSettingsFileReadOnly(false);
        SetDialogs(nullptr);
        return status;
    }
    std::unique_ptr<TSessionEnd> sessionEnd;
    if (!options.Batch) sessionEnd = std::make_unique<TSessionEnd>();
    // With the main window, a box lets the window's close box through.
    TWindowedDialogs windowedDialogs;
    const bool windowed = !options.Batch && dynamic_cast<TStandardDialogs*>(&Dialogs()) != nullptr;
    if (windowed) SetDialogs(&windowedDialogs);

    int status = 0;
    try {
        auto form = std::make_unique<TForm1>(args);
        form->BatchMode = options.Batch;
        // A drawing drawn to a file shows what the screen shows after
        // start-up, so its settings windows must exist before it is loaded.
        if (options.RendersFiles) CreateOtherWindows();
        if (!options.Batch) {
            form->show();
            // A stop signal or the end of the session during start-up (a
            // load's boxes, the open dialog) ends the run as well.
            sessionEnd->Watch();
        }
        form->FormShow();
        CreateOtherWindows();
        // The window's first paint in the event loop draws with every
        // settings window in place.
        form->Invalidate();
        if (options.Batch) {
            // "--help" in a batch run prints the help page and succeeds.
            status = form->TerminateRequested || form->Succeeded() ? 0 : 1;
        } else if (!form->TerminateRequested && !form->Closed()) {
            form->InEventLoop = true;
            status = QApplication::exec();
            form->InEventLoop = false;
        }
        form.reset();
        DestroyOtherWindows();
    } catch (const EFileError& e) {
        // An error while the windows are being created ends the program.
        Dialogs().ShowError(e.Message());
        status = 1;
    }
    sessionEnd.reset();
    SetSettingsFileReadOnly(false);
    if (options.Batch || windowed) SetDialogs(nullptr);
    return status;
}
