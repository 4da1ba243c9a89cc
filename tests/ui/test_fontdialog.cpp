// The font dialog: face, size, style, underline, strike-out and colour; and a
// font chosen in a settings window, from the dialog to the page and the
// settings file.
#include "AppFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <functional>

#include "Q01Component.h"
#include "app/Startup.h"
#include "drawing/Bitmap.h"
#include "settings/Bitmapwin.h"
#include "ui/Fontdialog.h"

namespace {
// Runs the standard font dialog; `work` gets it once it is shown modally.
std::optional<TFont> RunFontDialog(const TFont& preset, const std::function<void(TFontDialog&)>& work)
{
    QTimer::singleShot(0, qApp, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<TFontDialog*>(w); dialog && dialog->isVisible()) {
                work(*dialog);
                if (dialog->isVisible()) dialog->reject();  // never left waiting
                return;
            }
        ADD_FAILURE() << "no font dialog shown";
    });
    TStandardDialogs standard;
    return standard.ChooseFont(preset);
}
}  // namespace

using FontDialogTest = TempSettings;

TEST_F(FontDialogTest, WorkedControlsComeBackConfirmedAndNothingComesBackCancelled)
{
    TFont preset = MakeFont("Small Fonts", 6, clWindowText);
    preset.Charset = 0;
    dialogs.Colours.push_back(TColor(0x00FF0000));
    const auto chosen = RunFontDialog(preset, [](TFontDialog& d) {
        d.btnColour->click();  // the colour dialog, through the seam
        d.cbUnderline->click();
        d.sePoints->setValue(9);
        d.buttons->button(QDialogButtonBox::Ok)->click();
    });
    TFont expected = preset;
    expected.Colour = 0x00FF0000;
    expected.Underline = true;
    expected.Size = 9;
    EXPECT_EQ(chosen, expected);
    EXPECT_EQ(dialogs.ColourPresets, std::vector<TColor>{clWindowText});

    // Confirmed without a new colour: the system colour stays one.
    EXPECT_EQ(RunFontDialog(preset, [](TFontDialog& d) { d.buttons->button(QDialogButtonBox::Ok)->click(); }), preset);

    dialogs.Colours.push_back(TColor(0x000000FF));
    EXPECT_EQ(RunFontDialog(preset,
                            [](TFontDialog& d) {
                                d.btnColour->click();
                                d.cbStrikeOut->click();
                                d.buttons->button(QDialogButtonBox::Cancel)->click();
                            }),
              std::nullopt);
}

namespace {
q01::Bytes ComponentWithPinNumber(std::uint16_t x, std::uint16_t y)
{
    q01::Component c;
    c.anchorX = x, c.anchorY = y;
    c.parts = {{0, 2, 3}};
    q01::ComponentPin pin;
    pin.number = "14";
    pin.side = q01::sideLeft;
    pin.offsetUnits = 2;
    c.pins = {pin};
    return q01::ComponentRecord(c);
}
}  // namespace

class ChosenFontTest : public MainWindowTest {
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
    }
};

TEST_F(ChosenFontTest, BoldBluePinNumberFontIsDrawnAndStoredWithoutItsUnderline)
{
    TForm1& f = Start({Write("a.q01", Cat({q01::Header(0), ComponentWithPinNumber(100, 100)}))});
    const Bitmap* b = nullptr;
    for (const auto& object : f.Objects)
        if (object->IsClass("Bitmap")) b = static_cast<const Bitmap*>(object.get());
    ASSERT_NE(b, nullptr);

    TFont chosen = MakeFont("Arial", 10, clBlue, true);
    chosen.Underline = true;
    dialogs.Fonts.push_back(chosen);
    frmBitmap->btnNumFon->click();
    EXPECT_EQ(TIniFile(IniPath()).ReadString("Bitmap", "Pin Number", ""), "Arial,10,0x00ff0000,Bold");

    // The number hangs left of the pin's edge point (40, 60) of the body image,
    // in the chosen font: every glyph pixel of its label is blue on the page.
    const TSurface label = RenderLabel("14", chosen, false);
    const TSurface& page = f.Image1->Surface();
    const int left = b->GetImageLeft() + 38 - label.Width(), top = b->GetImageTop() + 60;
    int glyphs = 0;
    for (int y = 0; y < label.Height(); ++y)
        for (int x = 0; x < label.Width(); ++x)
            if (label.Pixel(x, y) != clWhite) {
                ++glyphs;
                EXPECT_EQ(page.Pixel(left + x, top + y), clBlue) << x << "," << y;
            } else if (y > 0) {  // row 0 is the pin's line
                EXPECT_EQ(page.Pixel(left + x, top + y), clWhite) << x << "," << y;
            }
    EXPECT_GT(glyphs, 10);

    // Read back at the next start: bold and blue, not underlined.
    delete frmBitmap;
    new TfrmBitmap;
    TFont stored = chosen;
    stored.Underline = false;
    stored.Charset = 0;  // the pin number font's own character set
    EXPECT_EQ(frmBitmap->dlgPinNum, stored);
}
