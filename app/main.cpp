// Start-up: the toolkit, the main window working through the command line,
// then the other windows in their order, then the event loop.
#include <QApplication>
#include <QByteArray>
#include <QStringList>

#include "app/Dialogs.h"
#include "app/Startup.h"

int main(int argc, char** argv)
{
    // The command line as the process received it. Every argument that does
    // not start with "--" is a drawing path, so the toolkit is given only the
    // program itself and takes nothing for its own options (-style, -reverse
    // and the like are drawings here).
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    // Runs that draw to files without a window never reach for a display.
    if (ScanStartOptions(args).Headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    int toolkitArgc = 1;
    char* toolkitArgv[] = {argv[0], nullptr};
    QApplication app(toolkitArgc, toolkitArgv);
    return RunTracery(args);
}
