// Repainting a dense sheet: the paint that keeps component bodies and pin
// labels from one paint to the next gives exactly the pixels of the paint done
// step by step, whatever the settings; a settings change repaints once, at
// once; scrolling and pointer moves never repaint.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <memory>

#include "FreshSettings.h"
#include "Q01Builder.h"
#include "Q01Component.h"
#include "Q01DenseSheet.h"
#include "ScriptedDialogs.h"
#include "app/Startup.h"
#include "app/Surface.h"
#include "app/Tracerywin.h"
#include "drawing/Bitmap.h"
#include "drawing/Header.h"
#include "settings/Bitmapwin.h"
#include "settings/Junctionwin.h"
#include "settings/Linechioce.h"
#include "settings/Linedatawin.h"
#include "settings/Quorvline.h"

using q01::operator+=;

namespace {

// Line types of every style, one of them wide.
const QByteArray lineSettings =
    "[Lines]\n"
    "Type 1=0x00000000,0,1\n"
    "Type 2=0x00800000,1,1\n"
    "Type 3=0x00008000,2,1\n"
    "Type 4=0x000000ff,0,3\n"
    "Type 5=0x00808000,4,1\n";

class DenseRepaint : public TFreshSettings {
protected:
    void SetUp() override
    {
        TFreshSettings::SetUp();
        WriteIni(lineSettings);
        form = std::make_unique<TForm1>(QStringList{QStringLiteral("tracery")});
        form->BatchMode = true;
        CreateOtherWindows();
    }
    void TearDown() override
    {
        form.reset();
        DestroyOtherWindows();
        TFreshSettings::TearDown();
    }

    void Load(const q01::Bytes& bytes)
    {
        const QString path = dir.filePath(QStringLiteral("dense.q01"));
        q01::WriteFile(path.toStdString(), bytes);
        form->LoadDrawing(path);
        ASSERT_FALSE(form->Objects.empty());
    }

    enum class Mode { Cached, StepByStep };
    // One paint of every object on a fresh grey surface.
    TSurface Paint(Mode mode, int width, int height)
    {
        TSurface canvas(width, height);
        canvas.StepByStep = mode == Mode::StepByStep;
        canvas.Clear(0x808080);
        form->PaintObjects(canvas);
        return canvas;
    }

    // A cached paint, the step-by-step paint (which makes every component's
    // body raster) and a cached paint again give the same pixels; on the
    // page's own size and on a smaller surface that cuts components at its
    // edges.
    void ExpectSamePaints(const char* what)
    {
        SCOPED_TRACE(what);
        for (const QSize size : {GetPageSize(3), QSize(1001, 633)}) {
            const TSurface before = Paint(Mode::Cached, size.width(), size.height());
            const TSurface reference = Paint(Mode::StepByStep, size.width(), size.height());
            const TSurface after = Paint(Mode::Cached, size.width(), size.height());
            for (const TSurface* cached : {&before, &after})
                ASSERT_TRUE(cached->Image() == reference.Image())
                    << "first differing pixel: " << FirstDifference(*cached, reference).toStdString();
        }
    }

    static QString FirstDifference(const TSurface& a, const TSurface& b)
    {
        for (int y = 0; y < a.Height(); ++y)
            for (int x = 0; x < a.Width(); ++x)
                if (a.Pixel(x, y) != b.Pixel(x, y))
                    return QStringLiteral("(%1, %2): %3 instead of %4")
                        .arg(x)
                        .arg(y)
                        .arg(a.Pixel(x, y), 6, 16, QLatin1Char('0'))
                        .arg(b.Pixel(x, y), 6, 16, QLatin1Char('0'));
        return QStringLiteral("none");
    }

