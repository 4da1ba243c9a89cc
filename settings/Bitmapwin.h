#pragma once
// TfrmBitmap: the settings window of component symbols. It switches the
// drawing of components, their designation and value texts, pin numbers and
// pin names, and holds the fonts they are drawn in. The component drawing
// asks it through IBitmapSettings on every paint; every change repaints the
// main window at once. Pin fonts are stored the moment they are chosen, the
// two text font choosers by "&Save".

#include "settings/Settingswin.h"

#include "app/Drawstyle.h"
#include "drawing/Objectsettings.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class TfraColour;
class TfraFont;
class TValWin;

class TfrmBitmap : public TSettingsWindow, public IBitmapSettings {
    Q_OBJECT

public:
    explicit TfrmBitmap(QWidget* parent = nullptr);
    ~TfrmBitmap() override;

    // Controls.
    TfraFont* fraFontDesig;
    QCheckBox* cbDesig;
    TfraFont* fraFontValue;
    QCheckBox* cbValue;
    QGroupBox* gbPinStr;
    QPushButton* btnStrFon;
    QLabel* lbPinStr;
    QCheckBox* cbPinStr;
    QGroupBox* gbPinNum;
    QPushButton* btnNumFon;
    QLabel* lbPinNum;
    QCheckBox* cbPinNum;
    QGroupBox* gbBitmap;
    TfraColour* fraBmpColour;
    QCheckBox* cbMaster;
    QPushButton* btnLoad;
    QPushButton* btnSave;
    QPushButton* btnQuit;

    // The fonts the pin name and pin number font dialogs hold.
    TFont dlgPinStr;
    TFont dlgPinNum;

    // Reads the pin font stored under key of section "Bitmap" into the
    // dialog's font and shows it on the sample label. Without such a key
    // nothing changes.
    void LoadPinFont(TFont& dialog, QLabel* label, const QString& key);
    // Stores the dialog's font under key of section "Bitmap" (throws EFileError).
    void SavePinFont(const TFont& dialog, const QString& key);
    void RepaintMain();

    // Handlers.
    void cbVisibleClick();
    void cbPinNumClick();
    void cbPinStrClick();
    void btnNumFonClick();
    void btnStrFonClick();
    void btnSaveClick();
    void btnLoadClick();
    void btnQuitClick();

    // IBitmapSettings.
    bool MasterVisible() const override;
    bool DesigVisible() const override;
    bool ValueVisible() const override;
    bool PinNumVisible() const override;
    bool PinStrVisible() const override;
    TFont DesigFont() const override;
    TFont ValueFont() const override;
    TFont PinNumFont() const override;
    TFont PinStrFont() const override;

private:
    void ChoosePinFont(TFont& dialog, QLabel* label, const QString& key);
};

// The one instance, set when it is constructed.
extern TfrmBitmap* frmBitmap;
