// The component settings window: defaults on a fresh settings file, pin
// fonts stored the moment they are chosen, the stored size choices, and what
// the component drawing reads through IBitmapSettings.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>

#include "FreshSettings.h"
#include "ScriptedDialogs.h"
#include "drawing/Objectsettings.h"
#include "settings/Bitmapwin.h"
#include "settings/Quorvcolour.h"
#include "settings/Quorvfont.h"

namespace {

class BitmapWindow : public TFreshSettings {};

// Face, size, colour and style, the parts a pin font value keeps.
void ExpectStoredPartsEqual(const TFont& actual, const TFont& expected)
{
    EXPECT_EQ(actual.Face, expected.Face);
    EXPECT_EQ(actual.Size, expected.Size);
    EXPECT_EQ(actual.Colour, expected.Colour);
    EXPECT_EQ(actual.Bold, expected.Bold);
    EXPECT_EQ(actual.Italic, expected.Italic);
}

}  // namespace

TEST_F(BitmapWindow, FreshSettingsFileGivesTheDesignedDefaults)
{
    TfrmBitmap window;
    EXPECT_EQ(window.objectName(), "frmBitmap");
    EXPECT_EQ(window.windowTitle(), "Bitmap Settings");
    EXPECT_EQ(frmBitmap, &window);
    EXPECT_EQ(ObjectSettings().Bitmap, &window);

    TFont pinNum = MakeFont("Small Fonts", 6, clWindowText);
    pinNum.Charset = 0;
    EXPECT_EQ(window.PinNumFont(), pinNum);
    EXPECT_EQ(window.PinStrFont(), MakeFont("MS Sans Serif", 8, clWindowText));
    EXPECT_EQ(window.lbPinNum->font(), pinNum.ToQFont());

    for (TfraFont* frame : {window.fraFontDesig, window.fraFontValue}) {
        EXPECT_EQ(frame->SectionName(), "Font");
        EXPECT_EQ(frame->ItemIndex(), 3);
        EXPECT_TRUE(frame->rb3->isChecked());
    }
    EXPECT_EQ(window.DesigFont(), MakeFont("Arial Narrow", 16, clWindowText));
    EXPECT_EQ(window.ValueFont(), MakeFont("Arial Narrow", 16, clWindowText));
    EXPECT_EQ(window.fraFontDesig->gbFont->title(), "Designation");
    EXPECT_EQ(window.fraFontValue->gbFont->title(), "Value");

    EXPECT_TRUE(window.MasterVisible());
    EXPECT_TRUE(window.DesigVisible());
    EXPECT_TRUE(window.ValueVisible());
    EXPECT_TRUE(window.PinNumVisible());
    EXPECT_TRUE(window.PinStrVisible());
    EXPECT_FALSE(QFile::exists(IniPath())) << "creation writes nothing";
}

TEST_F(BitmapWindow, ChosenPinNumberFontIsStoredAndReadAtNextCreation)
{
    TScriptedDialogs dialogs;
    const TFont chosen = MakeFont("Courier New", 9, clBlue, true);
    {
        TfrmBitmap window;
        dialogs.Fonts.push_back(chosen);
        QTest::mouseClick(window.btnNumFon, Qt::LeftButton);

        ASSERT_EQ(dialogs.FontPresets.size(), 1u);
        EXPECT_EQ(dialogs.FontPresets[0].Face, "Small Fonts");
        EXPECT_EQ(IniText(), "[Bitmap]\nPin Number=\"Courier New\",9,0x00ff0000,Bold\n");
        ExpectStoredPartsEqual(window.PinNumFont(), chosen);
        EXPECT_EQ(window.lbPinNum->font(), chosen.ToQFont());
        EXPECT_EQ(window.lbPinNum->palette().color(QPalette::WindowText).rgb(), ColourToRgb(clBlue));
    }
    TfrmBitmap next;
    ExpectStoredPartsEqual(next.PinNumFont(), chosen);
    EXPECT_EQ(next.lbPinNum->font(), next.PinNumFont().ToQFont());
    EXPECT_EQ(next.PinStrFont(), MakeFont("MS Sans Serif", 8, clWindowText));
}

TEST_F(BitmapWindow, ChosenPinNameFontWritesItalicUnderPinString)
{
    TScriptedDialogs dialogs;
    TfrmBitmap window;
    dialogs.Fonts.push_back(MakeFont("Arial", 10, 0x00010203, false, true));
    window.btnStrFonClick();
    EXPECT_EQ(IniText(), "[Bitmap]\nPin String=Arial,10,0x00010203,Italic\n");
}

TEST_F(BitmapWindow, CancelledPinFontDialogChangesAndWritesNothing)
{
    TScriptedDialogs dialogs;
    TfrmBitmap window;
    QTest::mouseClick(window.btnStrFon, Qt::LeftButton);
    EXPECT_EQ(dialogs.FontPresets.size(), 1u);
    EXPECT_EQ(window.PinStrFont(), MakeFont("MS Sans Serif", 8, clWindowText));
    EXPECT_FALSE(QFile::exists(IniPath()));
}

TEST_F(BitmapWindow, StoredPinFontWithout0xKeepsDefaultColour)
{
    WriteIni("[Bitmap]\nPin String=Arial,10,Bold\nPin Number=\"Small Fonts\",7,0X000000FF\n");
    TfrmBitmap window;
    ExpectStoredPartsEqual(window.PinStrFont(), MakeFont("Arial", 10, clWindowText, true));
    ExpectStoredPartsEqual(window.PinNumFont(), MakeFont("Small Fonts", 7, clWindowText));
    EXPECT_EQ(window.lbPinStr->font(), window.PinStrFont().ToQFont());
}

