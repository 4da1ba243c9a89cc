// The colour palette: one shared 7 x 5 table in section "Colours", picked by
// click, edited by double-click, searched by a Colour write.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTest>
#include <memory>

#include "FreshSettings.h"
#include "ScriptedDialogs.h"
#include "settings/Quorvcolour.h"

namespace {

class Palette : public TFreshSettings {
protected:
    static QPoint CellCentre(int col, int row) { return TfraColour::CellRect(col, row).center(); }
};

constexpr TColor Teal = 0x00808000;

}  // namespace

TEST_F(Palette, WithoutAColoursSectionThePaletteIsTheFirstUseTableAndItsFirstEditStoresAllOfIt)
{
    TScriptedDialogs dialogs;
    WriteIni("[Junction Data]\nDiameter=4\n");
    TfraColour frame;
    // Black, greys, white; then red to magenta, full, dark, middle and light.
    const TColor firstUse[5][7] = {
        {0x000000, 0x404040, 0x808080, 0xA0A0A0, 0xC0C0C0, 0xE0E0E0, 0xFFFFFF},
        {0x0000FF, 0x0080FF, 0x00FFFF, 0x00FF00, 0xFFFF00, 0xFF0000, 0xFF00FF},
        {0x000080, 0x004080, 0x008080, 0x008000, 0x808000, 0x800000, 0x800080},
        {0x0000C0, 0x0060C0, 0x00C0C0, 0x00C000, 0xC0C000, 0xC00000, 0xC000C0},
        {0x8080FF, 0x80C0FF, 0x80FFFF, 0x80FF80, 0xFFFF80, 0xFF8080, 0xFF80FF},
    };
    for (int row = 0; row < TfraColour::RowCount; ++row)
        for (int col = 0; col < TfraColour::ColCount; ++col)
            EXPECT_EQ(frame.GetCellColour(col, row), firstUse[row][col]) << col << "," << row;
    EXPECT_EQ(frame.GetCellColour(7, 0), clBlack);
    EXPECT_EQ(frame.GetCellColour(0, -1), clBlack);
    EXPECT_EQ(frame.SelectedCol(), 0);
    EXPECT_EQ(frame.SelectedRow(), 0);

    // Editing one swatch stores the whole table, so that the others read
    // back as they were shown.
    dialogs.Colours.push_back(Teal);
    frame.dgColoursMouseDown(CellCentre(3, 4));
    frame.dgColoursDblClick();
    QByteArray expected = "[Junction Data]\nDiameter=4\n[Colours]\n";
    for (int row = 0; row < 5; ++row)
        for (int col = 0; col < 7; ++col)
            expected +=
                QString::asprintf("Colour[%d][%d]=0x%08X\n", col, row, col == 3 && row == 4 ? Teal : firstUse[row][col])
                    .toLatin1();
    EXPECT_EQ(IniText(), expected);

    // A stored section is read as always: what it does not hold is black.
    WriteIni("[Colours]\nColour[1][0]=0x000000FF\n");
    TIniFile ini(IniPath());
    frame.ReadSettings(&ini);
    EXPECT_EQ(frame.GetCellColour(1, 0), clRed);
    EXPECT_EQ(frame.GetCellColour(0, 1), clBlack);
    EXPECT_EQ(frame.GetCellColour(6, 0), clBlack);
}

TEST_F(Palette, KeysNameColumnFirstAndAcceptEitherCase)
{
    WriteIni(
        "[Colours]\n"
        "Colour[6][0]=0x000000ff\n"
        "Colour[0][1]=0x00FF0000\n"
        "Colour[1][4]=255\n"
        "Colour[2][4]=0x00ff00zz\n");
    TfraColour frame;
    EXPECT_EQ(frame.GetCellColour(6, 0), clRed);
    EXPECT_EQ(frame.GetCellColour(0, 1), clBlue);
    EXPECT_EQ(frame.GetCellColour(1, 4), clRed);
    EXPECT_EQ(frame.GetCellColour(2, 4), clBlack) << "an invalid value gives black";
}

