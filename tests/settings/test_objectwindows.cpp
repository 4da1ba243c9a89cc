// The settings windows of lines, junctions, document boxes and annotations:
// their controls, what they store, and what the drawing of their kind gets
// from them, checked on the pixels of real records.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <functional>
#include <memory>

#include "FreshSettings.h"
#include "Q01Builder.h"
#include "ScriptedDialogs.h"
#include "app/Surface.h"
#include "drawing/Annotate.h"
#include "drawing/Docbox.h"
#include "drawing/Junction.h"
#include "drawing/Linedata.h"
#include "drawing/Objectsettings.h"
#include "settings/Annotatewin.h"
#include "settings/Bitmapwin.h"
#include "settings/Docboxwin.h"
#include "settings/Junctionwin.h"
#include "settings/Linechioce.h"
#include "settings/Linedatawin.h"
#include "settings/Quorvcolour.h"
#include "settings/Quorvfont.h"
#include "settings/Quorvline.h"
#include "settings/Settingsmodel.h"

namespace {

constexpr TColor Green = 0x00FF00;

class ObjectWindows : public TFreshSettings {
protected:
    static void Click(TfraLineChoice* choice) { QTest::mouseClick(choice->rb, Qt::LeftButton, {}, QPoint(6, 8)); }
    static void PickSwatch(TfraColour* palette, int col, int row)
    {
        QTest::mouseClick(palette->dgColours, Qt::LeftButton, {}, TfraColour::CellRect(col, row).center());
    }
};

template <class T>
T Make(const q01::Bytes& bytes)
{
    const std::uint8_t* pos = bytes.data();
    return T(pos, bytes.data() + bytes.size());
}

int PaintedCount(const TSurface& s, TColor colour)
{
    int n = 0;
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x) n += s.Pixel(x, y) == colour;
    return n;
}

int NonWhiteCount(const TSurface& s) { return s.Width() * s.Height() - PaintedCount(s, clWhite); }

// Draws one object on a fresh white surface.
template <class T>
TSurface Drawn(T& object)
{
    TSurface s(240, 120);
    object.Draw(s);
    return s;
}

}  // namespace

TEST_F(ObjectWindows, EachWindowHasItsNameCaptionButtonsAndRegistersForItsKind)
{
    struct TCase {
        std::function<QWidget*()> Create;
        QString Name, Title;
        QSize Size;
        QStringList Buttons;
        std::function<bool()> Registered;
    };
    const TCase cases[] = {
        {[] { return new TfrmLineData; },
         "frmLineData",
         "Line Data Settings",
         {593, 238},
         {"&Load", "&Save", "&Close"},
         [] { return frmLineData && ObjectSettings().LineData == frmLineData; }},
        {[] { return new TfrmJunction; },
         "frmJunction",
         "Junction Settings",
         {260, 215},
         {"&Load", "Sa&ve", "&Close"},
         [] { return frmJunction && ObjectSettings().Junction == frmJunction; }},
        {[] { return new TfrmDocBox; },
         "frmDocBox",
         "Doc Box Settings",
         {708, 239},
         {"&Load", "Sa&ve", "&Close"},
         [] { return frmDocBox && ObjectSettings().DocBox == frmDocBox; }},
        {[] { return new TfrmAnnotate; },
         "frmAnnotate",
         "Annotate settings",
         {241, 236},
         {"&Load", "Sa&ve", "&Close"},
         [] { return frmAnnotate && ObjectSettings().Annotate == frmAnnotate; }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name.toStdString());
        std::unique_ptr<QWidget> window(c.Create());
        EXPECT_EQ(window->objectName(), c.Name);
        EXPECT_EQ(window->windowTitle(), c.Title);
        EXPECT_EQ(window->size(), c.Size);
        QStringList buttons;
        for (const char* name : {"btnLoad", "btnReload", "btnSave", "btnQuit"})
            if (auto* b = window->findChild<QPushButton*>(name, Qt::FindDirectChildrenOnly)) buttons << b->text();
        EXPECT_EQ(buttons, c.Buttons);
        auto* visible = window->findChild<QCheckBox*>("cbVisible");
        ASSERT_NE(visible, nullptr);
        EXPECT_EQ(visible->text(), "Visible");
        EXPECT_TRUE(visible->isChecked());
        EXPECT_TRUE(c.Registered());
        window.reset();
        EXPECT_FALSE(c.Registered());
    }
    EXPECT_EQ(ObjectSettings().LineData, nullptr);
    EXPECT_EQ(ObjectSettings().Junction, nullptr);
    EXPECT_EQ(ObjectSettings().DocBox, nullptr);
    EXPECT_EQ(ObjectSettings().Annotate, nullptr);
}

