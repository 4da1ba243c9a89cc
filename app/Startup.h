#pragma once
// The program's life from start-up to the end of the event loop.
#include <QStringList>

// Options that change how the program starts, taken from the whole command
// line before the main window works through it in order.
struct TStartOptions {
    bool Batch = false;       // "--batch": no window, no waiting dialog
    bool RendersFiles = false;  // "--png", "--pdf" (and "--batch"): drawings are drawn to files
    bool Diff = false;        // "--diff OLD NEW OUT": a comparison, run as a batch run
};
TStartOptions ScanStartOptions(const QStringList& args);

// Creates the settings windows, the inspector and the print window, hidden,
// in their order (each only once).
void CreateOtherWindows();
// Destroys them again (program end).
void DestroyOtherWindows();

// Runs the program with the given command line; returns the exit status.
int RunTracery(const QStringList& args);
