#pragma once
// Running the program, or a tool beside it, as a process to its end: the one
// way every test that looks at the program from outside starts it.
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <functional>

#include "AppFixture.h"

// How a run ended and what it wrote.
struct RunResult {
    int status = -1;  // also when the process could not be started or did not end
    QProcess::ExitStatus exit = QProcess::CrashExit;
    QString out, err;
};

// Waits for a started process to end. One that does not end within `seconds`
// fails the test and is killed.
RunResult Finish(QProcess& process, int seconds = 60);

// A program run with `args` to its end, in `folder` when one is given.
RunResult RunProcess(const QString& program, const QStringList& args, const QString& folder = QString(),
                     int seconds = 60);

// Takes from an environment what would give a run a display or a platform.
void WithoutDisplay(QProcessEnvironment& environment);

// A test that runs a copy of the program placed in its folder, so that the
// program's settings file is the test's own, headless and in that folder.
class ProgramRunTest : public TempSettings {
protected:
    // The copy, made on first use.
    QString Program();
    // What a run is given: the offscreen platform, and the test's folder as
    // the runtime folder (Qt warns on standard error without one).
    QProcessEnvironment Environment() const;
    // environment: changes to the environment the program runs in.
    RunResult Run(const QStringList& args, const std::function<void(QProcessEnvironment&)>& environment = {});
};