TEST_F(Palette, WriteSettingsGoesRowByRowWithUppercaseHex)
{
    WriteIni("[Colours]\nColour[6][0]=0x000000ff\nColour[0][1]=0x00ff0000\nColour[6][4]=0x80000008\n");
    TfraColour frame;
    TIniFile target(IniPath(QStringLiteral("saved.ini")));
    frame.WriteSettings(&target);

    QByteArray expected = "[Colours]\n";
    for (int row = 0; row < 5; ++row) {
        for (int col = 0; col < 7; ++col) {
            QByteArray value = "0x00000000";
            if (col == 6 && row == 0) value = "0x000000FF";
            if (col == 0 && row == 1) value = "0x00FF0000";
            if (col == 6 && row == 4) value = "0x80000008";
            expected += "Colour[" + QByteArray::number(col) + "][" + QByteArray::number(row) + "]=" + value + "\n";
        }
    }
    EXPECT_EQ(IniText(QStringLiteral("saved.ini")), expected);
    EXPECT_TRUE(expected.startsWith("[Colours]\nColour[0][0]=0x00000000\nColour[1][0]=0x00000000\n"));

    frame.WriteSettings(nullptr);  // nothing to write to: nothing happens
}

TEST_F(Palette, ReadSettingsReloadsTheSharedTable)
{
    WriteIni("[Colours]\n");
    TfraColour a;
    TfraColour b;
    WriteIni("[Colours]\nColour[3][2]=0x00123456\n");
    EXPECT_EQ(b.GetCellColour(3, 2), clBlack) << "read once, at the first frame";
    TIniFile ini(IniPath());
    a.ReadSettings(&ini);
    EXPECT_EQ(b.GetCellColour(3, 2), 0x00123456u);
}

TEST_F(Palette, TableLivesFromFirstFrameToLast)
{
    WriteIni("[Colours]\nColour[0][0]=0x00000011\n");
    auto first = std::make_unique<TfraColour>();
    WriteIni("[Colours]\nColour[0][0]=0x00000022\n");
    auto second = std::make_unique<TfraColour>();
    EXPECT_EQ(second->GetCellColour(0, 0), 0x11u);
    first.reset();
    EXPECT_EQ(second->GetCellColour(0, 0), 0x11u);
    second.reset();
    TfraColour third;
    EXPECT_EQ(third.GetCellColour(0, 0), 0x22u);
}

TEST_F(Palette, ColourWriteSelectsFirstMatchInRowOrder)
{
    WriteIni("[Colours]\nColour[4][1]=0x00808000\nColour[6][0]=0x00808000\nColour[0][2]=0x00808000\n");
    TfraColour frame;
    int selects = 0;
    frame.OnSelect = [&](TfraColour* sender) {
        EXPECT_EQ(sender, &frame);
        ++selects;
    };
    frame.SetColour(Teal);
    EXPECT_EQ(frame.Colour(), Teal);
    EXPECT_EQ(frame.SelectedCol(), 6);
    EXPECT_EQ(frame.SelectedRow(), 0);
    EXPECT_EQ(selects, 1);
    EXPECT_EQ(frame.palette().color(frame.backgroundRole()).rgb(), ColourToRgb(Teal));
}

TEST_F(Palette, ColourWriteNotInPaletteOnlyShowsIt)
{
    WriteIni("[Colours]\nColour[2][3]=0x00808000\n");
    TfraColour frame;
    frame.SetColour(Teal);  // selects (2, 3)
    int selects = 0;
    frame.OnSelect = [&](TfraColour*) { ++selects; };

    frame.SetColour(0x00ABCDEF);
    EXPECT_EQ(frame.Colour(), 0x00ABCDEFu);
    EXPECT_EQ(frame.palette().color(frame.backgroundRole()).rgb(), ColourToRgb(0x00ABCDEF));
    EXPECT_EQ(frame.SelectedCol(), 2);
    EXPECT_EQ(frame.SelectedRow(), 3);
    EXPECT_EQ(selects, 0);
}

TEST_F(Palette, ClickingSwatchMakesItsColourCurrent)
{
    WriteIni("[Colours]\nColour[3][2]=0x00808000\n");
    TfraColour frame;
    frame.show();
    int selects = 0;
    frame.OnSelect = [&](TfraColour*) { ++selects; };

    QTest::mouseClick(frame.dgColours, Qt::LeftButton, {}, CellCentre(3, 2));
    EXPECT_EQ(frame.SelectedCol(), 3);
    EXPECT_EQ(frame.SelectedRow(), 2);
    EXPECT_EQ(frame.Colour(), Teal);
    EXPECT_EQ(selects, 1);

    // Below the last row: the selection stays, the click takes its swatch again.
    QTest::mouseClick(frame.dgColours, Qt::RightButton, {}, QPoint(50, 82));
    EXPECT_EQ(frame.SelectedCol(), 3);
    EXPECT_EQ(frame.SelectedRow(), 2);
    EXPECT_EQ(selects, 2);
}

