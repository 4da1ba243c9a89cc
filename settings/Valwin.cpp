#include "settings/Valwin.h"

#include <algorithm>

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include "settings/Inifile.h"
#include "ui/Dialogs.h"

bool TValWin::bInit = true;
bool TValWin::bDesktop = false;
int TValWin::iDesktopWidth = 0;
int TValWin::iDesktopHeight = 0;
QList<QRect> TValWin::WorkAreas;
const QString TValWin::MainWindowName = QStringLiteral("Form1");

namespace {
const QString kPleaseWait = QStringLiteral(" (Please Wait)");
}

TValWin::TValWin(QWidget* owner) : QObject(owner), owner_(owner)
{
    setObjectName(QStringLiteral("ValWin_") + (owner ? owner->objectName() : QString()));
    if (bInit) MeasureDesktop();
    iniFileName_ = SettingsFileName();
}

TValWin::~TValWin() = default;

void TValWin::MeasureDesktop()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;  // tried again by the next component
    const QRect desktop = screen->geometry();
    bDesktop = desktop.isValid();
    iDesktopWidth = desktop.width();
    iDesktopHeight = desktop.height();
    bInit = false;
}

void TValWin::SetTimeout(int milliseconds)
{
    timeout_ = milliseconds;
    if (timer_) timer_->setInterval(milliseconds);
}

void TValWin::open() { open(iniFileName_); }

void TValWin::open(const QString& fileName)
{
    iniFileName_ = fileName;
    TIniFile ini(fileName);
    open(&ini);
}

void TValWin::open(TIniFile* ini)
{
    if (delay_) DelayStep();
    if (ini) Restore(*ini);
}

void TValWin::close() { close(iniFileName_); }

void TValWin::close(const QString& fileName)
{
    TIniFile ini(fileName);
    close(&ini);
}

void TValWin::close(TIniFile* ini)
{
    if (ini) Store(*ini);
}

void TValWin::Restore(TIniFile& ini)
{
    if (!owner_) return;
    const QString section = owner_->objectName();
    if (restoreSize_) {
        const int width = ini.ReadInteger(section, QStringLiteral("Width"), owner_->width());
        const int height = ini.ReadInteger(section, QStringLiteral("Height"), owner_->height());
        owner_->resize(width, height);
    }
    // A window with no stored position (a first start) goes beside the main
    // window, not over its menu.
    if (owner_->objectName() != MainWindowName && !ini.ValueExists(section, QStringLiteral("Left")) &&
        !ini.ValueExists(section, QStringLiteral("Top"))) {
        owner_->move(BesideMainWindow());
        return;
    }
    // A window's corners are ints: a position beyond the largest window size
    // would overflow them (and every width computed from them).
    int left = std::clamp(ini.ReadInteger(section, QStringLiteral("Left"), 0), -QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    int top = std::clamp(ini.ReadInteger(section, QStringLiteral("Top"), 0), -QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (onScreen_ && bDesktop) {
        // The window's outer size, frame included, is what must fit.
        const QSize size = owner_->frameGeometry().size();
        if (left < 0)
            left = 0;
        else if (left + size.width() >= iDesktopWidth)
            left = iDesktopWidth - size.width();
        if (top < 0)
            top = 0;
        else if (top + size.height() >= iDesktopHeight)
            top = iDesktopHeight - size.height();
    }
    owner_->move(OnAScreen(QPoint(left, top)));
}

QList<QRect> TValWin::ScreenAreas()
{
    if (!WorkAreas.isEmpty()) return WorkAreas;
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens()) areas << screen->availableGeometry();
    return areas;
}

namespace {

// The area nearest to a rectangle (by the distance of its middle).
QRect NearestArea(const QList<QRect>& areas, const QRect& rect)
{
    const QPoint middle = rect.center();
    QRect nearest = areas.front();
    qint64 best = -1;
    for (const QRect& area : areas) {
        const qint64 dx = std::max({qint64(area.left()) - middle.x(), qint64(0), qint64(middle.x()) - area.right()});
        const qint64 dy = std::max({qint64(area.top()) - middle.y(), qint64(0), qint64(middle.y()) - area.bottom()});
        if (best < 0 || dx + dy < best) {
            best = dx + dy;
            nearest = area;
        }
    }
    return nearest;
}

// The position nearest to `at` at which a window of that size lies inside
// the area (its top-left corner inside, when it is larger).
QPoint KeptInside(QPoint at, QSize size, const QRect& area)
{
    const int left = std::max(std::min(at.x(), area.left() + area.width() - size.width()), area.left());
    const int top = std::max(std::min(at.y(), area.top() + area.height() - size.height()), area.top());
    return QPoint(left, top);
}

}  // namespace

QPoint TValWin::OnAScreen(QPoint at) const
{
    const QList<QRect> areas = ScreenAreas();
    const QRect window(at, owner_->frameGeometry().size());
    if (areas.isEmpty() ||
        std::any_of(areas.begin(), areas.end(), [&](const QRect& a) { return a.intersects(window); }))
        return at;
    return KeptInside(at, window.size(), NearestArea(areas, window));
}

QPoint TValWin::BesideMainWindow() const
{
    const QList<QRect> areas = ScreenAreas();
    if (areas.isEmpty()) return QPoint(0, 0);
    const QSize size = owner_->frameGeometry().size();
    QWidget* main = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget != owner_ && widget->objectName() == MainWindowName) main = widget;
    if (!main) return KeptInside(areas.front().topLeft(), size, areas.front());

    // To its right; where that leaves the screen, to its left; where that
    // does too, at the screen's right edge.
    const QRect frame = main->frameGeometry();
    const QRect area = NearestArea(areas, frame);
    int left = frame.left() + frame.width();
    if (left + size.width() > area.left() + area.width()) {
        left = frame.left() - size.width();
        if (left < area.left()) left = area.left() + area.width() - size.width();
    }
    return KeptInside(QPoint(left, frame.top()), size, area);
}

