#pragma once
// The progress of a catalogue run on standard error, as one line kept up to
// date ("412/1000 drawings, 3 damaged") while standard error is a terminal;
// messages are printed on lines of their own above it. When standard error
// is no terminal (a log, a pipe) only the messages are written.

#include <QString>

class TProgressLine {
public:
    // shown: whether the line is drawn; by default when standard error is a
    // terminal.
    explicit TProgressLine(bool shown);
    TProgressLine();
    ~TProgressLine();
    TProgressLine(const TProgressLine&) = delete;
    TProgressLine& operator=(const TProgressLine&) = delete;

    void Show(int done, int total, int damaged);
    // A message on a line of its own.
    void Message(const QString& text);
    // Leaves the last progress on its line and goes to the next.
    void Finish();

    static QString Text(int done, int total, int damaged);

private:
    void Erase();
    bool shown_;
    QString line_;
};
