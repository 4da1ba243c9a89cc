#pragma once
// The program's life from start-up to the end of the event loop.
#include <QStringList>
#include <optional>

// Options that change how the program starts, taken from the whole command
// line before the main window works through it in order.
struct TStartOptions {
    bool Batch = false;       // "--batch": no window, no waiting dialog
    bool RendersFiles = false;  // "--png", "--pdf" (and "--batch"): drawings are drawn to files
    // "--batch", "--thumbnail" (with or without "=value") or "--diff": no display is
    // needed, the toolkit runs on its offscreen platform.
    bool Headless = false;
    // "--thumbnail=SIZE": the value, when the option is given.
    std::optional<QString> ThumbnailSize;
    bool Diff = false;        // "--diff OLD NEW OUT": a comparison, run as a batch run
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

// Runs the program with the given command line; returns the exit status.
int RunTracery(const QStringList& args);