    // The dense sheet on an A2 page, then headers drawn with the pens left by
    // a junction (clear), a wide line and a dashed line, and more objects.
    static q01::Bytes Sheet()
    {
        q01::Bytes bytes = q01::DenseSheet(q01::DenseA2());
        bytes += q01::Junction(300, 300);
        bytes += q01::Header(2);
        bytes += q01::Line(10, 700, 900, 700, 4);
        bytes += q01::Header(2);
        bytes += q01::Line(10, 720, 900, 720, 2);
        bytes += q01::Header(2);
        bytes += q01::DenseSheet(q01::DenseSheetLayout{2, 2230, 1570, 40, 12, 100, 20, 20, 2, 3, 10, 7});
        return bytes;
    }

    TScriptedDialogs dialogs;
    std::unique_ptr<TForm1> form;
};

TFont PinFont(int size, TColor colour, bool bold = false)
{
    TFont font;
    font.Face = QStringLiteral("Small Fonts");
    font.Size = size;
    font.Colour = colour;
    font.Bold = bold;
    return font;
}

}  // namespace

TEST_F(DenseRepaint, CachedPaintOfADenseSheetIsThePaintDoneStepByStep)
{
    Load(Sheet());
    ExpectSamePaints("settings as created");

    frmBitmap->dlgPinNum = PinFont(9, 0x0000C0, true);
    frmBitmap->dlgPinStr = PinFont(7, clWindowText);
    ExpectSamePaints("other pin fonts");

    frmBitmap->dlgPinNum = PinFont(9, 0x00C000, true);
    ExpectSamePaints("pin numbers of the same glyphs in another colour");

    frmBitmap->cbDesig->setChecked(false);
    frmBitmap->cbPinNum->setChecked(false);
    ExpectSamePaints("no designations, no pin numbers");

    frmBitmap->cbPinNum->setChecked(true);
    frmBitmap->dlgPinNum = PinFont(8, clWhite);
    ExpectSamePaints("pin numbers in white, the labels' transparent colour");

    frmBitmap->dlgPinStr = PinFont(8, Bitmap::bodyBackground);
    ExpectSamePaints("pin names in the body's transparent colour");

    form->Drawing.Page().Background = 0x00FFFF;
    ExpectSamePaints("a yellow page");
}

TEST_F(DenseRepaint, CachedPaintFollowsADrawingOnABodyImage)
{
    Load(Sheet());
    (void)Paint(Mode::Cached, 2230, 1570);  // keeps the bodies as they are now

    for (auto& object : form->Objects) {
        if (auto* component = dynamic_cast<Bitmap*>(object.get())) {
            TSurface& body = component->GetBodyImage();
            body.Brush = TBrush{0x00C000, bsSolid};
            body.FillRect(0, 0, body.Width() / 2, 30);
        }
    }
    ExpectSamePaints("bodies drawn on after the first paint");
}

TEST_F(DenseRepaint, AChangeThatSetsOtherControlsRepaintsThePageOnceAndAtOnce)
{
    Load(q01::DenseSheet(q01::DenseA2()));
    int before = form->PaintCount();

    // Type 4 shows its width (3) and its colour (red) in the frame's
    // controls, each of which would ask for a repaint on its own.
    QTest::mouseClick(frmLineData->fraLine1->lcType4->rb, Qt::LeftButton, {}, QPoint(6, 8));
    EXPECT_EQ(frmLineData->fraLine1->udWidth->value(), 3);
    EXPECT_EQ(form->PaintCount(), before + 1);

    // Junction settings loaded from the file: a new diameter, then the load's
    // own repaint.
    QFile ini(IniPath());
    ASSERT_TRUE(ini.open(QIODevice::Append));
    ini.write("[Junction Data]\nDiameter=9\n");
    ini.close();
    before = form->PaintCount();
    QTest::mouseClick(frmJunction->btnLoad, Qt::LeftButton);
    EXPECT_EQ(frmJunction->GetDiameter(), 9);
    EXPECT_EQ(form->PaintCount(), before + 1);

    QCoreApplication::processEvents();
    EXPECT_EQ(form->PaintCount(), before + 1) << "nothing left to paint afterwards";
}

