// Fuzz target: any text as the settings file, read through every reader of
// the program (window placement, font sizes, palette, line types, junction,
// pin fonts, recent files, and the plain key and item-list readers), written
// back by every writer, and read again: what was read must read back the same.
#include <QMenu>
#include <QStringList>
#include <QWidget>
#include <array>
#include <memory>

#include "FuzzCommon.h"
#include "app/Recentfiles.h"
#include "settings/Bitmapwin.h"
#include "settings/Junctionwin.h"
#include "settings/Quorvcolour.h"
#include "settings/Quorvfont.h"
#include "settings/Quorvline.h"
#include "settings/Valwin.h"

namespace {

// The sections the program keeps, and the placement sections of its windows.
const char* const sections[] = {"Main",          "Recent Files", "Font",      "Colours",     "Lines",
                                "Junction Data", "Bitmap",       "Form1",     "frmLineData", "frmJunction",
                                "frmDocBox",     "frmAnnotate",  "frmBitmap", "frmHelp",     "frmPreview"};

// Everything the readers made of the file.
struct Snapshot {
    std::array<TFont, 5> fonts;
    std::array<TColor, 35> palette{};
    std::array<TPen, 5> pens;
    int diameter = 0;
    TColor junctionColour = 0;
    TFont pinNumber, pinString;
    QStringList recent;
    QPoint placement, onScreen;  // a window kept where the file says; one moved back inside the desktop
    QSize placementSize, onScreenSize;
};

// One reader of each kind, reading as it is created.
struct Readers {
    QWidget owner, preview;
    TValWin* placement = nullptr;
    TValWin* previewPlacement = nullptr;
    TfraFont fonts;
    TfraColour palette;
    TfraLine lines;
    std::unique_ptr<TfrmJunction> junction;
    std::unique_ptr<TfrmBitmap> bitmap;
    QMenu menu;
    std::unique_ptr<TRecentFiles> recent;

    Readers()
    {
        owner.setObjectName(QStringLiteral("frmLineData"));
        placement = new TValWin(&owner);
        placement->SetRestoreSize(true);
        placement->SetOnScreen(false);
        placement->open();
        preview.setObjectName(QStringLiteral("frmPreview"));
        previewPlacement = new TValWin(&preview);
        previewPlacement->SetRestoreSize(true);
        previewPlacement->open();
        fonts.SetSectionName(QStringLiteral("Font"));
        palette.LoadSettings();
        lines.LoadSettings();
        junction = std::make_unique<TfrmJunction>();
        bitmap = std::make_unique<TfrmBitmap>();
        recent = std::make_unique<TRecentFiles>(&menu);
    }

    Snapshot Take()
    {
        Snapshot s;
        for (int n = 0; n < 5; ++n) s.fonts[n] = *fonts.GetSizeFont(n);
        for (int row = 0; row < TfraColour::RowCount; ++row)
            for (int col = 0; col < TfraColour::ColCount; ++col)
                s.palette[row * TfraColour::ColCount + col] = palette.GetCellColour(col, row);
        for (int t = 0; t < 5; ++t) s.pens[t] = lines.GetPen(t + 1);
        s.diameter = junction->GetDiameter();
        s.junctionColour = junction->GetColour();
        s.pinNumber = bitmap->dlgPinNum;
        s.pinString = bitmap->dlgPinStr;
        s.recent = recent->Files();
        s.placement = owner.pos();
        s.placementSize = owner.size();
        s.onScreen = preview.pos();
        s.onScreenSize = preview.size();
        return s;
    }

    void WriteBack()
    {
        fonts.SaveSettings();
        {
            TIniFile ini(SettingsFileName());
            palette.WriteSettings(&ini);
        }
        lines.SaveSettings();
        junction->SaveSettings();
        bitmap->SavePinFont(bitmap->dlgPinNum, QStringLiteral("Pin Number"));
        bitmap->SavePinFont(bitmap->dlgPinStr, QStringLiteral("Pin String"));
        bitmap->btnSaveClick();
        recent->Save();
        placement->close();
        previewPlacement->close();
    }
};

// The plain readers: every key of every section, as text, number, colour,
// item list and font.
void ReadEverything()
{
    TIniFile ini(SettingsFileName());
    for (const char* name : sections) {
        const QString section = QLatin1String(name);
        if (!ini.SectionExists(section)) continue;
        for (const QString& key : ini.ReadSection(section)) {
            const QString value = ini.ReadString(section, key, QString());
            FUZZ_CHECK(value.size() <= 2047);
            (void)ini.ReadInteger(section, key, 0);
            (void)StrToColourDef(value, clBlack);
            const QStringList items = SplitItemList(value);
            // An item list written and read again gives the same items.
            FUZZ_CHECK(SplitItemList(JoinItemList(items)) == items);
            TFont font;
            ReadFontItemList(font, value, 8);
            TFont again;
            ReadFontItemList(again, FontItemList(font), 8);
            FUZZ_CHECK(again == font);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::StartApplication("fuzz_settings");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::WriteBytes(SettingsFileName(), data, size);
    ReadEverything();

    Snapshot first;
    {
        Readers readers;
        first = readers.Take();
        Guarded([&] { readers.WriteBack(); });
    }
    FUZZ_CHECK(fuzz::Quiet().Errors == 0);
    ReadEverything();
    Readers again;
    const Snapshot second = again.Take();
    FUZZ_CHECK(second.fonts == first.fonts);
    FUZZ_CHECK(second.palette == first.palette);
    FUZZ_CHECK(second.pens == first.pens);
    FUZZ_CHECK(second.diameter == first.diameter);
    FUZZ_CHECK(second.junctionColour == first.junctionColour);
    FUZZ_CHECK(second.pinNumber == first.pinNumber);
    FUZZ_CHECK(second.pinString == first.pinString);
    FUZZ_CHECK(second.recent.size() == first.recent.size());
    FUZZ_CHECK(second.placement == first.placement && second.placementSize == first.placementSize);
    // Kept on the desktop, a window that fits stays where the first reading put it.
    FUZZ_CHECK(second.onScreenSize == first.onScreenSize);
    if (first.onScreenSize.width() < TValWin::iDesktopWidth && first.onScreenSize.height() < TValWin::iDesktopHeight)
        FUZZ_CHECK(second.onScreen == first.onScreen);
    fuzz::IdleEvents();
    return 0;
}
