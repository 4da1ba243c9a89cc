// The line style chooser: the sample picture of one choice, choices acting as
// one radio group, the five line types in the settings file, and what clicks
// on types, styles, the width and the palette do to the pens.

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <vector>

#include "FreshSettings.h"
#include "app/Surface.h"
#include "app/Tracerywin.h"
#include "settings/Linechioce.h"
#include "settings/Quorvcolour.h"
#include "settings/Quorvline.h"
#include "settings/Settingsmodel.h"

namespace {

constexpr TColor Green = 0x00FF00;

class LineChooser : public TFreshSettings {
protected:
    // Clicks a choice's radio button on its indicator.
    static void Click(TfraLineChoice* choice) { QTest::mouseClick(choice->rb, Qt::LeftButton, {}, QPoint(6, 8)); }
    static void PickSwatch(TfraLine& frame, int col, int row)
    {
        QTest::mouseClick(frame.fraColour1->dgColours, Qt::LeftButton, {}, TfraColour::CellRect(col, row).center());
    }
    static std::vector<TfraLineChoice*> Styles(TfraLine& f)
    {
        return {f.lcStyle0, f.lcStyle1, f.lcStyle2, f.lcStyle3, f.lcStyle4, f.lcStyle5};
    }
    static std::vector<bool> StylesEnabled(TfraLine& f)
    {
        std::vector<bool> enabled;
        for (TfraLineChoice* choice : Styles(f)) enabled.push_back(choice->Enabled());
        return enabled;
    }
};

TPen Pen(TColor colour, int style, int width) { return TPen{colour, style, width, pmCopy}; }

}  // namespace

TEST_F(LineChooser, SampleIsAWhiteBoxWithBlackBorderAndThePenLineFrom9To39)
{
    TfraLineChoice choice;
    choice.SetLineColour(clRed);
    const TSurface& s = choice.Sample();
    ASSERT_EQ(s.Width(), 49);
    ASSERT_EQ(s.Height(), 17);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 49; ++x) {
            TColor expected = clWhite;
            if (x == 0 || y == 0 || x == 48 || y == 16)
                expected = clBlack;
            else if (y == 9 && x >= 9 && x <= 39)
                expected = clRed;
            ASSERT_EQ(s.Pixel(x, y), expected) << x << "," << y;
        }
    EXPECT_EQ(choice.im->pixmap().toImage().convertToFormat(QImage::Format_RGB32), s.Image());

    choice.SetLineWidth(3);
    EXPECT_EQ(choice.Sample().Pixel(20, 8), clRed);
    EXPECT_EQ(choice.Sample().Pixel(20, 10), clRed);
    choice.SetLineWidth(-4);
    EXPECT_EQ(choice.LineWidth(), 3) << "a negative width is not taken";
    choice.SetLineStyle(psClear);
    EXPECT_EQ(choice.Sample().Pixel(20, 9), clWhite);
    choice.SetLineStyle(psDashDotDot + 40);
    EXPECT_EQ(choice.Sample().Pixel(20, 9), clRed) << "an unknown style draws solid";
}

TEST_F(LineChooser, ChoicesOfOneParentActAsOneRadioGroup)
{
    QWidget group, other;
    TfraLineChoice a(&group), b(&group), c(&other);
    std::vector<TfraLineChoice*> clicked;
    for (TfraLineChoice* choice : {&a, &b, &c}) choice->OnClick = [&](TfraLineChoice* s) { clicked.push_back(s); };

    c.SetChecked(true);
    Click(&a);
    EXPECT_TRUE(a.Checked());
    Click(&b);
    EXPECT_FALSE(a.Checked());
    EXPECT_TRUE(b.Checked());
    EXPECT_TRUE(c.Checked()) << "another parent is another group";
    Click(&b);
    EXPECT_TRUE(b.Checked()) << "a click never unchecks";
    a.SetChecked(true);
    EXPECT_FALSE(b.Checked());
    a.SetChecked(false);
    EXPECT_EQ(clicked, (std::vector<TfraLineChoice*>{&c, &a, &b, &a}));

    a.SetEnabled(false);
    EXPECT_FALSE(a.rb->isEnabled());
    EXPECT_TRUE(a.im->isEnabled()) << "the picture is not greyed";
}

