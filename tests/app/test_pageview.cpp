// The view of the page: zoom by the menu's steps, the wheel and fitting it
// to the window, the page pixel under the pointer at every zoom, centring,
// the reduced page shown below actual size, panning, finding components
// and the zone under the pointer.
#include "AppFixture.h"

#include <QAction>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include "Q01Component.h"
#include "app/Findbar.h"
#include "app/Preview.h"
#include "app/Quorvprint.h"
#include "app/Startup.h"
#include "render/Areareduction.h"

namespace {

QByteArray Bytes(const QImage& image)
{
    return QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
}

class ViewTest : public MainWindowTest {
protected:
    // Shows the window with a view (the scroll box without scroll bars) of
    // exactly `view` pixels.
    void ShowWithView(TForm1& f, QSize view)
    {
        f.show();
        for (int attempt = 0; attempt < 3 && f.ScrollBox1->maximumViewportSize() != view; ++attempt) {
            f.resize(f.size() + view - f.ScrollBox1->maximumViewportSize());
            QCoreApplication::processEvents();
        }
        ASSERT_EQ(f.ScrollBox1->maximumViewportSize(), view);
    }
    QPoint ImageInView(TForm1& f) { return f.Image1->mapTo(f.ScrollBox1->viewport(), QPoint(0, 0)); }
};

constexpr int Percent = TPageImage::Percent;
}  // namespace

TEST(FitZoom, LargestZoomAtWhichThePageOrItsWidthFits)
{
    const QSize a4(1110, 720), a0(4460, 3150);
    // 800 x 600: A4 fits its width at 72.07 % (800 / 1110), its height would allow 83.33 %.
    EXPECT_EQ(TPageImage::FitZoom(a4, {800, 600}, 16, false), 7207);
    EXPECT_EQ(TPageImage::FitZoom(a4, {800, 600}, 16, true), 7207);
    // 1600 x 600: A0 fits at 19.04 % (600 / 3150); its width alone at 35.87 %,
    // where it is too high and needs the scroll bar: 35.51 % (1584 / 4460).
    EXPECT_EQ(TPageImage::FitZoom(a0, {1600, 600}, 16, false), 1904);
    EXPECT_EQ(TPageImage::FitZoom(a0, {1600, 600}, 16, true), 3551);
    // A0 in 800 x 600: 17.93 %, below the old 25 % floor; the limits hold.
    EXPECT_EQ(TPageImage::FitZoom(a0, {800, 600}, 16, false), 1793);
    EXPECT_EQ(TPageImage::FitZoom(a0, {100, 60}, 16, false), TPageImage::MinZoom);
    EXPECT_EQ(TPageImage::FitZoom({10, 10}, {8000, 6000}, 16, true), TPageImage::MaxZoom);
    EXPECT_EQ(TPageImage::FitZoom({0, 0}, {800, 600}, 16, false), TPageImage::MaxZoom);
}

