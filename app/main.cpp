// Start-up: the toolkit, the main window working through the command line,
// then the other windows in their order, then the event loop.
#include <QApplication>
#include <QStringList>

#include "app/Dialogs.h"
#include "app/Startup.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    return RunTracery(QCoreApplication::arguments());
}
