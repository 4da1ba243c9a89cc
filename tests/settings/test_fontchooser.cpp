// The font size chooser: the five shared size fonts in section "Font", the
// size choice, and a double-click edit that reaches every live chooser.

#include <gtest/gtest.h>

#include <QFile>
#include <QRadioButton>
#include <QTest>
#include <memory>

#include "FreshSettings.h"
#include "ScriptedDialogs.h"
#include "settings/Quorvfont.h"

namespace {

class FontChooser : public TFreshSettings {
protected:
    std::unique_ptr<TfraFont> LoadedChooser()
    {
        auto chooser = std::make_unique<TfraFont>();
        chooser->SetSectionName(QStringLiteral("Font"));
        return chooser;
    }
};

}  // namespace

TEST_F(FontChooser, WithoutSettingsFileSizesAreArialNarrowWithDesignedColours)
{
    auto chooser = LoadedChooser();
    const int sizes[5] = {6, 8, 10, 16, 19};
    for (int n = 0; n < 5; ++n) {
        const TFont* font = chooser->GetSizeFont(n);
        ASSERT_NE(font, nullptr) << n;
        EXPECT_EQ(font->Face, "Arial Narrow") << n;
        EXPECT_EQ(font->Size, sizes[n]) << n;
        EXPECT_FALSE(font->Bold) << n;
        EXPECT_FALSE(font->Italic) << n;
        EXPECT_EQ(font->Colour, n == 0 ? clBlue : clWindowText) << n;
    }
    EXPECT_FALSE(QFile::exists(IniPath())) << "loading writes nothing";
}

TEST_F(FontChooser, SaveFromFreshFileWritesFiveSizeKeys)
{
    auto chooser = LoadedChooser();
    chooser->SaveSettings();
    EXPECT_EQ(IniText(),
              "[Font]\n"
              "Size 1=\"Arial Narrow\",6,0x00ff0000\n"
              "Size 2=\"Arial Narrow\",8,0x80000008\n"
              "Size 3=\"Arial Narrow\",10,0x80000008\n"
              "Size 4=\"Arial Narrow\",16,0x80000008\n"
              "Size 5=\"Arial Narrow\",19,0x80000008\n");
}

TEST_F(FontChooser, StoredValuesReadAsFaceSizeColourAndStyle)
{
    WriteIni(
        "[Font]\n"
        "Size 1=Arial,12,0x000000ff,Bold\n"
        "Size 2=Arial,12\n"
        "Size 3=Times New Roman,12\n"
        "Size 4=\"Courier New\",9,0x00FF0000,italic,BOLD\n");
    auto chooser = LoadedChooser();

    EXPECT_EQ(*chooser->GetSizeFont(0), MakeFont("Arial", 12, clRed, true));
    EXPECT_EQ(*chooser->GetSizeFont(1), MakeFont("Arial", 12, clWindowText)) << "colour unchanged without 0x";
    // A bare item ends at a space: face "Times", then "New" is no size.
    EXPECT_EQ(*chooser->GetSizeFont(2), MakeFont("Times", 10, clWindowText));
    EXPECT_EQ(*chooser->GetSizeFont(3), MakeFont("Courier New", 9, clBlue, true, true));
    EXPECT_EQ(*chooser->GetSizeFont(4), MakeFont("Arial Narrow", 19, clWindowText));
}

TEST_F(FontChooser, ShortOrBrokenValuesKeepDefaultsForWhatIsMissing)
{
    WriteIni(
        "[Font]\n"
        "Size 1=\n"
        "Size 2=Arial,12,0x\n"
        "Size 3=Arial,abc,0xZZ\n"
        "Size 4=Arial,99999999999,0X0000FF00\n"
        "Size 5=\"" +
        QByteArray(300, 'W') + "\",-4,0x00ff00\n");
    auto chooser = LoadedChooser();

    // An empty face leaves the designed face; the style is always set.
    EXPECT_EQ(*chooser->GetSizeFont(0), MakeFont("MS Sans Serif", 6, clBlue));
    // "0x" alone is not a number: black.
    EXPECT_EQ(*chooser->GetSizeFont(1), MakeFont("Arial", 12, clBlack));
    EXPECT_EQ(*chooser->GetSizeFont(2), MakeFont("Arial", 10, clBlack));
    // Only a lowercase "0x" in the value switches the colour on.
    EXPECT_EQ(*chooser->GetSizeFont(3), MakeFont("Arial", 16, clWindowText));
    EXPECT_EQ(chooser->GetSizeFont(4)->Face, QString(31, 'W'));
    EXPECT_EQ(chooser->GetSizeFont(4)->Size, 19);
    EXPECT_EQ(chooser->GetSizeFont(4)->Colour, 0x00ff00u);
}

TEST_F(FontChooser, ButtonsShowCaptionsInTheirOwnFonts)
{
    WriteIni("[Font]\nSize 3=Arial,14,0x000000ff,Bold\n");
    auto chooser = LoadedChooser();
    QRadioButton* rb2 = chooser->findChild<QRadioButton*>("rb2");
    ASSERT_NE(rb2, nullptr);
    EXPECT_EQ(rb2->text(), "Size 3");
    EXPECT_EQ(rb2->font(), chooser->GetSizeFont(2)->ToQFont());
    EXPECT_EQ(rb2->palette().color(QPalette::WindowText).rgb(), ColourToRgb(clRed));
}