TEST_F(ObjectWindows, LineRecordDrawsWithItsTypePenAndVanishesWhenLinesAreHidden)
{
    WriteIni("[Lines]\nType 3=0x000000ff,0,1\n");
    TfrmLineData window;
    LineData line = Make<LineData>(q01::Line(10, 20, 200, 20, 3));
    TSurface s = Drawn(line);
    EXPECT_EQ(PaintedCount(s, clRed), 190);
    EXPECT_EQ(s.Pixel(10, 20), clRed);
    EXPECT_EQ(s.Pixel(199, 20), clRed);
    EXPECT_EQ(NonWhiteCount(s), 190);

    QTest::mouseClick(window.cbVisible, Qt::LeftButton);
    EXPECT_FALSE(window.IsVisible());
    EXPECT_EQ(NonWhiteCount(Drawn(line)), 0);
}

TEST_F(ObjectWindows, UncheckedVisibleHidesJunctionsDocBoxesAndAnnotations)
{
    TfrmJunction junctions;
    TfrmDocBox docBoxes;
    TfrmAnnotate annotations;
    Junction junction = Make<Junction>(q01::Junction(100, 50));
    DocBox box = Make<DocBox>(q01::DocBox(40, 30, 140, 90, {"Box"}));
    Annotate note = Make<Annotate>(q01::Annotation(20, 60, 0, "Note"));
    EXPECT_GT(NonWhiteCount(Drawn(junction)), 0);
    EXPECT_GT(NonWhiteCount(Drawn(box)), 0);
    EXPECT_GT(NonWhiteCount(Drawn(note)), 0);
    for (QCheckBox* visible : {junctions.cbVisible, docBoxes.cbVisible, annotations.cbVisible})
        QTest::mouseClick(visible, Qt::LeftButton);
    EXPECT_EQ(NonWhiteCount(Drawn(junction)), 0);
    EXPECT_EQ(NonWhiteCount(Drawn(box)), 0);
    EXPECT_EQ(NonWhiteCount(Drawn(note)), 0);
}

TEST_F(ObjectWindows, LoadRestoresTheSavedLineTypeAfterAnEdit)
{
    WriteIni("[Colours]\nColour[2][0]=0x0000FF00\n[Lines]\nType 3=0x000000ff,2,1\n");
    TfrmLineData window;
    Click(window.fraLine1->lcType3);
    PickSwatch(window.fraLine1->fraColour1, 2, 0);
    Click(window.fraLine1->lcStyle0);
    EXPECT_EQ(window.GetPen(3), (TPen{Green, psSolid, 1, pmCopy}));

    QTest::mouseClick(window.btnQuit, Qt::LeftButton);
    EXPECT_TRUE(window.isHidden());
    EXPECT_EQ(window.GetPen(3).Colour, Green) << "hiding keeps the edit";

    QTest::mouseClick(window.btnLoad, Qt::LeftButton);
    EXPECT_EQ(window.GetPen(3), (TPen{clRed, psDot, 1, pmCopy}));
}

