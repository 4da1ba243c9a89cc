// Nets in the view: the net under the pointer told in the status bar, a
// clicked or found net marked over the page, Escape unmarking it.
#include "AppFixture.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QTest>

#include "Q01Component.h"
#include "app/Findbar.h"
#include "app/Startup.h"
#include "drawing/Connectivity.h"

using q01::operator+=;

namespace {

// A two-pin part with a 21 x 21 outline body at (x, y): pin 1 ends at
// (x - 31, y + 10), pin 2 at (x + 51, y + 10).
q01::Bytes TwoPin(const std::string& designation, std::uint16_t x, std::uint16_t y)
{
    q01::Component c;
    c.designation = designation;
    c.anchorX = x, c.anchorY = y;
    c.parts = {{0, 2, 2}};
    q01::ComponentPin left, right;
    left.side = q01::sideLeft, right.side = q01::sideRight;
    left.offsetUnits = right.offsetUnits = 1;
    left.number = "1", right.number = "2";
    left.electricalType = right.electricalType = 6;
    c.pins = {left, right};
    return q01::ComponentRecord(c);
}

// R1 pin 2, R2 pin 1 and R3 pin 1 are net VOUT: a wire across, a T with a
// dot down to R3 and its label, and a slanted stub from R2 pin 1. R2 pin 2
// and R3 pin 2 are a net of no name; R1 pin 1 connects nothing.
q01::Bytes Circuit()
{
    q01::Bytes d = q01::Header(0);
    d += TwoPin("R1", 100, 100);  // pins end at (69,110) and (151,110)
    d += TwoPin("R2", 281, 100);  // (250,110) and (332,110)
    d += TwoPin("R3", 231, 300);  // (200,310) and (282,310)
    d += q01::Line(151, 110, 250, 110, 1);
    d += q01::Line(200, 110, 200, 310, 1);
    d += q01::Junction(200, 110);
    d += q01::Annotation(200, 200, 1, "VOUT");
    d += q01::Line(250, 110, 238, 116, 1);
    d += q01::Line(282, 310, 332, 310, 1);
    d += q01::Line(332, 310, 332, 110, 1);
    return d;
}

// The widget pixels of the page image in `area`, a line a row: '.' the page's
// white, 'o' the mark's orange, '#' anything else.
std::string Pixels(TPageImage& image, const QRect& area)
{
    const QImage shown = image.grab(area).toImage();
    std::string text;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            const QRgb p = shown.pixel(x, y) & 0xFFFFFFu;
            text += p == 0xFFFFFFu ? '.' : p == 0xFF6000u ? 'o' : '#';
        }
        text += '\n';
    }
    return text;
}

class NetViewTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        CreateOtherWindows();  // the lines and dots are drawn with their windows' settings
    }
    void TearDown() override
    {
        MainWindowTest::TearDown();
        DestroyOtherWindows();
    }
};

}  // namespace