TEST_F(BitmapWindow, StoredSizeChoicesSelectTheirSizes)
{
    WriteIni("[Font]\nSize 1=Arial,7,0x000000ff\n[Bitmap]\nDesig Font=0\nValue Font=9\n");
    TfrmBitmap window;
    EXPECT_EQ(window.fraFontDesig->ItemIndex(), 0);
    EXPECT_TRUE(window.fraFontDesig->rb0->isChecked());
    EXPECT_EQ(window.DesigFont(), MakeFont("Arial", 7, clRed));
    // No size 10: nothing checked, the frame keeps its designed font.
    EXPECT_EQ(window.fraFontValue->ItemIndex(), 9);
    EXPECT_EQ(window.fraFontValue->CurrentButton(), nullptr);
    EXPECT_EQ(window.ValueFont(), MakeFont("MS Sans Serif", 12, clBlue, true));
}

TEST_F(BitmapWindow, HostilePinFontValuesStillCreateTheWindow)
{
    struct TCase {
        QByteArray Value;
        TFont Expected;
    };
    const TFont def = MakeFont("Small Fonts", 6, clWindowText);
    const TCase cases[] = {
        {"", def},
        {"Arial", MakeFont("Arial", 6, clWindowText)},
        {"Arial,big,0xZZ,Bold", MakeFont("Arial", 6, clBlack, true)},
        {"Arial,0", MakeFont("Arial", 6, clWindowText)},
        {"Arial,-12", MakeFont("Arial", 6, clWindowText)},
        {"Arial,2147483648", MakeFont("Arial", 6, clWindowText)},
        {"Arial,12,0x", MakeFont("Arial", 12, clBlack)},
        {"\"Arial,12", MakeFont("Arial,12", 6, clWindowText)},
        {",,,,,,,,", def},
        {"\"\"\"\",\x01\x02,Italic", MakeFont("\"", 6, clWindowText, false, true)},
        {QByteArray(5000, 'x') + ",8", MakeFont(QString(31, 'x'), 6, clWindowText)},
    };
    for (const TCase& c : cases) {
        WriteIni("[Bitmap]\nPin Number=" + c.Value + "\n");
        TfrmBitmap window;
        SCOPED_TRACE(c.Value.left(40).toStdString());
        ExpectStoredPartsEqual(window.PinNumFont(), c.Expected);
        EXPECT_EQ(window.PinStrFont(), MakeFont("MS Sans Serif", 8, clWindowText));
    }
}

TEST_F(BitmapWindow, CheckBoxesSwitchWhatTheDrawingSees)
{
    TfrmBitmap window;
    window.show();
    QTest::mouseClick(window.cbPinNum, Qt::LeftButton);
    EXPECT_FALSE(window.PinNumVisible());
    EXPECT_TRUE(window.PinStrVisible());
    EXPECT_TRUE(window.MasterVisible());

    IBitmapSettings* settings = ObjectSettings().Bitmap;
    ASSERT_EQ(settings, &window);
    window.cbMaster->setChecked(false);
    EXPECT_FALSE(settings->MasterVisible());
    EXPECT_TRUE(settings->DesigVisible());
    EXPECT_TRUE(settings->ValueVisible());
}

TEST_F(BitmapWindow, SaveWritesSizeFontsOnceLoadReloadsBothFrames)
{
    TScriptedDialogs dialogs;
    TfrmBitmap window;
    dialogs.Fonts.push_back(MakeFont("Arial", 11, clRed, true));
    window.fraFontDesig->rbDblClick(window.fraFontDesig->rb0);
    EXPECT_EQ(*window.fraFontValue->GetSizeFont(0), MakeFont("Arial", 11, clRed, true));

    QTest::mouseClick(window.btnSave, Qt::LeftButton);
    EXPECT_EQ(IniText(),
              "[Font]\n"
              "Size 1=Arial,11,0x000000ff,Bold\n"
              "Size 2=\"Arial Narrow\",8,0x80000008\n"
              "Size 3=\"Arial Narrow\",10,0x80000008\n"
              "Size 4=\"Arial Narrow\",16,0x80000008\n"
              "Size 5=\"Arial Narrow\",19,0x80000008\n");

    WriteIni("[Font]\nSize 2=Arial,9\n");
    QTest::mouseClick(window.btnLoad, Qt::LeftButton);
    for (TfraFont* frame : {window.fraFontDesig, window.fraFontValue}) {
        EXPECT_EQ(*frame->GetSizeFont(1), MakeFont("Arial", 9, clWindowText));
        EXPECT_EQ(*frame->GetSizeFont(0), MakeFont("Arial Narrow", 6, clRed));
    }
    EXPECT_TRUE(dialogs.Errors.isEmpty());
}

TEST_F(BitmapWindow, PlacementIsRestoredOnShowAndStoredOnCloseOnly)
{
    WriteIni("[frmBitmap]\nLeft=40\nTop=30\n");
    TfrmBitmap window;
    window.show();
    EXPECT_EQ(window.pos(), QPoint(40, 30));

    window.move(100, 50);
    QTest::mouseClick(window.btnQuit, Qt::LeftButton);
    EXPECT_EQ(IniText(), "[frmBitmap]\nLeft=40\nTop=30\n") << "hiding stores nothing";

    window.show();
    EXPECT_EQ(window.pos(), QPoint(40, 30));
    window.move(100, 50);
    window.close();
    EXPECT_EQ(IniText(), "[frmBitmap]\nLeft=100\nTop=50\n");
}

TEST_F(BitmapWindow, DestroyedWindowLeavesTheRegistry)
{
    {
        TfrmBitmap window;
    }
    EXPECT_EQ(ObjectSettings().Bitmap, nullptr);
    EXPECT_EQ(frmBitmap, nullptr);
}