TEST_F(ObjectWindows, LoadRepaintsTheDrawingAndLineLoadShowsTheSelectedTypeInItsControls)
{
    TfrmLineData lines;
    TfrmDocBox docBoxes;
    TfrmAnnotate annotations;
    TfrmBitmap bitmaps;
    int repaints = 0;
    const QMetaObject::Connection counting =
        QObject::connect(&SettingsModel(), &TSettingsModel::Changed, [&] { ++repaints; });
    for (QPushButton* load : {lines.btnLoad, docBoxes.btnReload, annotations.btnLoad, bitmaps.btnLoad}) {
        repaints = 0;
        QTest::mouseClick(load, Qt::LeftButton);
        EXPECT_EQ(repaints, 1) << load->window()->objectName().toStdString();
    }

    // Type 2 edited to width 4, then loaded back as stored: red, dotted, 1.
    TfraLine& frame = *lines.fraLine1;
    Click(frame.lcType2);
    frame.udWidth->setValue(4);
    WriteIni("[Lines]\nType 2=0x000000ff,2,1\n");
    repaints = 0;
    QTest::mouseClick(lines.btnLoad, Qt::LeftButton);
    EXPECT_EQ(repaints, 1);
    EXPECT_EQ(lines.GetPen(2), (TPen{clRed, psDot, 1, pmCopy}));
    EXPECT_EQ(frame.udWidth->value(), 1);
    EXPECT_EQ(frame.efWidth->text(), "1");
    EXPECT_EQ(frame.fraColour1->Colour(), clRed);
    EXPECT_TRUE(frame.lcStyle2->Checked());
    EXPECT_FALSE(frame.lcStyle0->Checked());
    EXPECT_TRUE(frame.lcStyle2->rb->isEnabled());
    EXPECT_EQ(frame.lcStyle2->LineColour(), clRed);
    QObject::disconnect(counting);
}

