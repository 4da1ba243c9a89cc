// Window placement: restoring and storing a window's position through the
// settings file, keeping a restored window on the desktop, the delay period.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>
#include <memory>

#include "base/Errors.h"
#include "settings/Inifile.h"
#include "settings/Valwin.h"

namespace {

// A fresh settings file in a temporary folder, and a 1920 x 1080 desktop.
class ValWinTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        path_ = dir_.filePath(QStringLiteral("tracery.ini"));
        savedName_ = SettingsFileName();
        SetSettingsFileName(path_);
        saved_ = {TValWin::bInit, TValWin::bDesktop, TValWin::iDesktopWidth, TValWin::iDesktopHeight};
        TValWin::bInit = false;
        TValWin::bDesktop = true;
        TValWin::iDesktopWidth = 1920;
        TValWin::iDesktopHeight = 1080;
        TValWin::WorkAreas = {QRect(0, 0, 1920, 1080)};
    }

    void TearDown() override
    {
        TValWin::bInit = saved_.init;
        TValWin::bDesktop = saved_.desktop;
        TValWin::iDesktopWidth = saved_.width;
        TValWin::iDesktopHeight = saved_.height;
        TValWin::WorkAreas.clear();
        SetSettingsFileName(savedName_);
    }

    void Put(const QByteArray& bytes)
    {
        QFile f(path_);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QByteArray Get() const
    {
        QFile f(path_);
        if (!f.open(QIODevice::ReadOnly)) return QByteArray("<missing>");
        return f.readAll();
    }

    // A top-level window of the given name and size, not shown.
    static std::unique_ptr<QWidget> Window(const QString& name, int width, int height)
    {
        auto w = std::make_unique<QWidget>();
        w->setObjectName(name);
        w->resize(width, height);
        w->move(55, 66);
        return w;
    }

    struct Statics {
        bool init, desktop;
        int width, height;
    } saved_{};
    QTemporaryDir dir_;
    QString path_;
    QString savedName_;
};

}  // namespace

TEST_F(ValWinTest, NewComponentHasItsDefaultsAndName)
{
    auto w = Window("frmHelp", 100, 100);
    TValWin v(w.get());
    EXPECT_EQ(v.objectName(), "ValWin_frmHelp");
    EXPECT_FALSE(v.RestoreSize());
    EXPECT_FALSE(v.Delay());
    EXPECT_TRUE(v.OnScreen());
    EXPECT_EQ(v.Timeout(), 100);
    EXPECT_EQ(v.IniFileName(), path_);
    EXPECT_EQ(v.property("Timeout").toInt(), 100);
    EXPECT_TRUE(v.setProperty("OnScreen", false));
    EXPECT_FALSE(v.OnScreen());
}

TEST_F(ValWinTest, FirstConstructionMeasuresThePrimaryScreenOnce)
{
    TValWin::bInit = true;
    TValWin::bDesktop = false;
    auto w = Window("Form1", 100, 100);
    TValWin first(w.get());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_FALSE(TValWin::bInit);
    EXPECT_TRUE(TValWin::bDesktop);
    EXPECT_EQ(TValWin::iDesktopWidth, screen.width());
    EXPECT_EQ(TValWin::iDesktopHeight, screen.height());

    TValWin::iDesktopWidth = 1234;
    TValWin second(w.get());
    EXPECT_EQ(TValWin::iDesktopWidth, 1234);
}

TEST_F(ValWinTest, FirstRunShowsAtTopLeftAndCloseWritesLeftAndTop)
{
    auto w = Window("Form1", 300, 200);
    TValWin v(w.get());
    v.SetOnScreen(false);
    v.open();
    EXPECT_EQ(w->pos(), QPoint(0, 0));
    EXPECT_EQ(w->size(), QSize(300, 200));
    EXPECT_EQ(Get(), "<missing>");
    w->move(692, 227);
    v.close();
    EXPECT_EQ(Get(), "[Form1]\nLeft=692\nTop=227\n");
}