TEST_F(LineChooser, FirstRunGivesBlackSolidTypesOfWidthsOneToFive)
{
    TfraLine frame;
    frame.LoadSettings();
    for (int t = 1; t <= 5; ++t) EXPECT_EQ(frame.GetPen(t), Pen(clBlack, psSolid, t)) << t;
    frame.SaveSettings();
    EXPECT_EQ(IniText(),
              "[Lines]\n"
              "Type 1=0x00000000,0,1\n"
              "Type 2=0x00000000,0,2\n"
              "Type 3=0x00000000,0,3\n"
              "Type 4=0x00000000,0,4\n"
              "Type 5=0x00000000,0,5\n");
}

TEST_F(LineChooser, StoredTypesAreReadItemByItemAndWrittenBack)
{
    WriteIni(
        "[Lines]\n"
        "Type 1=0x00ff0000,65793,1\n"
        "Type 2=0x000000ff, 2, 3\n"
        "Type 3=0x000000ff,2\n"
        "Type 4=0x000000ff,solid,-5\n"
        "Type 5=0x0000FF00,7,2\n");
    TfraLine frame;
    frame.LoadSettings();
    EXPECT_EQ(frame.GetPen(1), Pen(clBlue, psDash, 1));
    EXPECT_EQ(frame.GetPen(2), Pen(clRed, psDot, 3));
    EXPECT_EQ(frame.GetPen(3), Pen(clBlack, psSolid, 3)) << "two items: the whole default";
    EXPECT_EQ(frame.GetPen(4), Pen(clRed, psSolid, 1)) << "bad style item: 0; negative width: kept";
    EXPECT_EQ(frame.GetPen(5), Pen(Green, psSolid, 2)) << "style 7 draws solid";
    EXPECT_EQ(&frame.GetPen(0), &MainCanvasPen());
    EXPECT_EQ(&frame.GetPen(6), &MainCanvasPen());

    frame.SaveSettings();
    EXPECT_EQ(IniText(),
              "[Lines]\n"
              "Type 1=0x00ff0000,1,1\n"
              "Type 2=0x000000ff,2,3\n"
              "Type 3=0x00000000,0,3\n"
              "Type 4=0x000000ff,0,1\n"
              "Type 5=0x0000ff00,7,2\n");
}

TEST_F(LineChooser, TypeClickShowsItsWidthColourAndStyle)
{
    WriteIni("[Colours]\nColour[3][1]=0x000000FF\n[Lines]\nType 2=0x000000ff,5,4\n");
    TfraLine frame;
    frame.LoadSettings();
    EXPECT_FALSE(frame.gbColour->isEnabled());
    EXPECT_FALSE(frame.udWidth->isEnabled());

    Click(frame.lcType2);
    EXPECT_EQ(frame.SelectedType(), frame.lcType2);
    EXPECT_TRUE(frame.gbColour->isEnabled());
    EXPECT_TRUE(frame.efWidth->isEnabled());
    EXPECT_TRUE(frame.lbWidth->isEnabled());
    EXPECT_EQ(frame.efWidth->text(), "4");
    EXPECT_EQ(frame.fraColour1->Colour(), clRed);
    EXPECT_EQ(frame.fraColour1->SelectedCol(), 3);
    EXPECT_EQ(frame.fraColour1->SelectedRow(), 1);
    EXPECT_TRUE(frame.lcStyle5->Checked());
    EXPECT_EQ(frame.SelectedStyle(), frame.lcStyle5);
    for (TfraLineChoice* style : Styles(frame)) {
        EXPECT_EQ(style->LineWidth(), 4);
        EXPECT_EQ(style->LineColour(), clRed);
    }
    EXPECT_EQ(frame.GetPen(2), Pen(clRed, psClear, 4)) << "showing a type changes nothing";
}