TEST_F(ViewTest, FitPageShowsTheWholePageCentredAndFitWidthItsWholeWidth)
{
    TForm1& f = Start({Write("a.q01", q01::Header(4))});  // A0: 4460 x 3150
    ShowWithView(f, {1000, 500});
    QScrollBar* h = f.ScrollBox1->horizontalScrollBar();
    QScrollBar* v = f.ScrollBox1->verticalScrollBar();

    f.MenuAction("miFitPage")->trigger();
    // 500 / 3150: 15.87 %, the page 708 x 500, in the middle across.
    EXPECT_EQ(f.Image1->Zoom(), 1587);
    EXPECT_EQ(f.Image1->size(), QSize(708, 500));
    QCoreApplication::processEvents();
    EXPECT_FALSE(h->isVisible());
    EXPECT_FALSE(v->isVisible());
    // Centred as the scroll box centres: half the view less half the page
    // (1000 / 2 - 707 / 2), less the page's hidden first column.
    EXPECT_EQ(ImageInView(f), QPoint(146, 0));

    // Zoom steps go on from the fitted zoom.
    f.MenuAction("miZoomIn")->trigger();
    EXPECT_EQ(f.Image1->Zoom(), 20 * Percent);
    f.MenuAction("miFitPage")->trigger();
    f.MenuAction("miZoomOut")->trigger();
    EXPECT_EQ(f.Image1->Zoom(), 15 * Percent);

    f.MenuAction("miFitWidth")->trigger();
    // The page is higher than the view at its width, so it fits beside the vertical scroll bar.
    const int bar = v->sizeHint().width();
    EXPECT_EQ(f.Image1->Zoom(), (1000 - bar) * 10000 / 4460);
    QCoreApplication::processEvents();
    EXPECT_FALSE(h->isVisible());
    EXPECT_TRUE(v->isVisible());
    EXPECT_LE(f.Image1->width() - 1, f.ScrollBox1->viewport()->width());

    // A4 at 50 %: 555 x 360, in the middle both ways.
    f.LoadDrawing(Write("b.q01", q01::Header(0)));
    ShowWithView(f, {1000, 500});  // loading fits the window to the page
    f.ScrollBox1->ZoomTo(50 * Percent);
    QCoreApplication::processEvents();
    EXPECT_EQ(ImageInView(f), QPoint(222, 70));  // (1000 / 2 - 554 / 2 - 1, 500 / 2 - 360 / 2)
    f.MenuAction("miFitPage")->trigger();
    EXPECT_EQ(f.Image1->Zoom(), 6944);  // 500 / 720
    f.miFileExitClick();
}

TEST_F(ViewTest, PointerOverTheCentredPageReportsThePagePixelUnderIt)
{
    // U1 covers (100, 200)..(121, 231).
    TForm1& f = Start({Write("a.q01", Cat({q01::Header(0), q01::SmallComponent(100, 200, "U1")}))});
    ShowWithView(f, {1000, 500});
    f.ScrollBox1->ZoomTo(50 * Percent);
    QCoreApplication::processEvents();
    QWidget* viewport = f.ScrollBox1->viewport();
    const QPoint origin = ImageInView(f);  // (222, 70)
    auto moveTo = [&](QPoint inView) {
        QTest::mouseMove(f.windowHandle(), viewport->mapTo(&f, inView));
        QCoreApplication::processEvents();
    };
    // Page pixel (121, 231) shows at image pixel (60, 115); (122, 232) at (61, 116).
    moveTo(origin + QPoint(60, 115));
    EXPECT_EQ(f.PanelText(1), "U1");
    moveTo(origin + QPoint(61, 116));
    EXPECT_EQ(f.PanelText(1), "");
    f.miFileExitClick();
}

TEST_F(ViewTest, ReducedPageIsMadeOncePerChangeAndScrollingOnlyCopiesIt)
{
    TForm1& f = Start({Write("a.q01", Cat({q01::Header(4), q01::Line(10, 30, 4000, 3000, 1)}))});
    ShowWithView(f, {1000, 400});
    f.ScrollBox1->ZoomTo(25 * Percent);
    QCoreApplication::processEvents();
    const int made = f.Image1->ReductionCount();
    QWidget* viewport = f.ScrollBox1->viewport();
    viewport->repaint();
    const QImage shown = f.Image1->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(Bytes(shown),
              Bytes(ReduceByArea(f.Image1->Surface().Image(), QSize(1115, 788), {2500, 10000}, {2500, 10000})));

    QScrollBar* h = f.ScrollBox1->horizontalScrollBar();
    QScrollBar* v = f.ScrollBox1->verticalScrollBar();
    for (int step = 0; step < 5; ++step) {
        h->setValue(h->value() + 97);
        v->setValue(v->value() + 61);
        viewport->repaint();
    }
    EXPECT_EQ(f.Image1->ReductionCount(), made);
    f.RepaintPage();
    viewport->repaint();
    EXPECT_EQ(f.Image1->ReductionCount(), made + 1);
    f.ScrollBox1->ZoomTo(33 * Percent);
    viewport->repaint();
    viewport->repaint();
    EXPECT_EQ(f.Image1->ReductionCount(), made + 2);
    f.miFileExitClick();
}

