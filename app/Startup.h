#pragma once
// The program's life from start-up to the end of the event loop.
#include <QString>
#include <QStringList>

#include "ui/Dialogs.h"

struct TOption;

// How the program starts, from the options of the whole command line, taken
// before the main window works through it in order (app/Options.h).
struct TStartOptions {
    bool Batch = false;         // no window, no waiting dialog
    bool RendersFiles = false;  // drawings are drawn to files
    bool Headless = false;      // no display is needed: the toolkit runs on its offscreen platform
    // The first option that is a run of its own ("--thumbnail=SIZE",
    // "--diff", "--version"), with its value; nullptr for none.
    const TOption* Alone = nullptr;
    QString AloneValue;
};
TStartOptions ScanStartOptions(const QStringList& args);

// Creates the settings windows, the inspector and the print window, hidden,
// in their order (each only once).
void CreateOtherWindows();
// Destroys them again (program end).
void DestroyOtherWindows();

// "tracery --thumbnail=SIZE IN OUT": writes OUT, a PNG of the whole page of
// the drawing IN whose longer side is SIZE pixels, without any window;
// messages go to standard error. Returns 0 when IN was read to its end and
// OUT written, 1 otherwise.
int RunThumbnail(const QStringList& args, const QString& size);

// "tracery --version": prints "tracery VERSION (Qt QTVERSION)" on standard
// output; returns 0.
int RunVersion(const QStringList& args, const QString& value);

// The standard dialogs of a run with the main window, but for the plain
// message box: while it waits the program's windows take no input, as under
// a modal box, yet the main window's close box still closes the window, and
// that ends the box (a drawing whose thousand records each ask for a box can
// be closed, and the run ends as File ▸ Exit ends it).
class TWindowedDialogs : public TStandardDialogs {
public:
    void ShowMessage(const QString& text) override;
};

// Runs the program with the given command line; returns the exit status.
int RunTracery(const QStringList& args);
