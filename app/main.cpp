// Start-up: the toolkit, the main window working through the command line,
// then the other windows in their order, then the event loop.
#include <QApplication>
#include <QByteArray>
#include <QStringList>

#include "app/Startup.h"
#include "base/Parallel.h"
#include "ui/Dialogs.h"

namespace {

QtMessageHandler toolkitHandler = nullptr;

// Runs without a window on a server: the toolkit's note that the session has
// no runtime folder (XDG_RUNTIME_DIR) tells the user nothing they need, so it
// is left out; every other message goes on as before.
void WithoutRuntimeFolderNote(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) return;
    if (toolkitHandler) toolkitHandler(type, context, message);
}

}  // namespace

int main(int argc, char** argv)
{
    // Memory a drawing lets go goes back to the system, so a batch of
    // drawings needs no more than its largest.
    SetUpProcessMemory();
    // The command line as the process received it. Every argument that does
    // not start with "--" is a drawing path, so the toolkit is given only the
    // program itself and takes nothing for its own options (-style, -reverse
    // and the like are drawings here).
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    // Runs that draw to files without a window never reach for a display.
    if (ScanStartOptions(args).Headless) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        toolkitHandler = qInstallMessageHandler(WithoutRuntimeFolderNote);
    }

    int toolkitArgc = 1;
    char* toolkitArgv[] = {argv[0], nullptr};
    QApplication app(toolkitArgc, toolkitArgv);
    return RunTracery(args);
}