TEST_F(ObjectWindows, DocBoxSaveOverwritesTheLineWindowsTypesAndOutlinesWithType2)
{
    WriteIni("[Colours]\nColour[2][0]=0x0000FF00\n");
    TfrmLineData lines;
    TfrmDocBox docBoxes;
    QTest::mouseClick(lines.btnSave, Qt::LeftButton);

    Click(docBoxes.fraLine1->lcType2);
    PickSwatch(docBoxes.fraLine1->fraColour1, 2, 0);
    docBoxes.fraLine1->udWidth->setValue(5);
    EXPECT_EQ(docBoxes.GetPen(2), (TPen{Green, psSolid, 2, pmCopy})) << "the width field changes no pen here";

    DocBox box = Make<DocBox>(q01::DocBox(40, 30, 140, 90, {}));
    EXPECT_EQ(PaintedCount(Drawn(box), Green), NonWhiteCount(Drawn(box)));
    EXPECT_EQ(Drawn(box).Pixel(40, 60), Green);
    EXPECT_EQ(lines.GetPen(2).Colour, clBlack) << "unsaved edits stay in their window";

    QTest::mouseClick(docBoxes.btnSave, Qt::LeftButton);
    const QByteArray text = IniText();
    EXPECT_TRUE(
        text.contains("[Lines]\n"
                      "Type 1=0x00000000,0,1\n"
                      "Type 2=0x0000ff00,0,2\n"
                      "Type 3=0x00000000,0,3\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("[Font]\nSize 1="));

    QTest::mouseClick(lines.btnLoad, Qt::LeftButton);
    EXPECT_EQ(lines.GetPen(2), docBoxes.GetPen(2));
}

TEST_F(ObjectWindows, DocBoxAndAnnotationFontsComeFromTheirSizeChoices)
{
    TScriptedDialogs dialogs;
    TfrmAnnotate annotations;
    TfrmDocBox docBoxes;
    const TFont courier = MakeFont("Courier New", 9, clRed, true);
    dialogs.Fonts.push_back(courier);
    annotations.fraFont1->rbDblClick(annotations.fraFont1->rb4);

    TFont font = MakeFont("Arial", 30, clBlue);
    annotations.ApplyFont(font, 4);
    EXPECT_EQ(font, courier);
    annotations.ApplyFont(font, 0);
    EXPECT_EQ(font, *annotations.fraFont1->GetSizeFont(0));
    EXPECT_EQ(font.Face, "Arial Narrow");
    TFont kept = MakeFont("Arial", 30, clBlue);
    annotations.ApplyFont(kept, 7);
    docBoxes.ApplyFont(kept, 5);
    EXPECT_EQ(kept, MakeFont("Arial", 30, clBlue));
    docBoxes.ApplyFont(kept, 4);
    EXPECT_EQ(kept, courier);
}

TEST_F(ObjectWindows, JunctionWithoutAStoredColourIsBlackWithDiameter3)
{
    // A first start: the dot shows on the white page.
    auto window = std::make_unique<TfrmJunction>();
    EXPECT_EQ(window->GetDiameter(), 3);
    EXPECT_EQ(window->efDiameter->text(), "3");
    EXPECT_EQ(window->GetColour(), clBlack);
    EXPECT_EQ(window->fraColour1->SelectedCol(), 0);
    EXPECT_EQ(window->Label1->text(), "Diameter");
    Junction junction = Make<Junction>(q01::Junction(100, 50));
    const TSurface s = Drawn(junction);
    EXPECT_EQ(s.Pixel(100, 50), clBlack);
    EXPECT_EQ(PaintedCount(s, clBlack), 6 * 6 - 4);  // the dot of a 6-pixel box, corners left out
    EXPECT_EQ(NonWhiteCount(s), 6 * 6 - 4);

    // A stored diameter without a colour: black as well; a stored colour is
    // read as always.
    window.reset();
    WriteIni("[Colours]\nColour[0][0]=0x000000FF\n[Junction Data]\nDiameter=5\n");
    window = std::make_unique<TfrmJunction>();
    EXPECT_EQ(window->GetColour(), clBlack);
    WriteIni("[Junction Data]\nColour=0x00FF0000\n");
    QTest::mouseClick(window->btnLoad, Qt::LeftButton);
    EXPECT_EQ(window->GetColour(), clBlue);
}

TEST_F(ObjectWindows, JunctionDrawsWithTheStoredDiameterAndColourAndSavesThemAfterThePalette)
{
    WriteIni("[Junction Data]\nDiameter=4\nColour=0x000000FF\n[Colours]\n");
    TfrmJunction window;
    EXPECT_EQ(window.GetColour(), clRed);
    Junction junction = Make<Junction>(q01::Junction(100, 50));
    TSurface s = Drawn(junction);
    EXPECT_EQ(s.Pixel(101, 51), clRed);
    EXPECT_EQ(PaintedCount(s, clRed), NonWhiteCount(s));
    QRect bounds;
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x)
            if (s.Pixel(x, y) == clRed) bounds |= QRect(x, y, 1, 1);
    EXPECT_EQ(bounds, QRect(QPoint(97, 47), QPoint(104, 54)));

    QTest::keyClick(window.efDiameter, Qt::Key_End);
    QTest::keyClick(window.efDiameter, Qt::Key_Backspace);
    QTest::keyClicks(window.efDiameter, "0");
    EXPECT_EQ(window.GetDiameter(), 0);
    EXPECT_EQ(NonWhiteCount(Drawn(junction)), 0);

    QTest::mouseClick(window.btnSave, Qt::LeftButton);
    QByteArray expected = "[Junction Data]\nDiameter=0\nColour=255\n[Colours]\n";
    for (int row = 0; row < 5; ++row)
        for (int col = 0; col < 7; ++col)
            expected += QString::asprintf("Colour[%d][%d]=0x00000000\n", col, row).toLatin1();
    EXPECT_EQ(IniText(), expected);

    WriteIni("[Junction Data]\nDiameter=500\nColour=-2147483640\n");
    QTest::mouseClick(window.btnLoad, Qt::LeftButton);
    EXPECT_EQ(window.GetDiameter(), 100);
    EXPECT_EQ(window.GetColour(), clWindowText);
}

TEST_F(ObjectWindows, PlacementIsRestoredOnShowAndStoredOnClose)
{
    WriteIni(
        "[frmLineData]\nLeft=40\nTop=30\n[frmJunction]\nLeft=41\nTop=31\n"
        "[frmDocBox]\nLeft=42\nTop=32\n[frmAnnotate]\nLeft=43\nTop=33\n");
    TfrmLineData lines;
    TfrmJunction junctions;
    TfrmDocBox docBoxes;
    TfrmAnnotate annotations;
    int k = 0;
    for (QWidget* window : std::initializer_list<QWidget*>{&lines, &junctions, &docBoxes, &annotations}) {
        window->show();
        EXPECT_EQ(window->pos(), QPoint(40 + k, 30 + k)) << window->objectName().toStdString();
        window->move(100 + k, 50);
        window->close();
        ++k;
    }
    const QByteArray text = IniText();
    EXPECT_TRUE(text.contains("[frmLineData]\nLeft=100\nTop=50\n"));
    EXPECT_TRUE(text.contains("[frmAnnotate]\nLeft=103\nTop=50\n"));
}