// ------------------------------------------------- zoom steps, wheel, pointer

using ZoomTest = MainWindowTest;

TEST_F(ZoomTest, PointerOverTheSamePagePixelHitsTheSameComponentAtEveryZoom)
{
    // U1 covers (100, 200)..(121, 231); U2 starts right of it.
    TForm1& f = Start({Write(
        "a.q01", Cat({q01::Header(0), q01::SmallComponent(100, 200, "U1"), q01::SmallComponent(122, 200, "U2")}))});
    for (int percent : {50, 100, 400}) {
        const int zoom = percent * TPageImage::Percent;
        f.ScrollBox1->ZoomTo(zoom);
        ASSERT_EQ(f.Image1->Zoom(), zoom);
        const qreal scale = percent / 100.0;
        for (const auto& [pageX, name] : {std::pair{121, "U1"}, std::pair{122, "U2"}}) {
            // The first and the last screen position inside that page pixel.
            for (qreal inside : {0.0, 0.999}) {
                const QPointF at((pageX + inside) * scale, (231 + inside) * scale);
                QMouseEvent move(QEvent::MouseMove, at, f.Image1->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                                 Qt::NoModifier);
                QCoreApplication::sendEvent(f.Image1, &move);
                EXPECT_EQ(f.PanelText(1), name) << zoom << "% at " << at.x();
            }
        }
    }
}

TEST_F(ZoomTest, ZoomScalesTheShownPageAndLeavesTheSurfaceAndExportsAlone)
{
    const QString b = Write("b.q01", q01::Header(0));
    TForm1& f = Start({Write("a.q01", q01::Header(0))});
    const QImage before = f.Image1->Surface().Image().copy();
    f.ScrollBox1->ZoomTo(400 * TPageImage::Percent);
    f.RepaintPage();
    EXPECT_EQ(f.Image1->Surface().Image().size(), QSize(1110, 720));
    EXPECT_EQ(Bytes(f.Image1->Surface().Image()), Bytes(before));
    EXPECT_EQ(f.Image1->size(), QSize(4440, 2880));
    EXPECT_EQ(f.Image1->parentWidget()->size(), QSize(4439, 2880));  // the page image sits at x = -1

    // Each page pixel shows as a 4 x 4 square: the blue frame at (5, 5), white inside at (500, 300).
    const QImage shown = f.Image1->grab(QRect(0, 0, 2404, 1204)).toImage();
    EXPECT_EQ(shown.pixel(20, 20), qRgb(0, 0, 255));
    EXPECT_EQ(shown.pixel(23, 23), qRgb(0, 0, 255));
    EXPECT_EQ(shown.pixel(2003, 1203), qRgb(255, 255, 255));

    // A drawing written as a picture while zoomed is still one pixel per page pixel.
    f.Outputs.Png = true;
    f.LoadDrawing(b);
    EXPECT_EQ(QImage(Path("b.png")).size(), QSize(1110, 720));
    EXPECT_EQ(f.Image1->size(), QSize(4440, 2880));  // the zoom stays for the next drawing
}

TEST_F(ZoomTest, MenuStepsStopAtTheLimitsAndActualSizeReturnsToOneToOne)
{
    TForm1& f = Start({Write("a.q01", q01::Header(0))});
    auto trigger = [&](const char* name, int times) {
        for (int i = 0; i < times; ++i) f.MenuAction(name)->trigger();
        return f.Image1->Zoom() / TPageImage::Percent;
    };
    EXPECT_EQ(trigger("miZoomIn", 1), 125);
    EXPECT_EQ(trigger("miZoomIn", 20), 800);
    EXPECT_EQ(trigger("miZoomOut", 1), 600);
    EXPECT_EQ(trigger("miActualSize", 1), 100);
    EXPECT_EQ(trigger("miZoomOut", 1), 75);
    EXPECT_EQ(trigger("miZoomOut", 5), 20);
    EXPECT_EQ(trigger("miZoomOut", 20), 5);
    f.ScrollBox1->ZoomTo(1000 * TPageImage::Percent);
    EXPECT_EQ(f.Image1->Zoom(), TPageImage::MaxZoom);
    f.ScrollBox1->ZoomTo(1);
    EXPECT_EQ(f.Image1->Zoom(), TPageImage::MinZoom);
    EXPECT_EQ(f.Image1->size(), QSize(56, 36));  // 1110 x 720 at 5 %, rounded up
    // From a zoom between the steps, the next step either way.
    f.ScrollBox1->ZoomTo(2466);
    EXPECT_EQ(trigger("miZoomIn", 1), 25);
    f.ScrollBox1->ZoomTo(2466);
    EXPECT_EQ(trigger("miZoomOut", 1), 20);
}