TEST_F(FontChooser, ItemIndexChecksSizeAndChoosesItsFontOnce)
{
    auto chooser = LoadedChooser();
    int selects = 0;
    chooser->OnSelect = [&](TfraFont* sender) {
        EXPECT_EQ(sender, chooser.get());
        ++selects;
    };

    chooser->SetItemIndex(2);
    EXPECT_EQ(chooser->ItemIndex(), 2);
    EXPECT_TRUE(chooser->rb2->isChecked());
    EXPECT_EQ(chooser->CurrentButton(), chooser->rb2);
    EXPECT_EQ(chooser->ChosenFont(), *chooser->GetSizeFont(2));
    EXPECT_EQ(selects, 1);

    chooser->SetItemIndex(2);
    EXPECT_EQ(selects, 1) << "the checked size is not chosen again";

    chooser->SetItemIndex(-1);
    EXPECT_EQ(chooser->ItemIndex(), 2);
    EXPECT_TRUE(chooser->rb2->isChecked());
}

TEST_F(FontChooser, ItemIndexBeyondTheSizesChecksNothing)
{
    auto chooser = LoadedChooser();
    const TFont designed = chooser->ChosenFont();
    int selects = 0;
    chooser->OnSelect = [&](TfraFont*) { ++selects; };

    chooser->SetItemIndex(7);
    EXPECT_EQ(chooser->ItemIndex(), 7);
    EXPECT_EQ(chooser->CurrentButton(), nullptr);
    for (int n = 0; n < 5; ++n) EXPECT_FALSE(chooser->SizeButton(n)->isChecked()) << n;
    EXPECT_EQ(selects, 0);
    EXPECT_EQ(designed, MakeFont("MS Sans Serif", 12, clBlue, true));
    EXPECT_EQ(chooser->ChosenFont(), designed);
    EXPECT_EQ(chooser->GetSizeFont(5), nullptr);
    EXPECT_EQ(chooser->GetSizeFont(-1), nullptr);
}

TEST_F(FontChooser, ClickingSizeChoosesItsFontButKeepsItemIndex)
{
    auto chooser = LoadedChooser();
    chooser->show();
    int selects = 0;
    chooser->OnSelect = [&](TfraFont*) { ++selects; };

    QTest::mouseClick(chooser->rb4, Qt::LeftButton, {}, QPoint(8, chooser->rb4->height() / 2));
    EXPECT_TRUE(chooser->rb4->isChecked());
    EXPECT_EQ(chooser->ChosenFont(), MakeFont("Arial Narrow", 19, clWindowText));
    EXPECT_EQ(selects, 1);
    EXPECT_EQ(chooser->ItemIndex(), -1);
}

TEST_F(FontChooser, DoubleClickEditReachesEveryLiveChooser)
{
    TScriptedDialogs dialogs;
    auto annotate = LoadedChooser();
    auto docBox = LoadedChooser();
    auto desig = LoadedChooser();
    {
        auto gone = LoadedChooser();
    }  // a chooser that is gone leaves the registry
    EXPECT_EQ(TfraFont::Choosers(), (std::vector<TfraFont*>{annotate.get(), docBox.get(), desig.get()}));
    desig->SetItemIndex(2);
    const TFont desigChosen = desig->ChosenFont();
    annotate->show();
    int selects = 0;
    annotate->OnSelect = [&](TfraFont*) { ++selects; };

    const TFont edited = MakeFont("Courier New", 11, clRed, false, true);
    dialogs.Fonts.push_back(edited);
    QTest::mouseDClick(annotate->rb2, Qt::LeftButton);

    ASSERT_EQ(dialogs.FontPresets.size(), 1u);
    EXPECT_EQ(dialogs.FontPresets[0], MakeFont("Arial Narrow", 10, clWindowText));
    for (TfraFont* chooser : {annotate.get(), docBox.get(), desig.get()}) {
        EXPECT_EQ(*chooser->GetSizeFont(2), edited);
        EXPECT_EQ(chooser->rb2->font(), edited.ToQFont());
        EXPECT_EQ(chooser->GetSizeFont(1)->Size, 8) << "other sizes untouched";
    }
    EXPECT_EQ(annotate->CurrentButton(), annotate->rb2);
    EXPECT_GE(selects, 1);
    EXPECT_EQ(desig->ChosenFont(), desigChosen) << "a chosen font is a copy, not refreshed";
    EXPECT_FALSE(QFile::exists(IniPath())) << "nothing saved before SaveSettings";
}

TEST_F(FontChooser, CancelledFontDialogChangesNothing)
{
    TScriptedDialogs dialogs;
    auto a = LoadedChooser();
    auto b = LoadedChooser();
    int selects = 0;
    a->OnSelect = [&](TfraFont*) { ++selects; };

    a->rbDblClick(a->rb0);
    EXPECT_EQ(dialogs.FontPresets.size(), 1u);
    EXPECT_EQ(*a->GetSizeFont(0), MakeFont("Arial Narrow", 6, clBlue));
    EXPECT_EQ(*b->GetSizeFont(0), MakeFont("Arial Narrow", 6, clBlue));
    EXPECT_EQ(selects, 0);
}

TEST_F(FontChooser, SavedEditsReadBackInAnotherChooser)
{
    auto a = LoadedChooser();
    TScriptedDialogs dialogs;
    dialogs.Fonts.push_back(MakeFont("Lucinda Console", 7, 0x00123456, true, true));
    a->rbDblClick(a->rb1);
    a->SaveSettings();
    EXPECT_TRUE(IniText().contains("Size 2=\"Lucinda Console\",7,0x00123456,Bold,Italic\n"));

    a.reset();
    auto b = LoadedChooser();
    EXPECT_EQ(*b->GetSizeFont(1), MakeFont("Lucinda Console", 7, 0x00123456, true, true));
}
