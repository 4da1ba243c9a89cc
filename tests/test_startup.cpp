// The program's life in this process, through RunTracery and the real event
// loop: the order of start-up and what the end of the run stores.
#include "AppFixture.h"

#include <QCoreApplication>
#include <QEventLoop>
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