TEST_F(ZoomTest, ControlWheelZoomsByNotchesAndThePlainWheelDoesNot)
{
    TForm1& f = Start({Write("a.q01", q01::Header(0))});
    QWidget* viewport = f.ScrollBox1->viewport();
    auto wheel = [&](int delta, Qt::KeyboardModifiers modifiers) {
        QWheelEvent event(QPointF(10, 10), viewport->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(viewport, &event);
        return f.Image1->Zoom() / TPageImage::Percent;
    };
    EXPECT_EQ(wheel(120, Qt::ControlModifier), 125);
    EXPECT_EQ(wheel(120, Qt::NoModifier), 125);
    EXPECT_EQ(wheel(60, Qt::ControlModifier), 125);  // half a notch waits for the other half
    EXPECT_EQ(wheel(60, Qt::ControlModifier), 150);
    EXPECT_EQ(wheel(-240, Qt::ControlModifier), 100);
}

TEST_F(ZoomTest, ZoomingKeepsThePagePixelUnderThePointerInPlace)
{
    TForm1& f = Start({Write("a.q01", q01::Header(0))});
    f.resize(600, 400);
    f.show();
    QCoreApplication::processEvents();  // lays the window out
    QWidget* viewport = f.ScrollBox1->viewport();
    const QPoint pointer(200, 150);
    auto underPointer = [&] { return f.Image1->PagePoint(f.Image1->mapFrom(viewport, QPointF(pointer))); };
    const QPoint page = underPointer();
    for (int percent : {400, 800, 125, 100}) {
        const int zoom = percent * TPageImage::Percent;
        f.ScrollBox1->ZoomTo(zoom, pointer);
        EXPECT_EQ(underPointer(), page) << zoom;
    }
    f.miFileExitClick();
}

// With the other windows, whose pictures a zoom leaves alone.
class ZoomWindowsTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        CreateOtherWindows();
    }
    void TearDown() override
    {
        MainWindowTest::TearDown();
        DestroyOtherWindows();
        delete frmPreview;
    }
};

TEST_F(ZoomWindowsTest, ZoomChangesNeitherPreviewNorPrintImage)
{
    q01::Component part;
    part.designation = "U1";
    part.valueText = "VAL";
    part.packageText = "PKG";
    part.anchorX = 500, part.anchorY = 300;
    part.parts = {{0, 2, 3}};
    TForm1& f =
        Start({Write("a.q01", Cat({q01::Header(0), q01::Line(10, 30, 700, 400, 1), q01::ComponentRecord(part)}))});
    f.miPreviewClick();
    const QImage preview = frmPreview->Picture().Image();
    f.PaintPrintImage();
    const QImage print = frmQuorvPrint->Canvas().Image();
    f.ScrollBox1->ZoomTo(400 * TPageImage::Percent);
    EXPECT_EQ(f.Image1->Zoom(), 400 * TPageImage::Percent);
    f.miPreviewClick();
    EXPECT_EQ(frmPreview->Picture().Image(), preview);
    f.PaintPrintImage();
    EXPECT_EQ(frmQuorvPrint->Canvas().Image(), print);
    EXPECT_EQ(f.Image1->Surface().Width(), 1110);
}

// ------------------------------------------------------------------ panning