TEST_F(DenseRepaint, ScrollingThePageShowsItWithoutPaintingTheObjects)
{
    Load(q01::DenseSheet(q01::DenseSheetLayout{4, 4460, 3150, 50, 20, 300, 50, 20, 2, 3, 10, 1}));  // on A0
    form->resize(800, 600);
    form->show();
    QCoreApplication::processEvents();
    const int before = form->PaintCount();

    int pageShows = 0;
    struct PaintCounter : QObject {
        int* Count;
        explicit PaintCounter(int* count) : Count(count) {}
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Paint) ++*Count;
            return false;
        }
    } counter(&pageShows);
    form->Image1->installEventFilter(&counter);

    for (int step = 1; step <= 3; ++step) {
        form->ScrollBox1->horizontalScrollBar()->setValue(700 * step);
        form->ScrollBox1->verticalScrollBar()->setValue(500 * step);
        QCoreApplication::processEvents();
    }
    form->Image1->removeEventFilter(&counter);
    EXPECT_GT(pageShows, 0);
    EXPECT_EQ(form->PaintCount(), before);
}

TEST_F(DenseRepaint, PointerTrackingFollowsComponentsReplacedInTheObjectList)
{
    auto component = [](int x, int y, const char* name) {
        q01::Component c;
        c.designation = name;
        c.anchorX = std::uint16_t(x);
        c.anchorY = std::uint16_t(y);
        c.parts = {{0, 2, 2}};
        return q01::ComponentRecord(c);
    };
    q01::Bytes bytes = q01::Header(0);
    bytes += component(100, 100, "A");
    bytes += q01::Line(0, 0, 10, 10, 1);
    Load(bytes);

    form->FormMouseMove(110, 110);
    ASSERT_NE(form->CurrentBitmap, nullptr);
    EXPECT_EQ(form->PanelText(1), QStringLiteral("A"));

    // The same number of objects, another component in the first one's place.
    const q01::Bytes other = component(300, 300, "B");
    const std::uint8_t* pos = other.data();
    form->Objects[1] = std::make_unique<Bitmap>(pos, other.data() + other.size());
    form->FormMouseMove(110, 110);
    EXPECT_EQ(form->CurrentBitmap, nullptr);
    EXPECT_EQ(form->PanelText(1), QString());
    form->FormMouseMove(310, 310);
    EXPECT_EQ(form->PanelText(1), QStringLiteral("B"));

    // Another drawing of as many objects, its component elsewhere in the list.
    q01::Bytes next = q01::Header(0);
    next += q01::Line(0, 0, 10, 10, 1);
    next += component(500, 100, "C");
    Load(next);
    form->FormMouseMove(110, 110);
    EXPECT_EQ(form->CurrentBitmap, nullptr);
    form->FormMouseMove(510, 110);
    EXPECT_EQ(form->PanelText(1), QStringLiteral("C"));
}

TEST_F(DenseRepaint, EveryPaintStartsFromTheSameDrawingStateWhateverWasPaintedBefore)
{
    // A drawing that ends with a junction leaves the clear pen; the header of
    // the next paint sets no pen style, and must still draw its ticks.
    q01::Bytes endsWithJunction = q01::Header(0);
    endsWithJunction += q01::Line(100, 100, 400, 100, 4);
    endsWithJunction += q01::Junction(200, 100);
    q01::Bytes other = q01::DenseSheet(q01::DenseSheetLayout{0, 1110, 720, 20, 8, 200, 40, 10, 2, 3, 10, 3});
    other += q01::Line(10, 10, 30, 30, 2);  // ends with a dashed pen

    Load(endsWithJunction);
    const QImage first = form->Image1->Surface().Image().copy();
    EXPECT_EQ(form->Image1->Surface().Pixel(276, 10), 0xF0CAA6u);  // a zone tick
    form->RepaintPage();
    EXPECT_TRUE(form->Image1->Surface().Image() == first) << "the second paint";
    Load(other);
    Load(endsWithJunction);
    EXPECT_TRUE(form->Image1->Surface().Image() == first) << "the same drawing after another";
}
