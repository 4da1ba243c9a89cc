#pragma once
// TValWin: the placement component a top-level window carries as `ValWin1`.
// It stores the window's position (and with RestoreSize its size) in the
// settings file section named after the window when the window closes, and
// restores it each time the window is shown. With OnScreen a restored window
// is moved back inside the desktop; with Delay the window is shown disabled,
// its caption followed by " (Please Wait)", for Timeout milliseconds.
//
// Whatever OnScreen says, a stored position at which the window would be off
// every screen (a screen since unplugged) is brought back onto the nearest
// screen, and a window other than the main window ("Form1") that has no
// stored position opens beside the main window, on its screen, instead of
// over the main window's menu at 0, 0.
//
// Windows call open() at the end of their show handler and close() at the
// end of their close handler. close() writes the settings file and so can
// throw EFileError; call it inside Guarded(...). Install() does both through
// an event filter on the owner instead, guarding the write itself.

#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>
#include <memory>

class QTimer;
class TIniFile;

class TValWin : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool RestoreSize READ RestoreSize WRITE SetRestoreSize)
    Q_PROPERTY(bool Delay READ Delay WRITE SetDelay)
    Q_PROPERTY(bool OnScreen READ OnScreen WRITE SetOnScreen)
    Q_PROPERTY(int Timeout READ Timeout WRITE SetTimeout)

public:
    // Names itself "ValWin_" + the owner's name, measures the desktop once per
    // process, and remembers SettingsFileName() as its settings file.
    explicit TValWin(QWidget* owner);
    ~TValWin() override;

    // The desktop as measured by the first component of the process.
    static bool bInit;     // true while the desktop has not been measured
    static bool bDesktop;  // true once the desktop size is known
    static int iDesktopWidth;
    static int iDesktopHeight;

    // The work areas of the screens (the screen less the desktop's panels)
    // that windows are kept on: those of QGuiApplication::screens(), unless
    // set here (tests).
    static QList<QRect> WorkAreas;
    static QList<QRect> ScreenAreas();
    // The name of the main window, beside which other windows open.
    static const QString MainWindowName;

    bool RestoreSize() const { return restoreSize_; }
    void SetRestoreSize(bool on) { restoreSize_ = on; }
    bool Delay() const { return delay_; }
    void SetDelay(bool on) { delay_ = on; }
    bool OnScreen() const { return onScreen_; }
    void SetOnScreen(bool on) { onScreen_ = on; }
    int Timeout() const { return timeout_; }
    void SetTimeout(int milliseconds);

    QWidget* Owner() const { return owner_; }
    const QString& IniFileName() const { return iniFileName_; }

    // Restore the placement: from the remembered settings file; from the
    // named file (which becomes the remembered one); from an open settings
    // file object (none: only the delay step runs).
    void open();
    void open(const QString& fileName);
    void open(TIniFile* ini);

    // Store the placement: into the remembered settings file; into the named
    // file (not remembered); into an open settings file object (none: nothing).
    void close();
    void close(const QString& fileName);
    void close(TIniFile* ini);

    void setIniFileName(const QString& fileName) { iniFileName_ = fileName; }

    // Takes over the owner's show and close events: open() runs before the
    // owner's own show handling, close() before its own close handling.
    void Install();

    // The delay timer's handler: ends the delay period.
    void EnableControls();

    // True while a delay period is running.
    bool DelayRunning() const { return disabledControls_ != nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static void MeasureDesktop();
    void DelayStep();
    void Restore(TIniFile& ini);
    // The position at which the owner lies on a screen: `at` itself unless
    // the owner would be off every screen, else the nearest place inside the
    // nearest screen.
    QPoint OnAScreen(QPoint at) const;
    // Where the owner goes without a stored position: beside the main window
    // (to its right, else to its left), inside the main window's screen.
    QPoint BesideMainWindow() const;
    void Store(TIniFile& ini);

    QPointer<QWidget> owner_;
    QString iniFileName_;
    bool restoreSize_ = false;
    bool delay_ = false;
    bool onScreen_ = true;
    int timeout_ = 100;
    bool installed_ = false;

    QTimer* timer_ = nullptr;
    std::unique_ptr<QList<QPointer<QWidget>>> disabledControls_;
    QString savedCaption_;
};