TEST_F(ViewTest, MiddleDragAndTheKeysMoveThePage)
{
    TForm1& f = Start({Write("a.q01", q01::Header(4))});
    ShowWithView(f, {1000, 400});
    QScrollBar* h = f.ScrollBox1->horizontalScrollBar();
    QScrollBar* v = f.ScrollBox1->verticalScrollBar();
    h->setValue(1000);
    v->setValue(1000);
    QWindow* window = f.windowHandle();
    const QPoint at = f.ScrollBox1->viewport()->mapTo(&f, QPoint(500, 200));
    QTest::mousePress(window, Qt::MiddleButton, Qt::NoModifier, at);
    QTest::mouseMove(window, at + QPoint(-50, 30));
    QTest::mouseMove(window, at + QPoint(-80, 70));
    QTest::mouseRelease(window, Qt::MiddleButton, Qt::NoModifier, at + QPoint(-80, 70));
    QCoreApplication::processEvents();
    EXPECT_EQ(h->value(), 1080);
    EXPECT_EQ(v->value(), 930);
    EXPECT_TRUE(dialogs.AllTexts.isEmpty());  // no click reached the inspector

    f.MenuAction("miPageEnd")->trigger();
    EXPECT_EQ(QPoint(h->value(), v->value()), QPoint(h->maximum(), v->maximum()));
    f.MenuAction("miPageStart")->trigger();
    EXPECT_EQ(QPoint(h->value(), v->value()), QPoint(0, 0));
    QTest::keyClick(f.ScrollBox1, Qt::Key_PageDown);
    EXPECT_GT(v->value(), 0);
    QTest::keyClick(f.ScrollBox1, Qt::Key_Right);
    EXPECT_GT(h->value(), 0);
    EXPECT_EQ(f.MenuAction("miFitPage")->shortcut(), QKeySequence(Qt::Key_Home));
    EXPECT_EQ(f.MenuAction("miPageStart")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Home));
    f.miFileExitClick();
}

namespace {
q01::Bytes Part(std::uint16_t x, std::uint16_t y, const std::string& name, const std::string& value,
                const std::string& package)
{
    q01::Component c;
    c.designation = name;
    c.valueText = value;
    c.packageText = package;
    c.anchorX = x, c.anchorY = y;
    c.parts = {{0, 2, 3}};
    return q01::ComponentRecord(c);
}
}  // namespace