TEST_F(ValWinTest, StoredPositionOffEveryScreenIsBroughtBackOntoTheNearestOne)
{
    auto w = Window("frmLineData", 300, 200);
    TValWin v(w.get());
    v.SetOnScreen(false);
    Put("[frmLineData]\nLeft=2500\nTop=-40\n");
    v.open();
    EXPECT_EQ(w->pos(), QPoint(1620, 0));
    Put("[frmLineData]\nLeft=1900\nTop=-40\n");  // partly on the screen: left where it is
    v.open();
    EXPECT_EQ(w->pos(), QPoint(1900, -40));

    // The main window as well; with a second screen to the right, a window
    // on it stays, and one beyond it comes back onto it.
    auto main = Window("Form1", 300, 200);
    TValWin m(main.get());
    m.SetOnScreen(false);
    Put("[Form1]\nLeft=-5000\nTop=5000\n[frmLineData]\nLeft=2500\nTop=-40\n");
    m.open();
    EXPECT_EQ(main->pos(), QPoint(0, 880));
    TValWin::WorkAreas = {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    v.open();
    EXPECT_EQ(w->pos(), QPoint(2500, -40));
    Put("[frmLineData]\nLeft=9000\nTop=100\n");
    v.open();
    EXPECT_EQ(w->pos(), QPoint(2900, 100));
}

TEST_F(ValWinTest, WindowWithoutAStoredPositionOpensBesideTheMainWindowOnItsScreen)
{
    auto main = Window("Form1", 400, 300);
    auto w = Window("frmLineData", 300, 200);
    TValWin v(w.get());
    v.SetOnScreen(false);
    const struct {
        QRect main;
        QPoint expected;
    } cases[] = {
        {{100, 50, 400, 300}, {500, 50}},    // to its right
        {{1400, 50, 400, 300}, {1100, 50}},  // no room to the right: to its left
        {{0, 0, 1920, 1000}, {1620, 0}},     // room on neither side: at the screen's right edge
        {{100, 950, 400, 300}, {500, 880}},  // inside the screen
    };
    for (const auto& c : cases) {
        main->setGeometry(c.main);
        v.open();
        EXPECT_EQ(w->pos(), c.expected) << c.main.x() << "," << c.main.y();
    }
    EXPECT_EQ(Get(), "<missing>");

    // A stored position is used as before.
    Put("[frmLineData]\nTop=12\n");
    v.open();
    EXPECT_EQ(w->pos(), QPoint(0, 12));
}

TEST_F(ValWinTest, OnScreenMovesAPreviewBackInsideTheDesktop)
{
    auto w = Window("frmPreview", 400, 300);
    TValWin v(w.get());
    ASSERT_TRUE(v.OnScreen());

    const struct {
        const char* left;
        const char* top;
        QPoint expected;
    } cases[] = {
        {"1920", "100", {1520, 100}},  // past the right edge
        {"-5", "-1", {0, 0}},          // negative becomes 0
        {"1520", "780", {1520, 780}},  // exactly at the edges: stays
        {"1519", "779", {1519, 779}},  // one pixel inside: stays
        {"1521", "781", {1520, 780}},  // one pixel over
        {"0", "0", {0, 0}},
    };
    for (const auto& c : cases) {
        Put(QByteArray("[frmPreview]\nLeft=") + c.left + "\nTop=" + c.top + "\n");
        v.open();
        EXPECT_EQ(w->pos(), c.expected) << c.left << "," << c.top;
    }
}

TEST_F(ValWinTest, OnScreenGivesAWindowWiderThanTheDesktopANegativeLeft)
{
    Put("[frmPreview]\nLeft=10\nTop=10\n");
    auto w = Window("frmPreview", 2000, 300);
    TValWin v(w.get());
    v.open();
    EXPECT_EQ(w->pos(), QPoint(-80, 10));
}

TEST_F(ValWinTest, OnScreenHasNoEffectWithoutADesktopSize)
{
    TValWin::bDesktop = false;
    Put("[frmPreview]\nLeft=1900\nTop=-5\n");
    auto w = Window("frmPreview", 400, 300);
    TValWin v(w.get());
    v.open();
    EXPECT_EQ(w->pos(), QPoint(1900, -5));
}

TEST_F(ValWinTest, IntegerTextsOfThePosition)
{
    auto w = Window("Form1", 100, 100);
    TValWin v(w.get());
    v.SetOnScreen(false);
    Put("[Form1]\nLeft=0x10\nTop=$20\n");
    v.open();
    EXPECT_EQ(w->pos(), QPoint(16, 32));
    Put("[Form1]\nLeft=12px\nTop=\n");
    v.open();
    EXPECT_EQ(w->pos(), QPoint(0, 0));
}

TEST_F(ValWinTest, HandEditedSectionInOtherCaseIsUsed)
{
    Put("[FORM1]\nleft=111\ntop=222\n");
    auto w = Window("Form1", 100, 100);
    TValWin v(w.get());
    v.SetOnScreen(false);
    v.open();
    EXPECT_EQ(w->pos(), QPoint(111, 222));
    w->move(5, 6);
    v.close();
    EXPECT_EQ(Get(), "[FORM1]\nleft=5\ntop=6\n");
}

TEST_F(ValWinTest, ShownAgainAfterHidingReturnsToTheStoredPosition)
{
    auto w = Window("frmJunction", 200, 150);
    TValWin v(w.get());
    v.SetOnScreen(false);
    w->move(300, 400);
    v.close();
    w->move(10, 20);  // moved, then hidden by its close button: nothing stored
    v.open();
    EXPECT_EQ(w->pos(), QPoint(300, 400));
}

TEST_F(ValWinTest, RestoreSizeStoresAndRestoresWidthAndHeight)
{
    auto w = Window("frmBitmap", 320, 240);
    TValWin v(w.get());
    v.SetOnScreen(false);
    v.SetRestoreSize(true);
    w->move(7, 8);
    v.close();
    EXPECT_EQ(Get(), "[frmBitmap]\nLeft=7\nTop=8\nWidth=320\nHeight=240\n");

    Put("[frmBitmap]\nLeft=1\nTop=2\nWidth=500\n");
    v.open();
    EXPECT_EQ(w->pos(), QPoint(1, 2));
    EXPECT_EQ(w->size(), QSize(500, 240));  // missing Height keeps the current one
}

TEST_F(ValWinTest, OnScreenUsesTheRestoredSize)
{
    Put("[frmPreview]\nLeft=1800\nTop=0\nWidth=600\nHeight=100\n");
    auto w = Window("frmPreview", 100, 100);
    TValWin v(w.get());
    v.SetRestoreSize(true);
    v.open();
    EXPECT_EQ(w->pos(), QPoint(1320, 0));
}

TEST_F(ValWinTest, FileNameVariantsAndTheRememberedName)
{
    const QString other = dir_.filePath("other.ini");
    {
        QFile f(other);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Form1]\nLeft=9\nTop=9\n");
    }
    auto w = Window("Form1", 100, 100);
    TValWin v(w.get());
    v.SetOnScreen(false);

    w->move(1, 2);
    v.close(dir_.filePath("third.ini"));  // not remembered
    EXPECT_EQ(v.IniFileName(), path_);

    v.open(other);  // remembered
    EXPECT_EQ(w->pos(), QPoint(9, 9));
    EXPECT_EQ(v.IniFileName(), other);
    w->move(3, 4);
    v.close();
    EXPECT_EQ(Get(), "<missing>");

    v.setIniFileName(dir_.filePath("third.ini"));
    v.open();
    EXPECT_EQ(w->pos(), QPoint(1, 2));

    v.close(static_cast<TIniFile*>(nullptr));  // no object: nothing
    v.open(static_cast<TIniFile*>(nullptr));
    EXPECT_EQ(w->pos(), QPoint(1, 2));
}

