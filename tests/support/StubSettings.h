#pragma once
// Settings of every kind without any window, for drawings loaded and painted
// in tests.
#include "drawing/Objectsettings.h"

// Settings of every kind without any window: the five line types with all
// dash styles and a wide pen, visible texts only when asked for.
class StubSettings : public ILineSettings,
                     public IJunctionSettings,
                     public IAnnotateSettings,
                     public IDocBoxSettings,
                     public IBitmapSettings {
public:
    explicit StubSettings(bool texts) : texts_(texts)
    {
        pens_[0] = TPen{0x000000, psSolid, 1};
        pens_[1] = TPen{0x800000, psDash, 1};
        pens_[2] = TPen{0x008000, psDot, 1};
        pens_[3] = TPen{0x0000FF, psSolid, 3};
        pens_[4] = TPen{0x808000, psDashDotDot, 1};
        pens_[5] = TPen{0x00A0A0, psSolid, 6};
        settings.LineData = this;
        settings.Junction = this;
        settings.Annotate = this;
        settings.DocBox = this;
        settings.Bitmap = this;
    }
    const TPen& GetPen(int lineType) override { return pens_[lineType >= 1 && lineType <= 5 ? lineType - 1 : 5]; }
    bool IsVisible() const override { return true; }
    int GetDiameter() const override { return 4; }
    TColor GetColour() const override { return 0x0000C0; }
    void ApplyFont(TFont& font, int n) const override
    {
        font.Face = QStringLiteral("Arial Narrow");
        font.Size = 8 + 2 * n;
        font.Colour = 0x004000;
    }
    bool MasterVisible() const override { return true; }
    bool DesigVisible() const override { return texts_; }
    bool ValueVisible() const override { return texts_; }
    bool PinNumVisible() const override { return texts_; }
    bool PinStrVisible() const override { return texts_; }
    TFont DesigFont() const override { return Font(10, 0x000080); }
    TFont ValueFont() const override { return Font(8, 0x800080); }
    TFont PinNumFont() const override { return Font(6, 0x000000); }
    TFont PinStrFont() const override { return Font(7, 0x0000FF); }

    TObjectSettings settings;

private:
    static TFont Font(int size, TColor colour)
    {
        TFont font;
        font.Face = QStringLiteral("Arial Narrow");
        font.Size = size;
        font.Colour = colour;
        return font;
    }
    bool texts_;
    TPen pens_[6];
};