TEST_F(ViewTest, FindGoesThroughMatchesInDesignationOrderRoundAndSaysWhenNoneMatches)
{
    // "u7" is in four designations or values (not R1's "SOT23-u"), in this file order.
    TForm1& f =
        Start({Write("a.q01", Cat({q01::Header(4), Part(2200, 1500, "U777", "LM358", "SO8"),
                                   Part(200, 300, "U7", "NE555", "DIP8"), Part(400, 300, "R1", "10k", "SOT23-u"),
                                   Part(600, 300, "C3", "4U7", "0805"), Part(800, 300, "U77", "TL072", "so8")}))});
    ShowWithView(f, {1000, 400});
    const QImage page = f.Image1->Surface().Image().copy();
    EXPECT_EQ(f.MenuAction("miFind")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
    EXPECT_EQ(f.MenuAction("miFindNext")->shortcut(), QKeySequence(Qt::Key_F3));
    EXPECT_EQ(f.MenuAction("miFindPrevious")->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F3));
    QStringList menus;
    for (QAction* menu : f.menuBar()->actions()) menus << menu->text();
    EXPECT_EQ(menus.mid(0, 3), (QStringList{"&File", "&Edit", "&View"}));

    f.MenuAction("miFind")->trigger();
    EXPECT_TRUE(f.FindBar1->isVisible());
    QTest::keyClicks(f.FindBar1->edFind, "u7");
    QStringList seen;
    for (int i = 0; i < 5; ++i) {
        f.MenuAction("miFindNext")->trigger();
        seen << f.PanelText(TForm1::findPanel);
    }
    f.MenuAction("miFindPrevious")->trigger();
    seen << f.PanelText(TForm1::findPanel);
    EXPECT_EQ(seen,
              (QStringList{"1 of 4: C3", "2 of 4: U7", "3 of 4: U77", "4 of 4: U777", "1 of 4: C3", "4 of 4: U777"}));

    // The component found is outlined in the middle of the view at every
    // zoom; the page itself is not drawn on.
    QWidget* viewport = f.ScrollBox1->viewport();
    const QRect u777(QPoint(2200, 1500), QPoint(2221, 1531));
    EXPECT_EQ(f.Image1->Highlight(), u777);
    for (int zoom : {100 * Percent, 25 * Percent}) {
        f.ScrollBox1->ZoomTo(zoom);
        f.MenuAction("miFindNext")->trigger();
        f.MenuAction("miFindPrevious")->trigger();
        ASSERT_EQ(f.PanelText(TForm1::findPanel), "4 of 4: U777");
        const QRect shown = f.Image1->ShownRect(u777);
        EXPECT_EQ(f.Image1->mapTo(viewport, shown.center()), QPoint(viewport->width() / 2, viewport->height() / 2))
            << zoom;
        const QImage view = f.Image1->grab().toImage();
        EXPECT_EQ(view.pixel(shown.left() - 4, shown.center().y()), qRgb(255, 96, 0)) << zoom;
        EXPECT_EQ(view.pixel(shown.center().x(), shown.bottom() + 6), qRgb(255, 96, 0)) << zoom;
        EXPECT_NE(view.pixel(shown.left() - 7, shown.center().y()), qRgb(255, 96, 0)) << zoom;
    }
    EXPECT_EQ(Bytes(f.Image1->Surface().Image()), Bytes(page));

    // Matching ignores case and looks at packages too.
    QTest::keyClick(f.FindBar1->edFind, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(f.FindBar1->edFind, "So8");
    QTest::keyClick(f.FindBar1->edFind, Qt::Key_Return);
    EXPECT_EQ(f.PanelText(TForm1::findPanel), "1 of 2: U77");
    QTest::keyClick(f.FindBar1->edFind, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(f.PanelText(TForm1::findPanel), "2 of 2: U777");

    f.FindBar1->edFind->setText("xyz");
    f.MenuAction("miFindNext")->trigger();
    EXPECT_EQ(f.PanelText(TForm1::findPanel), "No component or net matches 'xyz'");
    EXPECT_EQ(f.Image1->Highlight(), std::nullopt);
    EXPECT_TRUE(dialogs.AllTexts.isEmpty());  // no message box

    QTest::keyClick(f.FindBar1->edFind, Qt::Key_Escape);
    EXPECT_FALSE(f.FindBar1->isVisible());
    EXPECT_EQ(f.PanelText(TForm1::findPanel), "");
    f.miFileExitClick();
}

TEST_F(ViewTest, ZoneOfThePointerFollowsTheSheetTicksBesideTheTwelvePanels)
{
    TForm1& f = Start({Write("a.q01", Cat({q01::Header(0), q01::SmallComponent(276, 180, "U1")}))});
    auto zone = [&](int x, int y) {
        f.FormMouseMove(x, y);
        return f.PanelText(TForm1::zonePanel);
    };
    // A4: the zones change every 276 pixels across and 180 down.
    EXPECT_EQ(zone(275, 179), "A1");
    EXPECT_EQ(zone(276, 180), "B2");
    QStringList panels;
    for (int i = 0; i < 12; ++i) panels << f.PanelText(i);
    EXPECT_EQ(panels,
              (QStringList{"Name", "U1", "Value", "", "Package", "", "Angle", "0", "H Flip", "no", "V Flip", "no"}));
    EXPECT_EQ(zone(1109, 719), "D4");
    // A0: every 1114 across and 786 down.
    f.LoadDrawing(Write("b.q01", q01::Header(4)));
    EXPECT_EQ(zone(1113, 785), "A1");
    EXPECT_EQ(zone(1114, 786), "B2");
    EXPECT_EQ(zone(3342, 2358), "D4");
    EXPECT_EQ(zone(3341, 2357), "C3");
}
