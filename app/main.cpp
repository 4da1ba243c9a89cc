// Start-up: the toolkit, the main window working through the command line,
// then the other windows in their order, then the event loop.
#include <QApplication>
#include <QByteArray>
#include <QStringList>

#include "app/Dialogs.h"
#include "app/Startup.h"

int main(int argc, char** argv)
{
    // A comparison needs no display.
    for (int i = 1; i < argc; ++i)
        if (QByteArray(argv[i]).toLower() == "--diff" && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RunTracery(QCoreApplication::arguments());
}
