#pragma once
// The narrow interface through which drawing objects ask the settings window
// of their kind how to look. Each settings window registers itself here when
// it is created and removes itself when it is destroyed; a null entry means
// the window does not exist (yet), and each object kind then draws as its
// own rules say (most draw nothing).

#include "app/Drawstyle.h"

class ILineSettings {
public:
    virtual ~ILineSettings() = default;
    // The pen of a line type 1..5; for other numbers the main window's own
    // canvas pen. Owned by the window; callers copy it.
    virtual const TPen& GetPen(int lineType) = 0;
    virtual bool IsVisible() const = 0;
};

class IJunctionSettings {
public:
    virtual ~IJunctionSettings() = default;
    virtual int GetDiameter() const = 0;
    virtual TColor GetColour() const = 0;
    virtual bool IsVisible() const = 0;
};

class IAnnotateSettings {
public:
    virtual ~IAnnotateSettings() = default;
    virtual bool IsVisible() const = 0;
    // font becomes a copy of size choice n; unchanged when there is none.
    virtual void ApplyFont(TFont& font, int n) const = 0;
};

class IDocBoxSettings {
public:
    virtual ~IDocBoxSettings() = default;
    virtual const TPen& GetPen(int lineType) = 0;
    virtual void ApplyFont(TFont& font, int n) const = 0;
    virtual bool IsVisible() const = 0;
};

class IBitmapSettings {
public:
    virtual ~IBitmapSettings() = default;
    virtual bool MasterVisible() const = 0;  // components at all
    virtual bool DesigVisible() const = 0;   // designation text
    virtual bool ValueVisible() const = 0;   // value text
    virtual bool PinNumVisible() const = 0;  // pin numbers
    virtual bool PinStrVisible() const = 0;  // pin names
    virtual TFont DesigFont() const = 0;
    virtual TFont ValueFont() const = 0;
    virtual TFont PinNumFont() const = 0;
    virtual TFont PinStrFont() const = 0;
};

struct TObjectSettings {
    ILineSettings* LineData = nullptr;
    IJunctionSettings* Junction = nullptr;
    IDocBoxSettings* DocBox = nullptr;
    IAnnotateSettings* Annotate = nullptr;
    IBitmapSettings* Bitmap = nullptr;
};

// The process-wide registry.
TObjectSettings& ObjectSettings();