TEST_F(NetViewTest, PointingAtAWireOrPinEndTellsItsNetAndAClickMarksTheWholeNetAtEveryZoomUntilEscape)
{
    TForm1& f = Start({Write("a.q01", Circuit())});
    f.show();
    const QImage page = f.Image1->Surface().Image().copy();
    const auto message = [&] { return f.PanelText(TForm1::messagePanel).toStdString(); };

    // A click on the empty page asks for a component, with no box and no mark.
    f.FormMouseMove(600, 600);
    f.Image1Click();
    EXPECT_EQ(message(), "Please click over a bitmap");
    // On a wire, on a pin end, or two pixels beside one (at actual size);
    // the panel's own text comes back beside them.
    std::vector<std::string> told;
    for (const QPoint& at : {QPoint(220, 110), QPoint(220, 112), QPoint(69, 110), QPoint(220, 113), QPoint(200, 250)}) {
        f.FormMouseMove(at.x(), at.y());
        told.push_back(message());
    }
    EXPECT_EQ(told,
              (std::vector<std::string>{"Net VOUT: 3 pins", "Net VOUT: 3 pins", "Net unconnected-(R1-Pad1): 1 pin",
                                        "Please click over a bitmap", "Net VOUT: 3 pins"}));
    EXPECT_EQ(f.ShownNet(), std::nullopt);

    // A click there marks the whole net: a halo around its wires over the
    // white page, a ring around each pin end; the lines and the dot show
    // through. The net of no name (R2 pin 2 to R3 pin 2) is not marked.
    f.Image1Click();
    ASSERT_TRUE(f.ShownNet());
    EXPECT_EQ(f.Connectivity()->Nets()[*f.ShownNet()].Name, "VOUT");
    f.FormMouseMove(600, 600);
    EXPECT_EQ(message(), "Net VOUT: 3 pins");
    // The T with its dot, and R2 pin 1's end with the slanted stub.
    EXPECT_EQ(Pixels(*f.Image1, QRect(193, 103, 15, 15)),
              "...............\n"
              "...............\n"
              "...............\n"
              "...............\n"
              "...............\n"
              "oooooo####ooooo\n"
              "ooooo######oooo\n"
              "###############\n"
              "ooooo######oooo\n"
              "ooooo######oooo\n"
              ".....o####.....\n"
              ".....oo#oo.....\n"
              ".....oo#oo.....\n"
              ".....oo#oo.....\n"
              ".....oo#oo.....\n");
    EXPECT_EQ(Pixels(*f.Image1, QRect(236, 103, 24, 17)),
              "........................\n"
              "........................\n"
              ".........ooooooooooo....\n"
              ".........ooooooooooo....\n"
              ".........oo.......oo....\n"
              "ooooooooooooooooo.oo....\n"
              "ooooooooooooooooo.oo....\n"
              "########################\n"
              "ooooooooooo##oooo.oo....\n"
              "ooooooooo##oooooo.oo....\n"
              ".oooooo##ooooooo..oo....\n"
              "ooooo##ooooooooooooo....\n"
              "ooo##ooooooooooooooo....\n"
              "oooooooooo..............\n"
              "oooooooo................\n"
              "oooooo..................\n"
              "........................\n");
    const std::string unnamedNet = Pixels(*f.Image1, QRect(326, 300, 12, 12));
    EXPECT_EQ(unnamedNet.find('o'), std::string::npos) << unnamedNet;
    // Enlarged, the halo and the ring keep their widths on the screen.
    f.ScrollBox1->ZoomTo(200 * TPageImage::Percent);
    EXPECT_EQ(Pixels(*f.Image1, QRect(2 * 238, 2 * 107 + 1, 36, 22)),
              "...................oooooooooooo.....\n"
              "...................oooooooooooo.....\n"
              "...................oo........oo.....\n"
              "oooooooooooooooooooooooooooo.oo.....\n"
              "oooooooooooooooooooooooooooo.oo.....\n"
              "####################################\n"
              "####################################\n"
              "oooooooooooooooooo####oooooo.oo.....\n"
              "oooooooooooooooooo####oooooo.oo.....\n"
              "........oooooo####oooooooo...oo.....\n"
              "........oooooo####ooooooooooooo.....\n"
              "....oooooo####ooooooooooooooooo.....\n"
              "....oooooo####oooooooo..............\n"
              "oooooo####oooooooo..................\n"
              "oooooo####oooooooo..................\n"
              "oo####oooooooo......................\n"
              "oo####oooooooo......................\n"
              "oooooooooo..........................\n"
              "oooooooooo..........................\n"
              "oooooo..............................\n"
              "oooooo..............................\n"
              "....................................\n");
    // Reduced, the T is still marked two screen pixels wide.
    f.ScrollBox1->ZoomTo(50 * TPageImage::Percent);
    EXPECT_EQ(Pixels(*f.Image1, QRect(96, 53, 10, 7)),
              "oooooooooo\n"
              "ooo###oooo\n"
              "##########\n"
              "ooo###oooo\n"
              "oooo#ooooo\n"
              "..oo#oo...\n"
              "..oo#oo...\n");
    EXPECT_EQ(f.Image1->Surface().Image(), page);  // the page itself is not drawn on

    // Escape unmarks it; no box was shown throughout.
    f.ScrollBox1->ActualSize();
    QTest::keyClick(f.ScrollBox1, Qt::Key_Escape);
    EXPECT_EQ(f.ShownNet(), std::nullopt);
    EXPECT_EQ(message(), "");
    const std::string after = Pixels(*f.Image1, QRect(140, 100, 220, 220));
    EXPECT_EQ(after.find('o'), std::string::npos);
    EXPECT_EQ(dialogs.ModalRuns, 0);
    EXPECT_TRUE(dialogs.AllTexts.isEmpty());
    f.miFileExitClick();
}

TEST_F(NetViewTest, FindGoesOnFromTheMatchingComponentsToTheNetsOfThatNameAndShowsTheNetFound)
{
    TForm1& f = Start({Write("a.q01", Circuit())});
    f.show();
    f.ScrollBox1->ZoomTo(400 * TPageImage::Percent);
    f.MenuAction("miFind")->trigger();
    // "r2": the component R2, then the net named after R2 pin 2 (R2 pin 2
    // alone, connecting nothing, would be no net to find).
    QTest::keyClicks(f.FindBar1->edFind, "r2");
    std::vector<std::string> seen;
    for (int i = 0; i < 3; ++i) {
        f.MenuAction("miFindNext")->trigger();
        seen.push_back(f.PanelText(TForm1::findPanel).toStdString());
        seen.push_back(f.ShownNet() ? "marked" : f.Image1->Highlight() ? "outlined" : "-");
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"1 of 2: R2", "outlined", "2 of 2: Net Net-(R2-Pad2): 2 pins", "marked",
                                              "1 of 2: R2", "outlined"}));
    EXPECT_FALSE(f.Image1->HasNetHighlight());

    // A net found is marked as a clicked one and shown in the middle of the view.
    f.FindBar1->edFind->setText("vout");
    QTest::keyClick(f.FindBar1->edFind, Qt::Key_Return);
    EXPECT_EQ(f.PanelText(TForm1::findPanel), "1 of 1: Net VOUT: 3 pins");
    EXPECT_EQ(f.Image1->Highlight(), std::nullopt);
    ASSERT_TRUE(f.ShownNet());
    EXPECT_EQ(f.Connectivity()->Nets()[*f.ShownNet()].Name, "VOUT");
    QWidget* viewport = f.ScrollBox1->viewport();
    // The net's wires and pin ends span (151, 110)..(250, 310).
    const QRect shown = f.Image1->ShownRect(QRect(QPoint(151, 110), QPoint(250, 310)));
    EXPECT_EQ(f.Image1->mapTo(viewport, shown.center()), QPoint(viewport->width() / 2, viewport->height() / 2));
    EXPECT_EQ(f.Image1->grab(QRect(4 * 200 - 1, 4 * 200, 1, 1)).toImage().pixel(0, 0), qRgb(255, 96, 0));

    // Closing the find bar takes the net found with it.
    QTest::keyClick(f.FindBar1->edFind, Qt::Key_Escape);
    EXPECT_EQ(f.ShownNet(), std::nullopt);
    EXPECT_EQ(f.PanelText(TForm1::findPanel), "");
    f.miFileExitClick();
}