TEST_F(LineChooser, DashedStylesNeedWidthOneAndKeepATypesDash)
{
    WriteIni("[Lines]\nType 1=0x00000000,1,1\n");
    TfraLine frame;
    frame.LoadSettings();
    const std::vector<bool> dashedOff{true, false, false, false, false, true};
    Click(frame.lcType1);
    EXPECT_EQ(StylesEnabled(frame), dashedOff) << "width 1 shown already: no width change ran";
    EXPECT_TRUE(frame.lcStyle1->Checked()) << "a disabled choice is still checked by the type click";

    Click(frame.lcType2);
    Click(frame.lcType1);
    EXPECT_EQ(StylesEnabled(frame), std::vector<bool>(6, true));
    EXPECT_TRUE(frame.lcStyle1->Checked());

    frame.udWidth->setValue(2);
    EXPECT_EQ(StylesEnabled(frame), dashedOff);
    EXPECT_EQ(frame.GetPen(1), Pen(clBlack, psDash, 2));

    QTest::keyClick(frame.efWidth, Qt::Key_End);
    QTest::keyClick(frame.efWidth, Qt::Key_Backspace);
    QTest::keyClicks(frame.efWidth, "7");
    EXPECT_EQ(frame.GetPen(1).Width, 7);

    Click(frame.lcStyle5);
    EXPECT_EQ(frame.GetPen(1), Pen(clBlack, psClear, 7));
    EXPECT_EQ(frame.lcType1->Sample().Pixel(20, 9), clWhite);
    EXPECT_EQ(frame.GetPen(2), Pen(clBlack, psSolid, 2)) << "other types unchanged";
}

TEST_F(LineChooser, PalettePickRecoloursTheSixSamplesAndTheSelectedType)
{
    WriteIni("[Colours]\nColour[2][0]=0x0000FF00\n");
    TfraLine frame;
    frame.LoadSettings();
    PickSwatch(frame, 2, 0);
    for (TfraLineChoice* style : Styles(frame)) EXPECT_EQ(style->LineColour(), Green);
    EXPECT_EQ(frame.lcStyle2->Sample().Pixel(9, 9), Green);
    EXPECT_EQ(frame.GetPen(3).Colour, clBlack) << "no type selected yet";

    Click(frame.lcType3);
    PickSwatch(frame, 0, 0);
    for (TfraLineChoice* style : Styles(frame)) EXPECT_EQ(style->LineColour(), clBlack);
    PickSwatch(frame, 2, 0);
    EXPECT_EQ(frame.GetPen(3), Pen(Green, psSolid, 3));
    EXPECT_EQ(frame.lcType3->Sample().Pixel(20, 9), Green);
    EXPECT_EQ(frame.GetPen(2).Colour, clBlack);
}

TEST_F(LineChooser, DetachedWidthFieldChangesNoPen)
{
    TfraLine frame;
    frame.LoadSettings();
    frame.DetachWidthChange();
    Click(frame.lcType3);
    EXPECT_EQ(frame.efWidth->text(), "3");
    EXPECT_EQ(frame.lcStyle0->LineWidth(), 1);
    frame.udWidth->setValue(1);
    EXPECT_EQ(frame.GetPen(3).Width, 3);
    EXPECT_FALSE(frame.lcStyle1->Enabled());
}

TEST_F(LineChooser, ClearingTheWidthFieldRunsTheWidthChangeWithTheLastPosition)
{
    TfraLine frame;
    frame.LoadSettings();
    Click(frame.lcType1);
    EXPECT_FALSE(frame.lcStyle1->Enabled());
    QTest::keyClick(frame.efWidth, Qt::Key_End);
    QTest::keyClick(frame.efWidth, Qt::Key_Backspace);
    EXPECT_EQ(frame.efWidth->text(), "");
    EXPECT_EQ(StylesEnabled(frame), std::vector<bool>(6, true));
    EXPECT_EQ(frame.GetPen(1).Width, 1);
}