void TValWin::Store(TIniFile& ini)
{
    if (!owner_) return;
    const QString section = owner_->objectName();
    const QPoint position = owner_->pos();
    ini.WriteInteger(section, QStringLiteral("Left"), position.x());
    ini.WriteInteger(section, QStringLiteral("Top"), position.y());
    if (restoreSize_) {
        ini.WriteInteger(section, QStringLiteral("Width"), owner_->width());
        ini.WriteInteger(section, QStringLiteral("Height"), owner_->height());
    }
}

void TValWin::DelayStep()
{
    if (!owner_) return;
    if (disabledControls_) {
        // A period is already running: it starts again, and still ends with
        // the controls it disabled enabled and the first caption back.
        timer_->start();
        owner_->setEnabled(false);
        return;
    }
    disabledControls_ = std::make_unique<QList<QPointer<QWidget>>>();
    if (owner_->isEnabled()) {
        owner_->setEnabled(false);
        disabledControls_->append(owner_);
    }
    if (!disabledControls_->isEmpty()) {
        if (!timer_) {
            timer_ = new QTimer(this);
            timer_->setSingleShot(true);
            timer_->setInterval(timeout_);
            connect(timer_, &QTimer::timeout, this, &TValWin::EnableControls);
        }
        timer_->start();
        savedCaption_ = owner_->windowTitle();
        owner_->setWindowTitle(savedCaption_ + kPleaseWait);
    } else {
        disabledControls_.reset();
    }
    owner_->setEnabled(false);
}

void TValWin::EnableControls()
{
    if (timer_) timer_->stop();
    if (!disabledControls_) return;
    for (const QPointer<QWidget>& control : *disabledControls_)
        if (control) control->setEnabled(true);
    disabledControls_.reset();
    if (owner_) {
        owner_->setEnabled(true);
        owner_->setWindowTitle(savedCaption_);
    }
}

void TValWin::Install()
{
    if (installed_ || !owner_) return;
    owner_->installEventFilter(this);
    installed_ = true;
}

bool TValWin::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == owner_) {
        // A window the system shows again after minimising sends a
        // spontaneous show event; only the program's own showing restores.
        if (event->type() == QEvent::Show && !event->spontaneous())
            Guarded([this] { open(); });
        else if (event->type() == QEvent::Close)
            Guarded([this] { close(); });
    }
    return QObject::eventFilter(watched, event);
}
