// The program's life in this process, through RunTracery and the real event
// loop: the order of start-up and what the end of the run stores.
#include "AppFixture.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <csignal>
#include <functional>

#include "Q01Component.h"
#include "app/Help.h"
#include "app/Startup.h"
#include "drawing/Debugbmp.h"
#include "settings/Bitmapwin.h"
#include "settings/Linedatawin.h"

namespace {
q01::Bytes Component(std::uint16_t x, std::uint16_t y, const std::string& name)
{
    q01::Component c;
    c.designation = name;
    c.valueText = "VAL";
    c.packageText = "PKG";
    c.anchorX = x, c.anchorY = y;
    c.parts = {{0, 2, 3}};
    return q01::ComponentRecord(c);
}

// Scripted dialogs that also let a test look around when a message is shown.
class TWatchingDialogs : public TScriptedDialogs {
public:
    std::function<void()> OnMessage;
    void ShowMessage(const QString& text) override
    {
        TScriptedDialogs::ShowMessage(text);
        if (OnMessage) OnMessage();
    }
};
}  // namespace

class StartupTest : public TempSettings {
protected:
    // Runs the program with a command line; `inLoop` runs once the event loop
    // has started, then the main window is closed.
    int Run(const QStringList& arguments, const std::function<void()>& inLoop)
    {
        QTimer::singleShot(0, qApp, [&] {
            inLoop();
            if (Form1) Form1->close();
        });
        QStringList args{QStringLiteral("tracery")};
        args << arguments;
        return RunTracery(args);
    }
};