TEST_F(Palette, DoubleClickEditWritesOnlyThatCell)
{
    TScriptedDialogs dialogs;
    WriteIni("[Colours]\nColour[5][1]=0x00000080\n");
    TfraColour frame;
    TfraColour other;
    frame.SetColour(clWhite);
    frame.show();
    int selects = 0;
    frame.OnSelect = [&](TfraColour*) { ++selects; };
    WriteIni("[Colours]\n");

    dialogs.Colours.push_back(0x0000FF00);
    frame.dgColoursMouseDown(CellCentre(5, 1));
    frame.dgColoursDblClick();

    ASSERT_EQ(dialogs.ColourPresets, std::vector<TColor>{0x00000080});
    EXPECT_EQ(IniText(), "[Colours]\nColour[5][1]=0x0000FF00\n");
    EXPECT_EQ(other.GetCellColour(5, 1), 0x0000FF00u) << "one table for every frame";
    EXPECT_EQ(frame.Colour(), clWhite) << "the current colour waits for a click";
    EXPECT_EQ(selects, 0);
}

TEST_F(Palette, DoubleClickWithUnchangedOrCancelledColourWritesNothing)
{
    TScriptedDialogs dialogs;
    TfraColour frame;
    frame.show();

    const TColor orange = frame.GetCellColour(1, 1);
    dialogs.Colours.push_back(orange);
    QTest::mouseDClick(frame.dgColours, Qt::LeftButton, {}, CellCentre(1, 1));
    ASSERT_EQ(dialogs.ColourPresets, std::vector<TColor>{orange});
    EXPECT_FALSE(QFile::exists(IniPath()));

    const TColor yellow = frame.GetCellColour(2, 1);
    QTest::mouseDClick(frame.dgColours, Qt::LeftButton, {}, CellCentre(2, 1));  // cancelled
    EXPECT_EQ(dialogs.ColourPresets.size(), 2u);
    EXPECT_FALSE(QFile::exists(IniPath()));
    EXPECT_EQ(frame.GetCellColour(2, 1), yellow);
}

TEST_F(Palette, RefusedWriteIsReportedAndTableKeepsColour)
{
    TScriptedDialogs dialogs;
    WriteIni("");
    const QString blocked = IniPath() + QStringLiteral("/settings.ini");
    SetSettingsFileName(blocked);  // nothing can be written below a file
    TfraColour frame;
    frame.show();

    dialogs.Colours.push_back(clRed);
    QTest::mouseDClick(frame.dgColours, Qt::LeftButton, {}, CellCentre(0, 0));
    EXPECT_EQ(dialogs.Errors, QStringList{QStringLiteral("Unable to write to %1").arg(blocked)});
    EXPECT_EQ(frame.GetCellColour(0, 0), clRed);
}

TEST_F(Palette, CellsArePaintedOutlinedWithTheirColour)
{
    WriteIni("[Colours]\nColour[2][1]=0x000000ff\nColour[6][4]=0x00ff0000\n");
    TfraColour frame;
    const QImage image = frame.dgColours->grab().toImage();
    ASSERT_EQ(image.size(), QSize(115, 83));

    const QRect red = TfraColour::CellRect(2, 1);
    EXPECT_EQ(red, QRect(33, 17, 15, 15));
    EXPECT_EQ(image.pixel(red.topLeft()), qRgb(0, 0, 0)) << "outline";
    EXPECT_EQ(image.pixel(red.bottomRight()), qRgb(0, 0, 0)) << "outline";
    EXPECT_EQ(image.pixel(red.left() + 1, red.top() + 1), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(red.right() - 1, red.bottom() - 1), qRgb(255, 0, 0));
    EXPECT_NE(image.pixel(red.right() + 1, red.top() + 1), qRgb(255, 0, 0)) << "grid line after the cell";
    EXPECT_NE(image.pixel(red.right() + 1, red.top() + 1), qRgb(0, 0, 0));

    const QRect blue = TfraColour::CellRect(6, 4);
    EXPECT_EQ(image.pixel(blue.center()), qRgb(0, 0, 255));
    EXPECT_LE(blue.right(), 114);
    EXPECT_LE(blue.bottom(), 82);
}