TEST_F(ValWinTest, RefusedWriteReportsTheSettingsFile)
{
    Put("");
    auto w = Window("Form1", 100, 100);
    TValWin v(w.get());
    v.setIniFileName(path_ + "/below-a-file.ini");
    try {
        v.close();
        FAIL() << "no error";
    } catch (const EFileError& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + path_ + "/below-a-file.ini");
    }
}

TEST_F(ValWinTest, DelayShowsThePleaseWaitCaptionUntilTheTimerEnds)
{
    auto w = Window("frmDocBox", 100, 100);
    w->setWindowTitle("DocBox");
    TValWin v(w.get());
    v.SetOnScreen(false);
    v.SetDelay(true);
    v.open();
    EXPECT_FALSE(w->isEnabled());
    EXPECT_EQ(w->windowTitle(), "DocBox (Please Wait)");
    EXPECT_TRUE(v.DelayRunning());

    // A second showing during the period does not stack the caption.
    v.open();
    EXPECT_EQ(w->windowTitle(), "DocBox (Please Wait)");
    EXPECT_FALSE(w->isEnabled());

    v.EnableControls();
    EXPECT_TRUE(w->isEnabled());
    EXPECT_EQ(w->windowTitle(), "DocBox");
    EXPECT_FALSE(v.DelayRunning());

    v.EnableControls();  // a late timer event changes nothing
    EXPECT_EQ(w->windowTitle(), "DocBox");
}

TEST_F(ValWinTest, DelayWithTimeoutZeroEndsAtTheNextEventRound)
{
    auto w = Window("frmDocBox", 100, 100);
    w->setWindowTitle("T");
    TValWin v(w.get());
    v.SetDelay(true);
    v.SetTimeout(0);
    v.open(static_cast<TIniFile*>(nullptr));  // the delay runs without a file too
    EXPECT_EQ(w->windowTitle(), "T (Please Wait)");
    for (int round = 0; round < 100 && v.DelayRunning(); ++round) QCoreApplication::processEvents();
    EXPECT_TRUE(w->isEnabled());
    EXPECT_EQ(w->windowTitle(), "T");
}

TEST_F(ValWinTest, DelayOnADisabledWindowLeavesItDisabledWithItsCaption)
{
    auto w = Window("frmDocBox", 100, 100);
    w->setWindowTitle("T");
    w->setEnabled(false);
    TValWin v(w.get());
    v.SetDelay(true);
    v.open();
    EXPECT_FALSE(v.DelayRunning());
    EXPECT_FALSE(w->isEnabled());
    EXPECT_EQ(w->windowTitle(), "T");
}

TEST_F(ValWinTest, InstallRestoresOnShowAndStoresOnClose)
{
    Put("[frmHelp]\nLeft=40\nTop=50\n");
    auto w = Window("frmHelp", 100, 100);
    TValWin v(w.get());
    v.SetOnScreen(false);
    v.Install();
    w->show();
    EXPECT_EQ(w->pos(), QPoint(40, 50));
    w->move(70, 80);
    w->close();
    EXPECT_EQ(Get(), "[frmHelp]\nLeft=70\nTop=80\n");
}
