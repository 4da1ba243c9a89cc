#pragma once
// TfrmJunction: the settings window of junction dots: their diameter (0 to
// 100; the dot's box is twice this on a side) and their fill colour, picked
// from the shared palette. Junction drawing asks it through IJunctionSettings
// on every paint. Section "Junction Data" holds "Diameter" (3 when there is
// none) and "Colour" (black when there is none); the palette is read and
// written through the same settings file object first.
// Unchecking "Visible" hides all junctions.

#include "settings/Settingswin.h"

#include "app/Drawstyle.h"
#include "drawing/Objectsettings.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class TIniFile;
class TfraColour;
class TValWin;

class TfrmJunction : public TSettingsWindow, public IJunctionSettings {
    Q_OBJECT

public:
    explicit TfrmJunction(QWidget* parent = nullptr);
    ~TfrmJunction() override;

    // Controls.
    QLabel* Label1;
    QSpinBox* udDiameter;   // the up-down position, 0 .. 100
    QLineEdit* efDiameter;  // the number field of udDiameter
    QGroupBox* gbColour;
    TfraColour* fraColour1;
    QCheckBox* cbVisible;
    QPushButton* btnLoad;
    QPushButton* btnSave;
    QPushButton* btnQuit;

    // Without a stored diameter 3; without a stored colour the palette
    // frame's colour.
    void LoadSettings();
    void ReadSettings(TIniFile& ini);
    // Throw EFileError.
    void SaveSettings();
    void WriteSettings(TIniFile& ini);

    // Handlers.
    void efDiameterChange();
    void cbVisibleClick();
    void btnLoadClick();
    void btnSaveClick();  // throws EFileError
    void btnQuitClick();

    // IJunctionSettings.
    int GetDiameter() const override;
    TColor GetColour() const override;
    bool IsVisible() const override;
};

// The one instance, set when it is constructed.
extern TfrmJunction* frmJunction;