TEST_F(StartupTest, NamedDrawingLoadsBeforeTheOtherWindowsExistAndThePlacementFollowsTheLoad)
{
    // (The window, fitted to the page, is as wide as the screen's work area:
    // a place further right would not hold it.)
    WriteIni("[Form1]\nLeft=0\nTop=50\n");
    const QString a = Write("a.q01", Cat({q01::Header(0), q01::Record0x40(), q01::Line(100, 100, 200, 100, 1)}));
    TWatchingDialogs watching;
    bool lineWindowDuringLoad = true, visibleDuringLoad = false;
    QPoint placeDuringLoad;
    watching.OnMessage = [&] {
        lineWindowDuringLoad = frmLineData != nullptr;
        visibleDuringLoad = Form1->isVisible();
        placeDuringLoad = Form1->pos();
    };
    bool lineWindowInLoop = false;
    QPoint placeInLoop;
    TColor lineInLoop = clWhite;
    const int status = Run({a}, [&] {
        lineWindowInLoop = frmLineData != nullptr;
        placeInLoop = Form1->pos();
        QCoreApplication::processEvents();  // the first paint with every window in place
        lineInLoop = Form1->Image1->Surface().Pixel(150, 100);
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(watching.Messages, QStringList{"0x40"});
    EXPECT_TRUE(watching.OpenFilters.isEmpty());  // a named drawing: no open dialog
    EXPECT_TRUE(visibleDuringLoad);
    EXPECT_FALSE(lineWindowDuringLoad);
    EXPECT_NE(placeDuringLoad, QPoint(0, 50));
    EXPECT_TRUE(lineWindowInLoop);
    EXPECT_EQ(placeInLoop, QPoint(0, 50));
    EXPECT_EQ(lineInLoop, clBlack);
}

TEST_F(StartupTest, WindowsStillOpenAtTheEndAreNotClosedAndStoreNothing)
{
    const QString a = Write("a.q01", q01::Header(0));
    const int status = Run({a}, [&] {
        Form1->move(40, 50);
        Form1->miBitmapClick();
        Form1->Help2Click();
        QCoreApplication::processEvents();
        frmBitmap->move(300, 310);
        Form1->frmHelp->move(320, 330);
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(QString(IniText()), "[Recent Files]\nFile1=" + a + "\n[Form1]\nLeft=40\nTop=50\n");
}

TEST_F(StartupTest, StopSignalDuringAnInspectionSavesTheTableOfTheEndedOnes)
{
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const QString a = Write("a.q01", Cat({q01::Header(0), Component(100, 200, "U7")}));
    int inspections = 0;
    bool stoppedInside = false;
    dialogs.OnModal = [&](QDialog& d) {
        if (++inspections == 1) {
            d.findChild<QPushButton*>("btnOk")->click();
            return;
        }
        // The second inspection is still open when the signal arrives.
        ::raise(SIGTERM);
        QEventLoop loop;
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        loop.exec();
        stoppedInside = Form1 && !Form1->isVisible();
    };
    const int status = Run({a}, [&] {
        Form1->FormMouseMove(110, 210);
        Form1->Image1Click();
        Form1->Image1Click();
    });
    QDir::setCurrent(old);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(inspections, 2);
    EXPECT_TRUE(stoppedInside);
    EXPECT_EQ(ReadAll(Path("a.csv")),
              "Name,Value,Package,Strange,\"H Flip\",\"V Flip\",Angle,Rows,Columns,Comments\r\n"
              "U7,VAL,PKG,0,,,0,21,31,OK\r\n");
}

TEST_F(StartupTest, ClosingTheWindowOrAStopSignalDuringTheBoxesOfALoadEndsTheRunAsFileExitDoes)
{
    // A drawing whose thousand records each ask for a box.
    q01::Bytes many = Cat({q01::Header(0), q01::Line(100, 100, 200, 100, 1)});
    for (int i = 0; i < 1000; ++i) many = Cat({many, q01::Record0x40()});
    const QString a = Write("a.q01", many), b = Write("b.q01", many);
    for (const bool stopSignal : {false, true}) {
        TWatchingDialogs watching;
        watching.OnMessage = [&] {
            if (watching.Messages.size() != 3) return;
            if (!stopSignal) {
                Form1->close();  // as the window's close box does
                return;
            }
            ::raise(SIGTERM);
            // The box's own event loop hears of it.
            for (int wait = 0; wait < 100 && Form1->isVisible(); ++wait)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        };
        // The run must end without waiting in the event loop; if it waits, it is closed there.
        QObject guard;
        bool waited = false;
        QTimer::singleShot(3000, &guard, [&] {
            waited = true;
            if (Form1) Form1->close();
        });
        EXPECT_EQ(RunTracery({"tracery", stopSignal ? b : a}), 0);
        EXPECT_FALSE(waited) << stopSignal;
        EXPECT_EQ(watching.Messages, QStringList(3, "0x40")) << stopSignal;
    }
    // Each run stored what File ▸ Exit stores: its drawing in the recent
    // files, and the window's place.
    const QString ini = IniText();
    EXPECT_TRUE(ini.startsWith("[Form1]\nLeft=")) << ini.toStdString();
    EXPECT_TRUE(ini.endsWith("\n[Recent Files]\nFile1=" + b + "\nFile2=" + a + "\n")) << ini.toStdString();
}

TEST_F(StartupTest, BoxOfAWindowedRunTakesTheWindowsInputButLetsTheMainWindowBeClosed)
{
    TForm1 f({"tracery"});
    f.show();
    // The window hears when a modal window blocks it.
    struct TBlockWatch : QObject {
        bool blocked = false;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::WindowBlocked) blocked = true;
            return false;
        }
    } watch;
    f.installEventFilter(&watch);
    QString shown;
    bool boxEnabled = false, windowEnabled = true;
    QObject guard;
    QTimer::singleShot(0, &guard, [&] {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(window); box && box->isVisible()) {
                shown = box->text();
                boxEnabled = box->isEnabled();
            }
        windowEnabled = f.isEnabled();
        f.close();
    });
    // A box that goes on waiting is closed, so that the test goes on.
    QTimer::singleShot(5000, &guard, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    TWindowedDialogs windowed;
    windowed.ShowMessage("0x40");
    EXPECT_EQ(shown, "0x40");
    EXPECT_TRUE(boxEnabled);
    EXPECT_FALSE(windowEnabled);
    EXPECT_FALSE(watch.blocked);
    EXPECT_TRUE(f.Closed());
    EXPECT_TRUE(f.isEnabled());
    f.removeEventFilter(&watch);
}
