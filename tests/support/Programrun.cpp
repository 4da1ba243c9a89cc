#include "Programrun.h"

#include <QFileInfo>

RunResult Finish(QProcess& process, int seconds)
{
    if (!process.waitForFinished(seconds * 1000)) {
        ADD_FAILURE() << process.program().toStdString() << " did not end within " << seconds
                      << " s: " << process.errorString().toStdString();
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitCode(), process.exitStatus(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

RunResult RunProcess(const QString& program, const QStringList& args, const QString& folder, int seconds)
{
    QProcess process;
    if (!folder.isEmpty()) process.setWorkingDirectory(folder);
    process.start(program, args);
    return Finish(process, seconds);
}

void WithoutDisplay(QProcessEnvironment& environment)
{
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) environment.remove(name);
}

QString ProgramRunTest::Program()
{
    const QString exe = Path("tracery");
    if (!QFileInfo::exists(exe)) {
        EXPECT_TRUE(QFile::copy(TRACERY_BINARY, exe));
    }
    return exe;
}

QProcessEnvironment ProgramRunTest::Environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_RUNTIME_DIR", dir.path());
    return environment;
}

RunResult ProgramRunTest::Run(const QStringList& args, const std::function<void(QProcessEnvironment&)>& environment,
                              int seconds)
{
    QProcessEnvironment env = Environment();
    if (environment) environment(env);
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(dir.path());
    process.start(Program(), args);
    return Finish(process, seconds);
}
