#pragma once
// Shared start-up of the fuzz targets: the toolkit offscreen, a settings file
// of their own in a temporary folder, and dialogs that never wait.
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "settings/Inifile.h"
#include "ui/Dialogs.h"

namespace fuzz {

// Answers every dialog as cancelled and counts the messages.
class TQuietDialogs : public TDialogs {
public:
    int Messages = 0;
    int Errors = 0;
    void ShowMessage(const QString&) override { ++Messages; }
    void ShowError(const QString&) override { ++Errors; }
    bool AskYesNo(const QString&) override { return false; }
    std::optional<QString> OpenFile(const QString&, const QString&) override { return std::nullopt; }
    std::optional<QString> SaveFile(const QString&) override { return std::nullopt; }
    std::optional<TFont> ChooseFont(const TFont&) override { return std::nullopt; }
    std::optional<TColor> ChooseColour(TColor) override { return std::nullopt; }
    bool Print(QPrinter&) override { return false; }
    void PrinterSetup(QPrinter&) override {}
    // Runs while a window is shown modally (it may click the window's buttons).
    std::function<void(QDialog&)> OnModal;
    int ExecModal(QDialog& dialog) override
    {
        if (OnModal) OnModal(dialog);
        return 0;
    }
};

inline TQuietDialogs& Quiet()
{
    static TQuietDialogs dialogs;
    return dialogs;
}

// The temporary folder of this run (removed at exit).
inline QTemporaryDir& WorkDir()
{
    static QTemporaryDir dir;
    return dir;
}

// Creates the application once, offscreen, with its settings file in the
// work folder and the quiet dialogs installed.
inline void StartApplication(const char* name)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char arg0[64];
    std::snprintf(arg0, sizeof arg0, "%s", name);
    static char* argv[] = {arg0, nullptr};
    new QApplication(argc, argv);  // lives for the whole run
    if (!WorkDir().isValid()) std::abort();
    SetSettingsFileName(WorkDir().filePath(QStringLiteral("Tracery.ini")));
    SetDialogs(&Quiet());
}

// What the event loop would do between two user actions: deferred deletes,
// timers (the font cache is trimmed by one), queued repaints.
inline void IdleEvents()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

inline void WriteBytes(const QString& path, const std::uint8_t* data, std::size_t size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    if (size > 0 && file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size)) std::abort();
}

inline QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Stops the run with a message when an invariant does not hold.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

}  // namespace fuzz
